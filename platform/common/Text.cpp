// The text helpers that need nothing of the operating system.
#include "platform/Text.h"

#include <string>

namespace velmaro::platform {

std::u16string ToU16(std::string_view ascii) {
  std::u16string result;
  result.reserve(ascii.size());
  for (char c : ascii) {
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8ToUtf16(ascii);
    result.push_back(static_cast<char16_t>(c));
  }
  return result;
}

std::u16string IntToU16(long long value) { return ToU16(std::to_string(value)); }

}  // namespace velmaro::platform
