#include "plugin/TPlugin.h"

#include <algorithm>
#include <cstring>

#include "import/ImportTrack.h"
#include "library/Errors.h"
#include "plugin/ErrorTrap.h"
#include "platform/Text.h"

namespace velmaro {

TPlugin::TPlugin() : FTree(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); }) {
  import::InitReaderDefaults();
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
    TDISQLite3Database* db = FLibrary.LibraryDatabase.get();
    if (db == nullptr) throw EDatabaseError("Cannot perform this operation on a closed database");
    if (infoStartEnd == fsapi::FS_STATUS_START)
      db->StartTransaction(TTransactionType::ttDeferred);
    else
      db->Commit();
    return 0;
  });
}

fsapi::THandle TPlugin::FsFindFirstW(const char16_t* path, fsapi::TFindDataW* findData) {
  return Trapped("FsFindFirstW", fsapi::InvalidHandleValue, [&]() -> fsapi::THandle {
    if (path == nullptr || findData == nullptr) return fsapi::InvalidHandleValue;
    // The host lists again after anything changed; the columns it then asks
    // are read afresh.
    FColumns.CloseColumnQuery();
    return FTree.FindFirst(path, *findData) ? reinterpret_cast<fsapi::THandle>(1) : fsapi::InvalidHandleValue;
  });
}

int TPlugin::FsFindNextW(fsapi::THandle, fsapi::TFindDataW* findData) {
  return Trapped("FsFindNextW", platform::HostFalse, [&] {
    if (findData == nullptr) return platform::HostFalse;
    return FTree.FindNext(*findData) ? platform::HostTrue : platform::HostFalse;
  });
}

int TPlugin::FsFindClose(fsapi::THandle) { return 0; }

void TPlugin::ShowHostMessage(const std::u16string& text) {
  if (FRequestProc == nullptr) return;
  std::u16string title = platform::ToU16(RootName);
  std::u16string message = text;
  char16_t answer[256] = {};
  FRequestProc(0, fsapi::RT_MsgOK, title.data(), message.data(), answer, 256);
}

}  // namespace velmaro
