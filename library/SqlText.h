// Building SQL text by concatenation: values between double quotes,
// row ids between single quotes.
#pragma once

#include <string>
#include <string_view>

namespace velmaro {

// The text with every occurrence of ch doubled.
std::u16string DoubleChar(std::u16string_view text, char16_t ch);

// The text as a double-quoted SQL value, its double quotes doubled.
std::u16string SqlQuoted(std::u16string_view text);

// Parses a whole decimal 64-bit integer (an optional sign and digits,
// nothing else); false when the text is not one.
bool ParseDecimalInt64(std::u16string_view text, long long& value);

}  // namespace velmaro
