// Showing the dialogs on Windows.
#include "ui/Dialogs.h"

namespace velmaro::ui {

std::u16string ShowPropertiesDialog(const TDialogContext&, std::u16string_view) {
  return u"The Properties dialog is not available in this build.";
}

std::u16string ShowSettingsDialog(const TDialogContext&) {
  return u"The Settings dialog is not available in this build.";
}

// The dialogs use only system DLLs, which stay loaded anyway.
void KeepToolkitLoaded() {}

}  // namespace velmaro::ui
