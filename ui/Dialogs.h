// Showing the dialogs: each platform's view puts them on the screen.
#pragma once

#include <string>
#include <string_view>

#include "ui/TDialogContext.h"
#include "ui/THostView.h"

namespace velmaro::ui {

// Each shows its dialog modally on the calling thread and returns when it
// is closed: the empty text, or why no window could be shown (no display,
// say), for the caller to tell the user. Errors never leave them.
std::u16string ShowPropertiesDialog(const TDialogContext& context, std::u16string_view virtualPath);
std::u16string ShowSettingsDialog(const TDialogContext& context);

// Runs a Settings action typed into the host's command line ("rebuild",
// "vacuum", "empty"; case ignored) with its questions, progress and report
// through the host's callbacks. FS_EXEC_OK when it was done; the host's
// failure value when it failed, was not confirmed or was cancelled, or the
// command is not one of these (the reason shown).
int RunSettingsCommand(const TDialogContext& context, std::u16string_view command, const THostCallbacks& callbacks);

// Called once when the plug-in starts: the windowing toolkit, once loaded
// into the host with the plug-in, stays loaded for the process.
void KeepToolkitLoaded();

}  // namespace velmaro::ui
