// The ID3v2 reader's structure: header, result codes, frames and their
// headers, extended headers, unsynchronisation, version 2.2 IDs, hostile
// sizes, and tags inside containers and files.
#include <gtest/gtest.h>

#include "support/ContainerBuilder.h"
#include "support/Id3v2Builder.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/id3v2/TID3v2Tag.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;
using velmaro::test::TTestFolder;

int Load(TID3v2Tag& tag, const TBytes& bytes, bool buffered = true) {
  TMemoryStream stream(bytes);
  return tag.LoadFromStream(stream, buffered);
}

std::string Ids(const TID3v2Tag& tag) {
  std::string ids;
  for (const TID3v2Frame& frame : tag.Frames()) ids += (ids.empty() ? "" : " ") + FrameIDText(frame.ID);
  return ids;
}

TBytes Body(const TID3v2Tag& tag, std::string_view id) {
  const int index = tag.FrameExists(id);
  return index < 0 ? TBytes{} : tag.Frames()[static_cast<std::size_t>(index)].Stream;
}

TEST(ID3v2Header, GivesTheResultCodesOfTheLoad) {
  TID3v2Tag tag;
  EXPECT_EQ(TID3v2Tag::ResultNoTag, Load(tag, AsciiBytes("no tag here")));
  EXPECT_EQ(TID3v2Tag::ResultNoTag, Load(tag, {}));
  for (const std::uint8_t version : {0, 1, 5, 0xFF}) {
    EXPECT_EQ(TID3v2Tag::ResultBadVersion, Load(tag, JoinBytes({AsciiBytes("ID3"), {version, 0, 0, 0, 0, 0, 0}})));
    EXPECT_EQ(0, tag.FrameCount());
  }
  EXPECT_EQ(TID3v2Tag::ResultHeaderError, Load(tag, AsciiBytes("ID3")));
  EXPECT_EQ(TID3v2Tag::ResultHeaderError, Load(tag, JoinBytes({AsciiBytes("ID3"), {3, 0, 0, 0, 0}})));
  EXPECT_FALSE(tag.Loaded());
  EXPECT_EQ(8, tag.FileSize());
  EXPECT_EQ(TID3v2Tag::ResultSuccess, Load(tag, TId3v2Builder(3).Build()));
  EXPECT_TRUE(tag.Loaded());
  EXPECT_EQ(0, tag.FrameCount());
}

TEST(ID3v2Header, DecodesVersionFlagsAndSynchsafeSize) {
  TID3v2Tag tag;
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Flags(0x60).Footer().Add(Synchsafe(6)).Add({0, 0}).Padding(200).Build()));
  EXPECT_EQ(4, tag.MajorVersion());
  EXPECT_EQ(0x70, tag.Flags());
  EXPECT_TRUE(tag.ExtendedHeader());
  EXPECT_TRUE(tag.Experimental());
  EXPECT_TRUE(tag.FooterPresent());
  EXPECT_FALSE(tag.Unsynchronised());
  EXPECT_EQ(4u + 2 + 200 + 10, tag.Size());  // the footer is not counted

  // In version 2.2 bit 6 means compression; a size of 2^21 needs all four
  // bytes of 7 bits.
  ASSERT_EQ(0, Load(tag, TId3v2Builder(2).Flags(0x40).Padding(1 << 21).Build()));
  EXPECT_TRUE(tag.Compressed());
  EXPECT_FALSE(tag.ExtendedHeader());
  EXPECT_EQ((1u << 21) + 10, tag.Size());

  // Size bytes with the high bit set (not synchsafe): their low 7 bits count.
  ASSERT_EQ(0, Load(tag, JoinBytes({AsciiBytes("ID3"), {3, 0, 0, 0x80, 0x80, 0x80, 0x81}})));
  EXPECT_EQ(1u + 10, tag.Size());
}

TEST(ID3v2Header, LoadClearsTheContentOfAnEarlierLoad) {
  TID3v2Tag tag;
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Flags(0x80).Text("TIT2", "Old").Build()));
  ASSERT_EQ(1, Load(tag, AsciiBytes("nothing")));
  EXPECT_EQ(0, tag.FrameCount());
  EXPECT_FALSE(tag.Loaded());
  EXPECT_FALSE(tag.Unsynchronised());
  EXPECT_EQ(3, tag.MajorVersion());
  EXPECT_EQ(u"", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2Frames, ReadsFramesInOrderUntilThePadding) {
  for (const int version : {3, 4}) {
    TID3v2Tag tag;
    const TBytes bytes =
        TId3v2Builder(version).Text("TPE1", "Artist").Text("TIT2", "Title").Frame("APIC", TBytes(300, 0xAB)).Padding(1000).Build();
    ASSERT_EQ(0, Load(tag, bytes)) << version;
    EXPECT_EQ("TPE1 TIT2 APIC", Ids(tag));
    EXPECT_FALSE(tag.Error());
    EXPECT_EQ(300, tag.Frames()[2].Size);
    EXPECT_EQ(TBytes(300, 0xAB), Body(tag, "APIC"));
    EXPECT_EQ(2, tag.FrameExists("APIC"));
  }
}

TEST(ID3v2Frames, ATagOfCountlessEmptyFramesIsCutShort) {
  // 100,000 empty frames of ten bytes: a hostile tag whose frame list
  // would cost many times its size in memory.
  TId3v2Builder builder(3);
  TBytes frames;
  for (int i = 0; i < 100000; ++i) AppendBytes(frames, Frame(3, "TXXX", {}));
  builder.Add(frames).Text("TIT2", "Beyond the cap");
  TID3v2Tag tag;
  ASSERT_EQ(TID3v2Tag::ResultSuccess, Load(tag, builder.Build()));
  EXPECT_EQ(static_cast<std::size_t>(tag.FrameCount()), MaxID3v2Frames);
  EXPECT_TRUE(tag.Error());
  EXPECT_EQ(tag.GetUnicodeText("TIT2", true), u"");
}

TEST(ID3v2Frames, EndTheListAtAnIdThatIsNotLettersOrDigits) {
  TID3v2Tag tag;
  // Only the first three characters are checked.
  const TBytes bytes = TId3v2Builder(3).Text("TIT2", "A").Text("TXX!", "B").Text("tpe1", "C").Text("TPE1", "D").Build();
  ASSERT_EQ(0, Load(tag, bytes));
  EXPECT_EQ("TIT2 TXX!", Ids(tag));
  EXPECT_FALSE(tag.Error());
}

TEST(ID3v2Frames, AFrameLargerThanTheTagEndsTheListButStaysInIt) {
  for (const int version : {2, 3, 4}) {
    TID3v2Tag tag;
    const std::string_view big = version == 2 ? "PIC" : "APIC";
    const TBytes bytes = TId3v2Builder(version)
                             .Text(version == 2 ? "TT2" : "TIT2", "Song")
                             .Add(FrameWithSize(version, big, 0x0FFFFFFF, TBytes(20, 1)))
                             .Text(version == 2 ? "TP1" : "TPE1", "Lost")
                             .Build();
    ASSERT_EQ(0, Load(tag, bytes)) << version;
    EXPECT_TRUE(tag.Error());
    EXPECT_EQ(2, tag.FrameCount());
    EXPECT_EQ(1, tag.FrameExists("APIC"));
    EXPECT_TRUE(tag.Frames()[1].Stream.empty());
    EXPECT_EQ(u"Song", tag.GetUnicodeText("TIT2", true));
  }
}

TEST(ID3v2Frames, ZeroSizedFramesHaveNoBodyAndReadingGoesOn) {
  TID3v2Tag tag;
  const TBytes bytes = TId3v2Builder(3).Frame("TIT2", {}, 0x00E0).Frame("APIC", {}).Text("TPE1", "Artist").Build();
  ASSERT_EQ(0, Load(tag, bytes));
  EXPECT_EQ("TIT2 APIC TPE1", Ids(tag));
  EXPECT_FALSE(tag.Frames()[0].Compressed);  // the flags of an empty frame are not decoded
  EXPECT_EQ(0x00E0, tag.Frames()[0].Flags);
  EXPECT_EQ(u"", tag.GetUnicodeText("TIT2", true));
  EXPECT_EQ(u"Artist", tag.GetUnicodeText("TPE1", true));
}

TEST(ID3v2Frames, ATagLongerThanTheDataIsReadUntilTheDataEnds) {
  const TBytes full = TId3v2Builder(4).Text("TIT2", "Title").Text("TPE1", "Artist").Build();
  TID3v2Tag tag;
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Text("TIT2", "Title").Text("TPE1", "Artist").SizeField(0x0FFFFFFF).Build()));
  EXPECT_EQ("TIT2 TPE1", Ids(tag));
  // Cut inside the last body: the frame keeps the bytes that are there.
  ASSERT_EQ(0, Load(tag, TBytes(full.begin(), full.end() - 3)));
  EXPECT_EQ("TIT2 TPE1", Ids(tag));
  EXPECT_EQ(u"Art", tag.GetUnicodeText("TPE1", true));
  // Cut inside a frame header.
  for (std::size_t cut = 1; cut < full.size(); ++cut) {
    ASSERT_EQ(0, Load(tag, TBytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(std::max<std::size_t>(cut, 10)))));
    EXPECT_LE(tag.FrameCount(), 2);
  }
}

TEST(ID3v2Frames, Version23HeaderExtrasAreTakenFromTheBody) {
  TID3v2Tag tag;
  // Compressed (4-byte decompressed size), encrypted (method), grouped (id).
  const TBytes body = JoinBytes({Synchsafe(1000), {0x81, 0x42}, AsciiBytes("zlib")});
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Frame("TIT2", body, 0xE0E0).Text("TPE1", "Next").Build()));
  const TID3v2Frame& frame = tag.Frames()[0];
  EXPECT_TRUE(frame.Compressed && frame.Encrypted && frame.GroupingIdentity && frame.DataLengthIndicator);
  EXPECT_TRUE(frame.TagAlterPreservation && frame.FileAlterPreservation && frame.ReadOnly);
  EXPECT_EQ(1000u, frame.DataLengthIndicatorValue);
  EXPECT_EQ(0x81, frame.EncryptionMethod);
  EXPECT_EQ(0x42, frame.GroupIdentifier);
  EXPECT_EQ(AsciiBytes("zlib"), frame.Stream);
  // Stored bytes of a compressed or encrypted frame are no text.
  EXPECT_EQ(u"", tag.GetUnicodeText("TIT2", true));
  EXPECT_EQ(u"Next", tag.GetUnicodeText("TPE1", true));

  // Extras larger than the frame leave no body; the next frame follows.
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Add(FrameWithSize(3, "TIT2", 2, {0, 0}, 0x0080)).Text("TPE1", "Next").Build()));
  EXPECT_TRUE(tag.Frames()[0].Stream.empty());
  EXPECT_EQ(1, tag.FrameExists("TPE1"));
}

TEST(ID3v2Frames, Version24FlagsAndDataLengthIndicator) {
  TID3v2Tag tag;
  const TBytes body = JoinBytes({{0x07}, Synchsafe(300), Latin1Text("Title")});
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Frame("TIT2", body, 0x7041).Build()));
  const TID3v2Frame& frame = tag.Frames()[0];
  EXPECT_TRUE(frame.GroupingIdentity && frame.DataLengthIndicator);
  EXPECT_TRUE(frame.TagAlterPreservation && frame.FileAlterPreservation && frame.ReadOnly);
  EXPECT_FALSE(frame.Compressed || frame.Encrypted || frame.Unsynchronised);
  EXPECT_EQ(7, frame.GroupIdentifier);
  EXPECT_EQ(300u, frame.DataLengthIndicatorValue);
  EXPECT_EQ(u"Title", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2ExtendedHeader, Version23HeaderIsReadBeforeTheFrames) {
  TID3v2Tag tag;
  const TBytes ext = JoinBytes({BE32(10), BE16(0x8000), BE32(0), BE32(0xCAFEBABE)});
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Flags(0x40).Add(ext).Text("TIT2", "Title").Build()));
  EXPECT_TRUE(tag.ExtendedHeader());
  EXPECT_EQ(10u, tag.ExtendedHeader3().Size);
  EXPECT_TRUE(tag.ExtendedHeader3().CRCPresent);
  EXPECT_EQ(JoinBytes({BE32(0), BE32(0xCAFEBABE)}), tag.ExtendedHeader3().Data);
  EXPECT_EQ(u"Title", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2ExtendedHeader, Version24HeaderCollectsTheDataOfItsFlags) {
  TID3v2Tag tag;
  const TBytes ext = JoinBytes({Synchsafe(15), {1, 0x70}, {0}, {5, 1, 2, 3, 4, 5}, {1, 0x2A}});
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Flags(0x40).Add(ext).Text("TIT2", "Title").Build()));
  const TID3v2ExtendedHeader4& header = tag.ExtendedHeader4();
  EXPECT_EQ(15u, header.Size);
  EXPECT_TRUE(header.TagIsAnUpdate && header.CRCPresent && header.TagRestrictions);
  EXPECT_EQ((TBytes{1, 2, 3, 4, 5, 0x2A}), header.ExtendedFlagsData);
  EXPECT_EQ(u"Title", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2ExtendedHeader, AFlagWithoutHeaderIsClearedWhenAFrameFollows) {
  TID3v2Tag tag;
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Flags(0x40).Text("TIT2", "Title").Build()));
  EXPECT_FALSE(tag.ExtendedHeader());
  EXPECT_EQ(u"Title", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2ExtendedHeader, HostileSizesStayInsideTheTag) {
  TID3v2Tag tag;
  const TBytes tagBytes = TId3v2Builder(3).Flags(0x40).Add({0x7F, 0x7F, 0x7F, 0x7F, 0, 0}).Padding(20).Build();
  ASSERT_EQ(0, Load(tag, JoinBytes({tagBytes, TBytes(5000, 0xEE)})));
  EXPECT_EQ(20u, tag.ExtendedHeader3().Data.size());
  // A 2.4 header cut short keeps what it read.
  ASSERT_EQ(0, Load(tag, JoinBytes({AsciiBytes("ID3"), {4, 0, 0x40}, Synchsafe(100), Synchsafe(10), {1, 0x20, 5, 1, 2}})));
  EXPECT_EQ((TBytes{1, 2}), tag.ExtendedHeader4().ExtendedFlagsData);
  EXPECT_EQ(0, tag.FrameCount());
}

TEST(ID3v2Unsynchronisation, Version23BodiesAreDecodedOnRequest) {
  TID3v2Tag tag;
  // The frame's size counts the bytes as stored.
  const TBytes title = {0, 'A', 0xFF, 0x00, 'B'};
  ASSERT_EQ(0, Load(tag, TId3v2Builder(3).Flags(0x80).Frame("TIT2", title).Text("TPE1", "Artist").Build()));
  EXPECT_TRUE(tag.Frames()[0].Unsynchronised);
  EXPECT_TRUE(tag.RemoveUnsynchronisationOnAllFrames());
  EXPECT_FALSE(tag.Unsynchronised());
  EXPECT_EQ((TBytes{0, 'A', 0xFF, 'B'}), Body(tag, "TIT2"));
  EXPECT_EQ(u"A\u00FFB", tag.GetUnicodeText("TIT2", false));
  EXPECT_EQ(u"Artist", tag.GetUnicodeText("TPE1", false));
  // A second call changes nothing more.
  EXPECT_TRUE(tag.RemoveUnsynchronisationOnAllFrames());
  EXPECT_EQ((TBytes{0, 'A', 0xFF, 'B'}), Body(tag, "TIT2"));
}

TEST(ID3v2Unsynchronisation, DropsOnlyTheZeroRightAfterFF) {
  EXPECT_EQ((TBytes{0xFF, 0x00, 0xFF, 0xE0, 0xFF, 0x12, 0xFF}),
            DecodeUnsynchronisation(TBytes{0xFF, 0x00, 0x00, 0xFF, 0x00, 0xE0, 0xFF, 0x12, 0xFF, 0x00}));
  const TBytes any = {0xFF, 0xFF, 0x00, 0xFE, 0xFF, 0xE3, 0x00, 0xFF};
  EXPECT_EQ(any, DecodeUnsynchronisation(Unsynchronise(any)));
}

TEST(ID3v2Unsynchronisation, WholeTagUnsynchronisationWithDecodedSizesIsReadToo) {
  // Writers that follow the standard take the sizes before unsynchronising
  // the whole tag: a picture's FF D8 FF E0 grows by a byte and the stored
  // sizes no longer lead from frame to frame.
  const TBytes picture = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF, 0x00, 0xFF, 0xD9};
  for (const int version : {2, 3}) {
    TID3v2Tag tag;
    const TBytes bytes = TId3v2Builder(version)
                             .Frame(version == 2 ? "TT2" : "TIT2", Utf16Text(u"Song"))
                             .Frame(version == 2 ? "CNT" : "PCNT", picture)
                             .Frame(version == 2 ? "TP1" : "TPE1", Latin1Text("Artist"))
                             .Padding(16)
                             .UnsynchroniseAll()
                             .Build();
    ASSERT_EQ(0, Load(tag, bytes)) << version;
    EXPECT_FALSE(tag.Error());
    EXPECT_EQ("TIT2 PCNT TPE1", Ids(tag));
    tag.RemoveUnsynchronisationOnAllFrames();
    EXPECT_EQ(picture, Body(tag, "PCNT"));
    EXPECT_EQ(u"Song", tag.GetUnicodeText("TIT2", true));
    EXPECT_EQ(u"Artist", tag.GetUnicodeText("TPE1", true));
  }
}

TEST(ID3v2Unsynchronisation, Version22BodiesAreDecodedAsVersion23Ones) {
  TID3v2Tag tag;
  // FF FE, the byte-order mark, is stored as FF 00 FE.
  const TBytes stored = Unsynchronise(Utf16Text(u"Song"));
  ASSERT_EQ(0, Load(tag, TId3v2Builder(2).Flags(0x80).Frame("TT2", stored).Build()));
  tag.RemoveUnsynchronisationOnAllFrames();
  EXPECT_EQ(u"Song", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2Unsynchronisation, Version24DecodesOnlyFramesFlaggedThemselves) {
  TID3v2Tag tag;
  const TBytes stored = Unsynchronise(Utf16Text(u"Song"));
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Flags(0x80).Frame("TIT2", stored, 0x0002).Frame("TPE1", stored).Build()));
  EXPECT_TRUE(tag.Frames()[0].Unsynchronised);
  EXPECT_FALSE(tag.Frames()[1].Unsynchronised);
  tag.RemoveUnsynchronisationOnAllFrames();
  EXPECT_FALSE(tag.Unsynchronised());
  EXPECT_EQ(Utf16Text(u"Song"), Body(tag, "TIT2"));
  EXPECT_EQ(stored, Body(tag, "TPE1"));
}

TEST(ID3v2SizeFields, Version24SizesStoredAsPlainNumbersAreReadWhenTheyLineUp) {
  // Some writers store 2.4 frame sizes as plain 32-bit numbers: 200 is
  // 00 00 00 C8 instead of 00 00 01 48.
  TID3v2Tag tag;
  const TBytes bytes = TId3v2Builder(4)
                           .Add(JoinBytes({AsciiBytes("TIT2"), BE32(6), BE16(0), Latin1Text("Title")}))
                           .Add(JoinBytes({AsciiBytes("APIC"), BE32(200), BE16(0), TBytes(200, 0x41)}))
                           .Add(JoinBytes({AsciiBytes("TPE1"), BE32(7), BE16(0), Latin1Text("Artist")}))
                           .Padding(50)
                           .Build();
  ASSERT_EQ(0, Load(tag, bytes));
  EXPECT_EQ("TIT2 APIC TPE1", Ids(tag));
  EXPECT_EQ(200u, Body(tag, "APIC").size());
  EXPECT_EQ(u"Artist", tag.GetUnicodeText("TPE1", true));

  // Synchsafe sizes that line up are never read otherwise.
  ASSERT_EQ(0, Load(tag, TId3v2Builder(4).Frame("APIC", TBytes(200, 0x41)).Text("TPE1", "Artist").Build()));
  EXPECT_EQ("APIC TPE1", Ids(tag));
}

TEST(ID3v2SizeFields, PaddingWithAStrayByteStillEndsVersion24Frames) {
  // A title of 200 bytes (synchsafe 00 00 01 48, 328 as a plain number)
  // and a stray byte in the padding: a plain reading would swallow the
  // artist frame and lands in the padding behind the stray byte.
  // With the title last, the plain reading swallows padding instead.
  const std::string title(199, 'T');
  for (TBytes bytes : {TId3v2Builder(4).Text("TIT2", title).Text("TPE1", "Artist").Padding(300).Build(),
                       TId3v2Builder(4).Text("TPE1", "Artist").Text("TIT2", title).Padding(300).Build()}) {
    bytes[bytes.size() - 290] = 0x01;
    TID3v2Tag tag;
    ASSERT_EQ(0, Load(tag, bytes));
    EXPECT_EQ(2, tag.FrameCount());
    EXPECT_EQ(200u, Body(tag, "TIT2").size());
    EXPECT_EQ(u"Artist", tag.GetUnicodeText("TPE1", true));
  }
}

TEST(ID3v2Version22, FrameIdsBecomeTheirVersion23Equivalents) {
  TID3v2Tag tag;
  const TBytes bytes = TId3v2Builder(2)
                           .Text("TT2", "Title")
                           .Text("TP1", "Artist")
                           .Text("TAL", "Album")
                           .Text("TYE", "1999")
                           .Text("TCO", "(17)")
                           .Frame("COM", Latin1Comment("eng", "", "Nice"))
                           .Text("TRK", "7/12")
                           .Text("XYZ", "Own")
                           .Frame("PIC", JoinBytes({{0}, AsciiBytes("jpg"), {3}, AsciiBytes("Cover"), {0}, {0xFF, 0xD8}}))
                           .Build();
  ASSERT_EQ(0, Load(tag, bytes));
  EXPECT_EQ("TIT2 TPE1 TALB TYER TCON COMM TRCK XYZ APIC", Ids(tag));
  EXPECT_EQ(7, tag.FrameExists("XYZ"));
  EXPECT_EQ(u"Album", tag.GetUnicodeText("TALB", true));
  EXPECT_EQ(u"7/12", tag.GetUnicodeText("TRCK", true));
  std::string language;
  std::u16string description;
  EXPECT_EQ(u"Nice", tag.GetUnicodeComment("COMM", language, description));
  // The picture is rewritten in the APIC layout.
  EXPECT_EQ(JoinBytes({{1}, AsciiBytes("image/jpeg"), {0}, {3}, {0xFF, 0xFE}, Utf16Units(u"Cover", false), {0, 0},
                       {0xFF, 0xD8}}),
            Body(tag, "APIC"));
}

TEST(ID3v2Version22, PictureFormatsWithoutMimeTypeKeepTheirUpperCasedName) {
  TID3v2Tag tag;
  const TBytes body = JoinBytes({{1}, {'t', 'i', 0}, {0}, Utf16Units(u"\uFEFFx", true), {0, 0}, {9}});
  ASSERT_EQ(0, Load(tag, TId3v2Builder(2).Frame("PIC", body).Frame("PIC", {}).Build()));
  EXPECT_EQ(JoinBytes({{1}, AsciiBytes("TI"), {0}, {0}, {0xFF, 0xFE}, Utf16Units(u"x", false), {0, 0}, {9}}),
            tag.Frames()[0].Stream);
  EXPECT_TRUE(tag.Frames()[1].Stream.empty());
  EXPECT_EQ("APIC APIC", Ids(tag));
}

TEST(ID3v2Containers, ReadsTheTagOfEachContainerAndRecordsItsType) {
  const TBytes tag = TId3v2Builder(3).Text("TIT2", "Inside").Build();
  const std::vector<std::pair<TBytes, TSourceFileType>> files = {
      {WaveFile({WaveFmtChunk(), RiffChunk("data", TBytes(999, 0)), RiffChunk("id3 ", tag)}), TSourceFileType::sftWAVE},
      {Rf64File({Ds64Chunk(0, 10), RiffChunkHeader("data", 0xFFFFFFFFu), TBytes(10, 0), RiffChunk("ID32", tag)}),
       TSourceFileType::sftRF64},
      {AiffFile("AIFC", {IffChunk("SSND", TBytes(99, 0)), IffChunk("ID3 ", tag)}), TSourceFileType::sftAIFF},
      {DsfFile(TBytes(100, 0x69), tag), TSourceFileType::sftDSF},
      {DffFile({DffChunk("DSD ", TBytes(7, 0)), DffChunk("ID3 ", tag)}), TSourceFileType::sftDFF},
  };
  for (const auto& [file, type] : files) {
    TID3v2Tag reader;
    ASSERT_EQ(0, reader.LoadFromStream(*std::make_unique<TMemoryStream>(file), true));
    EXPECT_EQ(type, reader.SourceFileType());
    EXPECT_EQ(u"Inside", reader.GetUnicodeText("TIT2", true));
    EXPECT_GT(reader.Position(), 0);
    EXPECT_EQ(static_cast<std::int64_t>(file.size()), reader.FileSize());
  }
  TID3v2Tag reader;
  EXPECT_EQ(1, Load(reader, AiffFile("AIFF", {IffChunk("ID3 ", {})})));
  EXPECT_EQ(TSourceFileType::sftAIFF, reader.SourceFileType());
}

TEST(ID3v2Containers, MpegAudioAfterTheTagNamesTheFileMpeg) {
  TID3v2Tag tag;
  const TBytes frameHeader = {0xFF, 0xFB, 0x90, 0x64};
  ASSERT_EQ(0, Load(tag, JoinBytes({TId3v2Builder(3).Text("TIT2", "x").Build(), TBytes(20, 0), frameHeader})));
  EXPECT_EQ(TSourceFileType::sftMPEG, tag.SourceFileType());
  ASSERT_EQ(0, Load(tag, JoinBytes({TId3v2Builder(3).Text("TIT2", "x").Build(), TBytes(40, 0), frameHeader})));
  EXPECT_EQ(TSourceFileType::sftUnknown, tag.SourceFileType());
  ASSERT_EQ(1, Load(tag, frameHeader));
  EXPECT_EQ(TSourceFileType::sftMPEG, tag.SourceFileType());
}

TEST(ID3v2Files, LoadsFromAFileAndNamesIt) {
  TTestFolder folder;
  const auto path = ToReaderPath(folder.Write("a.mp3", TId3v2Builder(3).Text("TIT2", "File").Build()));
  for (const bool buffered : {true, false}) {
    TID3v2Tag tag;
    ASSERT_EQ(0, tag.LoadFromFile(path, buffered));
    EXPECT_EQ(path, tag.SourceFileName());
    EXPECT_EQ(u"File", tag.GetUnicodeText("TIT2", true));
  }
  TID3v2Tag tag;
  const auto noTag = ToReaderPath(folder.Write("b.mp3", AsciiBytes("plain")));
  EXPECT_EQ(1, tag.LoadFromFile(noTag));
  EXPECT_EQ(noTag, tag.SourceFileName());
  EXPECT_EQ(5, tag.FileSize());
  EXPECT_EQ(4, tag.LoadFromFile(ToReaderPath(folder.Path() / "missing.mp3")));
  EXPECT_EQ(u"", tag.SourceFileName());
  EXPECT_EQ(4, tag.LoadFromFile(ToReaderPath(folder.Path())));
  const auto badVersion = ToReaderPath(folder.Write("c.mp3", JoinBytes({AsciiBytes("ID3"), {9, 0, 0, 0, 0, 0, 0}})));
  EXPECT_EQ(8, tag.LoadFromFile(badVersion));
  EXPECT_EQ(u"", tag.SourceFileName());
}

}  // namespace
}  // namespace velmaro::tags
