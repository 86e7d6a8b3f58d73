#include "plugin/TCopyOut.h"

#include <algorithm>
#include <exception>

#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "plugin/ErrorTrap.h"
#include "plugin/TFolderTree.h"
#include "plugin/VirtualPath.h"

namespace velmaro {

namespace {

constexpr std::size_t LongPathLength = 256;

// The folder part of the host's target name, up to and including its last
// separator, or its drive colon ("c:name") where paths have one and no
// separator follows; empty when it has neither. A colon after the last
// separator belongs to the proposed name: a Titles entry is named by a
// whole real path ("c:/music/a.mp3"), and cutting at its colon would
// write into a stream of a file "c" instead of the folder.
std::u16string_view FolderPart(std::u16string_view path) {
  std::size_t split = path.find_last_of(platform::DirDelim);
  if (split == std::u16string_view::npos && platform::HasDriveColon && path.size() >= 2 && path[1] == u':') split = 1;
  return split == std::u16string_view::npos ? std::u16string_view() : path.substr(0, split + 1);
}

}  // namespace

std::u16string WindowsLongPath(std::u16string_view path) {
  if (path.size() < LongPathLength || path.find(u"\\\\?\\") != std::u16string_view::npos)
    return std::u16string(path);
  // Only a leading "\\" makes a network path; a doubled separator further on
  // is just a doubled separator.
  if (path.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(path.substr(2));
  return u"\\\\?\\" + std::u16string(path);
}

std::u16string ToLongPath(std::u16string_view path) {
  if constexpr (platform::IsWindows) return WindowsLongPath(path);
  return std::u16string(path);
}

int CopyPercent(std::int64_t total, std::int64_t copied) {
  if (total <= 0) return -1;
  copied = std::clamp<std::int64_t>(copied, 0, total);
  // Rounded to the nearest; the whole 64 bits count, so files above 4 GiB
  // show their true progress. Split to keep copied × 100 within range.
  const std::int64_t whole = copied / total * 100 + (copied % total) * 100 / total;
  const std::int64_t rest = (copied % total) * 100 % total;
  return static_cast<int>(whole + (rest * 2 >= total ? 1 : 0));
}

int TCopyOut::FsGetLocalNameW(char16_t* remoteName, int maxlen) {
  // No room for a single character of the path: nothing to give.
  if (remoteName == nullptr || maxlen < 3) return platform::HostFalse;
  try {
    const std::u16string real = FTree.ResolveVirtualPath(remoteName);
    if (real.empty()) return platform::HostFalse;
    const std::size_t n = std::min(real.size(), static_cast<std::size_t>(maxlen - 2));
    std::copy_n(real.data(), n, remoteName);
    remoteName[n] = 0;
    return platform::HostTrue;
  } catch (...) {
    // This report also names the entry and the kind of error.
    if constexpr (ShowErrors) {
      try {
        const std::exception_ptr error = std::current_exception();
        ShowErrorBox(platform::Utf16ToUtf8(remoteName) + "\r" + ErrorClassOf(error) + "\r" + ErrorMessageOf(error) +
                     "\rFsGetLocalNameW");
      } catch (...) {
      }
    }
    return platform::HostFalse;
  }
}

namespace {

// Called after every chunk; 1 cancels the copy, 0 goes on.
int CopyProgress(const THostCallbacks& host, std::u16string& source, std::u16string& target, std::int64_t total,
                 std::int64_t copied) {
  if (host.ProgressProc == nullptr) return 0;
  const int percent = CopyPercent(total, copied);
  return host.ProgressProc(host.PluginNr, source.data(), target.data(), percent) == 1 ? 1 : 0;
}

// Shows the system's text for an error through the host, and leaves it as
// the thread's last error.
void ShowCopyError(const THostCallbacks& host, std::uint32_t code) {
  platform::SetLastError(code);
  if (host.RequestProc == nullptr) return;
  std::u16string text = platform::SysErrorMessage(code);
  host.RequestProc(host.PluginNr, fsapi::RT_MsgOK, nullptr, text.data(), nullptr, 0);
  platform::SetLastError(code);
}

}  // namespace

int TCopyOut::FsGetFileW(const char16_t* remoteName, const char16_t* localName, int copyFlags,
                         const THostCallbacks& host, std::recursive_mutex& lock) {
  if (remoteName == nullptr || localName == nullptr) return fsapi::FS_FILE_READERROR;
  std::unique_lock<std::recursive_mutex> guard(lock);
  return Trapped("FsGetFileW", fsapi::FS_FILE_READERROR,
                 [&] { return GetFile(remoteName, localName, copyFlags, host, guard); });
}

int TCopyOut::GetFile(std::u16string_view remoteName, std::u16string_view localName, int copyFlags,
                      const THostCallbacks& host, std::unique_lock<std::recursive_mutex>& guard) {
  const std::u16string real = FTree.ResolveVirtualPath(remoteName);
  if (real.empty()) {
    guard.unlock();
    // Nothing to copy: say so as the system says a missing file.
    platform::TReadFile probe(real);
    ShowCopyError(host, platform::GetLastError());
    return fsapi::FS_FILE_READERROR;
  }

  // The copy always gets the real file's name; the host's proposal only
  // gives the folder.
  const std::u16string target = ToLongPath(std::u16string(FolderPart(localName)) + std::u16string(RealFileName(real)));
  if ((copyFlags & fsapi::FS_COPYFLAGS_OVERWRITE) == 0 && platform::FileExists(target))
    return fsapi::FS_FILE_EXISTS;

  FCopySource = ToLongPath(real);
  FCopyTarget = target;
  // From here on nothing touches the process-wide state: the copy works on
  // its own copies of the names.
  std::u16string source = FCopySource;
  std::u16string destination = FCopyTarget;
  guard.unlock();

  if (host.ProgressProc != nullptr) {
    std::u16string remote(remoteName), proposed(localName);
    if (host.ProgressProc(host.PluginNr, remote.data(), proposed.data(), 0) == 1) return fsapi::FS_FILE_USERABORT;
  }

  platform::SetLastError(0);
  bool cancelled = false;
  const int code = platform::CopyFileWithProgress(source, destination, [&](std::int64_t total, std::int64_t copied) {
    if (CopyProgress(host, source, destination, total, copied) != 1) return true;
    cancelled = true;
    return false;
  });
  if (code == 0) return fsapi::FS_FILE_OK;
  if (cancelled) return fsapi::FS_FILE_USERABORT;

  // The copy reports one error code; whether the source can still be
  // opened tells a read failure from a write failure.
  platform::TReadFile probe(source);
  if (!probe.IsOpen()) {
    ShowCopyError(host, platform::GetLastError());
    return fsapi::FS_FILE_READERROR;
  }
  ShowCopyError(host, static_cast<std::uint32_t>(code));
  return fsapi::FS_FILE_WRITEERROR;
}

}  // namespace velmaro
