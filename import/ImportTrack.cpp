#include "import/ImportTrack.h"

#include <functional>
#include <vector>

#include "import/FormatFields.h"
#include "import/Mp3Fields.h"
#include "import/TagText.h"
#include "library/SqlText.h"
#include "library/TNoCaseLookup.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tags/id3v1/TID3v1Tag.h"
#include "tags/id3v2/TID3v2Tag.h"

namespace velmaro::import {

namespace {

struct TFormatBranch {
  std::vector<std::u16string_view> Extensions;  // lower case, with the full stop
  bool (*Read)(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
};

// The formats in the order they are tried.
const std::vector<TFormatBranch>& FormatBranches() {
  static const std::vector<TFormatBranch> branches = {
      {{u".mp3"}, ReadMp3Fields},
      {{u".flac"}, ReadFlacFields},
      {{u".wma"}, ReadWmaFields},
      {{u".ogg"}, ReadOggFields},
      {{u".m4a", u".m4r", u".m4b"}, ReadMp4Fields},
      {{u".opus"}, ReadOpusFields},
      {{u".oga"}, ReadOgaFields},
  };
  return branches;
}

// The extension from the last full stop of the file name, lower-cased.
std::u16string LowerExtension(std::u16string_view path) {
  std::size_t dot = path.find_last_of(u'.');
  const std::size_t delim = path.find_last_of(platform::DirDelim);
  if (dot == std::u16string_view::npos || (delim != std::u16string_view::npos && dot < delim)) return {};
  return platform::LowerCase(path.substr(dot));
}

// Why no branch took the file: what the file itself shows first, then
// what the last branch tried said.
TSkipReason DeclinedReason(std::u16string_view path, bool extensionKnown, TSkipReason branchReason) {
  if (!platform::FileExists(path)) return TSkipReason::NoFile;
  if (!extensionKnown) return TSkipReason::UnknownExtension;
  {
    platform::TReadFile file(path);
    if (!file.IsOpen()) return TSkipReason::Unreadable;
    if (file.Size() == 0) return TSkipReason::Empty;
  }
  return branchReason == TSkipReason::None ? TSkipReason::NotAudio : branchReason;
}

}  // namespace

void InitReaderDefaults() {
  tags::TID3v1Tag::SetDefaultReturnANSIText(true);
  tags::TID3v2Tag::SetDefaultDecodeANSIText(true);
}

std::u16string SkipReasonText(TSkipReason reason) {
  switch (reason) {
    case TSkipReason::None: return u"";
    case TSkipReason::NoFile: return u"no such file";
    case TSkipReason::UnknownExtension: return u"unknown extension";
    case TSkipReason::Unreadable: return u"cannot be opened";
    case TSkipReason::Empty: return u"empty file";
    case TSkipReason::NotAudio: return u"not audio the library takes";
    case TSkipReason::TooShort: return u"too short";
    case TSkipReason::Channels: return u"a channel count the library does not take";
    case TSkipReason::ReadError: return u"could not be read";
    case TSkipReason::CaseTwin: return u"the library holds a file whose path differs only in letter case";
  }
  return u"not audio the library takes";
}

bool ReadTrackFields(std::u16string_view path, TTrackFields& fields, TSkipReason* why) {
  fields = TTrackFields{};
  const std::u16string extension = LowerExtension(path);
  bool accepted = false, extensionKnown = false;
  TSkipReason branchReason = TSkipReason::None;
  for (const TFormatBranch& branch : FormatBranches()) {
    bool matches = false;
    for (std::u16string_view known : branch.Extensions) matches = matches || extension == known;
    if (!matches) continue;
    extensionKnown = true;
    TTrackFields candidate;
    branchReason = TSkipReason::None;
    if (branch.Read(path, candidate, branchReason)) {
      fields = std::move(candidate);
      accepted = true;
      break;
    }
  }
  if (!accepted) {
    if (why) *why = DeclinedReason(path, extensionKnown, branchReason);
    return false;
  }
  if (why) *why = TSkipReason::None;
  if (Trim(fields.mf_artist).empty()) fields.mf_artist = ArtistFromFileName(path);
  if (Trim(fields.mf_title).empty()) fields.mf_title = TitleFromFileName(path);
  if (Trim(fields.mf_album).empty()) fields.mf_album = u"Music";
  fields.mf_timeadded = platform::IntToU16(LocalUnixSeconds());
  return true;
}

namespace {

// The rows a path's condition may find, where the platform ignores letter
// case in paths: found through the lookup's table of the library's paths
// instead of comparing every row. On other platforms the condition
// compares with the column's own collation and its unique index serves it.
struct TPathRows {
  bool Listed = false;  // the rows are listed below (else the condition alone finds them)
  std::vector<std::u16string> Params;  // ?1 the path, then the rowids
  std::u16string Condition;
};

TPathRows PathRows(TDISQLite3Database& database, std::u16string_view path) {
  TPathRows rows;
  rows.Params.emplace_back(path);
  rows.Condition = PathCondition();
  if (!platform::PathsIgnoreCase) return rows;
  const TRowCandidates candidates = RowCandidates(database, u"mf_path", path);
  if (!candidates.Usable || candidates.Rowids.size() > MaxListedCandidates) return rows;
  rows.Listed = true;
  for (const std::int64_t rowid : candidates.Rowids) rows.Params.push_back(platform::IntToU16(rowid));
  // The rowids are bound as texts of whole numbers: cast, they are the
  // rows' own keys.
  std::u16string list = u"rowid in (";
  for (std::size_t i = 0; i < candidates.Rowids.size(); ++i)
    list += (i > 0 ? u", cast(?" : u"cast(?") + platform::IntToU16(static_cast<long long>(i) + 2) + u" as integer)";
  rows.Condition = list + u") and " + rows.Condition;
  return rows;
}

bool NoRows(const TPathRows& rows) { return rows.Listed && rows.Params.size() == 1; }

// The rows a path's condition finds: the marks of the first one stored,
// and every row's own path.
struct TStoredRows {
  TExistingMarks Marks;
  std::vector<std::u16string> Paths;
};

TStoredRows ReadStoredRows(TDISQLite3Database& database, const TPathRows& rows) {
  TStoredRows stored;
  if (NoRows(rows)) return stored;
  TDISQLite3UniDirQuery query(&database);
  query.SetSQL(u"select \"mf_favorite\", \"mf_rating\", \"mf_path\" from \"mp3files\" where " + rows.Condition +
               (rows.Listed ? u" order by rowid" : u""));
  query.SetParams(rows.Params);
  for (query.Open(); !query.Eof(); query.Next()) {
    if (stored.Paths.empty()) {
      stored.Marks.Favorite = query.Fields(0).AsString();
      stored.Marks.Rating = query.Fields(1).AsString();
    }
    stored.Paths.push_back(query.Fields(2).AsString());
  }
  query.Close();
  return stored;
}

// Where paths tell letter case apart but the file's key ignores it, a row
// of another file whose path differs only in case, and which is still
// there: replacing its row would drop a file that was recorded. A row
// whose file is gone (renamed to this one) is replaced as ever.
bool HasCaseTwin(const TStoredRows& stored, std::u16string_view path) {
  if (platform::PathsIgnoreCase) return false;
  for (const std::u16string& other : stored.Paths)
    if (other != path && platform::FilePresence(other) != platform::TFilePresence::Gone) return true;
  return false;
}

std::int64_t DeleteRows(TDISQLite3Database& database, const TPathRows& rows) {
  if (NoRows(rows)) return 0;
  database.Execute16(u"DELETE from \"mp3files\" where " + rows.Condition, rows.Params);
  return database.Changes();
}

void WriteRow(TDISQLite3Database& database, std::u16string_view path, const TPathRows& rows, const TTrackFields& f,
              const std::u16string& favorite, const std::u16string& rating) {
  DeleteRows(database, rows);
  database.Execute16(
      u"REPLACE INTO [mp3files] (mf_path, mf_artist, mf_title, mf_album, mf_year, mf_genre, mf_comment, "
      u"mf_favorite, mf_length, mf_bitrate, mf_samplerate, mf_trackno, mf_rating, mf_hasimage, "
      u"mf_channelsmode, mf_mpegversion, mf_mpeglayer, mf_filetype, mf_filesize, mf_timeadded) "
      u"VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)",
      {std::u16string(path), f.mf_artist, f.mf_title, f.mf_album, f.mf_year, f.mf_genre, f.mf_comment, favorite,
       f.mf_length, f.mf_bitrate, f.mf_samplerate, f.mf_trackno, rating, f.mf_hasimage, f.mf_channelsmode,
       f.mf_mpegversion, f.mf_mpeglayer, platform::IntToU16(f.mf_filetype), f.mf_filesize, f.mf_timeadded});
  if (rows.Listed) NoteRowWritten(database, u"mf_path", path, database.LastInsertRowId());
}

}  // namespace

TExistingMarks ReadExistingMarks(TDISQLite3Database& database, std::u16string_view path) {
  return ReadStoredRows(database, PathRows(database, path)).Marks;
}

void WriteTrackRow(TDISQLite3Database& database, std::u16string_view path, const TTrackFields& f,
                   const std::u16string& favorite, const std::u16string& rating) {
  WriteRow(database, path, PathRows(database, path), f, favorite, rating);
}

std::int64_t DeleteTrackRow(TDISQLite3Database& database, std::u16string_view path) {
  return DeleteRows(database, PathRows(database, path));
}

bool ImportTrack(std::u16string_view path, TDISQLite3Database& database, bool favorite) {
  return ImportTrackFile(path, database, favorite) == TImportResult::Imported;
}

TImportResult RecordTrack(TDISQLite3Database& database, std::u16string_view path, const TTrackFields& fields,
                          bool favorite, TSkipReason* why) {
  try {
    database.StartTransaction(TTransactionType::ttDeferred);
  } catch (...) {
    return TImportResult::Failed;
  }
  try {
    const TPathRows rows = PathRows(database, path);
    const TStoredRows stored = ReadStoredRows(database, rows);
    if (HasCaseTwin(stored, path)) {
      database.Rollback();
      if (why) *why = TSkipReason::CaseTwin;
      return TImportResult::NotAccepted;
    }
    const TExistingMarks& marks = stored.Marks;
    const std::u16string favoriteValue = favorite ? std::u16string(u"1") : marks.Favorite;
    WriteRow(database, path, rows, fields, favoriteValue, marks.Rating);
    database.Commit();
    return TImportResult::Imported;
  } catch (...) {
    try {
      database.Rollback();
    } catch (...) {
    }
    return TImportResult::Failed;
  }
}

TImportResult ImportTrackFile(std::u16string_view path, TDISQLite3Database& database, bool favorite,
                              TSkipReason* why) {
  if (why) *why = TSkipReason::None;
  TTrackFields fields;
  try {
    if (!ReadTrackFields(path, fields, why)) return TImportResult::NotAccepted;
  } catch (...) {
    if (why) *why = TSkipReason::ReadError;
    return TImportResult::NotAccepted;
  }
  return RecordTrack(database, path, fields, favorite, why);
}

}  // namespace velmaro::import
