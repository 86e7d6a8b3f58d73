// The host exports. Each one takes the process-wide lock and hands its
// arguments to the plug-in object; nothing else happens here.
#include "platform/Platform.h"
#include "plugin/FsPluginApi.h"
#include "plugin/TPlugin.h"

using namespace velmaro;
using namespace velmaro::fsapi;

namespace {

// Created with the module, destroyed when the host unloads it.
TPlugin& Plugin() {
  static TPlugin plugin;
  return plugin;
}

using TGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace

extern "C" {

VELMARO_EXPORT int VELMARO_CALL FsInit(int, tProgressProc, tLogProc, tRequestProc) { return -1; }

VELMARO_EXPORT int VELMARO_CALL FsInitW(int PluginNr, tProgressProcW pProgressProcW, tLogProcW pLogProcW,
                                        tRequestProcW pRequestProcW) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsInitW(PluginNr, pProgressProcW, pLogProcW, pRequestProcW);
}

VELMARO_EXPORT THandle VELMARO_CALL FsFindFirst(char*, void*) { return InvalidHandleValue; }

VELMARO_EXPORT int VELMARO_CALL FsFindNext(THandle, void*) { return platform::HostFalse; }

VELMARO_EXPORT THandle VELMARO_CALL FsFindFirstW(TWChar* Path, TFindDataW* FindData) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsFindFirstW(Path, FindData);
}

VELMARO_EXPORT int VELMARO_CALL FsFindNextW(THandle Hdl, TFindDataW* FindData) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsFindNextW(Hdl, FindData);
}

VELMARO_EXPORT int VELMARO_CALL FsFindClose(THandle Hdl) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsFindClose(Hdl);
}

VELMARO_EXPORT void VELMARO_CALL FsGetDefRootName(char* DefRootName, int maxlen) {
  TGuard guard(Plugin().Lock());
  Plugin().FsGetDefRootName(DefRootName, maxlen);
}

VELMARO_EXPORT void VELMARO_CALL FsSetDefaultParams(TDefaultParams* dps) {
  TGuard guard(Plugin().Lock());
  Plugin().FsSetDefaultParams(dps);
}

VELMARO_EXPORT void VELMARO_CALL FsStatusInfoW(TWChar* RemoteDir, int InfoStartEnd, int InfoOperation) {
  TGuard guard(Plugin().Lock());
  Plugin().FsStatusInfoW(RemoteDir, InfoStartEnd, InfoOperation);
}

VELMARO_EXPORT int VELMARO_CALL FsPutFileW(TWChar* LocalName, TWChar* RemoteName, int CopyFlags) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsPutFileW(LocalName, RemoteName, CopyFlags);
}

// The Linux host creates a folder before it copies one in, and removes it
// after deleting its entries; the Windows export list leaves these out.
VELMARO_EXPORT int VELMARO_CALL FsMkDirW(TWChar* Path) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsMkDirW(Path);
}

VELMARO_EXPORT int VELMARO_CALL FsRemoveDirW(TWChar* RemoteName) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsRemoveDirW(RemoteName);
}

VELMARO_EXPORT int VELMARO_CALL FsDeleteFileW(TWChar* RemoteName) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsDeleteFileW(RemoteName);
}

VELMARO_EXPORT int VELMARO_CALL FsGetLocalNameW(TWChar* RemoteName, int maxlen) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsGetLocalNameW(RemoteName, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsGetFileW(TWChar* RemoteName, TWChar* LocalName, int CopyFlags, void*) {
  // Locks for itself: the lock is let go while the file is copied.
  return Plugin().FsGetFileW(RemoteName, LocalName, CopyFlags);
}

VELMARO_EXPORT int VELMARO_CALL FsGetPreviewBitmapW(TWChar* RemoteName, int width, int height,
                                                    TBitmapHandle* ReturnedBitmap) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsGetPreviewBitmapW(RemoteName, width, height, ReturnedBitmap);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units, int maxlen) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsContentGetSupportedField(FieldIndex, FieldName, Units, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetValueW(TWChar* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                                   int maxlen, int flags) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsContentGetValueW(FileName, FieldIndex, UnitIndex, FieldValue, maxlen, flags);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetDefaultViewW(TWChar* ViewContents, TWChar* ViewHeaders, TWChar* ViewWidths,
                                                         TWChar* ViewOptions, int maxlen) {
  TGuard guard(Plugin().Lock());
  return Plugin().FsContentGetDefaultViewW(ViewContents, ViewHeaders, ViewWidths, ViewOptions, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetDefaultView(char*, char*, char*, char*, int) { return platform::HostFalse; }

VELMARO_EXPORT int VELMARO_CALL FsGetPreviewBitmap(char*, int, int, TBitmapHandle*) { return FS_BITMAP_NONE; }

VELMARO_EXPORT int VELMARO_CALL FsLinksToLocalFiles() { return platform::HostTrue; }

VELMARO_EXPORT int VELMARO_CALL FsGetBackgroundFlags() { return 0; }

}  // extern "C"
