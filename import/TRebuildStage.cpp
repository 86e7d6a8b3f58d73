#include "import/TRebuildStage.h"

#include "library/TDISQLite3Statement.h"
#include "platform/Text.h"

namespace velmaro::import {

namespace {

constexpr int DeleteKind = 0;
constexpr int UpdateKind = 1;

// The track's values in the order of the UPDATE's parameters ?1 to ?17.
constexpr int FieldCount = 17;

}  // namespace

TRebuildStage::TRebuildStage() : FStore(std::make_unique<TDISQLite3Database>()) {
  // An empty name: SQLite's private temporary database, removed on close.
  FStore->SetDatabaseName(u"");
  FStore->CreateDatabase();
  FStore->Execute(
      "CREATE TABLE stage (id INTEGER PRIMARY KEY, path TEXT, kind INTEGER, artist, title, album, year, genre, "
      "comment, length, bitrate, samplerate, trackno, hasimage, channelsmode, mpegversion, mpeglayer, filetype, "
      "filesize, timeadded)");
  FInsert = FStore->Prepare16(
      u"INSERT OR REPLACE INTO stage VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, "
      u"?17, ?18, ?19, ?20)");
}

TRebuildStage::~TRebuildStage() {
  FInsert.reset();
  FStore.reset();
}

void TRebuildStage::AddDelete(std::int64_t rowid, const std::u16string& path) {
  FInsert->Reset();
  FInsert->BindTexts(std::vector<std::u16string>(FieldCount + 3));
  FInsert->BindInt64(1, rowid);
  FInsert->BindText(2, path);
  FInsert->BindInt64(3, DeleteKind);
  FInsert->Step();
}

void TRebuildStage::AddUpdate(std::int64_t rowid, const std::u16string& path, const TTrackFields& f) {
  FInsert->Reset();
  FInsert->BindTexts({u"", path, u"", f.mf_artist, f.mf_title, f.mf_album, f.mf_year, f.mf_genre, f.mf_comment,
                      f.mf_length, f.mf_bitrate, f.mf_samplerate, f.mf_trackno, f.mf_hasimage, f.mf_channelsmode,
                      f.mf_mpegversion, f.mf_mpeglayer, platform::IntToU16(f.mf_filetype), f.mf_filesize,
                      f.mf_timeadded});
  FInsert->BindInt64(1, rowid);
  FInsert->BindInt64(3, UpdateKind);
  FInsert->Step();
}

std::int64_t TRebuildStage::Count() {
  const auto count = FStore->Prepare16(u"select count(*) from stage");
  return count->Step() == 100 ? count->Column_Int64(0) : 0;
}

std::int64_t TRebuildStage::ApplyChunk(TDISQLite3Database& library, std::int64_t after, int limit,
                                       TApplied& applied) {
  const auto rows = FStore->Prepare16(u"select * from stage where id > ?1 order by id limit ?2");
  rows->BindInt64(1, after);
  rows->BindInt64(2, limit);
  const auto remove = library.Prepare16(u"DELETE from \"mp3files\" where rowid=?1 and \"mf_path\"=?2");
  const auto update = library.Prepare16(
      u"UPDATE [mp3files] SET mf_artist=?1, mf_title=?2, mf_album=?3, mf_year=?4, mf_genre=?5, mf_comment=?6, "
      u"mf_length=?7, mf_bitrate=?8, mf_samplerate=?9, mf_trackno=?10, mf_hasimage=?11, mf_channelsmode=?12, "
      u"mf_mpegversion=?13, mf_mpeglayer=?14, mf_filetype=?15, mf_filesize=?16, mf_timeadded =?17 "
      u"WHERE rowid=?18 and \"mf_path\"=?19");
  std::int64_t last = 0;
  while (rows->Step() == 100) {
    last = rows->Column_Int64(0);
    const std::u16string path = rows->Column_Str16(1);
    if (rows->Column_Int64(2) == DeleteKind) {
      remove->Reset();
      remove->BindInt64(1, last);
      remove->BindText(2, path);
      remove->Step();
      applied.Deleted += library.Changes();
    } else {
      update->Reset();
      for (int i = 0; i < FieldCount; ++i) update->BindText(i + 1, rows->Column_Str16(3 + i));
      update->BindInt64(18, last);
      update->BindText(19, path);
      update->Step();
      applied.Refreshed += library.Changes();
    }
  }
  return last;
}

}  // namespace velmaro::import
