// Exact lookups under the platform's case-insensitive collation
// (systemnocase) that do not compare every row of the library.
//
// A condition `column = ? collate systemnocase` cannot use the file's
// indexes, which fold ASCII letters only, so SQLite compares every row
// through the platform. Instead, for as long as the connection is open and
// the file unchanged, a column's values are kept in a table sorted by a
// 64-bit hash of their sort key (platform::NoCaseSortKeySystem: two keys
// are equal exactly when the collation calls the texts equal). A text's
// candidates are the entries with its key's hash; the caller still checks
// them with the collation itself, so that a hash collision costs a row
// read, never a wrong row. Nothing is added to the library file.
//
// The tables are rebuilt when `PRAGMA data_version` says another connection
// changed the file, or the connection's own count of changed rows moved (a
// rollback drops them, see TConnectionCache).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/TDISQLite3Database.h"

namespace velmaro {

// The stored values of a text column of mp3files that the collation may
// call equal to a text, one for each group of values the column's own
// NOCASE collation calls equal (such values differ in the case of ASCII
// letters only, which the collation ignores too): bound back as they are,
// `column in (...)` finds every row of the group through the column's
// index.
struct TValueCandidates {
  // False when the column holds numbers: only comparing every row is exact.
  bool Usable = false;
  std::vector<std::string> Values;  // UTF-8 as stored
};
TValueCandidates ValueCandidates(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text);

// The rows of mp3files whose column may hold a text the collation calls
// equal to this one, by rowid in ascending order.
struct TRowCandidates {
  bool Usable = false;
  std::vector<std::int64_t> Rowids;
};
TRowCandidates RowCandidates(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text);

// Tells the lookup that the caller wrote the row rowid with the text in
// the column, after its RowCandidates for that text and with nothing else
// written since: the column's table takes the row instead of being read
// again.
void NoteRowWritten(TDISQLite3Database& database, std::u16string_view column, std::u16string_view text,
                    std::int64_t rowid);

// " in (?first, ?first+1, ...)" for count parameters.
std::u16string InParameters(int first, std::size_t count);

// At most this many candidates go into one query's list; beyond, the query
// compares every row.
inline constexpr std::size_t MaxListedCandidates = 500;

}  // namespace velmaro
