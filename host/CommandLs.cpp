// velmaro ls [-R] [-l] VPATH...: the entries of folders, with their kinds
// (and with -l the plug-in's custom columns).
#include <iostream>

#include "host/Commands.h"
#include "host/LongListing.h"
#include "platform/Platform.h"
#include "platform/System.h"

namespace velmaro::host {

namespace {

const char* Kind(const TEntry& entry) { return entry.IsFolder() ? "dir " : "file"; }

int ListFolder(THostHarness& host, const std::u16string& path, bool recursive, bool longFormat, bool header) {
  const TListing listing = host.List(path);
  if (!listing.Ok && listing.LastError != platform::ErrorNoMoreFiles) {
    std::cerr << "velmaro: cannot list " << ToUtf8(path) << "\n";
    return 1;
  }
  if (header) std::cout << ToUtf8(path) << ":\n";
  if (longFormat)
    PrintLongListing(host, path, listing.Entries, std::cout);
  else
    for (const TEntry& entry : listing.Entries) std::cout << Kind(entry) << "  " << ToUtf8(entry.Name) << "\n";
  if (!recursive) return 0;
  int status = 0;
  for (const TEntry& entry : listing.Entries) {
    if (!entry.IsFolder()) continue;
    std::cout << "\n";
    status |= ListFolder(host, JoinVirtual(path, entry.Name), true, longFormat, true);
  }
  return status;
}

}  // namespace

std::u16string JoinVirtual(const std::u16string& folder, const std::u16string& name) {
  const char16_t delim = platform::PathDelim;
  return folder.empty() || folder.back() == delim ? folder + name : folder + delim + name;
}

int CommandLs(THostHarness& host, const TArgs& args) {
  bool recursive = false, longFormat = false;
  std::vector<std::string> paths;
  for (const std::string& arg : args) {
    if (arg == "-R")
      recursive = true;
    else if (arg == "-l")
      longFormat = true;
    else
      paths.push_back(arg);
  }
  if (paths.empty()) paths.push_back(std::string(1, static_cast<char>(platform::PathDelim)));
  int status = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) std::cout << "\n";
    status |= ListFolder(host, FromUtf8(paths[i]), recursive, longFormat, recursive || paths.size() > 1);
  }
  return status;
}

}  // namespace velmaro::host
