// The Windows API as the platform layer includes it, and the step from our
// UTF-16 text to the API's wide strings.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> maps DeleteFile to DeleteFileW; our own DeleteFile
// (platform/FileSystem.h) must keep its name.
#undef DeleteFile

#include <climits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmaro::platform::windows {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is one UTF-16 unit");

// Our text as the API's wide characters, and back: the same code units.
inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* Utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The API counts characters in int.
inline int ApiLength(std::size_t length) {
  if (length > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for the system");
  return static_cast<int>(length);
}

// A zero-terminated copy of a name for the API, or nothing when the name
// holds a NUL character: the system would silently cut it there and act
// on another file.
inline std::optional<std::wstring> WidePath(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return std::wstring(Wide(path.data()), path.size());
}

}  // namespace velmaro::platform::windows
