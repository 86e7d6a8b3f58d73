#include "plugin/TPlugin.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "import/ImportTrack.h"
#include "library/Errors.h"
#include "library/TWriteTransaction.h"
#include "plugin/ErrorTrap.h"
#include "ui/Dialogs.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace velmaro {

TPlugin::TPlugin() : FTree(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); }) {
  import::InitReaderDefaults();
  ui::KeepToolkitLoaded();
}

TPlugin::~TPlugin() {
  FInstanceRegistry.clear();
  FColumns.Release();
  FTree.Release();
  if (FLibrary.LibraryDatabase) {
    // A batch whose end the host never announced is kept, not rolled back
    // with the closing connection.
    try {
      while (FLibrary.LibraryDatabase->Connected() && FLibrary.LibraryDatabase->InTransaction())
        FLibrary.LibraryDatabase->Commit();
    } catch (...) {
    }
    FBatches.clear();
    FLibrary.LibraryDatabase.reset();
  }
}

int TPlugin::FsInitW(int pluginNr, fsapi::tProgressProcW progressProc, fsapi::tLogProcW logProc,
                     fsapi::tRequestProcW requestProc) {
  return Trapped("FsInitW", 0, [&] {
    FPluginNr = pluginNr;
    FProgressProc = progressProc;
    FLogProc = logProc;
    FRequestProc = requestProc;
    auto holder = std::make_unique<TStringHolder>();
    holder->FIndex = static_cast<std::int32_t>(FInstanceRegistry.size());
    holder->FPluginNr = pluginNr;
    holder->FProgressProc = progressProc;
    holder->FLogProc = logProc;
    holder->FRequestProc = requestProc;
    FInstanceRegistry.push_back(std::move(holder));
    return 0;
  });
}

void TPlugin::FsGetDefRootName(char* defRootName, int maxlen) const {
  if (defRootName == nullptr || maxlen <= 0) return;
  const std::size_t n = std::min(std::strlen(RootName), static_cast<std::size_t>(maxlen - 1));
  std::memcpy(defRootName, RootName, n);
  defRootName[n] = '\0';
}

void TPlugin::FsSetDefaultParams(const fsapi::TDefaultParams* dps) {
  Trapped("FsSetDefaultParams", 0, [&] {
    if (dps != nullptr) {
      const char* name = dps->DefaultIniName;
      const std::size_t length = strnlen(name, sizeof dps->DefaultIniName);
      FLibrary.IniFileName = platform::HostTextToUtf16(std::string_view(name, length));
    }
    if (!FLibrary.DatabaseReady)
      FLibrary.DatabaseReady = InitDatabase(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); });
    return 0;
  });
}

void TPlugin::FsStatusInfoW(const char16_t*, int infoStartEnd, int infoOperation) {
  // A copy in on a worker thread is announced as such, also for one file.
  if (infoOperation != fsapi::FS_STATUS_OP_PUT_MULTI && infoOperation != fsapi::FS_STATUS_OP_PUT_MULTI_THREAD &&
      infoOperation != fsapi::FS_STATUS_OP_DELETE)
    return;
  Trapped("FsStatusInfoW", 0, [&] {
    const std::thread::id thread = std::this_thread::get_id();
    if (infoStartEnd == fsapi::FS_STATUS_START) {
      // A batch inside a batch of the same thread is part of it.
      ++FBatches[thread].Depth;
      return 0;
    }
    const auto it = FBatches.find(thread);
    if (it == FBatches.end()) return 0;
    if (--it->second.Depth > 0) return 0;
    // A failed commit has told the user what was lost.
    CommitBatch(it->second);
    FBatches.erase(it);
    return 0;
  });
}

bool TPlugin::InBatch() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return ThisBatch() != nullptr;
}

TPlugin::TBatch* TPlugin::ThisBatch() {
  const auto it = FBatches.find(std::this_thread::get_id());
  return it == FBatches.end() ? nullptr : &it->second;
}

bool TPlugin::EnsureLibrary() {
  if (FLibrary.DatabaseReady) return true;
  TBatch* batch = ThisBatch();
  // One failed try per batch: a library that cannot be opened is reported
  // once, not for every file of the copy.
  if (batch != nullptr && batch->LibraryTried) return false;
  FLibrary.DatabaseReady = InitDatabase(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); });
  if (batch != nullptr) batch->LibraryTried = !FLibrary.DatabaseReady;
  return FLibrary.DatabaseReady;
}

namespace {

// What a batch is called while it holds the library.
constexpr char16_t BatchWhat[] = u"a copy into the panel or a delete";
// How long a batch keeps its transaction open before it commits on the
// way, and how long it then stays away from the file, so that another
// program's writer (which tries every few milliseconds) gets its turn.
constexpr auto BatchSlice = std::chrono::milliseconds(1000);
constexpr int BatchYieldMs = 20;

}  // namespace

bool TPlugin::OpenBatchTransaction(TBatch& batch) {
  if (batch.Transaction) return true;
  try {
    if (!FLibrary.WriteGate.Enter(&batch, BatchWhat, FLock, BusyPatienceMs))
      throw EDatabaseError(platform::Utf16ToUtf8(LibraryBusyText(FLibrary.WriteGate.Holder())));
    try {
      FLibrary.LibraryDatabase->StartWriteTransaction(BusyPatienceMs, [this](int ms) { PauseUnlocked(FLock, ms); });
    } catch (...) {
      FLibrary.WriteGate.Leave(&batch);
      throw;
    }
  } catch (const std::exception& error) {
    ReportWriteRefusal(&batch, error);
    return false;
  }
  batch.Transaction = true;
  batch.Recorded = batch.Removed = 0;
  batch.Opened = std::chrono::steady_clock::now();
  return true;
}

bool TPlugin::MaybeCommitBatch(TBatch& batch) {
  if (!batch.Transaction) return true;
  const bool due = std::chrono::steady_clock::now() - batch.Opened >= BatchSlice;
  if (!due && !FLibrary.WriteGate.Wanted()) return true;
  const bool committed = CommitBatch(batch);
  if (committed && due) PauseUnlocked(FLock, BatchYieldMs);
  return committed;
}

bool TPlugin::CommitBatch(TBatch& batch) {
  if (!batch.Transaction) return true;
  batch.Transaction = false;
  TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
  bool committed = false;
  try {
    if (db == nullptr || !db->Connected()) throw EDatabaseError("Cannot perform this operation on a closed database");
    // Another program reading the library holds the commit up: give it a
    // few seconds before the work is given up.
    db->CommitOrRollback(BusyPatienceMs, [this](int ms) { PauseUnlocked(FLock, ms); });
    committed = true;
  } catch (const std::exception& error) {
    if (db != nullptr && !db->Connected()) FLibrary.DatabaseReady = false;
    std::u16string text = u"The library file could not be written; the changes of this operation were undone";
    if (batch.Recorded > 0)
      text += u": " + platform::IntToU16(batch.Recorded) + (batch.Recorded == 1 ? u" track was" : u" tracks were") +
              u" not recorded";
    if (batch.Removed > 0)
      text += (batch.Recorded > 0 ? u", " : u": ") + platform::IntToU16(batch.Removed) +
              (batch.Removed == 1 ? u" track was" : u" tracks were") + u" not removed";
    text += u".\r" + platform::Utf8ToUtf16(error.what());
    ShowHostMessage(text);
  }
  batch.Recorded = batch.Removed = 0;
  FLibrary.WriteGate.Leave(&batch);
  return committed;
}

void TPlugin::ReportWriteRefusal(TBatch* batch, const std::exception& error) {
  if (batch != nullptr) {
    if (batch->BusyReported) return;
    batch->BusyReported = true;
  }
  std::u16string text = platform::Utf8ToUtf16(error.what());
  if (IsBusyError(error)) text = u"The library file is locked by another program.\r" + text;
  ShowHostMessage(text + (batch != nullptr ? u"\rWhat could not be written is reported as failed." : u""));
}

fsapi::THandle TPlugin::FsFindFirstW(const char16_t* path, fsapi::TFindDataW* findData) {
  return Trapped("FsFindFirstW", fsapi::InvalidHandleValue, [&]() -> fsapi::THandle {
    if (path == nullptr || findData == nullptr) return fsapi::InvalidHandleValue;
    // The host lists again after anything changed; the columns it then asks
    // are read afresh.
    FColumns.CloseColumnQuery();
    const TFolderTree::THandle listing = FTree.FindFirst(path, *findData);
    if (listing == TFolderTree::NoListing) return fsapi::InvalidHandleValue;
    return reinterpret_cast<fsapi::THandle>(static_cast<std::uintptr_t>(listing));
  });
}

int TPlugin::FsFindNextW(fsapi::THandle handle, fsapi::TFindDataW* findData) {
  return Trapped("FsFindNextW", platform::HostFalse, [&] {
    if (findData == nullptr) return platform::HostFalse;
    const auto listing = static_cast<TFolderTree::THandle>(reinterpret_cast<std::uintptr_t>(handle));
    return FTree.FindNext(listing, *findData) ? platform::HostTrue : platform::HostFalse;
  });
}

int TPlugin::FsFindClose(fsapi::THandle handle) {
  Trapped("FsFindClose", 0, [&] {
    FTree.FindClose(static_cast<TFolderTree::THandle>(reinterpret_cast<std::uintptr_t>(handle)));
    return 0;
  });
  return 0;
}

namespace {

// How many call scopes this thread is inside: messages raised inside one
// wait for the outermost to end.
thread_local int CallScopeDepth = 0;

void CallRequestProc(fsapi::tRequestProcW requestProc, const std::u16string& text) {
  std::u16string title = platform::ToU16(RootName);
  std::u16string message = text;
  char16_t answer[256] = {};
  requestProc(0, fsapi::RT_MsgOK, title.data(), message.data(), answer, 256);
}

}  // namespace

TPlugin::TCallScope::TCallScope(TPlugin& plugin) : FPlugin(plugin), FGuard(plugin.Lock()) { ++CallScopeDepth; }

TPlugin::TCallScope::~TCallScope() {
  --CallScopeDepth;
  FGuard.unlock();
  if (CallScopeDepth == 0) {
    // The call's last error is its answer to the host (no more files, say):
    // delivering messages must not change it, and asking which thread
    // this is clears it on Windows.
    const std::uint32_t lastError = platform::GetLastError();
    FPlugin.DeliverHostMessages();
    platform::SetLastError(lastError);
  }
}

void TPlugin::ShowHostMessage(const std::u16string& text) {
  TPendingMessage message;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    message.RequestProc = FRequestProc;
  }
  if (message.RequestProc == nullptr) return;
  message.Text = text;
  Post(std::move(message));
}

void TPlugin::LogDetail(const std::u16string& text) {
  TPendingMessage message;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    message.LogProc = FLogProc;
    message.PluginNr = FPluginNr;
  }
  if (message.LogProc == nullptr) return;
  message.Text = text;
  Post(std::move(message));
}

void TPlugin::Post(TPendingMessage message) {
  if (CallScopeDepth > 0) {
    std::lock_guard<std::mutex> guard(FPendingLock);
    FPendingMessages[std::this_thread::get_id()].push_back(std::move(message));
    return;
  }
  Deliver(message);
}

void TPlugin::Deliver(const TPendingMessage& message) {
  if (message.RequestProc != nullptr) {
    CallRequestProc(message.RequestProc, message.Text);
  } else if (message.LogProc != nullptr) {
    std::u16string line = message.Text;
    message.LogProc(message.PluginNr, fsapi::MSGTYPE_DETAILS, line.data());
  }
}

void TPlugin::DeliverHostMessages() {
  std::vector<TPendingMessage> messages;
  {
    std::lock_guard<std::mutex> guard(FPendingLock);
    const auto it = FPendingMessages.find(std::this_thread::get_id());
    if (it == FPendingMessages.end()) return;
    messages.swap(it->second);
    FPendingMessages.erase(it);
  }
  for (const TPendingMessage& message : messages) {
    try {
      Deliver(message);
    } catch (...) {
      // Nothing may escape into the host.
    }
  }
}

}  // namespace velmaro
