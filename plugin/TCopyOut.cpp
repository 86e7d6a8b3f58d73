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

// The folder part of a real path, up to and including its last separator
// (or drive colon where paths have one); empty when it has none.
std::u16string_view FolderPart(std::u16string_view path) {
  std::size_t split = path.find_last_of(platform::DirDelim);
  if (platform::HasDriveColon) {
    const std::size_t colon = path.find_last_of(u':');
    if (colon != std::u16string_view::npos && (split == std::u16string_view::npos || colon > split)) split = colon;
  }
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

int TCopyOut::FsGetFileW(const char16_t* remoteName, const char16_t* localName, int copyFlags,
                         const THostCallbacks& host) {
  FHost = host;
  if (remoteName == nullptr || localName == nullptr) return fsapi::FS_FILE_READERROR;
  return Trapped("FsGetFileW", fsapi::FS_FILE_READERROR, [&] { return GetFile(remoteName, localName, copyFlags); });
}

int TCopyOut::GetFile(std::u16string_view remoteName, std::u16string_view localName, int copyFlags) {
  const std::u16string real = FTree.ResolveVirtualPath(remoteName);
  if (real.empty()) {
    // Nothing to copy: say so as the system says a missing file.
    platform::TReadFile probe(real);
    ShowCopyError(platform::GetLastError());
    return fsapi::FS_FILE_READERROR;
  }

  // The copy always gets the real file's name; the host's proposal only
  // gives the folder.
  const std::u16string target = ToLongPath(std::u16string(FolderPart(localName)) + std::u16string(RealFileName(real)));
  if ((copyFlags & fsapi::FS_COPYFLAGS_OVERWRITE) == 0 && platform::FileExists(target))
    return fsapi::FS_FILE_EXISTS;

  FCopySource = ToLongPath(real);
  FCopyTarget = target;

  if (FHost.ProgressProc != nullptr) {
    std::u16string source(remoteName), proposed(localName);
    if (FHost.ProgressProc(FHost.PluginNr, source.data(), proposed.data(), 0) == 1) return fsapi::FS_FILE_USERABORT;
  }

  platform::SetLastError(0);
  bool cancelled = false;
  const int code = platform::CopyFileWithProgress(
      FCopySource, FCopyTarget, [&](std::int64_t total, std::int64_t copied) {
        if (CopyProgress(total, copied) != 1) return true;
        cancelled = true;
        return false;
      });
  if (code == 0) return fsapi::FS_FILE_OK;
  if (cancelled) return fsapi::FS_FILE_USERABORT;

  // The copy reports one error code; whether the source can still be
  // opened tells a read failure from a write failure.
  platform::TReadFile probe(FCopySource);
  if (!probe.IsOpen()) {
    ShowCopyError(platform::GetLastError());
    return fsapi::FS_FILE_READERROR;
  }
  ShowCopyError(static_cast<std::uint32_t>(code));
  return fsapi::FS_FILE_WRITEERROR;
}

int TCopyOut::CopyProgress(std::int64_t total, std::int64_t copied) {
  if (FHost.ProgressProc == nullptr) return 0;
  const int percent = CopyPercent(total, copied);
  return FHost.ProgressProc(FHost.PluginNr, FCopySource.data(), FCopyTarget.data(), percent) == 1 ? 1 : 0;
}

void TCopyOut::ShowCopyError(std::uint32_t code) {
  platform::SetLastError(code);
  if (FHost.RequestProc == nullptr) return;
  std::u16string text = platform::SysErrorMessage(code);
  FHost.RequestProc(FHost.PluginNr, fsapi::RT_MsgOK, nullptr, text.data(), nullptr, 0);
}

}  // namespace velmaro
