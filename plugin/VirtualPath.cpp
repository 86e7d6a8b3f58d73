#include "plugin/VirtualPath.h"

#include <algorithm>

namespace velmaro {

std::u16string VPath(std::u16string_view backslashed) { return ReplaceChar(backslashed, u'\\', PathDelim); }

int CountChar(std::u16string_view text, char16_t ch) {
  return static_cast<int>(std::count(text.begin(), text.end(), ch));
}

std::u16string_view WithoutTrailingDelim(std::u16string_view path) {
  if (path.size() > 1 && path.back() == PathDelim) path.remove_suffix(1);
  return path;
}

int PathDepth(std::u16string_view path) {
  if (!path.empty() && path.back() == PathDelim) path.remove_suffix(1);
  return CountChar(path, PathDelim);
}

namespace {
std::size_t LastSplit(std::u16string_view path) {
  const std::size_t delim = path.find_last_of(PathDelim);
  const std::size_t colon = path.find_last_of(u':');
  if (delim == std::u16string_view::npos) return colon;
  if (colon == std::u16string_view::npos) return delim;
  return std::max(delim, colon);
}
std::u16string_view StripOne(std::u16string_view path) {
  if (!path.empty() && path.back() == PathDelim) path.remove_suffix(1);
  return path;
}
}  // namespace

std::u16string LastComponent(std::u16string_view path) {
  path = StripOne(path);
  const std::size_t split = LastSplit(path);
  return std::u16string(split == std::u16string_view::npos ? path : path.substr(split + 1));
}

std::u16string ParentPath(std::u16string_view path) {
  path = StripOne(path);
  const std::size_t split = LastSplit(path);
  return split == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, split));
}

std::u16string_view RealFileName(std::u16string_view path) {
  std::size_t split = path.find_last_of(platform::DirDelim);
  if (platform::HasDriveColon) {
    const std::size_t colon = path.find_last_of(u':');
    if (colon != std::u16string_view::npos && (split == std::u16string_view::npos || colon > split)) split = colon;
  }
  return split == std::u16string_view::npos ? path : path.substr(split + 1);
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) { return text.starts_with(prefix); }

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

std::u16string ReplaceChar(std::u16string_view text, char16_t from, char16_t to) {
  std::u16string result(text);
  std::replace(result.begin(), result.end(), from, to);
  return result;
}

}  // namespace velmaro
