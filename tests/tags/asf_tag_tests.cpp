// TWMATag and the ASF attribute reader: attributes from the Content
// Description, Extended Content Description, Metadata and Metadata
// Library objects, their types and text, name lookup, result codes of
// damaged headers, and files written by real tools.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/AsfBuilder.h"
#include "support/SystemSupport.h"
#include "support/TCountingStream.h"
#include "support/TestFolder.h"
#include "tags/asf/AsfAttributeReader.h"
#include "tags/asf/TWMATag.h"
#include "tags/common/TStream.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

struct Loaded {
  int result;
  TWMATag tag;
};

Loaded Load(const TBytes& bytes) {
  Loaded l{-1, {}};
  TMemoryStream stream(bytes);
  l.result = l.tag.LoadFromStream(stream);
  return l;
}

Loaded LoadWma(std::vector<TBytes> objects) { return Load(WmaFile({.moreObjects = std::move(objects)})); }

const TWMATagFrame* FindExact(const TWMATag& tag, std::u16string_view name) {
  for (const TWMATagFrame& frame : tag.Frames())
    if (frame.Name == name) return &frame;
  return nullptr;
}

std::vector<std::u16string> Names(const TWMATag& tag) {
  std::vector<std::u16string> names;
  for (const TWMATagFrame& frame : tag.Frames()) names.push_back(frame.Name);
  return names;
}

// ---------------------------------------------------------------------------
// Where attributes come from.

TEST(WmaTag, ContentDescriptionGivesItsFiveTextsWithoutEmptyOnes) {
  const Loaded l = LoadWma({AsfContentDescription(
      {.title = "Song", .author = "Band", .copyright = "", .description = "nice", .rating = "5 stars"})});
  ASSERT_EQ(l.result, TWMATag::ResultOk);
  EXPECT_TRUE(l.tag.Loaded());
  EXPECT_EQ(Names(l.tag), (std::vector<std::u16string>{u"Title", u"Author", u"Description", u"Rating"}));
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Title"), u"Song");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Author"), u"Band");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Description"), u"nice");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Copyright"), u"");
  EXPECT_EQ(l.tag.Frames()[0].Format, WMT_TYPE_STRING);
  EXPECT_EQ(l.tag.Frames()[1].Index, 1);
}

TEST(WmaTag, ExtendedDescriptorsKeepTheirNamesTypesAndValues) {
  const Loaded l = LoadWma({AsfExtendedContentDescription({
      AsfText("WM/AlbumTitle", "Record"),
      AsfNumber("WM/TrackNumber", AsfDword, 7),
      AsfText("WM/Year", "1999"),
      AsfNumber("IsVBR", AsfBool, 1),
      AsfNumber("WM/Big", AsfQword, 1ull << 40),
      AsfNumber("WM/Small", AsfWord, 513),
      {AsfName("WM/Blob"), AsfBytes, {1, 2, 3}},
  })});
  ASSERT_EQ(l.result, 0);
  ASSERT_EQ(l.tag.Count(), 7);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/AlbumTitle"), u"Record");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/TrackNumber"), u"7");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Year"), u"1999");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"IsVBR"), u"1");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Big"), u"1099511627776");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Small"), u"513");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Blob"), u"0");
  EXPECT_EQ(FindExact(l.tag, u"WM/TrackNumber")->Format, WMT_TYPE_DWORD);
  EXPECT_EQ(FindExact(l.tag, u"IsVBR")->Format, WMT_TYPE_BOOL);
  EXPECT_EQ(FindExact(l.tag, u"WM/Big")->Format, WMT_TYPE_QWORD);
  EXPECT_EQ(FindExact(l.tag, u"WM/Small")->Format, WMT_TYPE_WORD);
  EXPECT_EQ(FindExact(l.tag, u"WM/Blob")->Format, WMT_TYPE_BINARY);
  EXPECT_EQ(FindExact(l.tag, u"WM/Blob")->Stream, (TBytes{1, 2, 3}));
}

TEST(WmaTag, MetadataObjectsGiveTheRecordsOfStreamZeroOnly) {
  const Loaded l = LoadWma({AsfHeaderExtension({
      AsfMetadata({{.stream = 0, .name = AsfName("WM/Genre"), .value = Utf16Bytes("Jazz")},
                   {.stream = 1, .name = AsfName("WM/Genre"), .value = Utf16Bytes("Stream one")},
                   {.stream = 0, .name = AsfName("WM/Flag"), .type = AsfBool, .value = LE16(1)}}),
      AsfMetadataLibrary({{.language = 1, .stream = 0, .name = AsfName("WM/Mood"), .value = Utf16Bytes("calm")},
                          {.stream = 2, .name = AsfName("WM/Mood"), .value = Utf16Bytes("other")},
                          {.stream = 0, .name = AsfName("WM/Id"), .type = AsfGuidType, .value = AsfGuid(AsfDataGuid)}}),
  })});
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(Names(l.tag), (std::vector<std::u16string>{u"WM/Genre", u"WM/Flag", u"WM/Mood", u"WM/Id"}));
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Genre"), u"Jazz");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Mood"), u"calm");
  // The 16-bit BOOL of the metadata objects reads as a 32-bit BOOL.
  const TWMATagFrame* flag = FindExact(l.tag, u"WM/Flag");
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(flag->Format, WMT_TYPE_BOOL);
  EXPECT_EQ(flag->Stream, (TBytes{1, 0, 0, 0}));
  EXPECT_EQ(flag->GetAsInteger(), 1);
  EXPECT_EQ(FindExact(l.tag, u"WM/Id")->Format, WMT_TYPE_GUID);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Id"), u"0");
}

TEST(WmaTag, APictureOver64KiBInTheMetadataLibraryIsAFrame) {
  const TBytes picture = AsfPictureValue(100000);
  const Loaded l = LoadWma({AsfExtendedContentDescription({AsfText("WM/AlbumTitle", "Record")}),
                            AsfHeaderExtension({AsfMetadataLibrary(
                                {{.name = AsfName("WM/Picture"), .type = AsfBytes, .value = picture}})})});
  ASSERT_EQ(l.result, 0);
  const TWMATagFrame* frame = FindExact(l.tag, u"WM/Picture");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->Format, WMT_TYPE_BINARY);
  EXPECT_EQ(frame->Stream, picture);
}

TEST(WmaTag, ListOrderIsContentThenExtendedThenMetadataThenLibrary) {
  // Objects stored in the opposite order.
  const Loaded l = LoadWma({
      AsfHeaderExtension({AsfMetadataLibrary({{.name = AsfName("D"), .value = Utf16Bytes("library")}}),
                          AsfMetadata({{.name = AsfName("C"), .value = Utf16Bytes("metadata")}})}),
      AsfExtendedContentDescription({AsfText("B", "extended"), AsfText("Title", "extended title")}),
      AsfContentDescription({.title = "content title"}),
  });
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(Names(l.tag), (std::vector<std::u16string>{u"Title", u"B", u"Title", u"C", u"D"}));
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Title"), u"content title");
}

// ---------------------------------------------------------------------------
// Text and lookup.

TEST(WmaTag, NamesAreMatchedIgnoringCaseButKeptAsWritten) {
  const Loaded l = LoadWma({AsfExtendedContentDescription(
      {AsfText("TITLE", "upper"), AsfText("wm/picture", "x"), AsfText("WM/PICTURE", "y"), AsfText("Ärger", "z")})});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Title"), u"upper");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"wm/Picture"), u"x");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ÄRGER"), u"z");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/Year"), u"");
  // The picture flag looks for the exact name, which none of these has.
  EXPECT_EQ(FindExact(l.tag, u"WM/Picture"), nullptr);
  EXPECT_NE(FindExact(l.tag, u"wm/picture"), nullptr);
}

TEST(WmaTag, NamesFoldOnlyAsciiCase) {
  // Characters that a locale's collation ignores or folds make another
  // name: none of the first three is the album.
  const Loaded l = LoadWma({AsfExtendedContentDescription(
      {AsfText("WM/AlbumTitle\u200B", "zero width"), AsfText("\uFF37\uFF2D/AlbumTitle", "full width"),
       AsfText("\u00e4rger", "lower"), AsfText("wm/albumtitle", "album")})});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/AlbumTitle"), u"album");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"\u00c4RGER"), u"");
}

TEST(WmaTag, TrackNumberAsTextIsReturnedUnchanged) {
  const Loaded l = LoadWma({AsfExtendedContentDescription({AsfText("WM/TrackNumber", "7/12")})});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"WM/TrackNumber"), u"7/12");
}

TEST(WmaTag, StringTextDropsTerminatorsAndEveryZeroUnit) {
  // Stored without a terminator, and with zero units inside.
  const TBytes raw = JoinBytes({Utf16Bytes("ab", false), LE16(0), Utf16Bytes("c", false)});
  const Loaded l = LoadWma({AsfExtendedContentDescription(
      {{AsfName("A"), AsfString, Utf16Bytes("Grün")}, {AsfName("B"), AsfString, raw}})});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"A"), u"Grün");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"B"), u"abc");
  // Values come with their terminator, as the runtime hands them out.
  EXPECT_EQ(FindExact(l.tag, u"B")->Stream.size(), raw.size() + 2);
}

TEST(WmaTag, NumbersShorterThanTheirTypeReadMissingBytesAsZero) {
  TWMATagFrame frame;
  frame.Format = WMT_TYPE_QWORD;
  frame.Stream = {0x01, 0x02};
  EXPECT_EQ(frame.GetAsInteger(), 0x0201);
  frame.Format = WMT_TYPE_DWORD;
  frame.Stream = {};
  EXPECT_EQ(frame.GetAsText(), u"0");
  frame.Format = WMT_TYPE_STRING;
  frame.Stream = {0x41, 0x00, 0x42};  // an odd last byte is no unit
  EXPECT_EQ(frame.GetAsText(), u"A");
}

TEST(WmaTag, AttributesWithoutValueMakeNoFrame) {
  const Loaded l = LoadWma({AsfExtendedContentDescription({{AsfName("Empty"), AsfString, {}}, AsfText("Full", "x")})});
  EXPECT_EQ(Names(l.tag), (std::vector<std::u16string>{u"Full"}));
}

TEST(WmaTag, AFileWithoutDescriptionsLoadsWithNothing) {
  const Loaded l = LoadWma({});
  EXPECT_EQ(l.result, TWMATag::ResultOk);
  EXPECT_FALSE(l.tag.Loaded());
  EXPECT_EQ(l.tag.Count(), 0);
}

// ---------------------------------------------------------------------------
// Result codes of damaged or foreign data.

TEST(WmaTag, DataThatIsNotAsfGivesResult3) {
  Loaded l = Load(AsciiBytes("RIFF....WAVEfmt "));
  EXPECT_EQ(l.result, TWMATag::ResultNotAsf);
  EXPECT_EQ(l.tag.FileSize(), 16);
  EXPECT_EQ(Load({}).result, TWMATag::ResultNotAsf);
}

TEST(WmaTag, AHeaderThatDoesNotFitGivesResult4) {
  const TBytes good = WmaFile({.moreObjects = {AsfContentDescription({.title = "T"})}});
  // Cut inside the Header object's own fields.
  EXPECT_EQ(Load(TBytes(good.begin(), good.begin() + 20)).result, TWMATag::ResultBadHeader);
  // A header size beyond the file.
  TBytes big = good;
  big[16 + 5] = 0x10;
  EXPECT_EQ(Load(big).result, TWMATag::ResultBadHeader);
  // An object whose size runs past the header.
  const Loaded overrun = LoadWma({AsfObjectWithSize(AsfPaddingGuid, 1000000, TBytes(8, 0))});
  EXPECT_EQ(overrun.result, TWMATag::ResultBadHeader);
  EXPECT_EQ(overrun.tag.Count(), 0);
  // An object too small to hold its own header.
  EXPECT_EQ(LoadWma({AsfObjectWithSize(AsfPaddingGuid, 3, TBytes(8, 0))}).result, TWMATag::ResultBadHeader);
}

TEST(WmaTag, DescriptionsWhoseFieldsRunPastTheirObjectGiveResult5) {
  // Content Description lengths larger than the object.
  const TBytes lengths = JoinBytes({LE16(400), LE16(0), LE16(0), LE16(0), LE16(0), Utf16Bytes("short")});
  EXPECT_EQ(LoadWma({AsfObject(AsfContentDescriptionGuid, lengths)}).result, TWMATag::ResultBadDescription);
  // A descriptor count of 65535 with a single descriptor present.
  TBytes extended = AsfExtendedContentDescription({AsfText("A", "b")});
  extended[24] = extended[25] = 0xFF;
  EXPECT_EQ(LoadWma({extended}).result, TWMATag::ResultBadDescription);
  // A descriptor value length beyond the object.
  TBytes value = AsfExtendedContentDescription({AsfText("A", "b")});
  value[24 + 2 + 2 + 4 + 2] = 0xF0;
  EXPECT_EQ(LoadWma({value}).result, TWMATag::ResultBadDescription);
  // A metadata record whose data length is four gigabytes.
  TBytes metadata = AsfMetadataLibrary({{.name = AsfName("X"), .value = Utf16Bytes("y")}});
  for (int i = 0; i < 4; ++i) metadata[24 + 2 + 8 + i] = 0xFF;
  EXPECT_EQ(LoadWma({AsfHeaderExtension({metadata})}).result, TWMATag::ResultBadDescription);
  // A Header Extension whose data size exceeds the object.
  TBytes extension = AsfHeaderExtension({});
  extension[24 + 18 + 1] = 0x10;
  EXPECT_EQ(LoadWma({extension}).result, TWMATag::ResultBadDescription);
}

TEST(WmaTag, HostileCountsDoNotMakeTheReaderReadMuch) {
  TBytes extended = AsfExtendedContentDescription({});
  extended[24] = extended[25] = 0xFF;
  TCountingStream stream(WmaFile({.fileSize = 2000000, .moreObjects = {extended}}));
  TWMATag tag;
  EXPECT_EQ(tag.LoadFromStream(stream), TWMATag::ResultBadDescription);
  EXPECT_LT(stream.BytesRead, 8192u);
}

TEST(WmaTag, AMissingFileGivesResult1AndSizeMinusOne) {
  TWMATag tag;
  EXPECT_EQ(tag.LoadFromFile(u"/nonexistent/velmaro/none.wma"), TWMATag::ResultFileNotFound);
  EXPECT_EQ(tag.FileSize(), -1);
  EXPECT_FALSE(tag.Loaded());
}

TEST(WmaTag, LoadsFromAFileAndReportsItsSize) {
  TTestFolder folder;
  const TBytes bytes = WmaFile({.fileSize = 50000, .moreObjects = {AsfContentDescription({.author = "Band"})}});
  const auto path = folder.Write("a.wma", bytes);
  TWMATag tag;
  ASSERT_EQ(tag.LoadFromFile(ToReaderPath(path)), TWMATag::ResultOk);
  EXPECT_EQ(tag.FileSize(), 50000);
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"Author"), u"Band");
  EXPECT_EQ(tag.FileName(), ToReaderPath(path));
  // A file that is not ASF still reports its size.
  const auto other = folder.Write("b.wma", TBytes(1234, 7));
  EXPECT_EQ(tag.LoadFromFile(ToReaderPath(other)), TWMATag::ResultNotAsf);
  EXPECT_EQ(tag.FileSize(), 1234);
}

// ---------------------------------------------------------------------------
// Files written by real tools.

bool Have(const char* check) { return std::system(check) == 0; }

TEST(WmaTag, ReadsAttributesWrittenByFfmpegAndMutagen) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (!Have("command -v ffmpeg >/dev/null 2>&1")) GTEST_SKIP() << "ffmpeg is not installed";
  if (!Have("/usr/bin/python3 -c 'import mutagen' >/dev/null 2>&1")) GTEST_SKIP() << "mutagen is not installed";
  TTestFolder folder;
  const std::string path = (folder.Path() / "tagged.wma").string();
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i sine=duration=2 -c:a wmav2 -b:a 64k "
                         "-metadata title=Song -metadata artist=Band -metadata album=Record '" + path + "'")
                            .c_str()),
            0);
  const std::string script =
      "from mutagen.asf import ASF, ASFByteArrayAttribute, ASFDWordAttribute\n"
      "import struct\n"
      "f = ASF('" + path + "')\n"
      "pic = struct.pack('<bI', 3, 70000) + 'image/png\\0'.encode('utf-16-le') + b'\\0\\0' + b'\\x89' * 70000\n"
      "f['WM/Picture'] = [ASFByteArrayAttribute(pic)]\n"
      "f['WM/TrackNumber'] = [ASFDWordAttribute(7)]\n"
      "f['WM/Year'] = ['2004']\n"
      "f.save()\n";
  const auto scriptPath = folder.Write("tag.py", AsciiBytes(script));
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + scriptPath.string() + "'").c_str()), 0);

  TWMATag tag;
  ASSERT_EQ(tag.LoadFromFile(ToReaderPath(folder.Path() / "tagged.wma")), TWMATag::ResultOk);
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"Title"), u"Song");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"Author"), u"Band");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"WM/AlbumTitle"), u"Record");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"WM/TrackNumber"), u"7");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"WM/Year"), u"2004");
  const TWMATagFrame* picture = FindExact(tag, u"WM/Picture");
  ASSERT_NE(picture, nullptr);
  EXPECT_GT(picture->Stream.size(), 70000u);
}

}  // namespace
}  // namespace velmaro::tags
