// Paths as the POSIX system calls take them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace velmaro::platform::posix {

// The UTF-8 form of a path, or nothing when the path holds a NUL character:
// the system would silently cut it there and act on another file.
inline std::optional<std::string> NativePath(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return Utf16ToUtf8(path);
}

}  // namespace velmaro::platform::posix
