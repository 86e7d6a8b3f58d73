#include "ui/TfmMainSettings.h"

#include <exception>
#include <vector>

#include "import/ImportTrack.h"
#include "import/TagText.h"
#include "library/Errors.h"
#include "library/Library.h"
#include "library/TDISQLite3Statement.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace velmaro::ui {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// The rows the rebuild reads and writes under the lock at a time; the
// files of one chunk are read without it.
constexpr int RebuildChunk = 256;
// How long the end of a rebuild or of emptying waits for other programs
// that read the library.
constexpr int CommitPatienceMs = 3000;

std::u16string ErrorText(const std::exception& error) { return platform::Utf8ToUtf16(error.what()); }

// The text after the last separator of a real path.
std::u16string FileNamePart(std::u16string_view path) {
  const std::u16string folder = ExtractFilePath(path);
  return std::u16string(path.substr(folder.size()));
}

bool SameFile(std::u16string_view a, std::u16string_view b) {
  if (platform::PathsIgnoreCase) return platform::CompareNoCaseSystem(a, b) == 0;
  return a == b;
}

std::u16string Quoted(const std::u16string& value) { return u"\"" + value + u"\""; }

// What the rebuild does with one row.
struct TRowAction {
  std::int64_t RowId = 0;
  enum { Delete, Update, Keep } Kind = Keep;
  import::TTrackFields Fields;
};

std::u16string UpdateSQL(const TRowAction& action) {
  const import::TTrackFields& f = action.Fields;
  return u"UPDATE [mp3files] SET mf_artist=" + Quoted(f.mf_artist) + u", mf_title=" + Quoted(f.mf_title) +
         u", mf_album=" + Quoted(f.mf_album) + u", mf_year=" + Quoted(f.mf_year) + u", mf_genre=" +
         Quoted(f.mf_genre) + u", mf_comment=" + Quoted(f.mf_comment) + u", mf_length=" + Quoted(f.mf_length) +
         u", mf_bitrate=" + Quoted(f.mf_bitrate) + u", mf_samplerate=" + Quoted(f.mf_samplerate) +
         u", mf_trackno=" + Quoted(f.mf_trackno) + u", mf_hasimage=" + Quoted(f.mf_hasimage) +
         u", mf_channelsmode=" + Quoted(f.mf_channelsmode) + u", mf_mpegversion=" + Quoted(f.mf_mpegversion) +
         u", mf_mpeglayer=" + Quoted(f.mf_mpeglayer) + u", mf_filetype=" +
         Quoted(platform::IntToU16(f.mf_filetype)) + u", mf_filesize=" + Quoted(f.mf_filesize) +
         u", mf_timeadded =" + Quoted(f.mf_timeadded) + u" WHERE rowid=" + platform::IntToU16(action.RowId);
}

}  // namespace

std::u16string FormatSize(double value) { return platform::FormatWholeNumber(value); }

TfmMainSettings::TfmMainSettings(const TDialogContext& context, TDialogView& view)
    : FContext(context), FView(view) {}

TDISQLite3Database* TfmMainSettings::Database() const {
  return FContext.Library ? FContext.Library->LibraryDatabase.get() : nullptr;
}

void TfmMainSettings::RequireOpenLibrary() const {
  const TDISQLite3Database* db = Database();
  if (db == nullptr || !db->Connected() || !FContext.Library->DatabaseReady)
    throw EDatabaseError("Cannot perform this operation on a closed database");
}

void TfmMainSettings::FormShow() { RefreshInfo(); }

void TfmMainSettings::RefreshInfo() {
  TGuard guard(*FContext.Lock);
  TDISQLite3Database* db = Database();
  DBPath = db ? db->DatabaseName() : std::u16string();
  FView.SetText("edPath", NewDBPath.empty() ? DBPath : NewDBPath);
  FView.SetText("lblDBPath", u"Database Path:\r\n" + DBPath);
  LastRecordsCount = DefRecordsCount;
  // A count that cannot be taken leaves the last good one.
  try {
    if (db != nullptr && db->Connected() && FContext.Library->DatabaseReady) {
      const auto statement = db->Prepare16(u"select count(*) from \"mp3files\"");
      if (statement->Step() == 100) DefRecordsCount = statement->Column_Int64(0);
    }
  } catch (const std::exception&) {
  }
  FView.SetText("lblRecordsCount", u"Records in Database: " + platform::IntToU16(DefRecordsCount));
}

void TfmMainSettings::btSelectDBpathClick() {
  const std::optional<std::u16string> chosen = FView.ChooseDatabaseFile(ExtractFilePath(DBPath), FileNamePart(DBPath));
  if (!chosen || chosen->empty()) return;
  NewDBPath = *chosen;
  FView.SetText("edPath", NewDBPath);
}

void TfmMainSettings::btOKClick() {
  std::u16string value = DBPath;
  // Where the file system tells case apart, a name differing only in case
  // is another file.
  if (!NewDBPath.empty() && !SameFile(NewDBPath, DBPath)) {
    AskUser(u"New Database file will be used after restart", TAskKind::Information);
    value = NewDBPath;
  }
  try {
    std::u16string ini;
    {
      TGuard guard(*FContext.Lock);
      ini = FContext.Library ? FContext.Library->IniFileName : std::u16string();
    }
    platform::IniWriteString(ini, SettingsSection, SettingsDBPathKey, value);
  } catch (const std::exception& error) {
    // The choice was not stored: the dialog stays open for another try
    // or Cancel.
    AskUser(ErrorText(error), TAskKind::Error);
    return;
  }
  FView.Close();
}

bool TfmMainSettings::RebuildRows() {
  TDISQLite3Database& db = *Database();
  std::int64_t total = 0;
  {
    TGuard guard(*FContext.Lock);
    const auto statement = db.Prepare16(u"select count(*) from \"mp3files\"");
    if (statement->Step() == 100) total = statement->Column_Int64(0);
  }
  // Rows are walked in rowid ranges and each is written by its rowid: no
  // scan stays open on the table while its rows change.
  std::int64_t last = 0, done = 0;
  for (;;) {
    std::vector<std::pair<std::int64_t, std::u16string>> rows;
    {
      TGuard guard(*FContext.Lock);
      TDISQLite3UniDirQuery query(&db);
      query.SetSQL(u"select rowid, \"mf_path\" from \"mp3files\" where rowid>" + platform::IntToU16(last) +
                   u" order by rowid limit " + platform::IntToU16(RebuildChunk));
      query.Open();
      for (; !query.Eof(); query.Next()) rows.emplace_back(query.Fields(0).AsInteger(), query.Fields(1).AsString());
    }
    if (rows.empty()) return true;

    // The files are read without the lock: the host's other threads go on.
    std::vector<TRowAction> actions(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      TRowAction& action = actions[i];
      action.RowId = rows[i].first;
      if (!platform::FileExists(rows[i].second)) {
        action.Kind = TRowAction::Delete;
      } else if (import::ReadTrackFields(rows[i].second, action.Fields)) {
        action.Kind = TRowAction::Update;
        action.Fields.mf_timeadded = platform::IntToU16(import::LocalUnixSeconds());
      }
    }
    {
      TGuard guard(*FContext.Lock);
      for (const TRowAction& action : actions) {
        if (action.Kind == TRowAction::Delete) {
          db.Execute16(u"DELETE from \"mp3files\" where rowid=" + platform::IntToU16(action.RowId));
          ++FLastRebuild.Deleted;
        } else if (action.Kind == TRowAction::Update) {
          db.Execute16(UpdateSQL(action));
          ++FLastRebuild.Refreshed;
        } else {
          ++FLastRebuild.Unchanged;
        }
      }
    }
    last = rows.back().first;
    done += static_cast<std::int64_t>(rows.size());
    if (!FView.Progress(std::min(done, total), total)) return false;
  }
}

void TfmMainSettings::btRebuildDatabaseClick() {
  if (AskUser(u"This may take long time.\rRebuild database?", TAskKind::Question) != TAnswer::Yes) return;
  FLastRebuild = {};
  std::u16string error;
  {
    TBusyCursor busy(FView);
    TDISQLite3Database* db = Database();
    try {
      RequireOpenLibrary();
      {
        TGuard guard(*FContext.Lock);
        FContext.CloseColumnQuery();
        db->StartTransaction(TTransactionType::ttDeferred);
      }
      bool finished = false;
      try {
        finished = RebuildRows();
      } catch (...) {
        TGuard guard(*FContext.Lock);
        db->Rollback();
        throw;
      }
      TGuard guard(*FContext.Lock);
      if (finished) {
        db->CommitOrRollback(CommitPatienceMs);
      } else {
        // Cancelled: nothing of the run stays, as after an error.
        db->Rollback();
        FLastRebuild.Cancelled = true;
      }
    } catch (const std::exception& e) {
      error = ErrorText(e);
    }
    if (db != nullptr && db->Connected()) {
      TGuard guard(*FContext.Lock);
      try {
        db->Execute("drop table if exists mp3files_temp");
      } catch (const std::exception&) {
      }
    }
  }
  if (!error.empty()) AskUser(error, TAskKind::Error);
  RefreshInfo();
  const std::u16string counts = u"Records was: " + platform::IntToU16(LastRecordsCount) + u", now: " +
                                platform::IntToU16(DefRecordsCount);
  AskUser(FLastRebuild.Cancelled ? u"Rebuild cancelled: nothing was changed.\r" + counts : counts,
          TAskKind::Information);
}

void TfmMainSettings::btReindexVacuumClick() {
  if (AskUser(u"Reindex database?", TAskKind::Question) != TAnswer::Yes) return;
  std::u16string error;
  double before = -1, after = -1;
  {
    TBusyCursor busy(FView);
    TGuard guard(*FContext.Lock);
    TDISQLite3Database* db = Database();
    try {
      RequireOpenLibrary();
      before = static_cast<double>(platform::FileSize(db->DatabaseName()));
      FContext.CloseColumnQuery();
      // VACUUM cannot run inside a transaction: an operation of the host
      // that is still writing (a copy into the panel) must end first.
      if (db->InTransaction())
        throw EDatabaseError("The library is being written to by another operation. "
                             "Re-index and vacuum once it has finished.");
      db->Execute("REINDEX");
      db->Vacuum();
      after = static_cast<double>(platform::FileSize(db->DatabaseName()));
    } catch (const std::exception& e) {
      error = ErrorText(e);
    }
  }
  if (!error.empty()) {
    AskUser(error, TAskKind::Error);
    return;
  }
  if (before == after) {
    AskUser(u"File Size:\r\n" + FormatSize(before) + u" bytes (" + FormatSize(before / 1024) +
                u" Kb)\r\nNo Vacuum Effect",
            TAskKind::Information);
  } else {
    AskUser(u"Before Vacuum:\r\n" + FormatSize(before) + u" bytes (" + FormatSize(before / 1024) +
                u" Kb)\r\nAfter Vacuum:\r\n" + FormatSize(after) + u" bytes (" + FormatSize(after / 1024) + u" Kb)",
            TAskKind::Information);
  }
}

void TfmMainSettings::btEmptyDatabaseClick() {
  if (AskUser(u"All data will be deleted!\rEmpty database?", TAskKind::Warning) != TAnswer::Yes) return;
  std::u16string error;
  {
    TBusyCursor busy(FView);
    TGuard guard(*FContext.Lock);
    TDISQLite3Database* db = Database();
    try {
      RequireOpenLibrary();
      FContext.CloseColumnQuery();
      db->StartTransaction(TTransactionType::ttDeferred);
      try {
        db->Execute("DELETE from mp3files");
      } catch (...) {
        db->Rollback();
        throw;
      }
      db->CommitOrRollback(CommitPatienceMs);
    } catch (const std::exception& e) {
      error = ErrorText(e);
    }
  }
  if (!error.empty()) AskUser(error, TAskKind::Error);
  RefreshInfo();
}

}  // namespace velmaro::ui
