// Building SQL text: values reach SQL as bound parameters or as
// single-quoted literals, never between double quotes (which SQLite reads
// as a column's name when a column of that name exists).
#pragma once

#include <string>
#include <string_view>

namespace velmaro {

// The text with every occurrence of ch doubled.
std::u16string DoubleChar(std::u16string_view text, char16_t ch);

// The text as a single-quoted SQL literal, its single quotes doubled.
std::u16string SqlLiteral(std::u16string_view text);

// The condition that finds the row of a file by its path, bound to the
// parameter named: "mf_path"=?1 and, where the file system ignores letter
// case, collate systemnocase. Where it does not (POSIX), two paths that
// differ in a non-ASCII letter's case are two files: only the column's own
// collation (ASCII case folded, as its unique index) may match them, and
// the unique index serves the lookup.
std::u16string PathCondition(std::u16string_view parameter = u"?1");

// Parses a whole decimal 64-bit integer (an optional sign and digits,
// nothing else); false when the text is not one.
bool ParseDecimalInt64(std::u16string_view text, long long& value);

}  // namespace velmaro
