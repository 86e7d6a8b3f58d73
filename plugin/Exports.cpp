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

// Each call holds the process-wide lock; messages for the host wait until
// it is let go.
using TScope = TPlugin::TCallScope;

}  // namespace

extern "C" {

VELMARO_EXPORT int VELMARO_CALL FsInit(int, tProgressProc, tLogProc, tRequestProc) { return -1; }

VELMARO_EXPORT int VELMARO_CALL FsInitW(int PluginNr, tProgressProcW pProgressProcW, tLogProcW pLogProcW,
                                        tRequestProcW pRequestProcW) {
  TScope scope(Plugin());
  return Plugin().FsInitW(PluginNr, pProgressProcW, pLogProcW, pRequestProcW);
}

VELMARO_EXPORT THandle VELMARO_CALL FsFindFirst(char*, void*) { return InvalidHandleValue; }

VELMARO_EXPORT int VELMARO_CALL FsFindNext(THandle, void*) { return platform::HostFalse; }

VELMARO_EXPORT THandle VELMARO_CALL FsFindFirstW(TWChar* Path, TFindDataW* FindData) {
  TScope scope(Plugin());
  return Plugin().FsFindFirstW(Path, FindData);
}

VELMARO_EXPORT int VELMARO_CALL FsFindNextW(THandle Hdl, TFindDataW* FindData) {
  TScope scope(Plugin());
  return Plugin().FsFindNextW(Hdl, FindData);
}

VELMARO_EXPORT int VELMARO_CALL FsFindClose(THandle Hdl) {
  TScope scope(Plugin());
  return Plugin().FsFindClose(Hdl);
}

VELMARO_EXPORT void VELMARO_CALL FsGetDefRootName(char* DefRootName, int maxlen) {
  TScope scope(Plugin());
  Plugin().FsGetDefRootName(DefRootName, maxlen);
}

VELMARO_EXPORT void VELMARO_CALL FsSetDefaultParams(TDefaultParams* dps) {
  TScope scope(Plugin());
  Plugin().FsSetDefaultParams(dps);
}

VELMARO_EXPORT void VELMARO_CALL FsStatusInfoW(TWChar* RemoteDir, int InfoStartEnd, int InfoOperation) {
  TScope scope(Plugin());
  Plugin().FsStatusInfoW(RemoteDir, InfoStartEnd, InfoOperation);
}

VELMARO_EXPORT int VELMARO_CALL FsPutFileW(TWChar* LocalName, TWChar* RemoteName, int CopyFlags) {
  // Locks for itself: the host's progress callback is called unlocked.
  return Plugin().FsPutFileW(LocalName, RemoteName, CopyFlags);
}

// The Linux host creates a folder before it copies one in, and removes it
// after deleting its entries; the Windows export list leaves these out.
VELMARO_EXPORT int VELMARO_CALL FsMkDirW(TWChar* Path) {
  TScope scope(Plugin());
  return Plugin().FsMkDirW(Path);
}

VELMARO_EXPORT int VELMARO_CALL FsRemoveDirW(TWChar* RemoteName) {
  TScope scope(Plugin());
  return Plugin().FsRemoveDirW(RemoteName);
}

VELMARO_EXPORT int VELMARO_CALL FsExecuteFileW(THwnd MainWin, TWChar* RemoteName, TWChar* Verb) {
  // Locks for itself, never while a dialog waits for the user.
  return Plugin().FsExecuteFileW(MainWin, RemoteName, Verb);
}

VELMARO_EXPORT int VELMARO_CALL FsDeleteFileW(TWChar* RemoteName) {
  TScope scope(Plugin());
  return Plugin().FsDeleteFileW(RemoteName);
}

VELMARO_EXPORT int VELMARO_CALL FsGetLocalNameW(TWChar* RemoteName, int maxlen) {
  TScope scope(Plugin());
  return Plugin().FsGetLocalNameW(RemoteName, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsGetFileW(TWChar* RemoteName, TWChar* LocalName, int CopyFlags, void*) {
  // Locks for itself: the lock is let go while the file is copied.
  return Plugin().FsGetFileW(RemoteName, LocalName, CopyFlags);
}

VELMARO_EXPORT int VELMARO_CALL FsGetPreviewBitmapW(TWChar* RemoteName, int width, int height,
                                                    TBitmapHandle* ReturnedBitmap) {
  TScope scope(Plugin());
  return Plugin().FsGetPreviewBitmapW(RemoteName, width, height, ReturnedBitmap);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units, int maxlen) {
  TScope scope(Plugin());
  return Plugin().FsContentGetSupportedField(FieldIndex, FieldName, Units, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetValueW(TWChar* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                                   int maxlen, int flags) {
  TScope scope(Plugin());
  return Plugin().FsContentGetValueW(FileName, FieldIndex, UnitIndex, FieldValue, maxlen, flags);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetDefaultViewW(TWChar* ViewContents, TWChar* ViewHeaders, TWChar* ViewWidths,
                                                         TWChar* ViewOptions, int maxlen) {
  TScope scope(Plugin());
  return Plugin().FsContentGetDefaultViewW(ViewContents, ViewHeaders, ViewWidths, ViewOptions, maxlen);
}

VELMARO_EXPORT int VELMARO_CALL FsContentGetDefaultView(char*, char*, char*, char*, int) { return platform::HostFalse; }

VELMARO_EXPORT int VELMARO_CALL FsGetPreviewBitmap(char*, int, int, TBitmapHandle*) { return FS_BITMAP_NONE; }

VELMARO_EXPORT int VELMARO_CALL FsLinksToLocalFiles() { return platform::HostTrue; }

// Copies in and out may run on the host's worker threads, beside its
// listings: every export holds the process-wide lock, a batch belongs to
// the thread that announced it, and writers take turns at the library.
VELMARO_EXPORT int VELMARO_CALL FsGetBackgroundFlags() { return BG_DOWNLOAD | BG_UPLOAD; }

}  // extern "C"
