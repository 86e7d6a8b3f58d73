// ImportTrack on hand-built MP3 files: the row it writes, what it keeps,
// what it refuses, and what it never loses.
#include <gtest/gtest.h>

#include <fstream>

#include "import/ImportTrack.h"
#include "import/TagText.h"
#include "library/SqlText.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/Id3v1Builder.h"
#include "support/Id3v2Builder.h"
#include "support/LibraryFixture.h"
#include "support/MpegBuilder.h"
#include "support/OggBuilder.h"

using namespace velmaro;
using namespace velmaro::import;
using namespace velmaro::testsupport;
using velmaro::test::TLibraryFixture;
using velmaro::test::TStatementTrace;

namespace {

// A text with the virtual-path delimiter swapped as cleaning swaps it.
std::u16string ReplaceDelims(std::u16string text) {
  for (char16_t& c : text)
    if (c == platform::PathDelim) c = platform::AltDelim;
  return text;
}

void WriteBytes(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Forty frames of MPEG-1 Layer III, 128 kbit/s, joint stereo: about 1 s.
TBytes Audio(MpegFrameFormat format = {}) { return MpegFrames(format, 40); }

class ImportTrackTest : public ::testing::Test {
 protected:
  void SetUp() override { InitReaderDefaults(); }
  // Writes a file into the library's folder; returns its path.
  std::u16string File(const std::string& name, const TBytes& bytes) {
    const std::string path = Lib.Folder.Path(name);
    WriteBytes(path, bytes);
    return platform::Utf8ToUtf16(path);
  }
  std::u16string Column(const std::u16string& path, const std::u16string& column) {
    return Lib.Scalar(u"select cast(" + column + u" as text) from mp3files where mf_path=" + SqlLiteral(path));
  }
  TLibraryFixture Lib;
};

TEST_F(ImportTrackTest, AnId3v2TaggedFileGivesItsRow) {
  const TBytes tag = TId3v2Builder(3)
                         .Frame("TPE1", Utf16Text(u"Bj\u00f6rk"))
                         .Text("TIT2", "Army of Me")
                         .Text("TALB", "Post")
                         .Text("TYER", "1995")
                         .Text("TCON", "(13)")
                         .Text("TRCK", "1/11")
                         .Add(Frame(3, "COMM", Latin1Comment("eng", "", "Single")))
                         .Build();
  const std::u16string path = File("a.mp3", JoinBytes({tag, Audio()}));
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  EXPECT_EQ(Column(path, u"mf_artist"), u"Bj\u00f6rk");
  EXPECT_EQ(Column(path, u"mf_title"), u"Army of Me");
  EXPECT_EQ(Column(path, u"mf_album"), u"Post");
  EXPECT_EQ(Column(path, u"mf_year"), u"1995");
  EXPECT_EQ(Column(path, u"mf_genre"), u"Pop");
  EXPECT_EQ(Column(path, u"mf_comment"), u"Single");
  EXPECT_EQ(Column(path, u"mf_hasimage"), u"0");
  EXPECT_EQ(Column(path, u"mf_filetype"), u"0");
  EXPECT_EQ(Column(path, u"mf_mpegversion"), u"1");
  EXPECT_EQ(Column(path, u"mf_mpeglayer"), u"3");
  EXPECT_EQ(Column(path, u"mf_channelsmode"), u"1");
  EXPECT_EQ(Column(path, u"mf_samplerate"), u"44100");
  EXPECT_EQ(Column(path, u"mf_bitrate"), u"128");
  EXPECT_EQ(Column(path, u"mf_length"), u"2");  // 1.045 s rounded up
  EXPECT_EQ(Column(path, u"mf_filesize"), platform::IntToU16(static_cast<long long>(tag.size() + Audio().size())));
  // Stored as text, it reads as 0 through the integer field.
  EXPECT_EQ(Lib.Scalar(u"select mf_trackno from mp3files"), u"0");
  EXPECT_EQ(Column(path, u"mf_trackno"), ReplaceDelims(u"1/11"));
  EXPECT_EQ(Column(path, u"mf_favorite"), u"");
  EXPECT_EQ(Column(path, u"mf_rating"), u"");
  const long long added = std::stoll(platform::Utf16ToUtf8(Column(path, u"mf_timeadded")));
  EXPECT_NEAR(static_cast<double>(added), static_cast<double>(LocalUnixSeconds()), 5);
}

TEST_F(ImportTrackTest, Id3v1FillsOnlyWhatId3v2LeftEmpty) {
  const TBytes v2 = TId3v2Builder(4).Text("TIT2", "").Text("TPE1", "   ").Text("TALB", "V2 Album").Build();
  const TBytes v1 = Id3v1Tag({"Song", "V1 Artist", "V1 Album", "2001", "v1 note", 7, 17});
  const std::u16string path = File("b.mp3", JoinBytes({v2, Audio(), v1}));
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  EXPECT_EQ(Column(path, u"mf_title"), u"Song");
  EXPECT_EQ(Column(path, u"mf_artist"), u"V1 Artist");  // spaces only counted as empty
  EXPECT_EQ(Column(path, u"mf_album"), u"V2 Album");
  EXPECT_EQ(Column(path, u"mf_genre"), u"Rock");
  EXPECT_EQ(Column(path, u"mf_trackno"), u"7");
  EXPECT_EQ(Column(path, u"mf_comment"), u"v1 note");
}

TEST_F(ImportTrackTest, FileNamesAndMusicFillWhatNoTagGives) {
  const std::u16string named = File("Artist_Name - Song_Title.mp3", Audio());
  const std::u16string plain = File("SONG.MP3", Audio());
  ASSERT_TRUE(ImportTrack(named, Lib.Db(), false));
  ASSERT_TRUE(ImportTrack(plain, Lib.Db(), false));
  EXPECT_EQ(Column(named, u"mf_artist"), u"Artist Name");
  EXPECT_EQ(Column(named, u"mf_title"), u"Song Title");
  EXPECT_EQ(Column(named, u"mf_album"), u"Music");
  EXPECT_EQ(Column(plain, u"mf_artist"), u"");
  EXPECT_EQ(Column(plain, u"mf_filesize"), u"");  // no tag reader saw the file
  EXPECT_EQ(Column(plain, u"mf_hasimage"), u"");
}

TEST_F(ImportTrackTest, AwkwardTextsAreStoredIntactAndSafely) {
  const TBytes tag = TId3v2Builder(3)
                         .Text("TIT2", "Say \"Hi\": A\\B/C")
                         .Text("TPE1", "x\"); DROP TABLE mp3files; --")
                         .Text("TCON", "(62)")
                         .Build();
  // Windows names cannot hold a double quote.
  const std::u16string path =
      File(platform::IsWindows ? "Quote 'Band' - Song.mp3" : "Quote \"Band\" - Song.mp3", JoinBytes({tag, Audio()}));
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  EXPECT_EQ(Column(path, u"mf_title"), ReplaceDelims(u"Say \"Hi\"_ A\\B/C"));
  EXPECT_EQ(Column(path, u"mf_artist"), u"x\"); DROP TABLE mp3files; --");
  // A numbered genre's name is cleaned like any text: it names a folder.
  EXPECT_EQ(Column(path, u"mf_genre"), ReplaceDelims(u"Pop/Funk"));
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"1");

  // A NUL inside a text is dropped, not left to cut the SQL short.
  TVorbisOptions options;
  options.comments = {OggComment(std::string_view("TITLE=A\0B", 9)), OggComment(std::string_view("ARTIST=\0", 8))};
  // Not "nul.ogg": Windows reads that name as its null device.
  const std::u16string ogg = File("nul-in-text.ogg", VorbisFile(options));
  ASSERT_TRUE(ImportTrack(ogg, Lib.Db(), false));
  EXPECT_EQ(Column(ogg, u"mf_title"), u"AB");
}

TEST_F(ImportTrackTest, ReimportingKeepsRatingAndFavouriteAndBecomesTheNewest) {
  const std::u16string path = File("c.mp3", Audio());
  const std::u16string other = File("d.mp3", Audio());
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  ASSERT_TRUE(ImportTrack(other, Lib.Db(), false));
  Lib.Db().Execute16(u"update mp3files set mf_rating=4, mf_favorite=1 where mf_path=" + SqlLiteral(path));
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  EXPECT_EQ(Column(path, u"mf_rating"), u"4");
  EXPECT_EQ(Column(path, u"mf_favorite"), u"1");
  EXPECT_EQ(Lib.Scalar(u"select mf_path from mp3files order by rowid desc limit 1"), path);

  // A first import's empty marks come back as 0 the next time.
  ASSERT_TRUE(ImportTrack(other, Lib.Db(), true));
  EXPECT_EQ(Column(other, u"mf_favorite"), u"1");
  EXPECT_EQ(Column(other, u"mf_rating"), u"0");
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"2");
}

TEST_F(ImportTrackTest, FilesNoReaderAcceptsLeaveTheLibraryAlone) {
  const std::u16string path = File("e.mp3", Audio());
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  Lib.Db().Execute16(u"update mp3files set mf_rating=3");
  // The same path now holds no MPEG audio: the row stays as it was.
  File("e.mp3", AsciiBytes(std::string(4000, 'x')));
  EXPECT_FALSE(ImportTrack(path, Lib.Db(), false));
  EXPECT_EQ(Column(path, u"mf_rating"), u"3");
  EXPECT_EQ(ImportTrackFile(File("f.wav", Audio()), Lib.Db(), false), TImportResult::NotAccepted);
  EXPECT_EQ(ImportTrackFile(File("g.mp2", Audio()), Lib.Db(), false), TImportResult::NotAccepted);
  EXPECT_EQ(ImportTrackFile(Lib.Folder.Path16("missing.mp3"), Lib.Db(), false), TImportResult::NotAccepted);
  EXPECT_EQ(ImportTrackFile(File("empty.mp3", {}), Lib.Db(), false), TImportResult::NotAccepted);
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"1");
}

TEST_F(ImportTrackTest, AFailedWriteInsideABatchKeepsTheOldRow) {
  const std::u16string path = File("h.mp3", Audio());
  ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  Lib.Db().Execute16(u"update mp3files set mf_rating=5");
  // Make the REPLACE fail after the DELETE has run.
  Lib.Db().Execute16(u"create trigger refuse before insert on mp3files begin select raise(abort, 'full'); end");
  Lib.Db().StartTransaction(TTransactionType::ttDeferred);
  EXPECT_EQ(ImportTrackFile(path, Lib.Db(), false), TImportResult::Failed);
  Lib.Db().Commit();
  EXPECT_EQ(Column(path, u"mf_rating"), u"5");
}

TEST_F(ImportTrackTest, ABatchOfImportsCommitsOnce) {
  std::vector<std::u16string> paths;
  for (int i = 0; i < 3; ++i) paths.push_back(File("batch" + std::to_string(i) + ".mp3", Audio()));
  TStatementTrace trace(Lib.Db());
  Lib.Db().StartTransaction(TTransactionType::ttDeferred);
  for (const auto& path : paths) ASSERT_TRUE(ImportTrack(path, Lib.Db(), false));
  Lib.Db().Commit();
  EXPECT_EQ(trace.Count("BEGIN"), 1);
  EXPECT_EQ(trace.Count("COMMIT"), 1);
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"3");
}

TEST_F(ImportTrackTest, PathsDifferingInNonAsciiCaseAreDifferentFilesHere) {
  if (platform::PathsIgnoreCase) GTEST_SKIP() << "one file on this platform";
  const std::u16string upper = File("\u00c4.mp3", Audio());
  const std::u16string lower = File("\u00e4.mp3", Audio());
  ASSERT_TRUE(ImportTrack(upper, Lib.Db(), false));
  ASSERT_TRUE(ImportTrack(lower, Lib.Db(), false));
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"2");
}

}  // namespace
