// The Properties window of one track.
#pragma once

#include <FL/Fl_RGB_Image.H>

#include <array>
#include <cstdint>
#include <vector>

#include "ui/TfmProperties.h"
#include "ui/fltk/TFltkView.h"

namespace velmaro::ui::fltk {

class TStarImage;
class TStarPanel;

class TFltkPropertiesView final : public TFltkView {
 public:
  TFltkPropertiesView();
  ~TFltkPropertiesView() override;

  // Connects the controls to the dialog's handlers.
  void Bind(TfmProperties& dialog);
  void SetStar(int image, TStar star) override;
  // Where the keyboard starts once the window shows.
  void FocusFirstEdit();

 private:
  std::vector<std::uint8_t> FGoldBytes, FGrayBytes;
  std::unique_ptr<Fl_RGB_Image> FGold, FGray;
  std::array<TStarImage*, 6> FStars{};
  TStarPanel* FStarPanel = nullptr;
  Fl_Check_Button* FFavorite = nullptr;
  Fl_Input_* FFirstEdit = nullptr;
  Fl_Button* FOk = nullptr;
  Fl_Button* FCancel = nullptr;
};

}  // namespace velmaro::ui::fltk
