// The Properties and Settings dialogs' logic, through a scripted view.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "import/ImportTrack.h"
#include "library/SqlText.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/Id3v2Builder.h"
#include "support/LibraryFixture.h"
#include "support/MpegBuilder.h"
#include "support/TScriptedView.h"
#include "ui/TfmMainSettings.h"
#include "ui/TfmProperties.h"

using namespace velmaro;
using namespace velmaro::ui;
using namespace velmaro::testsupport;
using velmaro::test::TLibraryFixture;
using velmaro::test::TScriptedView;
using velmaro::test::TTrackRow;

namespace {

std::u16string Swapped(std::u16string text) {
  for (char16_t& c : text)
    if (c == platform::PathDelim) c = platform::AltDelim;
  return text;
}

class Dialogs : public ::testing::Test {
 protected:
  Dialogs() {
    Context.Library = &Lib.State;
    Context.Lock = &Lock;
    // Virtual paths in these tests are the real paths themselves.
    Context.ResolveVirtualPath = [](std::u16string_view path) { return std::u16string(path); };
    Context.CloseColumnQuery = [this] { ++ColumnQueryClosed; };
  }
  std::u16string Column(long long rowid, const char16_t* column) {
    return Lib.Scalar(u"select " + std::u16string(column) + u" from mp3files where rowid=" + platform::IntToU16(rowid));
  }
  // An MP3 file of the test folder with an ID3v2 title (and artist).
  std::u16string Mp3(const std::string& name, const std::string& title, const std::string& artist = "") {
    TId3v2Builder tag(3);
    tag.Text("TIT2", title);
    if (!artist.empty()) tag.Text("TPE1", artist);
    const TBytes bytes = JoinBytes({tag.Build(), MpegFrames({}, 40)});
    Lib.Folder.Write(name, bytes);
    return Lib.Folder.Path16(name);
  }
  // Shows Properties for a path as the opener does.
  TfmProperties& Show(const std::u16string& path) {
    Properties.FileName = path;
    Properties.FormCreate();
    Properties.FormShow();
    return Properties;
  }

  TLibraryFixture Lib;
  std::recursive_mutex Lock;
  TDialogContext Context;
  int ColumnQueryClosed = 0;
  TScriptedView View;
  TfmProperties Properties{Context, View};
};

TEST_F(Dialogs, PropertiesShowsTheRowAndSavesStarsAndFavourite) {
  const long long id = Lib.AddTrack({u"/m/a.mp3", u"Artist", u"Title", u"Album", u"Pop", 1});
  Lib.Db().Execute16(u"update mp3files set mf_rating='4', mf_year='1999-05-01', mf_channelsmode='1', "
                     u"mf_bitrate='320', mf_samplerate='44100', mf_length='181', mf_filesize='7245312', "
                     u"mf_timeadded='5' where rowid=" + platform::IntToU16(id));
  Show(u"/m/a.mp3");
  EXPECT_EQ(View.Text("edFileName"), u"/m/a.mp3");
  EXPECT_EQ(View.Text("edTitle"), u"Title");
  EXPECT_EQ(View.Text("edYear"), u"");  // a date is no plain year
  EXPECT_EQ(View.StarRow(), "GGGGg");
  EXPECT_EQ(View.Text("lblRating"), u"4");
  EXPECT_TRUE(View.Checked("cbFavorite"));
  EXPECT_EQ(Properties.Favorite, 1);
  EXPECT_EQ(View.Text("lblMPEGInfo"), u"Size: 7245312\rLength: 181 seconds\r320 kbit\r44100 Hz  Joint Stereo");

  Properties.Image0Click("Image2");
  EXPECT_EQ(View.StarRow(), "GGggg");
  Properties.Image0Click("edTitle");  // not a star: nothing
  Properties.Image0Click("Image9");
  EXPECT_EQ(Properties.Rating, 2);
  View.SetChecked("cbFavorite", false);
  Properties.cbFavoriteClick();
  Properties.btOkClick();
  EXPECT_TRUE(View.Closed);
  EXPECT_EQ(Column(id, u"mf_rating"), u"2");
  EXPECT_EQ(Column(id, u"mf_favorite"), u"0");
  // The year edit was left alone: the stored date stays.
  EXPECT_EQ(Column(id, u"cast(mf_year as text)"), u"1999-05-01");
  EXPECT_NE(Column(id, u"mf_timeadded"), u"5");
  EXPECT_EQ(ColumnQueryClosed, 1);
  EXPECT_EQ(View.BusyChanges, (std::vector<bool>{true, false}));

  Properties.Image0Click("Image0");
  EXPECT_EQ(View.StarRow(), "ggggg");
  EXPECT_EQ(Properties.Rating, 0);
  // The keyboard's steps stay within 0 to 5; a stored 9 steps down to 4.
  Properties.StepRating(-1);
  EXPECT_EQ(Properties.Rating, 0);
  Properties.StepRating(1);
  EXPECT_EQ(View.StarRow(), "Ggggg");
  Properties.Rating = 9;
  Properties.StepRating(-1);
  EXPECT_EQ(View.StarRow(), "GGGGg");
}

TEST_F(Dialogs, TypedTextsAreStoredSafelyAndStayUsableAsFolderNames) {
  const long long id = Lib.AddTrack({u"/m/a.mp3", u"A"});
  Show(u"/m/a.mp3");
  View.SetText("edArtist", u"He said \"Go\"");
  View.SetText("edTitle", u"mf_path");
  View.SetText("edAlbum", Swapped(u"AC\\DC") + u": Live");
  View.SetText("edComment", u"x\"); DROP TABLE mp3files; --");
  View.SetText("edYear", u" 2001 ");
  Properties.btOkClick();
  EXPECT_EQ(Column(id, u"mf_artist"), u"He said \"Go\"");
  EXPECT_EQ(Column(id, u"mf_title"), u"mf_path");
  // The path delimiter and the colon would make a folder that cannot open.
  EXPECT_EQ(Column(id, u"mf_album"), Swapped(Swapped(u"AC\\DC")) + u"_ Live");
  EXPECT_EQ(Column(id, u"mf_comment"), u"x\"); DROP TABLE mp3files; --");
  EXPECT_EQ(Column(id, u"mf_year"), u"2001");
  View.SetText("edYear", u"1999a");
  Properties.SaveTrack();
  EXPECT_EQ(Column(id, u"mf_year"), u"0");
}

TEST_F(Dialogs, PropertiesOfAVanishedRowSaveNothing) {
  Lib.AddTrack({u"/m/a.mp3", u"A"});
  Show(u"/m/gone.mp3");
  EXPECT_EQ(View.Text("edTitle"), u"edTitle");
  EXPECT_EQ(View.Text("lblRating"), u"0");
  Properties.Image0Click("Image5");
  Properties.btOkClick();
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files where mf_rating='5'"), u"0");
  // A row replaced meanwhile (same rowid gone) is not overwritten either.
  const long long id = Lib.AddTrack({u"/m/b.mp3", u"B"});
  Show(u"/m/b.mp3");
  Lib.Db().Execute16(u"update mp3files set mf_path='/m/c.mp3' where rowid=" + platform::IntToU16(id));
  View.SetText("edArtist", u"Changed");
  Properties.btOkClick();
  EXPECT_EQ(Column(id, u"mf_artist"), u"B");
}

TEST_F(Dialogs, PropertiesSaveFollowsATrackRecordedAgainMeanwhile) {
  const std::u16string path = Mp3("a.mp3", "Title");
  ASSERT_TRUE(import::ImportTrack(path, Lib.Db(), false));
  Lib.AddTrack({u"/m/later.mp3"});
  Show(path);
  const long long loaded = Properties.RowId();
  // Copied in again while the dialog is open: the row gets a new id.
  ASSERT_TRUE(import::ImportTrack(path, Lib.Db(), false));
  ASSERT_NE(Lib.Scalar(u"select rowid from mp3files where mf_path=" + SqlLiteral(path)), platform::IntToU16(loaded));
  View.SetText("edArtist", u"Edited");
  Properties.Image0Click("Image3");
  Properties.btOkClick();
  EXPECT_TRUE(View.Closed);
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_EQ(Lib.Scalar(u"select mf_artist || ' ' || mf_rating from mp3files where mf_path=" + SqlLiteral(path)),
            u"Edited 3");

  // Gone from the library altogether: the user hears that nothing was saved.
  Show(path);
  Lib.Db().Execute("delete from mp3files");
  Properties.btOkClick();
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0].Text, u"This track is no longer in the library: nothing was saved.");
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files where mf_path=" + SqlLiteral(path)), u"0");
}

TEST(ChannelText, ReadsTheModeCodesAndWhatOtherFormatsStore) {
  EXPECT_EQ(ChannelText(0, false, u"0"), u"Stereo");
  EXPECT_EQ(ChannelText(1, false, u"1"), u"Joint Stereo");
  EXPECT_EQ(ChannelText(3, false, u"3"), u"Mono");
  EXPECT_EQ(ChannelText(6, false, u"6"), u"Multichannel");
  EXPECT_EQ(ChannelText(13, false, u"13"), u"");
  EXPECT_EQ(ChannelText(-1, false, u"-1"), u"-1");
  EXPECT_EQ(ChannelText(0, true, u""), u"");
}

class Settings : public Dialogs {
 protected:
  TfmMainSettings Form{Context, View};
};

TEST_F(Settings, RebuildDropsVanishedFilesRefreshesTheRestAndCounts) {
  std::vector<long long> readable;
  for (int i = 0; i < 7; ++i) {
    const std::u16string path = Mp3("r" + std::to_string(i) + ".mp3", "Fresh " + std::to_string(i));
    readable.push_back(Lib.AddTrack({path, u"Old", u"Stale"}));
  }
  Lib.Db().Execute16(u"update mp3files set mf_rating='3', mf_favorite='1' where rowid=" +
                     platform::IntToU16(readable[0]));
  Lib.AddTrack({Lib.Folder.Path16("gone1.mp3")});
  Lib.AddTrack({Lib.Folder.Path16("gone2.mp3")});
  Lib.Folder.Write("noise.mp3", std::string(3000, 'x'));
  const long long noise = Lib.AddTrack({Lib.Folder.Path16("noise.mp3"), u"Kept", u"As is"});
  // A folder that is not there (a drive not mounted, say) tells nothing
  // about its files: their rows stay.
  const long long away = Lib.AddTrack({Lib.Folder.Path16("away/x.mp3"), u"Away"});

  Form.FormShow();
  EXPECT_EQ(View.Text("lblRecordsCount"), u"Records in Database: 11");
  View.Answers = {TAnswer::Yes};
  Form.btRebuildDatabaseClick();
  ASSERT_FALSE(View.Messages.empty());
  EXPECT_EQ(View.Messages.back().Text, u"Records was: 11, now: 9\r1 file could not be reached; its row was kept.");
  EXPECT_EQ(View.Text("lblRecordsCount"), u"Records in Database: 9");
  EXPECT_EQ(Column(away, u"mf_artist"), u"Away");
  EXPECT_EQ(Column(readable[3], u"mf_title"), u"Fresh 3");
  EXPECT_EQ(Column(readable[0], u"mf_rating"), u"3");
  EXPECT_EQ(Column(readable[0], u"mf_favorite"), u"1");
  EXPECT_EQ(Column(noise, u"mf_title"), u"As is");
  EXPECT_EQ(Form.LastRebuild().Refreshed, 7);
  EXPECT_FALSE(Lib.Db().InTransaction());

  // Not confirmed: nothing happens.
  View.Messages.clear();
  Form.btRebuildDatabaseClick();
  EXPECT_EQ(View.Messages.size(), 1u);
}

TEST_F(Settings, RebuildStoresTagsThatNameColumnsAsTexts) {
  const long long id = Lib.AddTrack({Mp3("c.mp3", "rowid", "Mf_Path"), u"Old", u"Stale"});
  View.Answers = {TAnswer::Yes};
  Form.btRebuildDatabaseClick();
  EXPECT_EQ(Column(id, u"mf_title"), u"rowid");
  EXPECT_EQ(Column(id, u"mf_artist"), u"Mf_Path");
}

TEST_F(Settings, ACancelledRebuildChangesNothing) {
  Lib.Db().StartTransaction(TTransactionType::ttDeferred);
  for (int i = 0; i < 600; ++i) Lib.AddTrack({Lib.Folder.Path16("gone" + std::to_string(i) + ".mp3")});
  Lib.Db().Commit();
  Form.FormShow();
  View.Answers = {TAnswer::Yes};
  View.CancelAfter = 2;
  Form.btRebuildDatabaseClick();
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"600");
  EXPECT_TRUE(Form.LastRebuild().Cancelled);
  EXPECT_EQ(View.Messages.back().Text, u"Rebuild cancelled: nothing was changed.\rRecords was: 600, now: 600");
  EXPECT_FALSE(Lib.Db().InTransaction());
}

TEST_F(Settings, TheChosenFileIsStoredAndANewOneNeedsARestart) {
  Form.FormShow();
  const std::u16string inUse = Lib.Folder.Path16("VORNAK.DB");
  EXPECT_EQ(View.Text("edPath"), inUse);
  EXPECT_EQ(View.Text("lblDBPath"), u"Database Path:\r\n" + inUse);
  View.ChosenFile = inUse;
  Form.btSelectDBpathClick();
  EXPECT_EQ(View.ChooserStart.second, u"VORNAK.DB");
  Form.btOKClick();
  EXPECT_TRUE(View.Messages.empty());  // the same file: no restart note
  EXPECT_TRUE(View.Closed);

  View.ChosenFile = Lib.Folder.Path16("new.db");
  Form.btSelectDBpathClick();
  EXPECT_EQ(View.Text("edPath"), Lib.Folder.Path16("new.db"));
  Form.btOKClick();
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0].Text, u"New Database file will be used after restart");
  EXPECT_EQ(platform::IniReadString(Lib.State.IniFileName, u"Velmaro", u"DBPath", u""), Lib.Folder.Path16("new.db"));
  EXPECT_FALSE(std::filesystem::exists(Lib.Folder.Path("new.db")));  // made at the next start
}

TEST_F(Settings, VacuumReportsItsEffectAndWaitsForOpenTransactions) {
  Form.FormShow();
  View.Answers = {TAnswer::Yes};
  Form.btReindexVacuumClick();
  ASSERT_EQ(View.Messages.size(), 2u);
  EXPECT_NE(View.Messages[1].Text.find(u"No Vacuum Effect"), std::u16string::npos);

  Lib.Db().StartTransaction(TTransactionType::ttDeferred);
  for (int i = 0; i < 3000; ++i)
    Lib.AddTrack({u"/m/" + platform::IntToU16(i) + u".mp3", std::u16string(200, u'a')});
  Lib.Db().Commit();
  Lib.Db().Execute("delete from mp3files");
  Lib.Db().StartTransaction(TTransactionType::ttDeferred);  // a batch of the host still open
  View.Answers = {TAnswer::Yes};
  Form.btReindexVacuumClick();
  EXPECT_EQ(View.Messages.back().Kind, TAskKind::Error);
  Lib.Db().Commit();
  View.Answers = {TAnswer::Yes};
  Form.btReindexVacuumClick();
  EXPECT_EQ(View.Messages.back().Text.rfind(u"Before Vacuum:\r\n", 0), 0u);
}

TEST_F(Settings, EmptyingLeavesTheTableAndCountsZero) {
  Lib.AddTrack({u"/m/a.mp3"});
  Form.FormShow();
  Form.btEmptyDatabaseClick();  // not confirmed
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"1");
  View.Answers = {TAnswer::Yes};
  Form.btEmptyDatabaseClick();
  EXPECT_EQ(View.Text("lblRecordsCount"), u"Records in Database: 0");
  EXPECT_EQ(Lib.Scalar(u"select count(*) from sqlite_master where name like 'mp3files_index_%'"), u"8");
}

}  // namespace
