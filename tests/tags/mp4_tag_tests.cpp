// TMP4Tag on hand-made files: the metadata path and its items, the value
// readings, the stream values from mvhd, mdat and the sample entries, the
// result codes, and hostile sizes.
#include <gtest/gtest.h>

#include <limits>

#include "support/Mp4Builder.h"
#include "support/TCountingStream.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/mp4/TMP4Tag.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;
using velmaro::test::TTestFolder;

int Load(TMP4Tag& tag, const TBytes& bytes, bool buffered = true) {
  TMemoryStream stream(bytes);
  return tag.LoadFromStream(stream, buffered);
}

// A file as an encoder and a tagger leave it: one AAC track, ten seconds,
// the usual items.
Mp4FileLayout TaggedLayout() {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)})};
  layout.items = {Mp4TextItem("\251nam", "Title"),
                  Mp4TextItem("\251ART", "Artist"),
                  Mp4TextItem("\251alb", "Album"),
                  Mp4TextItem("\251day", "2004"),
                  Mp4TextItem("\251cmt", "Nice"),
                  Mp4TrackItem(7, 12),
                  Mp4GenreItem(18),
                  Mp4Item("covr", {Mp4Data(Mp4Jpeg, {0xFF, 0xD8, 0xFF})})};
  // 160625 bytes of mdat over 10 s is 128.5 kbit/s: rounded half up.
  layout.mdatPayload = 160625 - 8;
  return layout;
}

void ExpectTaggedValues(const TMP4Tag& tag) {
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"Title");
  EXPECT_EQ(tag.GetText(u"\u00A9ART"), u"Artist");
  EXPECT_EQ(tag.GetText(u"\u00A9alb"), u"Album");
  EXPECT_EQ(tag.GetText(u"\u00A9day"), u"2004");
  EXPECT_EQ(tag.GetText(u"\u00A9cmt"), u"Nice");
  EXPECT_EQ(tag.GetTrack(), 7);
  EXPECT_EQ(tag.GetGenre(), u"Rock");
  EXPECT_NE(tag.FindAtom(u"covr"), nullptr);
  EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);
  EXPECT_EQ(tag.BitRate(), 129);
  EXPECT_EQ(tag.AudioChannelCount(), 2);
  EXPECT_EQ(tag.AudioResolution(), 16);
  EXPECT_EQ(tag.AudioSampleRate(), 44100u);
  EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mp4afAAC);
}

TEST(MP4Tag, ReadsTheItemsAndStreamValuesOfATaggedFile) {
  const TBytes file = Mp4File(TaggedLayout());
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, Load(tag, file));
  EXPECT_TRUE(tag.Loaded());
  ExpectTaggedValues(tag);
  EXPECT_EQ(tag.Count(), 8);
  EXPECT_TRUE(AtomNameEquals(tag.Atoms()[0].ID, u"\u00A9nam"));
  EXPECT_EQ(tag.Atoms()[7].Index, 7);
  EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(tag.AtommoovPosition(), 24);  // right after ftyp
  EXPECT_LT(tag.AtommoovPosition(), tag.AtomudtaPosition());
  EXPECT_LT(tag.AtomudtaPosition(), tag.AtommetaPosition());
  EXPECT_LT(tag.AtommetaPosition(), tag.AtomilstPosition());
  EXPECT_EQ(tag.mdatAtomPosition(), tag.AtommoovPosition() + tag.AtommoovSize());
  EXPECT_EQ(tag.mdatAtomSize(), 160625);
  EXPECT_EQ(tag.PaddingToWrite(), 4096u);
  EXPECT_TRUE(tag.FileName().empty());
}

TEST(MP4Tag, ReadsTheSameThroughTheBufferAndDirectly) {
  const TBytes file = Mp4File(TaggedLayout());
  TMP4Tag direct;
  ASSERT_EQ(TMP4Tag::ResultSuccess, Load(direct, file, false));
  ExpectTaggedValues(direct);
}

TEST(MP4Tag, MoovAfterMdatAndA64BitMdatSizeReadTheSame) {
  for (const bool large : {false, true}) {
    Mp4FileLayout layout = TaggedLayout();
    layout.moovAfterMdat = true;
    layout.largeMdat = large;
    layout.mdatPayload = 160625 - (large ? 16 : 8);
    TMP4Tag tag;
    ASSERT_EQ(TMP4Tag::ResultSuccess, Load(tag, Mp4File(layout))) << "large " << large;
    ExpectTaggedValues(tag);
    EXPECT_EQ(tag.mdatAtomPosition(), 24);
    EXPECT_EQ(tag.mdatAtomSize(), 160625);  // header included
    EXPECT_EQ(tag.AtommoovPosition(), 24 + 160625);
  }
}

TEST(MP4Tag, A64BitAtomEndingAtTheEndOfTheFilePassesValidation) {
  // The moov-level scan runs on past "moov" into the large "mdat".
  Mp4FileLayout layout;
  layout.withUdta = false;
  layout.largeMdat = true;
  TBytes file = Mp4File(layout);
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultNoItems, Load(tag, file));
  EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);

  // One byte more than the file holds is corrupt.
  const std::size_t sizeField = file.size() - layout.mdatPayload - 8;
  file[sizeField + 7] += 1;
  EXPECT_EQ(TMP4Tag::ResultWalkError, Load(tag, file));
}

TEST(MP4Tag, FindsASmallIlstAtTheEndOfTheFile) {
  // "ilst" is as large as the "hdlr" before it and ends the file: the
  // meta-level scan once stopped before it, and the file counted as one
  // without metadata.
  Mp4FileLayout layout;
  layout.items = {Mp4TextItem("\251nam", "A")};
  layout.moovAfterMdat = true;
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, Load(tag, Mp4File(layout)));
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"A");
  EXPECT_EQ(tag.AtomilstSize(), 33);
  EXPECT_EQ(tag.AtomilstPosition() + tag.AtomilstSize(), tag.FileSize());
}

TEST(MP4Tag, GivesTheResultCodesOfTheLoad) {
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultNotMP4, Load(tag, {}));
  EXPECT_EQ(TMP4Tag::ResultNotMP4, Load(tag, JoinBytes({Mp4Atom("moov", TBytes{}), Mp4Ftyp()})));
  EXPECT_EQ(tag.FileSize(), 0);
  EXPECT_EQ(tag.Playtime(), 0.0);

  // No metadata, or an empty list: the stream values are there all the same.
  Mp4FileLayout layout = TaggedLayout();
  layout.withUdta = false;
  EXPECT_EQ(TMP4Tag::ResultNoItems, Load(tag, Mp4File(layout)));
  EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);
  EXPECT_EQ(tag.AudioSampleRate(), 44100u);
  EXPECT_FALSE(tag.Loaded());
  layout.withUdta = true;
  layout.items.clear();
  EXPECT_EQ(TMP4Tag::ResultNoItems, Load(tag, Mp4File(layout)));
  EXPECT_EQ(tag.Count(), 0);

  // A header on the metadata path that claims more than the file holds,
  // or less than its own header.
  for (const std::uint32_t size : {0x7FFFFFFFu, 4u, 0u}) {
    const TBytes file =
        JoinBytes({Mp4Ftyp(), Mp4Atom("moov", {Mp4AtomWithSize("udta", size), Mp4Mvhd(0, 1000, 1000)})});
    EXPECT_EQ(TMP4Tag::ResultWalkError, Load(tag, file)) << size;
    EXPECT_DOUBLE_EQ(tag.Playtime(), 0.0) << "the same header ends the duration walk";
  }

  EXPECT_EQ(TMP4Tag::ResultFileError, tag.LoadFromFile(u"/nonexistent/velmaro/a.m4a"));
}

TEST(MP4Tag, LoadsAFileFromDisk) {
  TTestFolder folder;
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(ToReaderPath(folder.Write("a.m4a", Mp4File(TaggedLayout())))));
  ExpectTaggedValues(tag);
}

// ---------------------------------------------------------------------------
// Value readings.

TMP4Tag LoadItems(const std::vector<TBytes>& items) {
  Mp4FileLayout layout;
  layout.items = items;
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultSuccess, Load(tag, Mp4File(layout)));
  return tag;
}

TEST(MP4Values, GenreFromTheNumberElseFromTheText) {
  EXPECT_EQ(LoadItems({Mp4GenreItem(1)}).GetGenre(), u"Blues");
  EXPECT_EQ(LoadItems({Mp4GenreItem(192)}).GetGenre(), u"Psybient");
  EXPECT_EQ(LoadItems({Mp4GenreItem(0), Mp4TextItem("\251gen", "Own")}).GetGenre(), u"Own");
  EXPECT_EQ(LoadItems({Mp4GenreItem(200), Mp4TextItem("\251gen", "Own")}).GetGenre(), u"Own");
  EXPECT_EQ(LoadItems({Mp4TextItem("\251gen", "Own")}).GetGenre(), u"Own");
  EXPECT_EQ(LoadItems({Mp4TextItem("\251nam", "x")}).GetGenre(), u"");
}

TEST(MP4Values, TrackNumberFromAnIntegerTrkn) {
  EXPECT_EQ(LoadItems({Mp4TrackItem(7, 12)}).GetTrack(), 7);
  EXPECT_EQ(LoadItems({Mp4Item("trkn", {Mp4Data(Mp4Utf8, AsciiBytes("7/12"))})}).GetTrack(), 0);
  EXPECT_EQ(LoadItems({Mp4TextItem("\251nam", "x")}).GetTrack(), 0);
  // Shorter payloads read as if zero-filled.
  EXPECT_EQ(LoadItems({Mp4Item("trkn", {Mp4Data(Mp4Implicit, {0, 0, 0, 9})})}).GetTrack(), 9);
}

TEST(MP4Values, IntegerItemsReadAsTextByTheirLength) {
  const TMP4Tag tag = LoadItems({
      Mp4Item("tmpo", {Mp4Data(Mp4Integer, BE16(120))}),
      Mp4Item("cpil", {Mp4Data(Mp4Integer, {1})}),
      Mp4Item("plID", {Mp4Data(Mp4Integer, BE64(0x0102030405060708ull))}),
      Mp4Item("sixb", {Mp4Data(Mp4Implicit, {0, 1, 0, 0, 0, 2})}),
      Mp4Item("odd3", {Mp4Data(Mp4Integer, {1, 2, 3})}),
      Mp4Item("jpg4", {Mp4Data(Mp4Jpeg, {1, 2, 3, 4})}),
      Mp4Item("jpg8", {Mp4Data(Mp4Jpeg, BE64(5))}),
  });
  EXPECT_EQ(tag.GetText(u"tmpo"), u"120");
  EXPECT_EQ(tag.GetInteger16(u"tmpo"), 120);
  EXPECT_EQ(tag.GetText(u"cpil"), u"1");
  EXPECT_EQ(tag.GetText(u"plID"), u"72623859790382856");
  EXPECT_EQ(tag.GetText(u"sixb"), u"4294967298");
  EXPECT_EQ(tag.GetText(u"odd3"), u"");
  // A 1-, 2- or 4-byte payload of another type counts as the number 0;
  // 6 and 8 bytes of another type give nothing.
  EXPECT_EQ(tag.GetText(u"jpg4"), u"0");
  EXPECT_EQ(tag.GetText(u"jpg8"), u"");
  std::uint32_t low = 0;
  std::uint16_t high = 0;
  std::uint64_t value = 0;
  EXPECT_TRUE(tag.GetInteger48(u"sixb", low, high, value));
  EXPECT_EQ(high, 1);
  EXPECT_EQ(low, 2u);
  EXPECT_EQ(value, 0x100000002ull);
  EXPECT_FALSE(tag.GetInteger48(u"jpg4", low, high, value));
  EXPECT_FALSE(tag.GetInteger48(u"none", low, high, value));
  EXPECT_EQ(tag.GetInteger16(u"none"), 0);
}

TEST(MP4Values, TextIsUtf8DecodedLenientlyAndOnlyTheFirstDataCounts) {
  const TMP4Tag tag = LoadItems({
      Mp4TextItem("\251nam", "Gr\xC3\xBCn \xFF!"),
      Mp4Item("\251ART", {Mp4Data(Mp4Utf8, AsciiBytes("first")), Mp4Data(Mp4Utf8, AsciiBytes("second"))}),
  });
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"Gr\u00FCn \uFFFD!");
  EXPECT_EQ(tag.GetText(u"\u00A9ART"), u"first");
  ASSERT_NE(tag.FindAtom(u"\u00A9ART"), nullptr);
  EXPECT_EQ(tag.FindAtom(u"\u00A9ART")->Datas.size(), 2u);
  // Byte names and text names are the same names. A text name keeps the
  // low 8 bits of each character; compared directly, a character above
  // 255 matches nothing.
  EXPECT_EQ(tag.GetText(MakeAtomName(std::string_view("\251nam"))), tag.GetText(u"\u00A9nam"));
  EXPECT_EQ(tag.FindAtom(u"\u01A9nam"), tag.FindAtom(u"\u00A9nam"));
  EXPECT_FALSE(AtomNameEquals(tag.Atoms()[0].ID, u"\u01A9nam"));
  EXPECT_TRUE(AtomNameEquals(tag.Atoms()[0].ID, u"\u00A9nam"));
}

TEST(MP4Values, FreeFormItemsKeepMeanAndName) {
  const TMP4Tag tag = LoadItems({Mp4Item(
      "----", {Mp4Atom("mean", JoinBytes({BE32(0), AsciiBytes("com.apple.iTunes")})),
               Mp4Atom("name", JoinBytes({BE32(0), AsciiBytes("MOOD")})), Mp4Data(Mp4Utf8, AsciiBytes("calm"))})});
  const TMP4Atom* item = tag.FindAtom(u"----");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->mean.Data, JoinBytes({BE32(0), AsciiBytes("com.apple.iTunes")}));
  EXPECT_EQ(item->name.Data, JoinBytes({BE32(0), AsciiBytes("MOOD")}));
  EXPECT_EQ(item->GetAsText(), u"calm");
}

TEST(MP4Values, ACoverWithoutUsablePayloadStillCounts) {
  // Empty data.
  EXPECT_NE(LoadItems({Mp4Item("covr", {Mp4Data(Mp4Jpeg, {})})}).FindAtom(u"covr"), nullptr);
  // Data that claims more bytes than the file holds: the item ends there.
  const TBytes covr = Mp4Item("covr", {Mp4AtomWithSize("data", 1000000, JoinBytes({BE32(Mp4Jpeg), BE32(0), {1, 2}}))});
  const TMP4Tag tag = LoadItems({Mp4TextItem("\251nam", "T"), covr});
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"T");
  ASSERT_NE(tag.FindAtom(u"covr"), nullptr);
  EXPECT_TRUE(tag.FindAtom(u"covr")->Datas.at(0).Data.empty());
}

// ---------------------------------------------------------------------------
// Stream values.

TEST(MP4Stream, PlayTimeFromMvhdOfEitherVersion) {
  Mp4FileLayout layout;
  layout.mvhdVersion = 1;
  layout.duration = 10000;
  TMP4Tag tag;
  Load(tag, Mp4File(layout));
  EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);
  layout.duration = 0x100000000ull * 1000;  // only version 1 holds it
  Load(tag, Mp4File(layout));
  EXPECT_DOUBLE_EQ(tag.Playtime(), 4294967296.0);

  layout.mvhdVersion = 0;
  layout.timeScale = 0;
  layout.duration = 10000;
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.Playtime(), 0.0);
  EXPECT_EQ(tag.BitRate(), 0);
  EXPECT_GT(tag.mdatAtomSize(), 0);
}

TEST(MP4Stream, ALaterTrackOverwritesAnEarlierOne) {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)}), Mp4Track({Mp4AudioEntry("ac-3", 6, 16, 48000)})};
  TMP4Tag tag;
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.AudioChannelCount(), 6);
  EXPECT_EQ(tag.AudioSampleRate(), 48000u);
  EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mpfafAC3);

  // A track with an unknown entry (a video track) leaves the values alone.
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 1, 16, 22050)}),
                   Mp4Track({Mp4Atom("avc1", TBytes(78, 0))}, 640, 480)};
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.AudioChannelCount(), 1);
  EXPECT_EQ(tag.AudioSampleRate(), 22050u);
  EXPECT_EQ(tag.VideoWidth(), 640);
  EXPECT_EQ(tag.VideoHeight(), 480);
}

TEST(MP4Stream, OnlyASingleSampleEntryIsExamined) {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100), Mp4AudioEntry("mp4a", 2, 16, 48000)})};
  TMP4Tag tag;
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.AudioChannelCount(), 0);
  EXPECT_EQ(tag.AudioSampleRate(), 0u);
  EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mp4afUnknown);

  // Next to a good track, such a track changes nothing.
  layout.tracks.insert(layout.tracks.begin(), Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 32000)}));
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.AudioSampleRate(), 32000u);
}

TEST(MP4Stream, AlacTakesTheRateOfItsConfiguration) {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AlacEntry(2, 24, 30464, 96000)})};
  TMP4Tag tag;
  Load(tag, Mp4File(layout));
  EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mp4afALAC);
  EXPECT_EQ(tag.AudioSampleRate(), 96000u);
  EXPECT_EQ(tag.AudioResolution(), 24);
  EXPECT_EQ(tag.AudioChannelCount(), 2);
}

// ---------------------------------------------------------------------------
// Hostile sizes: every walk ends, nothing is read outside the data.

TEST(MP4Hostile, SizesSmallerThanTheirHeaderEndTheWalks) {
  // A 64-bit size of 0 once sent the unvalidated walks back to the same
  // header for ever.
  for (const TBytes& bad :
       {JoinBytes({BE32(1), AsciiBytes("free"), BE64(0)}), JoinBytes({BE32(1), AsciiBytes("free"), BE64(9)}),
        Mp4AtomWithSize("free", 4), Mp4AtomWithSize("free", 0)}) {
    TMP4Tag tag;
    EXPECT_EQ(TMP4Tag::ResultWalkError, Load(tag, JoinBytes({Mp4Ftyp(), bad, Mp4File(TaggedLayout())})));
    EXPECT_EQ(tag.mdatAtomPosition(), -1);
  }
  // A tiny ftyp size moves on past its header, into its body: corrupt,
  // but the walks end.
  TBytes file = Mp4File(TaggedLayout());
  file[3] = 2;
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultWalkError, Load(tag, file));
}

TEST(MP4Hostile, AnItemClaimingMoreThanTheFileEndsAtTheEndOfTheFile) {
  // The item's sub-atom loop once read zeros at the end of the file for
  // ever, as the item's end lay beyond it.
  TBytes item = Mp4TextItem("\251nam", "T");
  item[0] = 0x7F;
  const TBytes file = JoinBytes({Mp4Ftyp(), Mp4Atom("moov", {Mp4Mvhd(0, 1000, 1000), Mp4Udta({item})})});
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"T");
}

TEST(MP4Hostile, TrackScansStayInsideTheirTrack) {
  // Thousands of empty tracks: each track's scan once ran over all the
  // atoms after it.
  Mp4FileLayout layout = TaggedLayout();
  for (int i = 0; i < 3000; ++i) layout.tracks.push_back(Mp4Atom("trak", TBytes{}));
  layout.tracks.push_back(Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)}));
  TCountingStream stream(Mp4File(layout));
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromStream(stream, false));
  ExpectTaggedValues(tag);
  EXPECT_LT(stream.Reads, 100000);
}

TEST(MP4Hostile, AHugeMdatSizeGivesABoundedBitRate) {
  Mp4FileLayout layout = TaggedLayout();
  layout.duration = 1;  // a millisecond
  TBytes file = Mp4File(layout);
  const std::size_t mdat = file.size() - layout.mdatPayload - 8;
  const TBytes huge = JoinBytes({BE32(1), AsciiBytes("mdat"), BE64(0xFFFFFFFFFFFFFFFFull)});
  file.resize(mdat);
  AppendBytes(file, huge);
  TMP4Tag tag;
  EXPECT_EQ(TMP4Tag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.mdatAtomSize(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(tag.BitRate(), std::numeric_limits<std::int32_t>::max());
}

TEST(MP4Hostile, EveryTruncationOfAFileLoadsCleanly) {
  Mp4FileLayout layout = TaggedLayout();
  layout.mdatPayload = 16;
  layout.moovAfterMdat = true;
  const TBytes file = Mp4File(layout);
  for (std::size_t size = 0; size <= file.size(); ++size) {
    TMP4Tag tag;
    const int result = Load(tag, TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)));
    EXPECT_TRUE(result == 0 || result == 1 || result == 5 || result == 9) << size << ": " << result;
  }
}

}  // namespace
}  // namespace velmaro::tags
