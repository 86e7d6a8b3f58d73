// The Settings dialog: which library file is in use and how many tracks
// it holds, the choice of another file for the next start, and the
// maintenance actions (rebuild, re-index and vacuum, empty).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "import/TRebuildStage.h"
#include "ui/TDialogContext.h"
#include "ui/TDialogView.h"

namespace velmaro::ui {

inline constexpr char16_t SettingsCaption[] = u"Settings";

class TfmMainSettings {
 public:
  TfmMainSettings(const TDialogContext& context, TDialogView& view);

  std::u16string DBPath;     // the library file in use
  std::u16string NewDBPath;  // the file chosen with "Select...", if any
  std::int64_t DefRecordsCount = 0;
  std::int64_t LastRecordsCount = 0;

  // Handlers.
  void FormShow();
  void btSelectDBpathClick();
  // Stores the choice of file and closes the dialog.
  void btOKClick();
  void btRebuildDatabaseClick();
  void btReindexVacuumClick();
  void btEmptyDatabaseClick();

  void RefreshInfo();
  TAnswer AskUser(const std::u16string& text, TAskKind kind) { return FView.AskUser(text, kind); }

  // How the last rebuild went: rows deleted (file gone), refreshed, left
  // alone (file no longer taken), kept because their file could not be
  // reached or read (a folder without permission, a drive away); whether
  // it was cancelled.
  struct TRebuildReport {
    std::int64_t Deleted = 0, Refreshed = 0, Unchanged = 0, NotReachable = 0;
    bool Cancelled = false;
  };
  const TRebuildReport& LastRebuild() const { return FLastRebuild; }

 private:
  TDISQLite3Database* Database() const;
  // Raises the closed-database error unless the library is open.
  void RequireOpenLibrary() const;
  // Reads every row's file and stages what changes; false when cancelled.
  bool ReadRows(import::TRebuildStage& stage, std::int64_t total);
  // Saves the staged changes in the rebuild's own transaction; false when
  // cancelled (nothing is then saved).
  bool SaveRows(import::TRebuildStage& stage, std::int64_t total);
  // Progress of the rebuild, with the lock let go while the window is
  // kept alive; false when the user asked to cancel.
  bool ProgressUnlocked(std::unique_lock<std::recursive_mutex>& guard, std::int64_t done, std::int64_t total);

  const TDialogContext& FContext;
  TDialogView& FView;
  TRebuildReport FLastRebuild;
};

// "%.0n": a whole number with the user's thousands separators.
std::u16string FormatSize(double value);

}  // namespace velmaro::ui
