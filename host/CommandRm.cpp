// velmaro rm VPATH...: deletes entries as a host does. The host shows a
// folder before the user deletes from it, so each entry's folder is
// listed first (numbered Latest names only resolve after a listing).
#include <iostream>

#include "host/Commands.h"
#include "platform/Platform.h"

namespace velmaro::host {

namespace {

std::u16string ParentOf(const std::u16string& path) {
  std::u16string trimmed = path;
  if (trimmed.size() > 1 && trimmed.back() == platform::PathDelim) trimmed.pop_back();
  const std::size_t cut = trimmed.find_last_of(platform::PathDelim);
  if (cut == std::u16string::npos || cut == 0) return std::u16string(1, platform::PathDelim);
  return trimmed.substr(0, cut);
}

}  // namespace

int CommandRm(THostHarness& host, const TArgs& args) {
  if (args.empty()) {
    std::cerr << "velmaro rm: no entries given\n";
    return 2;
  }
  const std::u16string root(1, platform::PathDelim);
  host.StatusInfo(root, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_DELETE);
  int status = 0;
  std::u16string listed;
  for (const std::string& argument : args) {
    const std::u16string path = FromUtf8(argument);
    const std::u16string parent = ParentOf(path);
    if (parent != listed) {
      host.List(parent);
      listed = parent;
    }
    if (host.DeleteFile(path)) {
      std::cout << "deleted " << argument << "\n";
    } else {
      std::cerr << "velmaro rm: " << argument << ": not deleted (no such entry in the library)\n";
      status = 1;
    }
  }
  host.StatusInfo(root, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_DELETE);
  return status;
}

}  // namespace velmaro::host
