// Cleaning of tag texts and the texts taken from a file's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro::import {

// Removes spaces and control characters (up to U+0020) at both ends.
std::u16string Trim(std::u16string_view text);

// The path delimiter becomes the other delimiter; a colon becomes an
// underscore; NULs are dropped. The result is usable as one folder name.
std::u16string CleanTagText(std::u16string_view text);

// Undoes UTF-8 bytes that were read as the 8-bit code page: when the text
// in that code page is well-formed UTF-8 with at least one byte of 0x80
// or above, the UTF-8 reading; otherwise the text unchanged.
std::u16string RepairUtf8Text(std::u16string_view text);

// RepairUtf8Text, CleanTagText, then Trim: every tag text goes through it.
std::u16string PrepareTagText(std::u16string_view text);

// From "Artist - Title.ext" (underscores read as spaces): the text before
// and after the first " - "; empty when the name has none.
std::u16string ArtistFromFileName(std::u16string_view path);
std::u16string TitleFromFileName(std::u16string_view path);

// Seconds from 1970-01-01 00:00:00 to now, both as local wall-clock time.
std::int64_t LocalUnixSeconds();

// The same for a given local date and time (for tests).
std::int64_t LocalUnixSecondsOf(int year, int month, int day, int hour, int minute, int second, int millisecond);

// The decimal text of a duration in seconds rounded up to whole seconds.
std::u16string CeilSecondsText(double seconds);

}  // namespace velmaro::import
