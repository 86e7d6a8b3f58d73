// Access to the real file behind an entry: its local name for the host to
// open in place, and copying it out to a folder the host names, with the
// host's progress display and abort.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "plugin/FsPluginApi.h"

namespace velmaro {

class TFolderTree;

// The extended-length form the Windows file functions need for paths of
// 256 characters or more: "\\?\" + path, or "\\?\UNC\" + the path without
// its leading "\\" for a network path. Shorter paths and paths that already
// carry the prefix are returned unchanged.
std::u16string WindowsLongPath(std::u16string_view path);

// The path as the platform's file functions take it: WindowsLongPath on
// Windows, the path itself elsewhere.
std::u16string ToLongPath(std::u16string_view path);

// The percent shown for a copy: copied × 100 ÷ total, rounded to the
// nearest integer; -1 when the total is 0 (an empty file).
int CopyPercent(std::int64_t total, std::int64_t copied);

// The host's callbacks and plugin number at the time of a call.
struct THostCallbacks {
  int PluginNr = 0;
  fsapi::tProgressProcW ProgressProc = nullptr;
  fsapi::tRequestProcW RequestProc = nullptr;
};

class TCopyOut {
 public:
  explicit TCopyOut(TFolderTree& tree) : FTree(tree) {}

  // The real path of the entry into the host's buffer of maxlen characters
  // (at most maxlen - 2 of them and a zero); HostTrue, or HostFalse with the
  // buffer unchanged when the entry names no file. Never throws.
  int FsGetLocalNameW(char16_t* remoteName, int maxlen);

  // Copies the real file of the entry into the folder of localName under
  // the real file's own name. FS_FILE_OK, FS_FILE_EXISTS (target exists,
  // no overwrite asked), FS_FILE_READERROR (no file behind the entry, or it
  // cannot be read), FS_FILE_WRITEERROR (the target cannot be written) or
  // FS_FILE_USERABORT. Read and write errors are shown to the user through
  // the request callback; a failed or cancelled copy leaves no target.
  // Never throws.
  //
  // lock guards the process-wide state: it is held while the entry is
  // resolved and released for the copy and every call into the host, so
  // that the host's column thread is not kept waiting for a long copy and
  // a host callback that waits for that thread cannot deadlock.
  int FsGetFileW(const char16_t* remoteName, const char16_t* localName, int copyFlags,
                 const THostCallbacks& host, std::recursive_mutex& lock);

  // Source and target of the copy in progress (kept after it).
  const std::u16string& CopySource() const { return FCopySource; }
  const std::u16string& CopyTarget() const { return FCopyTarget; }

 private:
  int GetFile(std::u16string_view remoteName, std::u16string_view localName, int copyFlags,
              const THostCallbacks& host, std::unique_lock<std::recursive_mutex>& guard);

  TFolderTree& FTree;
  std::u16string FCopySource;
  std::u16string FCopyTarget;
};

}  // namespace velmaro
