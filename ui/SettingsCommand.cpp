// The Settings actions typed into the host's command line: the same dialog
// class as the window, in a view made of the host's callbacks.
#include <exception>

#include "import/TagText.h"
#include "platform/Text.h"
#include "ui/Dialogs.h"
#include "ui/TfmMainSettings.h"

namespace velmaro::ui {

namespace {

constexpr int ExecOk = 0;
constexpr int ExecError = 1;

}  // namespace

int RunSettingsCommand(const TDialogContext& context, std::u16string_view command, const THostCallbacks& callbacks) {
  // The command's letters in ASCII lower case: a locale's rules (a Turkish
  // dotless i) must not change a command's name.
  std::u16string name = import::Trim(command);
  for (char16_t& c : name)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  THostView view(callbacks);
  try {
    TfmMainSettings dialog(context, view);
    dialog.FormShow();
    if (name == u"rebuild") {
      dialog.btRebuildDatabaseClick();
      if (dialog.LastRebuild().Cancelled) return ExecError;
    } else if (name == u"vacuum" || name == u"reindex") {
      dialog.btReindexVacuumClick();
    } else if (name == u"empty") {
      dialog.btEmptyDatabaseClick();
      // The window shows the new count in its label; here it is the report.
      if (!view.Failed() && !view.Declined()) view.AskUser(view.Text("lblRecordsCount"), TAskKind::Information);
    } else {
      view.AskUser(u"Unknown command \"" + std::u16string(command) +
                       u"\". The library's commands are: rebuild, vacuum, empty.",
                   TAskKind::Error);
    }
  } catch (const std::exception& error) {
    view.AskUser(platform::Utf8ToUtf16(error.what()), TAskKind::Error);
  }
  return view.Failed() || view.Declined() ? ExecError : ExecOk;
}

}  // namespace velmaro::ui
