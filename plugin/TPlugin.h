// The plug-in as the host sees it: the process-wide state and the
// behaviour of every export. The exports themselves (Exports.cpp) only
// take the process-wide lock and call in here; tests drive this class
// directly.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "import/TrackFields.h"
#include "library/Library.h"
#include "library/TWriteTransaction.h"
#include "plugin/FsPluginApi.h"
#include "plugin/TColumnProvider.h"
#include "plugin/TCopyOut.h"
#include "plugin/TFolderTree.h"
#include "plugin/TStringHolder.h"
#include "ui/TDialogContext.h"

namespace velmaro {

inline constexpr char RootName[] = "Velmaro";

// "Velmaro 64-bit", or 32-bit: the root's version text.
std::u16string VersionText();

class TPlugin {
 public:
  TPlugin();
  // Unload: frees the registry, the listing state and the library.
  ~TPlugin();
  TPlugin(const TPlugin&) = delete;
  TPlugin& operator=(const TPlugin&) = delete;

  // The one lock around all process-wide state: the host asks column
  // values from a worker thread while its main thread lists and copies.
  std::recursive_mutex& Lock() { return FLock; }

  // Holds the lock for one call from the host. Messages for the host that
  // arise meanwhile wait until the lock is let go: the host's request
  // callback may take its time (a message box), and its other threads must
  // not wait for the user meanwhile.
  class TCallScope {
   public:
    explicit TCallScope(TPlugin& plugin);
    ~TCallScope();
    TCallScope(const TCallScope&) = delete;
    TCallScope& operator=(const TCallScope&) = delete;

   private:
    TPlugin& FPlugin;
    std::unique_lock<std::recursive_mutex> FGuard;
  };

  int FsInitW(int pluginNr, fsapi::tProgressProcW progressProc, fsapi::tLogProcW logProc,
              fsapi::tRequestProcW requestProc);
  void FsGetDefRootName(char* defRootName, int maxlen) const;
  void FsSetDefaultParams(const fsapi::TDefaultParams* dps);
  void FsStatusInfoW(const char16_t* remoteDir, int infoStartEnd, int infoOperation);

  // Put and delete (PutDelete.cpp). A put tells the host's progress
  // callback of each file (0 before, 100 once recorded), without the lock;
  // a nonzero answer before the file is the host's cancel: FS_FILE_USERABORT,
  // the file not recorded, what the batch recorded committed. Locks for
  // itself.
  int FsPutFileW(const char16_t* localName, const char16_t* remoteName, int copyFlags);
  int FsDeleteFileW(const char16_t* remoteName);
  // Folders of the virtual tree exist while entries fill them: creating
  // one (before a folder is copied in) and removing one (after its entries
  // were deleted) succeed without anything to do.
  int FsMkDirW(const char16_t* path) const;
  int FsRemoveDirW(const char16_t* remoteName) const;

  // Local names and copying out, previews, custom columns (EntryAccess.cpp).
  int FsGetLocalNameW(char16_t* remoteName, int maxlen);
  int FsGetFileW(const char16_t* remoteName, const char16_t* localName, int copyFlags);
  int FsGetPreviewBitmapW(char16_t* remoteName, int width, int height, fsapi::TBitmapHandle* returnedBitmap);
  int FsContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxlen) const;
  int FsContentGetValueW(const char16_t* fileName, int fieldIndex, int unitIndex, void* fieldValue, int maxlen,
                         int flags);
  int FsContentGetDefaultViewW(char16_t* viewContents, char16_t* viewHeaders, char16_t* viewWidths,
                               char16_t* viewOptions, int maxlen) const;
  // Before a dialog writes to the library: no cached row outlives it.
  void CloseColumnQuery() { FColumns.CloseColumnQuery(); }

  // Executing an entry (Execute.cpp): "open" on a track opens the real
  // file with the desktop's default application, or lets the host open it
  // when none can be started; "properties" shows the track's Properties; the
  // Settings entry shows Settings; the root shows the version text.
  // Takes the lock only for each database action of a dialog.
  int FsExecuteFileW(fsapi::THwnd mainWin, const char16_t* remoteName, const char16_t* verb);
  // A command typed into the host's command line ("quote COMMAND"): the
  // Settings actions with their questions, progress and report through
  // the host's callbacks.
  int RunHostCommand(std::u16string_view command);
  // "open" on an entry: FS_EXEC_OK once its real file went to the default
  // application, FS_EXEC_YOURSELF when the entry names no file or no
  // opener could be started.
  int OpenTrack(std::u16string_view remote);
  ui::TDialogContext DialogContext(void* mainWin = nullptr);

  fsapi::THandle FsFindFirstW(const char16_t* path, fsapi::TFindDataW* findData);
  int FsFindNextW(fsapi::THandle handle, fsapi::TFindDataW* findData);
  int FsFindClose(fsapi::THandle handle);

  // Shows a text through the host's request callback as a message with an
  // OK button; dropped while the host has given no callback. Inside a
  // TCallScope the message is shown when the scope ends.
  void ShowHostMessage(const std::u16string& text);
  // Writes a detail line into the host's log through its log callback;
  // dropped while the host has given none. Inside a TCallScope the line
  // is written when the scope ends, in order with the messages.
  void LogDetail(const std::u16string& text);
  // Shows the messages, and writes the log lines, that this thread's calls
  // raised while they held the lock.
  void DeliverHostMessages();

  TLibraryState& Library() { return FLibrary; }
  // Whether this thread is inside a batch the host announced.
  bool InBatch();
  TFolderTree& Tree() { return FTree; }
  TCopyOut& CopyOut() { return FCopyOut; }
  TColumnProvider& Columns() { return FColumns; }
  const TInstanceRegistry& InstanceRegistry() const { return FInstanceRegistry; }
  int PluginNr() const { return FPluginNr; }
  fsapi::tProgressProcW ProgressProc() const { return FProgressProc; }
  fsapi::tRequestProcW RequestProc() const { return FRequestProc; }

 private:
  // A multi-file copy in or a delete, as the host announced it on one of
  // its threads: its imports and deletes share that batch's own
  // transaction, which holds the library's write gate while it is open. It
  // is committed at the batch's end, and on the way once it has been open
  // for a while or another operation waits for the library, so that
  // neither this process's other operations nor other programs wait long.
  struct TBatch {
    int Depth = 0;              // starts without their end yet
    bool Transaction = false;   // the batch's transaction is open
    bool LibraryTried = false;  // the library failed to open once already
    bool BusyReported = false;  // a refusal was shown once already
    int Recorded = 0;           // rows written, and deleted, in the open
    int Removed = 0;            // transaction
    std::chrono::steady_clock::time_point Opened;
  };
  // This thread's batch, or null.
  TBatch* ThisBatch();
  // Records one file copied into the panel; called with the lock held.
  int PutFile(const char16_t* localName, const char16_t* remoteName, int copyFlags);
  // Opens the library when it is not yet, at most once per batch.
  bool EnsureLibrary();
  // A log line naming a file the copy in skipped and why.
  void LogSkipped(std::u16string_view localName, import::TSkipReason why);
  // Makes sure the batch's transaction is open; false, with the reason
  // shown once per batch, when the library cannot be had.
  bool OpenBatchTransaction(TBatch& batch);
  // Opens the write of one call: the batch's transaction when the call is
  // part of one, else a transaction of its own in `own`. False, with the
  // reason shown, when the library cannot be had.
  bool OpenWrite(TBatch* batch, std::optional<TWriteTransaction>& own, std::u16string_view what);
  // Commits the batch's open transaction now when it has been open long
  // enough or another operation waits. False when the commit failed (its
  // work is then undone and the user told).
  bool MaybeCommitBatch(TBatch& batch);
  // Commits the batch's open transaction and lets the library go. False
  // when the commit failed (its work is then undone and the user told).
  bool CommitBatch(TBatch& batch);
  // Shows why the library could not be written (once per batch).
  void ReportWriteRefusal(TBatch* batch, const std::exception& error);
  void ReportDialogFailure(const std::u16string& why);

  // A message to show (RequestProc set) or a log line to write (LogProc set).
  struct TPendingMessage {
    fsapi::tRequestProcW RequestProc = nullptr;
    fsapi::tLogProcW LogProc = nullptr;
    int PluginNr = 0;
    std::u16string Text;
  };
  // Delivers at once, or queues while this thread is inside a call scope.
  void Post(TPendingMessage message);
  void Deliver(const TPendingMessage& message);

  std::recursive_mutex FLock;
  std::mutex FPendingLock;
  // Each thread's messages wait for that thread's call to end.
  std::map<std::thread::id, std::vector<TPendingMessage>> FPendingMessages;
  int FPluginNr = 0;
  fsapi::tProgressProcW FProgressProc = nullptr;
  fsapi::tLogProcW FLogProc = nullptr;
  fsapi::tRequestProcW FRequestProc = nullptr;
  TInstanceRegistry FInstanceRegistry;
  std::map<std::thread::id, TBatch> FBatches;
  TLibraryState FLibrary;
  TFolderTree FTree;
  TCopyOut FCopyOut{FTree};
  TColumnProvider FColumns{FLibrary, FTree};
};

}  // namespace velmaro
