// What the FLTK windows of both dialogs have in common: named controls,
// message boxes titled with the caption, the busy cursor, progress, the
// file chooser, and calling a handler of the dialog safely.
#pragma once

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input_.H>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ui/TDialogView.h"
#include "ui/fltk/FltkSupport.h"

namespace velmaro::ui::fltk {

class TFltkView : public TDialogView {
 public:
  TFltkView(int w, int h, const std::u16string& caption);
  ~TFltkView() override;

  void SetText(std::string_view control, const std::u16string& text) override;
  std::u16string Text(std::string_view control) const override;
  void SetChecked(std::string_view control, bool checked) override;
  bool Checked(std::string_view control) const override;
  void SetStar(int, TStar) override {}
  TAnswer AskUser(const std::u16string& text, TAskKind kind) override;
  std::optional<std::u16string> ChooseDatabaseFile(const std::u16string& folder, const std::u16string& name) override;
  void SetBusy(bool busy) override;
  bool Progress(std::int64_t done, std::int64_t total) override;
  void Close() override;

  // Shows the window modal and returns once it is closed.
  void Run();

 protected:
  TDialogWindow& Window() { return *FWindow; }
  // Registers a control under the dialog's name for it.
  void Name(const char* name, Fl_Input_* edit);
  void Name(const char* name, TLabel* label);
  void Name(const char* name, Fl_Check_Button* check);
  // A plain label to the left of a control, its text ending flush with it.
  static void LabelBefore(const Fl_Widget& control, int left, const char* text);
  // Runs a handler of the dialog for a user's action: one at a time (a
  // message box or the progress window lets FLTK deliver events
  // meanwhile), its errors shown in a message box, never thrown into FLTK.
  void Invoke(const std::function<void()>& handler);
  // Calls Invoke with handler when the widget is used.
  void OnClick(Fl_Widget& widget, std::function<void()> handler);
  bool Busy() const { return FBusyDepth > 0; }

 private:
  std::string FCaption;
  std::unique_ptr<TDialogWindow> FWindow;
  std::map<std::string, Fl_Input_*, std::less<>> FEdits;
  std::map<std::string, TLabel*, std::less<>> FLabels;
  std::map<std::string, Fl_Check_Button*, std::less<>> FChecks;
  std::map<Fl_Widget*, std::function<void()>> FClicks;
  std::unique_ptr<TProgressWindow> FProgress;
  int FBusyDepth = 0;
  bool FInHandler = false;
};

}  // namespace velmaro::ui::fltk
