// TID3v1Tag: the 128-byte tag, its texts and genre, the Lyrics3 v2 block,
// damaged and hostile blocks, and loading from files.
#include <gtest/gtest.h>

#include <functional>

#include "support/Id3v1Builder.h"
#include "support/MpegBuilder.h"
#include "support/SystemSupport.h"
#include "support/TestFolder.h"
#include "tags/common/TStream.h"
#include "tags/id3v1/Genres.h"
#include "tags/id3v1/TID3v1Tag.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

struct Loaded {
  int result;
  TID3v1Tag tag;
};

Loaded Load(const TBytes& bytes, const std::function<void(TID3v1Tag&)>& configure = {}) {
  Loaded loaded{-1, {}};
  if (configure) configure(loaded.tag);
  TMemoryStream stream(bytes);
  loaded.result = loaded.tag.LoadFromStream(stream);
  return loaded;
}

// Audio-like bytes in front of the tags, as in a real file.
TBytes Audio() { return MpegFrames({}, 3); }

void ExpectCleared(const TID3v1Tag& tag) {
  EXPECT_FALSE(tag.Loaded());
  EXPECT_EQ(tag.Title(), u"");
  EXPECT_EQ(tag.Artist(), u"");
  EXPECT_EQ(tag.Album(), u"");
  EXPECT_EQ(tag.Genre(), u"");
  EXPECT_EQ(tag.Track(), 0);
  EXPECT_EQ(tag.FileSize(), 0);
  EXPECT_TRUE(tag.LyricsFrames().empty());
}

// ---------------------------------------------------------------------------
// The tag itself.

TEST(Id3v1Tag, ReadsAnId3v11Tag) {
  const TBytes file = JoinBytes({Audio(), Id3v1Tag({.title = "Song", .artist = "Band", .album = "Record", .year = "1999",
                                                .comment = "nice", .track = 7, .genre = 17})});
  const Loaded l = Load(file);
  ASSERT_EQ(l.result, TID3v1Tag::ResultOk);
  EXPECT_TRUE(l.tag.Loaded());
  EXPECT_EQ(l.tag.Title(), u"Song");
  EXPECT_EQ(l.tag.Artist(), u"Band");
  EXPECT_EQ(l.tag.Album(), u"Record");
  EXPECT_EQ(l.tag.Year(), u"1999");
  EXPECT_EQ(l.tag.Comment(), u"nice");
  EXPECT_EQ(l.tag.Track(), 7);
  EXPECT_EQ(l.tag.TrackString(), u"7");
  EXPECT_TRUE(l.tag.Revision1());
  EXPECT_EQ(l.tag.Genre(), u"Rock");
  EXPECT_EQ(l.tag.FileSize(), static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(l.tag.LyricsTagSize(), 0);
}

TEST(Id3v1Tag, AFullCommentMeansId3v10WithoutTrack) {
  const std::string comment = "123456789012345678901234567890";
  const Loaded l = Load(JoinBytes({Audio(), Id3v1Tag({.title = "T", .comment = comment})}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Comment(), u"123456789012345678901234567890");
  EXPECT_EQ(l.tag.Track(), 0);
  EXPECT_EQ(l.tag.TrackString(), u"");
  EXPECT_FALSE(l.tag.Revision1());
}

TEST(Id3v1Tag, ZeroBytesBeforeTheTrackByteMeanId3v11) {
  // A short comment padded with zeros reads as ID3v1.1 with track 0.
  const Loaded l = Load(JoinBytes({Audio(), Id3v1Tag({.comment = "short"})}));
  EXPECT_TRUE(l.tag.Revision1());
  EXPECT_EQ(l.tag.Track(), 0);
  EXPECT_EQ(l.tag.TrackString(), u"0");
  const Loaded v11 = Load(JoinBytes({Audio(), Id3v1Tag({.comment = "1234567890123456789012345678", .track = 255})}));
  EXPECT_EQ(v11.tag.Comment(), u"1234567890123456789012345678");
  EXPECT_EQ(v11.tag.Track(), 255);
}

TEST(Id3v1Tag, TextsStopAtTheFirstZeroByteAndAreTrimmed) {
  TBytes tag = Id3v1Tag({.title = "Title", .artist = "\t Artist \x01", .year = "99", .padByte = ' '});
  tag[3 + 5] = 0;  // "Title" then zero then spaces and junk
  tag[3 + 6] = 'X';
  const Loaded l = Load(JoinBytes({Audio(), tag}));
  EXPECT_EQ(l.tag.Title(), u"Title");
  EXPECT_EQ(l.tag.Artist(), u"Artist");
  EXPECT_EQ(l.tag.Year(), u"99");
  EXPECT_EQ(l.tag.Album(), u"");

  const Loaded untrimmed = Load(JoinBytes({Audio(), Id3v1Tag({.title = "  Padded", .padByte = ' '})}),
                                [](TID3v1Tag& t) { t.SetTrimText(false); });
  EXPECT_EQ(untrimmed.tag.Title(), u"  Padded" + std::u16string(22, u' '));
}

TEST(Id3v1Tag, TextsUseTheSystemCodePage) {
  SKIP_UNLESS_WINDOWS_1252();
  const TBytes file = JoinBytes({Audio(), Id3v1Tag({.title = "Caf\xE9", .artist = "\x80uro", .album = "\x93q\x94"})});
  const Loaded ansi = Load(file);
  EXPECT_EQ(ansi.tag.Title(), u"Café");
  EXPECT_EQ(ansi.tag.Artist(), u"€uro");
  EXPECT_EQ(ansi.tag.Album(), u"“q”");

  const Loaded raw = Load(file, [](TID3v1Tag& t) { t.SetReturnANSIText(false); });
  EXPECT_EQ(raw.tag.Title(), u"Caf\u00E9");
  EXPECT_EQ(raw.tag.Artist(), u"\u0080uro");
}

TEST(Id3v1Tag, GenreByteGivesNameNumberOrNothing) {
  const struct {
    std::uint8_t genre;
    std::u16string_view name, asOther;
  } cases[] = {
      {0, u"Blues", u"Blues"},     {17, u"Rock", u"Rock"},    {191, u"Psybient", u"Psybient"},
      {192, u"192", u"Other"},     {200, u"200", u"Other"},   {254, u"254", u"Other"},
      {255, u"", u"Other"},
  };
  for (const auto& c : cases) {
    const TBytes file = JoinBytes({Audio(), Id3v1Tag({.genre = c.genre})});
    EXPECT_EQ(Load(file).tag.Genre(), c.name) << int(c.genre);
    EXPECT_EQ(Load(file, [](TID3v1Tag& t) { t.SetTreatUnknownGenresAsOther(true); }).tag.Genre(), c.asOther)
        << int(c.genre);
  }
}

TEST(Id3v1Tag, NoTagAtTheEnd) {
  // "TAG" elsewhere, or a Lyrics3 block without the tag behind it.
  const TBytes lyrics = Lyrics3v2Block(Lyrics3Field("ETT", "Long Title"));
  for (const TBytes& file : {JoinBytes({Id3v1Tag({.title = "x"}), Audio()}), JoinBytes({Audio(), lyrics}), TBytes{}}) {
    const Loaded l = Load(file);
    EXPECT_EQ(l.result, TID3v1Tag::ResultNoTag);
    ExpectCleared(l.tag);
  }
}

TEST(Id3v1Tag, SmallStreamsAreReadFromTheirStart) {
  const TBytes exact = Id3v1Tag({.title = "Only", .genre = 8});
  const Loaded l = Load(exact);
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Title(), u"Only");
  EXPECT_EQ(l.tag.Genre(), u"Jazz");
  EXPECT_EQ(l.tag.FileSize(), 128);

  // Shorter than a tag: the missing bytes read as zero.
  TBytes cut = exact;
  cut.resize(40);
  const Loaded small = Load(cut);
  ASSERT_EQ(small.result, 0);
  EXPECT_EQ(small.tag.Title(), u"Only");
  EXPECT_EQ(small.tag.Genre(), u"Blues");  // genre byte 0
  EXPECT_EQ(small.tag.FileSize(), 40);
  EXPECT_EQ(Load(AsciiBytes("TA")).result, TID3v1Tag::ResultNoTag);
}

TEST(Id3v1Tag, EveryLoadStartsClean) {
  TID3v1Tag tag;
  TMemoryStream first(JoinBytes({Audio(), Lyrics3v2Block(Lyrics3Field("LYR", "la la")),
                              Id3v1Tag({.title = "One", .track = 3, .genre = 1})}));
  ASSERT_EQ(tag.LoadFromStream(first), 0);
  ASSERT_EQ(tag.LyricsFrames().size(), 1u);
  TMemoryStream second(JoinBytes({Audio(), Id3v1Tag({.comment = "123456789012345678901234567890"})}));
  ASSERT_EQ(tag.LoadFromStream(second), 0);
  EXPECT_EQ(tag.Title(), u"");
  EXPECT_EQ(tag.Track(), 0);
  EXPECT_EQ(tag.Genre(), u"");
  EXPECT_TRUE(tag.LyricsFrames().empty());
  EXPECT_EQ(tag.LyricsTagSize(), 0);
}

// ---------------------------------------------------------------------------
// Lyrics3 v2.

TBytes WithLyrics(const std::string& fields, const Id3v1Fields& id3) {
  return JoinBytes({Audio(), Lyrics3v2Block(fields), Id3v1Tag(id3)});
}

TEST(Id3v1Lyrics3, ExtendedFieldsReplaceTheShortOnesTheyExtend) {
  const std::string fields = Lyrics3Field("IND", "011") + Lyrics3Field("LYR", "[00:01]Line one\r\nLine two") +
                             Lyrics3Field("ETT", "Some Very Long Title That Goes On") +
                             Lyrics3Field("EAR", "The Band With A Very Long Name Indeed") +
                             Lyrics3Field("EAL", "Another Record");
  const Loaded l = Load(WithLyrics(fields, {.title = "Some Very Long Title That Goes",
                                            .artist = "The Band With A Very Long Name",
                                            .album = "Record"}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Title(), u"Some Very Long Title That Goes On");
  EXPECT_EQ(l.tag.Artist(), u"The Band With A Very Long Name Indeed");
  EXPECT_EQ(l.tag.Album(), u"Another Record");  // "Record" occurs inside it
  EXPECT_TRUE(l.tag.LyricsHasTimeStamp());
  EXPECT_TRUE(l.tag.InhibitTracksForRandomSelection());
  EXPECT_EQ(l.tag.LyricsTagSize(), static_cast<std::int32_t>(11 + fields.size()));
  ASSERT_EQ(l.tag.LyricsFrames().size(), 5u);
  EXPECT_EQ(l.tag.LyricsFrames()[0].ID, u"IND");
  EXPECT_EQ(l.tag.LyricsFrames()[1].ID, u"LYR");
  EXPECT_EQ(l.tag.LyricsFrames()[1].Data, u"[00:01]Line one\r\nLine two");
  EXPECT_EQ(l.tag.LyricsFrames()[4].ID, u"EAL");
}

TEST(Id3v1Lyrics3, AnExtendedFieldThatDoesNotExtendIsIgnored) {
  const std::string fields = Lyrics3Field("ETT", "A Different Title") + Lyrics3Field("EAR", "band") +
                             Lyrics3Field("EAL", "Anything") + Lyrics3Field("IND", "10");
  const Loaded l = Load(WithLyrics(fields, {.title = "Some Title", .artist = "Band"}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Title(), u"Some Title");
  EXPECT_EQ(l.tag.Artist(), u"Band");  // compared with case
  EXPECT_EQ(l.tag.Album(), u"");       // an empty field is never extended
  EXPECT_FALSE(l.tag.LyricsHasTimeStamp());
  EXPECT_FALSE(l.tag.InhibitTracksForRandomSelection());
  EXPECT_EQ(l.tag.LyricsFrames().size(), 4u);
}

TEST(Id3v1Lyrics3, ExtendedTextsUseTheSameCodePageAsTheTag) {
  // 0x92 is a right single quote in the system code page: the extended
  // title must compare with, and replace, the decoded short one.
  const Loaded l = Load(WithLyrics(Lyrics3Field("ETT", "Don\x92t Stop Me Now  "), {.title = "Don\x92t Stop"}));
  EXPECT_EQ(l.tag.Title(), u"Don’t Stop Me Now  ");  // taken as read, untrimmed
  EXPECT_EQ(l.tag.LyricsFrames()[0].Data, u"Don\u0092t Stop Me Now  ");
}

TEST(Id3v1Lyrics3, MissingMarkersLeaveTheTagAlone) {
  const Id3v1Fields id3{.title = "Title", .genre = 13};
  // No "LYRICSBEGIN" where the size points.
  TBytes wrongStart = Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"));
  wrongStart[0] = 'X';
  // An end marker of another version.
  TBytes v1 = Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"));
  v1[v1.size() - 3] = '1';
  // A size pointing into the audio.
  const TBytes wrongSize = Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"), "000025");
  for (const TBytes& block : {wrongStart, v1, wrongSize}) {
    const Loaded l = Load(JoinBytes({Audio(), block, Id3v1Tag(id3)}));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.tag.Title(), u"Title");
    EXPECT_EQ(l.tag.Genre(), u"Pop");
    EXPECT_TRUE(l.tag.LyricsFrames().empty());
  }
}

TEST(Id3v1Lyrics3, NonDecimalSizeOrLengthFailsTheWholeLoad) {
  const TBytes badSize = Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"), "0000x9");
  const TBytes badLength = Lyrics3v2Block("ETT0001xTitle Long");
  const TBytes signedSize = Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"), "-00021");
  for (const TBytes& block : {badSize, badLength, signedSize}) {
    const Loaded l = Load(JoinBytes({Audio(), block, Id3v1Tag({.title = "Title"})}));
    EXPECT_EQ(l.result, TID3v1Tag::ResultReadError);
    ExpectCleared(l.tag);
  }
}

TEST(Id3v1Lyrics3, HostileSizesAreCheckedAgainstTheFile) {
  const Id3v1Fields id3{.title = "Title", .artist = "Artist"};
  // The block size claims more bytes than the whole file.
  {
    const Loaded l = Load(JoinBytes({Lyrics3v2Block(Lyrics3Field("ETT", "Title Long"), "999999"), Id3v1Tag(id3)}));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.tag.Title(), u"Title");
    EXPECT_EQ(l.tag.LyricsTagSize(), 999999);
  }
  // A field length running past the block: the fields before it stand.
  {
    const std::string fields = Lyrics3Field("EAR", "Artist Extended") + "ETT99999Title Long";
    const Loaded l = Load(WithLyrics(fields, id3));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.tag.Artist(), u"Artist Extended");
    EXPECT_EQ(l.tag.Title(), u"Title");
    ASSERT_EQ(l.tag.LyricsFrames().size(), 1u);
  }
  // A field header cut by the block end, zero-length fields, an empty block.
  for (const std::string& fields : {Lyrics3Field("LYR", "x") + "EAL01", Lyrics3Field("ETT", "") + Lyrics3Field("IND", ""),
                                    std::string()}) {
    const Loaded l = Load(WithLyrics(fields, id3));
    ASSERT_EQ(l.result, 0) << fields;
    EXPECT_EQ(l.tag.Title(), u"Title") << fields;
  }
  // A block size of zero, too small to hold its own start marker.
  EXPECT_EQ(Load(JoinBytes({Audio(), Lyrics3v2Block("", "000000"), Id3v1Tag(id3)})).result, 0);
}

TEST(Id3v1Lyrics3, BlocksTouchingTheStartOfTheFile) {
  // A file that is nothing but the block and the tag.
  const Loaded l = Load(JoinBytes({Lyrics3v2Block(Lyrics3Field("ETT", "Title Long")), Id3v1Tag({.title = "Title"})}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Title(), u"Title Long");
  // Files just longer than a tag, shorter than any block.
  for (std::size_t extra = 1; extra < 30; ++extra) {
    const Loaded small = Load(JoinBytes({AsciiBytes(std::string(extra, 'L')), Id3v1Tag({.title = "Title"})}));
    EXPECT_EQ(small.result, 0) << extra;
  }
}

// ---------------------------------------------------------------------------
// Files and defaults.

TEST(Id3v1File, LoadsFromAFileAndReportsMissingOnes) {
  TTestFolder folder;
  const TBytes bytes = JoinBytes({Audio(), Id3v1Tag({.title = "From File", .track = 2})});
  const auto path = ToReaderPath(folder.Write("song.mp3", bytes));
  TID3v1Tag tag;
  ASSERT_EQ(tag.LoadFromFile(path), 0);
  EXPECT_EQ(tag.Title(), u"From File");
  EXPECT_EQ(tag.SourceFileName(), path);
  EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(bytes.size()));

  EXPECT_EQ(tag.LoadFromFile(ToReaderPath(folder.Path() / "missing.mp3")), TID3v1Tag::ResultFileNotFound);
  ExpectCleared(tag);
  EXPECT_EQ(tag.SourceFileName(), u"");
  EXPECT_EQ(tag.LoadFromFile(ToReaderPath(folder.Path())), TID3v1Tag::ResultFileNotFound);
  EXPECT_EQ(tag.LoadFromFile(ToReaderPath(folder.Write("none.mp3", Audio()))), TID3v1Tag::ResultNoTag);
}

TEST(Id3v1File, DefaultsAreCopiedIntoNewObjects) {
  ASSERT_TRUE(TID3v1Tag::DefaultReturnANSIText());
  ASSERT_TRUE(TID3v1Tag::DefaultTrimText());
  ASSERT_FALSE(TID3v1Tag::DefaultTreatUnknownGenresAsOther());
  TID3v1Tag::SetDefaultReturnANSIText(false);
  TID3v1Tag::SetDefaultTreatUnknownGenresAsOther(true);
  TID3v1Tag changed;
  TID3v1Tag::SetDefaultReturnANSIText(true);
  TID3v1Tag::SetDefaultTreatUnknownGenresAsOther(false);
  EXPECT_FALSE(changed.ReturnANSIText());
  EXPECT_TRUE(changed.TreatUnknownGenresAsOther());
  TID3v1Tag later;
  EXPECT_TRUE(later.ReturnANSIText());
  EXPECT_FALSE(later.TreatUnknownGenresAsOther());
}

// ---------------------------------------------------------------------------
// The genre list.

TEST(Genres, ListHas192NamesNumberedFromZero) {
  EXPECT_EQ(GenreNames().size(), 192u);
  for (const auto name : GenreNames()) EXPECT_FALSE(name.empty());
  EXPECT_EQ(GenreName(0), u"Blues");
  EXPECT_EQ(GenreName(12), u"Other");
  EXPECT_EQ(GenreName(17), u"Rock");
  EXPECT_EQ(GenreName(67), u"Psychedelic");
  EXPECT_EQ(GenreName(78), u"Rock & Roll");
  EXPECT_EQ(GenreName(123), u"A capella");
  EXPECT_EQ(GenreName(144), u"Trash Metal");
  EXPECT_EQ(GenreName(147), u"SynthPop");
  EXPECT_EQ(GenreName(185), u"Neue Deutsche Welle");
  EXPECT_EQ(GenreName(191), u"Psybient");
  EXPECT_EQ(GenreName(192), u"");
  EXPECT_EQ(GenreName(-1), u"");
}

}  // namespace
}  // namespace velmaro::tags
