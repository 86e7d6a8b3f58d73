// Executing an entry: the version text on the root, the Settings dialog,
// a track opened with the desktop's default application (or in place by
// the host), or its Properties dialog.
#include <exception>
#include <mutex>

#include "platform/FileSystem.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "ui/Dialogs.h"
#include "ui/TfmMainSettings.h"

namespace velmaro {

namespace {

// The folders whose properties are no track's.
bool IsViewFolder(std::u16string_view path) {
  for (const char16_t* name : {u"\\Albums", u"\\Artists", u"\\Favorites", u"\\Genres", u"\\Latest", u"\\Titles",
                               u"\\Years"})
    if (path == VPath(name)) return true;
  return false;
}

}  // namespace

std::u16string VersionText() {
  // The width of this build, as the host that loads it has.
  return platform::ToU16(RootName) + u" " + platform::IntToU16(static_cast<long long>(sizeof(void*) * 8)) + u"-bit";
}

int TPlugin::FsExecuteFileW(fsapi::THwnd mainWin, const char16_t* remoteName, const char16_t* verb) {
  // Nothing may leave into the host, and no lock is held while a dialog
  // waits for the user: each database action of a dialog takes it.
  try {
    if (remoteName == nullptr) return fsapi::FS_EXEC_OK;
    const std::u16string_view remote(remoteName);
    const std::u16string_view action = verb ? std::u16string_view(verb) : std::u16string_view();
    // A command typed into the host's command line while the panel shows
    // the plug-in, in any of its folders.
    if (action.starts_with(u"quote ")) return RunHostCommand(action.substr(6));
    if (remote == VPath(u"\\")) {
      ShowHostMessage(VersionText());
      return fsapi::FS_EXEC_OK;
    }
    if (remote == VPath(u"\\Settings")) {
      ReportDialogFailure(ui::ShowSettingsDialog(DialogContext(mainWin)));
      return fsapi::FS_EXEC_OK;
    }
    if (action == u"open") return OpenTrack(remote);
    if (action != u"properties" || IsViewFolder(remote)) return fsapi::FS_EXEC_OK;
    const int depth = PathDepth(remote);
    if ((depth == 2 || depth == 3) && (Contains(remote, VPath(u"\\Albums")) || Contains(remote, VPath(u"\\Genres"))))
      return fsapi::FS_EXEC_OK;
    if (depth == 2 && Contains(remote, VPath(u"\\Artists"))) return fsapi::FS_EXEC_OK;
    ReportDialogFailure(ui::ShowPropertiesDialog(DialogContext(mainWin), remote));
  } catch (const std::exception& error) {
    ShowHostMessage(platform::Utf8ToUtf16(error.what()));
  } catch (...) {
  }
  return fsapi::FS_EXEC_OK;
}

int TPlugin::OpenTrack(std::u16string_view remote) {
  // The host opens an entry itself by copying it to a temporary file under
  // the entry's name, which the copy out does not keep: so the real file
  // goes to the desktop's default application for it. When no opener can
  // be started the host gets the entry back, as before.
  std::u16string real;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    real = FTree.ResolveVirtualPath(remote);
  }
  if (real.empty() || !platform::FileExists(real)) return fsapi::FS_EXEC_YOURSELF;
  return platform::OpenWithDefaultApplication(real) ? fsapi::FS_EXEC_OK : fsapi::FS_EXEC_YOURSELF;
}

int TPlugin::RunHostCommand(std::u16string_view command) {
  fsapi::tRequestProcW requestProc;
  fsapi::tProgressProcW progressProc;
  int pluginNr;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    requestProc = FRequestProc;
    progressProc = FProgressProc;
    pluginNr = FPluginNr;
  }
  {
    // As a listing does, the command tries a library that failed to open.
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (!FLibrary.DatabaseReady)
      FLibrary.DatabaseReady = InitDatabase(FLibrary, [this](const std::u16string& text) { ShowHostMessage(text); });
  }
  ui::THostCallbacks callbacks;
  callbacks.Request = [=](const std::u16string& text, bool yesNo) {
    if (requestProc == nullptr) return false;
    std::u16string title = ui::SettingsCaption, message = text;
    char16_t answer[256] = {};
    return requestProc(pluginNr, yesNo ? fsapi::RT_MsgYesNo : fsapi::RT_MsgOK, title.data(), message.data(), answer,
                       256) != 0;
  };
  callbacks.Progress = [=](int percent) {
    if (progressProc == nullptr) return true;
    std::u16string source = ui::SettingsCaption, target;
    return progressProc(pluginNr, source.data(), target.data(), percent) == 0;
  };
  return ui::RunSettingsCommand(DialogContext(nullptr), command, callbacks) == 0 ? fsapi::FS_EXEC_OK
                                                                                : fsapi::FS_EXEC_ERROR;
}

ui::TDialogContext TPlugin::DialogContext(void* mainWin) {
  ui::TDialogContext context;
  context.MainWin = mainWin;
  context.Library = &FLibrary;
  context.Lock = &FLock;
  context.ResolveVirtualPath = [this](std::u16string_view path) { return FTree.ResolveVirtualPath(path); };
  context.CloseColumnQuery = [this] { FColumns.CloseColumnQuery(); };
  return context;
}

void TPlugin::ReportDialogFailure(const std::u16string& why) {
  if (!why.empty()) ShowHostMessage(why);
}

}  // namespace velmaro
