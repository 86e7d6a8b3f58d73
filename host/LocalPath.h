// Local file paths as the commands hold them: UTF-8 texts, turned into
// file-system paths and back without passing through the system's 8-bit
// code page (which on Windows cannot hold every name).
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/LongListing.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace velmaro::host {

inline std::filesystem::path LocalPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path as the plug-in takes it (UTF-16), or nothing when its name is
// no text that the plug-in could be given: bytes that are not UTF-8 on
// POSIX, a lone surrogate on Windows. Such a name, handed over anyway,
// would come out with replacement characters and name another file.
inline std::optional<std::u16string> PathText(const std::filesystem::path& path) {
  std::string utf8;
  try {
    utf8 = Utf8Path(path);
  } catch (const std::runtime_error&) {
    return std::nullopt;  // the library could not convert it
  }
  if (!platform::IsWellFormedUtf8(utf8)) return std::nullopt;
  return platform::Utf8ToUtf16(utf8);
}

// Why PathText gave nothing, for a message about that path.
inline constexpr const char* NotTextReason = platform::IsWindows
                                                 ? "the name is not valid UTF-16, which the plug-in needs"
                                                 : "the name is not valid UTF-8, which the plug-in needs";

// A path as ls shows a name, whatever it holds: its bytes on POSIX, its
// UTF-16 units on Windows.
inline std::string ShownNativePath(const std::string& bytes) { return ShownBytes(bytes); }
inline std::string ShownNativePath(const std::wstring& units) {
  return ShownText(std::u16string(units.begin(), units.end()));
}
inline std::string ShownPath(const std::filesystem::path& path) { return ShownNativePath(path.native()); }

}  // namespace velmaro::host
