// What every platform's view does the same way around the dialog classes:
// running a handler when the user acts, and turning an error that leaves a
// whole showing into the text the caller reports.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "platform/Text.h"
#include "ui/TDialogView.h"

namespace velmaro::ui {

struct TNothingPassedOn {};

// Runs a handler of the dialog: one at a time (a click while a handler
// waits, say during a rebuild, is ignored), and an error it raises is shown
// in an error box and goes no further. Errors of type TPassOn (a view's own
// reason to end the dialog) are passed on.
template <typename TPassOn = TNothingPassedOn>
void RunHandler(bool& running, TDialogView& view, const std::function<void()>& handler) {
  if (running) return;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{running};
  running = true;
  try {
    handler();
  } catch (const TPassOn&) {
    throw;
  } catch (const std::exception& error) {
    view.AskUser(platform::Utf8ToUtf16(error.what()), TAskKind::Error);
  } catch (...) {
    view.AskUser(u"An unexpected error occurred.", TAskKind::Error);
  }
}

// Runs one showing of a dialog; its result, or the text of an error that
// left it, for the caller to tell the user.
inline std::u16string FailureAsText(const std::function<std::u16string()>& show) {
  try {
    return show();
  } catch (const std::exception& error) {
    return u"The dialog failed: " + platform::Utf8ToUtf16(error.what());
  } catch (...) {
    return u"The dialog failed.";
  }
}

}  // namespace velmaro::ui
