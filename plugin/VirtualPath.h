// Virtual paths as the host passes them: they start with the delimiter,
// components are separated by it, the root is the delimiter alone.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace velmaro {

inline constexpr char16_t PathDelim = platform::PathDelim;
inline constexpr char16_t AltDelim = platform::AltDelim;

// Writes a path given with backslashes in the platform's delimiter:
// VPath(u"\\Titles") is "\Titles" on Windows and "/Titles" on POSIX.
std::u16string VPath(std::u16string_view backslashed);

// Number of occurrences of ch in text.
int CountChar(std::u16string_view text, char16_t ch);

// The path without one trailing delimiter (the root stays the root).
std::u16string_view WithoutTrailingDelim(std::u16string_view path);

// Depth: delimiters after one trailing delimiter has been removed.
int PathDepth(std::u16string_view path);

// The last component (text after the last delimiter or colon) and the
// parent (text before it), of the path without its trailing delimiter.
std::u16string LastComponent(std::u16string_view path);
std::u16string ParentPath(std::u16string_view path);

// The file name part of a real path: after its last directory separator
// (and, where paths have drive letters, colon).
std::u16string_view RealFileName(std::u16string_view path);

bool StartsWith(std::u16string_view text, std::u16string_view prefix);
bool Contains(std::u16string_view text, std::u16string_view part);

// Every occurrence of from replaced by to.
std::u16string ReplaceChar(std::u16string_view text, char16_t from, char16_t to);

}  // namespace velmaro
