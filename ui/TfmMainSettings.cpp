#include "ui/TfmMainSettings.h"

#include <exception>
#include <optional>
#include <vector>

#include "import/ImportTrack.h"
#include "import/TagText.h"
#include "library/Errors.h"
#include "library/TWriteTransaction.h"
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

// How long the rebuild waits for another operation to let the library go
// before it gives up (the user may cancel sooner).
constexpr int RebuildPatienceMs = 60000;

// Whether the library holds the table an old version left behind.
bool HasTempTable(TDISQLite3Database& db) {
  const auto statement =
      db.Prepare16(u"select count(*) from sqlite_master where type='table' and name='mp3files_temp'");
  return statement->Step() == 100 && statement->Column_Int64(0) > 0;
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

bool TfmMainSettings::ProgressUnlocked(std::unique_lock<std::recursive_mutex>& guard, std::int64_t done,
                                       std::int64_t total) {
  guard.unlock();
  bool goOn = true;
  try {
    goOn = FView.Progress(done, total);
  } catch (...) {
    guard.lock();
    throw;
  }
  guard.lock();
  return goOn;
}

bool TfmMainSettings::ReadRows(import::TRebuildStage& stage, std::int64_t total) {
  TDISQLite3Database& db = *Database();
  // Rows are walked in rowid ranges: no scan stays open on the table, and
  // the files are read without the lock, so the host's other threads go on.
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
    for (const auto& [rowid, path] : rows) {
      // Only a file known to be gone loses its row: one that cannot be
      // reached now (a folder without permission, a drive not mounted, a
      // share that is down) keeps its row, ratings and edits.
      switch (platform::FilePresence(path)) {
        case platform::TFilePresence::Gone: stage.AddDelete(rowid, path); continue;
        case platform::TFilePresence::Unreachable: ++FLastRebuild.NotReachable; continue;
        case platform::TFilePresence::Present: break;
      }
      import::TTrackFields fields;
      import::TSkipReason why = import::TSkipReason::None;
      bool accepted = false;
      try {
        accepted = import::ReadTrackFields(path, fields, &why);
      } catch (...) {
        why = import::TSkipReason::ReadError;
      }
      if (accepted) {
        fields.mf_timeadded = platform::IntToU16(import::LocalUnixSeconds());
        stage.AddUpdate(rowid, path, fields);
      } else if (why == import::TSkipReason::Unreadable || why == import::TSkipReason::ReadError ||
                 why == import::TSkipReason::NoFile) {
        ++FLastRebuild.NotReachable;
      } else {
        ++FLastRebuild.Unchanged;
      }
    }
    last = rows.back().first;
    done += static_cast<std::int64_t>(rows.size());
    if (!FView.Progress(std::min(done, total), total + total / 10)) return false;
  }
}

bool TfmMainSettings::SaveRows(import::TRebuildStage& stage, std::int64_t total) {
  std::unique_lock<std::recursive_mutex> guard(*FContext.Lock);
  const std::int64_t steps = total + total / 10;
  bool cancelled = false;
  // The rebuild's own transaction: a copy that the host runs meanwhile
  // ends its own first, and Cancel undoes only the rebuild's work.
  std::optional<TWriteTransaction> write;
  try {
    write.emplace(*FContext.Library, *FContext.Lock, u"a rebuild", RebuildPatienceMs, [&] {
      cancelled = cancelled || !FView.Progress(total, steps);
      return !cancelled;
    });
  } catch (...) {
    // Cancelled while it waited for the library: nothing was saved.
    if (cancelled) return false;
    throw;
  }
  TDISQLite3Database& db = write->Database();
  FContext.CloseColumnQuery();
  const std::int64_t staged = std::max<std::int64_t>(stage.Count(), 1);
  std::int64_t after = 0, applied = 0;
  import::TRebuildStage::TApplied counts;
  for (;;) {
    after = stage.ApplyChunk(db, after, RebuildChunk * 4, counts);
    if (after == 0) break;
    applied += RebuildChunk * 4;
    if (!ProgressUnlocked(guard, total + std::min(applied, staged) * (steps - total) / staged, steps)) {
      write->Rollback();
      return false;
    }
  }
  if (HasTempTable(db)) db.Execute("drop table if exists mp3files_temp");
  write->Commit();
  FLastRebuild.Deleted = counts.Deleted;
  FLastRebuild.Refreshed = counts.Refreshed;
  return true;
}

void TfmMainSettings::btRebuildDatabaseClick() {
  if (AskUser(u"This may take long time.\rRebuild database?", TAskKind::Question) != TAnswer::Yes) return;
  FLastRebuild = {};
  std::u16string error;
  {
    TBusyCursor busy(FView);
    try {
      RequireOpenLibrary();
      std::int64_t total = 0;
      {
        TGuard guard(*FContext.Lock);
        const auto statement = Database()->Prepare16(u"select count(*) from \"mp3files\"");
        if (statement->Step() == 100) total = statement->Column_Int64(0);
      }
      // Nothing reaches the library until every file was read; then all of
      // it at once, or nothing.
      import::TRebuildStage stage;
      FLastRebuild.Cancelled = !ReadRows(stage, total) || !SaveRows(stage, total);
      if (FLastRebuild.Cancelled) FLastRebuild.Deleted = FLastRebuild.Refreshed = 0;
    } catch (const std::exception& e) {
      FLastRebuild.Deleted = FLastRebuild.Refreshed = 0;
      error = ErrorText(e);
    }
  }
  if (!error.empty()) AskUser(error, TAskKind::Error);
  RefreshInfo();
  std::u16string report = u"Records was: " + platform::IntToU16(LastRecordsCount) + u", now: " +
                          platform::IntToU16(DefRecordsCount);
  if (FLastRebuild.Cancelled) report = u"Rebuild cancelled: nothing was changed.\r" + report;
  if (!FLastRebuild.Cancelled && error.empty() && FLastRebuild.NotReachable > 0)
    report += u"\r" + platform::IntToU16(FLastRebuild.NotReachable) +
              (FLastRebuild.NotReachable == 1 ? u" file could not be reached; its row was kept."
                                              : u" files could not be reached; their rows were kept.");
  AskUser(report, TAskKind::Information);
}

void TfmMainSettings::btReindexVacuumClick() {
  if (AskUser(u"Reindex database?", TAskKind::Question) != TAnswer::Yes) return;
  std::u16string error;
  double before = -1, after = -1;
  {
    TBusyCursor busy(FView);
    std::unique_lock<std::recursive_mutex> guard(*FContext.Lock);
    TDISQLite3Database* db = Database();
    const void* owner = this;
    bool held = false;
    try {
      RequireOpenLibrary();
      // VACUUM runs outside any transaction: the library is held, with no
      // transaction open, until both are done.
      held = FContext.Library->WriteGate.Enter(owner, u"re-index and vacuum", *FContext.Lock, BusyPatienceMs);
      if (!held) throw EDatabaseError(platform::Utf16ToUtf8(LibraryBusyText(FContext.Library->WriteGate.Holder())));
      if (db->InTransaction())
        throw EDatabaseError("The library is being written to by another operation. "
                             "Re-index and vacuum once it has finished.");
      before = static_cast<double>(platform::FileSize(db->DatabaseName()));
      FContext.CloseColumnQuery();
      db->Execute("REINDEX");
      db->Vacuum();
      after = static_cast<double>(platform::FileSize(db->DatabaseName()));
    } catch (const std::exception& e) {
      error = ErrorText(e);
    }
    if (held) FContext.Library->WriteGate.Leave(owner);
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
    try {
      RequireOpenLibrary();
      TWriteTransaction write(*FContext.Library, *FContext.Lock, u"emptying the library");
      FContext.CloseColumnQuery();
      write.Database().Execute("DELETE from mp3files");
      write.Commit();
    } catch (const std::exception& e) {
      error = ErrorText(e);
    }
  }
  if (!error.empty()) AskUser(error, TAskKind::Error);
  RefreshInfo();
}

}  // namespace velmaro::ui
