// A view without a window: the dialog's questions, reports and progress
// go through the host's own callbacks. The Settings actions run in it
// when the user types them into the host's command line ("rebuild",
// "vacuum", "empty"), and velmaro's maintenance commands use it.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "ui/TDialogView.h"

namespace velmaro::ui {

struct THostCallbacks {
  // Shows a text; with yesNo a question answered Yes (true) or No.
  std::function<bool(const std::u16string& text, bool yesNo)> Request;
  // Progress in percent; false when the user asked to cancel.
  std::function<bool(int percent)> Progress;
};

class THostView : public TDialogView {
 public:
  explicit THostView(THostCallbacks callbacks) : FCallbacks(std::move(callbacks)) {}

  void SetText(std::string_view control, const std::u16string& text) override;
  std::u16string Text(std::string_view control) const override;
  void SetChecked(std::string_view, bool) override {}
  bool Checked(std::string_view) const override { return false; }
  void SetStar(int, TStar) override {}
  TAnswer AskUser(const std::u16string& text, TAskKind kind) override;
  std::optional<std::u16string> ChooseDatabaseFile(const std::u16string&, const std::u16string&) override {
    return std::nullopt;
  }
  void SetBusy(bool) override {}
  bool Progress(std::int64_t done, std::int64_t total) override;
  void Close() override {}

  // Whether an error was shown, or a question was not answered Yes.
  bool Failed() const { return FFailed; }
  bool Declined() const { return FDeclined; }

 private:
  THostCallbacks FCallbacks;
  std::map<std::string, std::u16string, std::less<>> FTexts;
  bool FFailed = false;
  bool FDeclined = false;
};

}  // namespace velmaro::ui
