// The dialogs shown with FLTK: each runs modal on the calling thread (the
// host's), and nothing that goes wrong in it reaches the host as anything
// but a text.
#include <exception>

#include "platform/Text.h"
#include "ui/Dialogs.h"
#include "ui/ViewSupport.h"
#include "ui/fltk/FltkSupport.h"
#include "ui/fltk/TFltkPropertiesView.h"
#include "ui/fltk/TFltkSettingsView.h"

namespace velmaro::ui {

namespace {

// Runs one showing: the session first (FLTK's handlers replaced before it
// is asked anything), then the display, then show(), which builds and
// runs the window.
template <typename TShow>
std::u16string Showing(TShow show) {
  fltk::TFltkSession session;
  return FailureAsText([&]() -> std::u16string {
    try {
      if (std::u16string why = session.Open(); !why.empty()) return why;
      show();
      if (fltk::DisplayLost()) return u"The dialog was closed: the connection to the display was lost.";
      return {};
    } catch (const fltk::TDisplayLost& lost) {
      return u"The dialog was closed: " + platform::Utf8ToUtf16(lost.Message) + u".";
    }
  });
}

}  // namespace

std::u16string ShowPropertiesDialog(const TDialogContext& context, std::u16string_view virtualPath) {
  return Showing([&] {
    fltk::TFltkPropertiesView view;
    TfmProperties dialog(context, view);
    view.Bind(dialog);
    dialog.FileName = std::u16string(virtualPath);
    dialog.FormCreate();
    dialog.FormShow();
    view.FocusFirstEdit();
    view.Run();
  });
}

std::u16string ShowSettingsDialog(const TDialogContext& context) {
  return Showing([&] {
    fltk::TFltkSettingsView view;
    TfmMainSettings dialog(context, view);
    view.Bind(dialog);
    dialog.FormShow();
    view.Run();
  });
}

}  // namespace velmaro::ui
