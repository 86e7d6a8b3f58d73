// velmaro put [--to VPATH] PATH...: copies files into the panel as a host
// does. A folder is copied with everything below it; more than one file
// is announced to the plug-in as one batch.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "host/Commands.h"
#include "host/TProgressBar.h"
#include "platform/Platform.h"

namespace velmaro::host {

namespace fs = std::filesystem;

namespace {

struct TPutItem {
  fs::path Local;
  std::u16string Remote;
};

// The entry name the Titles view gives a real path.
std::u16string TitlesName(const fs::path& local) {
  std::u16string name = FromUtf8(local.string());
  if (!name.empty() && name[0] >= u'A' && name[0] <= u'Z') name[0] = static_cast<char16_t>(name[0] - u'A' + u'a');
  for (char16_t& c : name)
    if (c == platform::DirDelim) c = platform::AltDelim;
  return name;
}

// The remote name of a local file below a folder that is copied to target.
std::u16string RemoteBelow(const std::u16string& target, const fs::path& relative) {
  std::u16string remote = target;
  for (const fs::path& part : relative) remote = JoinVirtual(remote, FromUtf8(part.string()));
  return remote;
}

}  // namespace

int CommandPut(THostHarness& host, const TArgs& args) {
  std::u16string target(1, platform::PathDelim);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--to" && i + 1 < args.size())
      target = FromUtf8(args[++i]);
    else
      paths.push_back(args[i]);
  }
  if (paths.empty()) {
    std::cerr << "velmaro put: no files given\n";
    return 2;
  }

  int status = 0;
  std::vector<TPutItem> items;
  for (const std::string& argument : paths) {
    std::error_code ec;
    const fs::path local = fs::absolute(fs::path(argument), ec).lexically_normal();
    if (fs::is_directory(local, ec)) {
      const fs::path base = local.has_filename() ? local : local.parent_path();
      std::vector<fs::path> files;
      for (fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, ec), end;
           !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (it->is_regular_file(fileError)) files.push_back(it->path());
      }
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files)
        items.push_back({file, RemoteBelow(target, file.lexically_relative(base.parent_path()))});
    } else if (fs::is_regular_file(local, ec)) {
      items.push_back({local, JoinVirtual(target, FromUtf8(local.filename().string()))});
    } else {
      std::cerr << "velmaro put: " << argument << ": no such file or folder\n";
      status = 1;
    }
  }
  if (items.empty()) return status;

  const bool batch = items.size() > 1;
  if (batch) host.StatusInfo(target, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  TProgressBar progress;
  std::vector<std::string> failed;
  for (std::size_t i = 0; i < items.size(); ++i) {
    progress.Show(static_cast<long long>(i), static_cast<long long>(items.size()), items[i].Local.filename().string());
    if (host.PutFile(FromUtf8(items[i].Local.string()), items[i].Remote) != fsapi::FS_FILE_OK)
      failed.push_back(items[i].Local.string());
  }
  progress.Show(static_cast<long long>(items.size()), static_cast<long long>(items.size()), "");
  if (batch) host.StatusInfo(target, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
  progress.Finish();

  // What became rows: the Titles view names every recorded file.
  std::set<std::u16string> recorded;
  for (const TEntry& entry : host.List(HostPath(u"\\Titles")).Entries) recorded.insert(entry.Name);
  std::vector<std::string> skipped;
  std::size_t rows = 0;
  for (const TPutItem& item : items) {
    if (recorded.count(TitlesName(item.Local)))
      ++rows;
    else if (std::find(failed.begin(), failed.end(), item.Local.string()) == failed.end())
      skipped.push_back(item.Local.string());
  }
  std::cout << "put " << items.size() << (items.size() == 1 ? " file: " : " files: ") << rows
            << " recorded in the library";
  if (!skipped.empty()) std::cout << ", " << skipped.size() << " not audio the library takes";
  if (!failed.empty()) std::cout << ", " << failed.size() << " failed";
  std::cout << "\n";
  constexpr std::size_t Shown = 10;
  for (std::size_t i = 0; i < skipped.size() && i < Shown; ++i) std::cout << "  skipped: " << skipped[i] << "\n";
  if (skipped.size() > Shown) std::cout << "  ... and " << skipped.size() - Shown << " more skipped\n";
  for (const std::string& path : failed) std::cout << "  failed: " << path << "\n";
  return failed.empty() ? status : 1;
}

}  // namespace velmaro::host
