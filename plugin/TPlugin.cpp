#include "plugin/TPlugin.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "import/ImportTrack.h"
#include "library/Errors.h"
#include "plugin/ErrorTrap.h"
#include "ui/Dialogs.h"
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
  if (infoOperation != fsapi::FS_STATUS_OP_PUT_MULTI && infoOperation != fsapi::FS_STATUS_OP_DELETE) return;
  Trapped("FsStatusInfoW", 0, [&] {
    if (infoStartEnd == fsapi::FS_STATUS_START) {
      if (FBatch.Depth++ == 0) {
        FBatch = TBatch{1};
        BeginBatchTransaction();
      } else if (FBatch.Transaction) {
        FLibrary.LibraryDatabase->StartTransaction(TTransactionType::ttDeferred);
      }
    } else if (FBatch.Depth > 1) {
      --FBatch.Depth;
      if (FBatch.Transaction) FLibrary.LibraryDatabase->Commit();
    } else if (FBatch.Depth == 1) {
      EndBatch();
    }
    return 0;
  });
}

bool TPlugin::EnsureLibrary() {
  if (FLibrary.DatabaseReady) return true;
  // One failed try per batch: a library that cannot be opened is reported
  // once, not for every file of the copy.
  if (FBatch.Depth > 0 && FBatch.LibraryTried) return false;
  FLibrary.DatabaseReady = InitDatabase(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); });
  if (FBatch.Depth > 0) {
    FBatch.LibraryTried = !FLibrary.DatabaseReady;
    if (FLibrary.DatabaseReady) BeginBatchTransaction();
  }
  return FLibrary.DatabaseReady;
}

void TPlugin::BeginBatchTransaction() {
  TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
  if (FBatch.Transaction || !FLibrary.DatabaseReady || db == nullptr || !db->Connected()) return;
  db->StartTransaction(TTransactionType::ttDeferred);
  FBatch.Transaction = true;
}

void TPlugin::EndBatch() {
  const TBatch batch = FBatch;
  FBatch = TBatch{};
  TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
  if (!batch.Transaction || db == nullptr || !db->Connected()) return;
  try {
    // Another program reading the library holds the commit up: give it
    // a few seconds before the batch is given up.
    db->CommitOrRollback(3000);
  } catch (const std::exception& error) {
    if (!db->Connected()) FLibrary.DatabaseReady = false;
    std::u16string text = u"The library file could not be written; the changes of this operation were undone";
    if (batch.Recorded > 0)
      text += u": " + platform::IntToU16(batch.Recorded) + (batch.Recorded == 1 ? u" track was" : u" tracks were") +
              u" not recorded";
    if (batch.Removed > 0)
      text += (batch.Recorded > 0 ? u", " : u": ") + platform::IntToU16(batch.Removed) +
              (batch.Removed == 1 ? u" track was" : u" tracks were") + u" not removed";
    text += u".\r" + platform::Utf8ToUtf16(error.what());
    ShowHostMessage(text);
    throw;
  }
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
  if (CallScopeDepth == 0) FPlugin.DeliverHostMessages();
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
    FPendingMessages.push_back(std::move(message));
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
    messages.swap(FPendingMessages);
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
