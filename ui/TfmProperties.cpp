#include "ui/TfmProperties.h"

#include <algorithm>
#include <exception>
#include <string>

#include "import/TagText.h"
#include "library/SqlText.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "library/TWriteTransaction.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace velmaro::ui {

namespace {

constexpr std::string_view ImagePrefix = "Image";
constexpr int StarCount = 5;

// The edits of the track information and their columns.
struct TEditColumn {
  const char* Edit;
  const char16_t* Column;
};
constexpr TEditColumn TextEdits[] = {{"edTitle", u"mf_title"},   {"edArtist", u"mf_artist"},
                                     {"edAlbum", u"mf_album"},   {"edYear", u"mf_year"},
                                     {"edGenre", u"mf_genre"},   {"edComment", u"mf_comment"}};

std::u16string IntegerText(const TDISQLite3UniDirQuery& query, std::u16string_view column) {
  return platform::IntToU16(query.FieldByName(column).AsInteger());
}

// Whether the stored paths of the row and of the dialog name one file.
bool SamePath(std::u16string_view a, std::u16string_view b) {
  if (platform::PathsIgnoreCase) return platform::CompareNoCaseSystem(a, b) == 0;
  return a == b;
}

std::u16string ErrorText(const std::exception& error) { return platform::Utf8ToUtf16(error.what()); }

}  // namespace

std::u16string ChannelText(std::int64_t n, bool isNull, const std::u16string& stored) {
  if (isNull) return {};
  if (n == -1) return stored;
  if (n == 0 || n == 2) return u"Stereo";
  if (n == 1) return u"Joint Stereo";
  if (n == 3) return u"Mono";
  if (n >= 4 && n <= 12) return u"Multichannel";
  return {};
}

TfmProperties::TfmProperties(const TDialogContext& context, TDialogView& view) : FContext(context), FView(view) {}

void TfmProperties::FormCreate() {
  Rating = 0;
  Favorite = 0;
  // The texts a control shows until the track's values replace them.
  FView.SetText("edFileName", u"");
  for (const TEditColumn& edit : TextEdits) FView.SetText(edit.Edit, platform::ToU16(edit.Edit));
  FView.SetText("lblMPEGInfo", u"lblMPEGInfo");
  FView.SetText("lblRating", u"R");
  FView.SetChecked("cbFavorite", false);
  FView.SetStar(0, TStar::None);
  ResetStars();
}

void TfmProperties::FormShow() {
  {
    std::lock_guard<std::recursive_mutex> guard(*FContext.Lock);
    FileName = FContext.ResolveVirtualPath(FileName);
  }
  FView.SetText("edFileName", FileName);
  try {
    LoadTrack();
  } catch (const std::exception& error) {
    AskUser(ErrorText(error), TAskKind::Error);
  }
  ShowRating(Rating);
  FView.SetChecked("cbFavorite", Favorite > 0);
  cbFavoriteClick();
}

void TfmProperties::LoadTrack() {
  std::lock_guard<std::recursive_mutex> guard(*FContext.Lock);
  FRowId = 0;
  TDISQLite3Database* db = FContext.Library ? FContext.Library->LibraryDatabase.get() : nullptr;
  if (FileName.empty() || db == nullptr || !FContext.Library->DatabaseReady) return;
  TDISQLite3UniDirQuery query(db);
  query.SetSQL(u"select rowid as vk_rowid, * from \"mp3files\" where " + PathCondition());
  query.SetParams({FileName});
  query.Open();
  if (query.Eof()) return;
  FRowId = query.FieldByName(u"vk_rowid").AsInteger();
  Favorite = static_cast<int>(query.FieldByName(u"mf_favorite").AsInteger());
  Rating = static_cast<int>(query.FieldByName(u"mf_rating").AsInteger());
  for (const TEditColumn& edit : TextEdits) FView.SetText(edit.Edit, query.FieldByName(edit.Column).AsString());
  if (FView.Text("edYear") == u"0") FView.SetText("edYear", u"");
  // A date such as 2004-05-01 reads as no year; what was shown is kept
  // to tell whether the user changed it.
  FLoadedYear = FView.Text("edYear");
  const TDISQLite3Field& channels = query.FieldByName(u"mf_channelsmode");
  const std::u16string channelText = ChannelText(channels.AsInteger(), channels.IsNull(), channels.AsString());
  FView.SetText("lblMPEGInfo", u"Size: " + IntegerText(query, u"mf_filesize") + u"\rLength: " +
                                   IntegerText(query, u"mf_length") + u" seconds\r" +
                                   IntegerText(query, u"mf_bitrate") + u" kbit\r" +
                                   IntegerText(query, u"mf_samplerate") + u" Hz  " + channelText);
}

bool TfmProperties::SaveTrack() {
  TBusyCursor busy(FView);
  // A year the user did not touch keeps its stored value, whatever it
  // holds (a date, say); a typed one is cleaned into a number.
  const bool yearChanged = FRowId == 0 || FView.Text("edYear") != FLoadedYear;
  std::u16string yearText;
  if (yearChanged) {
    long long year = 0;
    if (!ParseDecimalInt64(import::Trim(FView.Text("edYear")), year)) year = 0;
    yearText = platform::IntToU16(year);
    FView.SetText("edYear", yearText);
  }

  // Artist, album and genre name folders, and the title names its entry:
  // they are cleaned as imported texts are (no path delimiter, no colon).
  const auto name = [&](const char* edit) { return import::CleanTagText(FView.Text(edit)); };
  std::vector<std::u16string> values = {name("edArtist"), name("edTitle"), name("edAlbum"), name("edGenre"),
                                        FView.Text("edComment"), platform::IntToU16(Favorite),
                                        platform::IntToU16(Rating), platform::IntToU16(import::LocalUnixSeconds())};
  std::u16string sql =
      u"UPDATE [mp3files] SET mf_artist=?1, mf_title=?2, mf_album=?3, mf_genre=?4, mf_comment=?5, mf_favorite=?6, "
      u"mf_rating=?7, mf_timeadded =?8";
  if (yearChanged) {
    values.push_back(yearText);
    sql += u", mf_year=?9";
  }
  values.emplace_back();  // the row's id, once found
  sql += u" WHERE rowid=?" + platform::IntToU16(static_cast<long long>(values.size()));

  std::unique_lock<std::recursive_mutex> guard(*FContext.Lock);
  TDISQLite3Database* db = FContext.Library ? FContext.Library->LibraryDatabase.get() : nullptr;
  if (db == nullptr || !db->Connected() || !FContext.Library->DatabaseReady) {
    // Nothing was loaded, so there is nothing to save.
    if (FRowId == 0) return true;
    guard.unlock();
    AskUser(u"The library is not open: nothing was saved.", TAskKind::Error);
    return false;
  }
  try {
    TWriteTransaction write(*FContext.Library, *FContext.Lock, u"a Properties save");
    FContext.CloseColumnQuery();
    // The row LoadTrack found, if it still holds this file; else the row
    // the file has now (copied in again meanwhile, it got a new one).
    std::int64_t rowid = 0;
    if (FRowId != 0) {
      TDISQLite3UniDirQuery query(db);
      query.SetSQL(u"select \"mf_path\" from \"mp3files\" where rowid=" + platform::IntToU16(FRowId));
      query.Open();
      if (!query.Eof() && SamePath(query.Fields(0).AsString(), FileName)) rowid = FRowId;
    }
    if (rowid == 0 && FRowId != 0) {
      TDISQLite3UniDirQuery query(db);
      query.SetSQL(u"select rowid from \"mp3files\" where " + PathCondition());
      query.SetParams({FileName});
      query.Open();
      if (!query.Eof()) rowid = query.Fields(0).AsInteger();
    }
    if (rowid != 0) {
      values.back() = platform::IntToU16(rowid);
      db->Execute16(sql, values);
    }
    write.Commit();
    if (rowid == 0 && FRowId != 0) {
      guard.unlock();
      AskUser(u"This track is no longer in the library: nothing was saved.", TAskKind::Error);
    }
    return true;
  } catch (const std::exception& error) {
    guard.unlock();
    AskUser(ErrorText(error), TAskKind::Error);
    return false;
  }
}

void TfmProperties::ShowRating(int n) {
  // Only the images Image0 to Image5 exist: another stored rating leaves
  // the stars grey and is written back unchanged by OK.
  if (n < 0 || n > StarCount) return;
  Image0Click(std::string(ImagePrefix) + static_cast<char>('0' + n));
}

void TfmProperties::ResetStars() {
  for (int i = 1; i <= StarCount; ++i) FView.SetStar(i, TStar::Gray);
}

void TfmProperties::Image0Click(std::string_view sender) {
  if (sender.size() != ImagePrefix.size() + 1 || sender.substr(0, ImagePrefix.size()) != ImagePrefix) return;
  const char digit = sender.back();
  if (digit < '0' || digit > '0' + StarCount) return;
  Rating = digit - '0';
  ResetStars();
  for (int i = 1; i <= Rating; ++i) FView.SetStar(i, TStar::Gold);
  FView.SetText("lblRating", platform::IntToU16(Rating));
}

void TfmProperties::StepRating(int delta) {
  // A stored rating outside 0 to 5 steps from the nearer end.
  const int n = std::clamp(std::clamp(Rating, 0, StarCount) + delta, 0, StarCount);
  Image0Click(std::string(ImagePrefix) + std::to_string(n));
}

void TfmProperties::cbFavoriteClick() { Favorite = FView.Checked("cbFavorite") ? 1 : 0; }

void TfmProperties::btOkClick() {
  // A save that failed (the library busy or not writable) leaves the
  // dialog open with the user's edits, to try again or cancel.
  if (SaveTrack()) FView.Close();
}

}  // namespace velmaro::ui
