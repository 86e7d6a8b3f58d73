// velmaro ls [-R] [-l] [--null] VPATH...: the entries of folders, with their
// kinds (and with -l the plug-in's custom columns). Names are shown so that
// one entry is one line (see ShownText); --null prints them as they are and
// ends each entry, and each folder heading, with a NUL instead.
#include <iostream>

#include "host/Commands.h"
#include "host/LongListing.h"
#include "platform/Platform.h"
#include "platform/System.h"

namespace velmaro::host {

namespace {

const char* Kind(const TEntry& entry) { return entry.IsFolder() ? "dir " : "file"; }

struct TLsOptions {
  bool Recursive = false, LongFormat = false, NullSeparated = false;
};

int ListFolder(THostHarness& host, const std::u16string& path, const TLsOptions& options, bool header) {
  const char end = options.NullSeparated ? '\0' : '\n';
  auto shown = [&](const std::u16string& text) { return options.NullSeparated ? ToUtf8(text) : ShownText(text); };
  // The entries are printed as the plug-in gives them, in its order, and
  // only the names of folders are kept for -R. With -l the whole listing
  // is read first: its columns are aligned to the widest value.
  bool headed = false;
  auto printHeader = [&] {
    if (header && !headed) std::cout << shown(path) << ":" << end;
    headed = true;
  };
  std::vector<std::u16string> folders;
  TListing listing;
  if (options.LongFormat) {
    listing = host.List(path);
  } else {
    listing = host.ListEach(path, [&](const TEntry& entry) {
      printHeader();
      std::cout << Kind(entry) << "  " << shown(entry.Name) << end;
      if (options.Recursive && entry.IsFolder()) folders.push_back(entry.Name);
    });
  }
  if (!listing.Ok && listing.LastError != platform::ErrorNoMoreFiles) {
    std::cerr << "velmaro: cannot list " << ShownText(path) << "\n";
    return 1;
  }
  printHeader();
  if (options.LongFormat) {
    PrintLongListing(host, path, listing.Entries, std::cout, options.NullSeparated);
    for (const TEntry& entry : listing.Entries)
      if (options.Recursive && entry.IsFolder()) folders.push_back(entry.Name);
  }
  if (!options.Recursive) return 0;
  int status = 0;
  for (const std::u16string& folder : folders) {
    if (!options.NullSeparated) std::cout << "\n";
    status |= ListFolder(host, JoinVirtual(path, folder), options, true);
  }
  return status;
}

}  // namespace

std::u16string JoinVirtual(const std::u16string& folder, const std::u16string& name) {
  const char16_t delim = platform::PathDelim;
  return folder.empty() || folder.back() == delim ? folder + name : folder + delim + name;
}

int CommandLs(THostHarness& host, const TArgs& args) {
  TLsOptions options;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "-R")
      options.Recursive = true;
    else if (arg == "-l")
      options.LongFormat = true;
    else if (arg == "--null")
      options.NullSeparated = true;
    else
      paths.push_back(arg);
  }
  if (paths.empty()) paths.push_back(std::string(1, static_cast<char>(platform::PathDelim)));
  int status = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (i > 0 && !options.NullSeparated) std::cout << "\n";
    status |= ListFolder(host, FromUtf8(paths[i]), options, options.Recursive || paths.size() > 1);
  }
  return status;
}

}  // namespace velmaro::host
