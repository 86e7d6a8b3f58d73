// The import pipeline: one audio file becomes one library row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "import/TrackFields.h"
#include "library/TDISQLite3Database.h"

namespace velmaro::import {

// Switches on the reader defaults the import relies on (8-bit tag text in
// the system code page). Called once when the module starts; idempotent.
void InitReaderDefaults();

// Fills fields from the first format that accepts the file (by extension,
// then by its reader); false when none does, with the reason in *why when
// it is given.
bool ReadTrackFields(std::u16string_view path, TTrackFields& fields, TSkipReason* why = nullptr);

// A reason as a user reads it: "unknown extension", "too short", ...
std::u16string SkipReasonText(TSkipReason reason);

// The texts of mf_favorite and mf_rating stored for the path ("" when the
// library has no row for it).
struct TExistingMarks {
  std::u16string Favorite, Rating;
};
TExistingMarks ReadExistingMarks(TDISQLite3Database& database, std::u16string_view path);

enum class TImportResult {
  Imported,     // the row was written
  NotAccepted,  // no reader accepts the file: nothing changed
  Failed,       // the library could not be read or written: nothing changed
};

// Writes the row of a file whose fields were read, keeping the rating and
// (unless favorite asks for one) the favourite mark stored for its path.
// Runs in its own level of the caller's transaction (or its own
// transaction): Imported; NotAccepted when the library holds another file
// that is still there under a path differing only in letter case, which
// the row's key cannot tell apart (*why says so); or Failed with the
// library unchanged.
TImportResult RecordTrack(TDISQLite3Database& database, std::u16string_view path, const TTrackFields& fields,
                          bool favorite, TSkipReason* why = nullptr);

// ImportTrack with the reason of a false result; for NotAccepted, why a
// file was not taken goes into *why when it is given.
TImportResult ImportTrackFile(std::u16string_view path, TDISQLite3Database& database, bool favorite,
                              TSkipReason* why = nullptr);

// Reads the file and replaces its row (keeping its rating, and its
// favourite mark unless favorite asks for one). False when no reader
// accepts the file or an error occurs; the library is then unchanged.
bool ImportTrack(std::u16string_view path, TDISQLite3Database& database, bool favorite);

// Replaces the row of the path (an old row under another letter case of
// the same path included) by one holding these values; every value is
// bound, never spliced into the SQL.
void WriteTrackRow(TDISQLite3Database& database, std::u16string_view path, const TTrackFields& fields,
                   const std::u16string& favorite, const std::u16string& rating);

// Deletes the row of the path (under any letter case the platform's paths
// ignore); the number of rows deleted.
std::int64_t DeleteTrackRow(TDISQLite3Database& database, std::u16string_view path);

}  // namespace velmaro::import
