// Local file paths as the commands hold them: UTF-8 texts, turned into
// file-system paths and back without passing through the system's 8-bit
// code page (which on Windows cannot hold every name).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velmaro::host {

inline std::filesystem::path LocalPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace velmaro::host
