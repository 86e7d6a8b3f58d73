// ls -l: the entries of a folder with the columns of the plug-in's default
// view, as a host's file list shows them.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/THostHarness.h"

namespace velmaro::host {

// A name or value as one line of a terminal shows it. A text holding a
// control character (below U+0020, U+007F, U+0080 to U+009F) is shown in
// the shell's $'...' quoting: \n, \r, \t, \xHH for the other controls
// below U+0080, \u00HH for the others, and inside the quotes a backslash
// doubled and a quote as \'. A shell reads it back as the same text. Any
// other text is shown as it is (backslashes too, so that entries named
// after real paths stay readable), unless it starts with $' itself: that
// one is quoted as well, so that no text shown as it is reads as quoted.
std::string ShownText(std::u16string_view text);

// A name given as bytes (a real file name on POSIX) as ShownText shows its
// text; one that is not UTF-8 is shown in the $'...' quoting with each byte
// that belongs to no UTF-8 character as \xHH, which a shell reads back as
// the same bytes.
std::string ShownBytes(std::string_view bytes);

// Prints a header line and one line per entry: its kind, its name and the
// value of every column of the default view, aligned. Folders and entries
// without a track show empty columns. Names and values are shown by
// ShownText; with nullSeparated they are printed as they are and every
// line ends with a NUL instead.
void PrintLongListing(THostHarness& host, const std::u16string& folder, const std::vector<TEntry>& entries,
                      std::ostream& out, bool nullSeparated = false);

}  // namespace velmaro::host
