#include "library/SqlText.h"

#include <limits>

#include "platform/Platform.h"

namespace velmaro {

std::u16string DoubleChar(std::u16string_view text, char16_t ch) {
  std::u16string result;
  result.reserve(text.size() + 8);
  for (char16_t c : text) {
    result += c;
    if (c == ch) result += c;
  }
  return result;
}

std::u16string SqlLiteral(std::u16string_view text) {
  std::u16string quoted;
  quoted.reserve(text.size() + 2);
  quoted += u'\'';
  quoted += DoubleChar(text, u'\'');
  quoted += u'\'';
  return quoted;
}

std::u16string PathCondition(std::u16string_view parameter) {
  std::u16string condition = u"\"mf_path\"=" + std::u16string(parameter);
  if (platform::PathsIgnoreCase) condition += u" collate systemnocase";
  return condition;
}

bool ParseDecimalInt64(std::u16string_view text, long long& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;
  // Accumulate as a negative number so that the minimum value fits.
  long long v = 0;
  constexpr long long min = std::numeric_limits<long long>::min();
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return false;
    const int digit = c - u'0';
    if (v < (min + digit) / 10) return false;
    v = v * 10 - digit;
  }
  if (!negative) {
    if (v == min) return false;
    v = -v;
  }
  value = v;
  return true;
}

}  // namespace velmaro
