// The Properties dialog of one track: its tag texts, its stream values,
// a rating of 0 to 5 stars and the favourite mark, edited in the library
// row only (the audio file is never touched).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/TDialogContext.h"
#include "ui/TDialogView.h"

namespace velmaro::ui {

inline constexpr char16_t PropertiesCaption[] = u"Properties";

class TfmProperties {
 public:
  TfmProperties(const TDialogContext& context, TDialogView& view);

  // The virtual path given by the opener; the real path once shown.
  std::u16string FileName;
  int Rating = 0;
  int Favorite = 0;

  // Handlers.
  void FormCreate();
  void FormShow();
  // A click on a star image (sender "Image0" to "Image5"); anything else
  // is ignored.
  void Image0Click(std::string_view sender);
  // The stars by keyboard: the rating one step up (+1) or down (-1),
  // kept within 0 to 5, as a click on that star would set it.
  void StepRating(int delta);
  void cbFavoriteClick();
  // Saves, then closes the dialog.
  void btOkClick();

  void LoadTrack();
  // Writes the edits into the track's row in the operation's own
  // transaction. False, after telling the user, when it could not.
  bool SaveTrack();
  void ShowRating(int n);
  void ResetStars();
  TAnswer AskUser(const std::u16string& text, TAskKind kind) { return FView.AskUser(text, kind); }

  // The row LoadTrack found (0: none).
  std::int64_t RowId() const { return FRowId; }

 private:
  const TDialogContext& FContext;
  TDialogView& FView;
  std::int64_t FRowId = 0;
  // The year edit's text as loaded: unchanged, the stored year is kept.
  std::u16string FLoadedYear;
};

// The channel text of the stream information: n is mf_channelsmode read as
// an integer, stored its text (null: the column holds no value).
std::u16string ChannelText(std::int64_t n, bool isNull, const std::u16string& stored);

}  // namespace velmaro::ui
