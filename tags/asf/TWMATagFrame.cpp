#include "tags/asf/TWMATagFrame.h"

#include "platform/Text.h"

namespace velmaro::tags {

std::u16string TWMATagFrame::GetAsText() const {
  if (Format != WMT_TYPE_STRING) return platform::IntToU16(GetAsInteger());
  std::u16string text;
  text.reserve(Stream.size() / 2);
  for (std::size_t i = 0; i + 1 < Stream.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(Stream[i] | Stream[i + 1] << 8);
    if (unit != 0) text += unit;
  }
  return text;
}

std::int64_t TWMATagFrame::GetAsInteger() const {
  std::size_t width = 0;
  switch (Format) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL: width = 4; break;
    case WMT_TYPE_QWORD: width = 8; break;
    case WMT_TYPE_WORD: width = 2; break;
    default: return 0;
  }
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | (i < Stream.size() ? Stream[i] : 0);
  return static_cast<std::int64_t>(value);
}

}  // namespace velmaro::tags
