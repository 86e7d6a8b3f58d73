// The Settings window: the library file in use, its row count, and the
// maintenance actions.
#pragma once

#include "ui/TfmMainSettings.h"
#include "ui/fltk/TFltkView.h"

namespace velmaro::ui::fltk {

class TFltkSettingsView final : public TFltkView {
 public:
  TFltkSettingsView();

  // Connects the controls to the dialog's handlers.
  void Bind(TfmMainSettings& dialog);

 private:
  Fl_Button* FSelect = nullptr;
  Fl_Button* FRebuild = nullptr;
  Fl_Button* FReindex = nullptr;
  Fl_Button* FEmpty = nullptr;
  Fl_Button* FOk = nullptr;
  Fl_Button* FCancel = nullptr;
};

}  // namespace velmaro::ui::fltk
