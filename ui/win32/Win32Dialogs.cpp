// The dialogs shown with Win32: each runs modal on the calling thread (the
// host's), owned by the host's main window, and nothing that goes wrong in
// it reaches the host as anything but a text.
#include <exception>
#include <functional>
#include <string>

#include "platform/Text.h"
#include "ui/Dialogs.h"
#include "ui/TfmMainSettings.h"
#include "ui/TfmProperties.h"
#include "ui/ViewSupport.h"
#include "ui/win32/DialogResources.h"
#include "ui/win32/TWin32View.h"

namespace velmaro::ui {

namespace {

using win32::TControlKind;
using win32::TDialogLayout;
using win32::TNamedControl;
using win32::TWin32View;

constexpr TNamedControl PropertiesControls[] = {
    {"edFileName", IDC_EDFILENAME, TControlKind::Edit}, {"edTitle", IDC_EDTITLE, TControlKind::Edit},
    {"edArtist", IDC_EDARTIST, TControlKind::Edit},     {"edAlbum", IDC_EDALBUM, TControlKind::Edit},
    {"edYear", IDC_EDYEAR, TControlKind::Edit},         {"edGenre", IDC_EDGENRE, TControlKind::Edit},
    {"edComment", IDC_EDCOMMENT, TControlKind::Edit},   {"lblMPEGInfo", IDC_LBLMPEGINFO, TControlKind::Label},
    {"lblRating", IDC_LBLRATING, TControlKind::Label},  {"cbFavorite", IDC_CBFAVORITE, TControlKind::Check},
};

constexpr TNamedControl SettingsControls[] = {
    {"lblDBPath", IDC_LBLDBPATH, TControlKind::Label},
    {"lblRecordsCount", IDC_LBLRECORDSCOUNT, TControlKind::Label},
    {"edPath", IDC_EDPATH, TControlKind::Edit},
};

constexpr int StarImages = 6;

// The window that owns the dialog: the host's main window.
HWND HostWindow(const TDialogContext& context) { return static_cast<HWND>(context.MainWin); }

}  // namespace

std::u16string ShowPropertiesDialog(const TDialogContext& context, std::u16string_view virtualPath) {
  return FailureAsText([&]() -> std::u16string {
    TDialogLayout layout;
    layout.Template = IDD_PROPERTIES;
    layout.PageTemplate = IDD_PROPERTIES_PAGE;
    layout.PageControl = IDC_PAGEMAIN;
    layout.PageCaption = u"Track Info";
    layout.Caption = PropertiesCaption;
    layout.InitialFocus = IDC_EDTITLE;
    TWin32View view(HostWindow(context), layout, PropertiesControls);
    TfmProperties dialog(context, view);
    dialog.FileName = std::u16string(virtualPath);
    for (int i = 0; i < StarImages; ++i)
      view.OnClick(IDC_IMAGE0 + i, [&dialog, i] { dialog.Image0Click("Image" + std::to_string(i)); });
    view.OnStarStep = [&dialog](int delta) { dialog.StepRating(delta); };
    view.OnStarRating = [&dialog](int n) { dialog.Image0Click("Image" + std::to_string(n)); };
    view.OnClick(IDC_CBFAVORITE, [&dialog] { dialog.cbFavoriteClick(); });
    view.OnClick(IDOK, [&dialog] { dialog.btOkClick(); });
    view.OnShow = [&dialog] {
      dialog.FormCreate();
      dialog.FormShow();
    };
    return view.Run();
  });
}

std::u16string ShowSettingsDialog(const TDialogContext& context) {
  return FailureAsText([&]() -> std::u16string {
    TDialogLayout layout;
    layout.Template = IDD_SETTINGS;
    layout.PageTemplate = IDD_SETTINGS_PAGE;
    layout.PageControl = IDC_PAGECONTROL1;
    layout.PageCaption = u"Main";
    layout.Caption = SettingsCaption;
    TWin32View view(HostWindow(context), layout, SettingsControls);
    TfmMainSettings dialog(context, view);
    view.OnClick(IDC_BTSELECTDBPATH, [&dialog] { dialog.btSelectDBpathClick(); });
    view.OnClick(IDC_BTREBUILDDATABASE, [&dialog] { dialog.btRebuildDatabaseClick(); });
    view.OnClick(IDC_BTREINDEXVACUUM, [&dialog] { dialog.btReindexVacuumClick(); });
    view.OnClick(IDC_BTEMPTYDATABASE, [&dialog] { dialog.btEmptyDatabaseClick(); });
    view.OnClick(IDOK, [&dialog] { dialog.btOKClick(); });
    view.OnShow = [&dialog] { dialog.FormShow(); };
    return view.Run();
  });
}

// The dialogs use only system DLLs and register no window class of their
// own: nothing of the plug-in's stays behind in the host when it unloads.
void KeepToolkitLoaded() {}

}  // namespace velmaro::ui
