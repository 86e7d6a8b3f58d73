// Text conversion and locale-aware comparison.
//
// Text inside the plug-in is UTF-16 (std::u16string). These functions
// convert to and from UTF-8 and the 8-bit code pages, and compare and
// lower-case by the rules of the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace velmaro::platform {

// UTF-16 <-> UTF-8. Ill-formed input is replaced (U+FFFD), never rejected.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// True when the bytes are well-formed UTF-8 throughout.
bool IsWellFormedUtf8(std::string_view bytes);

// The system's 8-bit code page, used for ID3 texts and their repair:
// the ANSI code page on Windows, Windows-1252 elsewhere. Characters
// the code page cannot hold become '?'.
std::u16string AnsiToUtf16(std::string_view bytes);
std::string Utf16ToAnsi(std::u16string_view text);

// The 8-bit text the host passes in its records (the default ini name):
// the ANSI code page on Windows, UTF-8 on POSIX.
std::u16string HostTextToUtf16(std::string_view bytes);

// Locale-aware comparison that ignores letter case but keeps accents,
// by the user's locale: negative, 0 or positive. The system-default
// variant uses the system's locale where the platform has one.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
int CompareNoCaseSystem(std::u16string_view a, std::u16string_view b);

// A byte key such that two texts compare equal under CompareNoCase
// exactly when their keys are equal, and order as their keys order
// (memcmp). Lets a caller sort many names with one collator pass each.
std::string NoCaseSortKey(std::u16string_view text);
// The same for CompareNoCaseSystem.
std::string NoCaseSortKeySystem(std::u16string_view text);

// Lower-cases the whole text by the user locale's rules.
std::u16string LowerCase(std::u16string_view text);

// Small helpers for literals and numbers in UTF-16.
std::u16string ToU16(std::string_view ascii);
std::u16string IntToU16(long long value);
// A number rounded to a whole one, with the thousands separators of the
// user's locale ("1,234,568" in English, "1.234.568" in German).
std::u16string FormatWholeNumber(double value);

}  // namespace velmaro::platform

namespace velmaro::platform {

// The columns a terminal gives the text: two for wide (East Asian)
// characters, none for combining marks and format characters, one for
// the others.
std::size_t TerminalWidth(std::u16string_view text);

}  // namespace velmaro::platform
