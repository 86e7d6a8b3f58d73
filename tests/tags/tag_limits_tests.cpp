// What a crafted file can make the readers hold or scan: countless items,
// huge values, a huge unsynchronised tag, gigabytes without audio. The
// files are made here at run time (large zero runs as sparse files), and
// the readers' heap is measured while they load them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/AsfBuilder.h"
#include "support/FlacBuilder.h"
#include "support/Id3v2Builder.h"
#include "support/Mp4Builder.h"
#include "support/MpegBuilder.h"
#include "support/OggBuilder.h"
#include "support/PeakHeap.h"
#include "support/TCountingStream.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/asf/TWMATag.h"
#include "tags/asf/TWMAfile.h"
#include "tags/flac/TFLACfile.h"
#include "tags/flac/TFlacTag.h"
#include "tags/id3v2/TID3v2Tag.h"
#include "tags/mp4/TMP4Tag.h"
#include "tags/mpeg/TMPEGaudio.h"
#include "tags/ogg/TOpusTag.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;
using velmaro::test::TTestFolder;

// The limits keep at most 8 MiB of values and 16384 items per tag; each
// file below makes a reader without them hold well over 100 MB.
constexpr std::size_t HeapBound = std::size_t{16} << 20;
constexpr std::size_t ManyItems = 300'000;
constexpr std::size_t HugeValue = std::size_t{20} << 20;

TBytes Repeated(const TBytes& unit, std::size_t count) {
  TBytes bytes = unit;
  bytes.reserve(unit.size() * count);
  while (bytes.size() < unit.size() * count)
    bytes.insert(
        bytes.end(), bytes.begin(),
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), unit.size() * count - bytes.size())));
  return count ? bytes : TBytes{};
}

// A file of size bytes, zeros except for the given parts (holes on disk).
std::u16string SparseFile(const TTestFolder& folder, const std::string& name, std::uint64_t size,
                          const std::vector<std::pair<std::uint64_t, TBytes>>& parts) {
  const std::filesystem::path path = folder.Path(name);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& [offset, bytes] : parts) {
      out.seekp(static_cast<std::streamoff>(offset));
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
  }
  std::filesystem::resize_file(path, size);
  return ToReaderPath(path);
}

TEST(PeakHeap, CountsWhatACallHoldsAtOnce) {
  const std::size_t peak = PeakHeapDuring([] {
    for (int i = 0; i < 3; ++i) TBytes block(10 << 20, 1);
  });
  EXPECT_GE(peak, std::size_t{10} << 20);
  EXPECT_LT(peak, std::size_t{11} << 20);
}

TEST(TagLimits, FlacKeepsTheFirstCommentsAndOnlyThePictureFields) {
  TTestFolder folder;
  const TBytes comments =
      JoinBytes({LE32(1), AsciiBytes("v"), LE32(static_cast<std::uint32_t>(ManyItems + 1)), LE32(12),
                 AsciiBytes("TITLE=Limits"), Repeated(JoinBytes({LE32(3), AsciiBytes("A=1")}), ManyItems)});
  const TBytes picture = FlacBlock(6, FlacPictureBody({.description = "", .data = TBytes(15 << 20, 0)}));
  const auto path = ToReaderPath(folder.Write(
      "limits.flac", FlacFile(FlacCdStreamInfo(), {FlacBlock(4, comments), picture, picture, FlacBlock(1, {}, true)})));
  TFLACfile flac;
  TFlacTag tag;
  EXPECT_LT(PeakHeapDuring([&] {
              ASSERT_TRUE(flac.ReadFromFile(path));
              ASSERT_EQ(TFlacTag::ResultSuccess, tag.LoadFromFile(path));
            }),
            HeapBound);
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Limits");
  EXPECT_EQ(tag.Tags().size(), MaxTagItems);
  TFlacTagCoverArtInfo info;
  ASSERT_TRUE(tag.GetCoverArtInfo(1, info));
  EXPECT_EQ(info.MIMEType, u"image/png");
  EXPECT_EQ(info.SizeOfPictureData, 15u << 20);
  EXPECT_GT(flac.AudioOffset(), 30 << 20);
}

TEST(TagLimits, OggSkipsValuesTooLongToKeepAndStopsAtTheItemLimit) {
  TTestFolder folder;
  std::u16string path;
  {
    const TBytes pictureName = AsciiBytes("METADATA_BLOCK_PICTURE=");
    TBytes packet = JoinBytes({{0x03},
                               AsciiBytes("vorbis"),
                               LE32(1),
                               AsciiBytes("v"),
                               LE32(static_cast<std::uint32_t>(ManyItems + 2)),
                               LE32(static_cast<std::uint32_t>(pictureName.size() + HugeValue)),
                               pictureName});
    packet.resize(packet.size() + HugeValue, 'A');
    AppendBytes(packet, JoinBytes({LE32(12),
                                   AsciiBytes("TITLE=Limits"),
                                   Repeated(JoinBytes({LE32(3), AsciiBytes("A=1")}), ManyItems),
                                   {0x01}}));
    std::uint32_t page = 0;
    TBytes file = OggPackets({VorbisIdentification(2, 44100, 128000)}, page, 0, 255 * 255, 0x02);
    AppendBytes(file, OggPackets({packet, VorbisSetup()}, page, 0));
    AppendBytes(file, OggPackets({TBytes(4000, 0x30)}, page, 441000, 255 * 255, 0x04));
    path = ToReaderPath(folder.Write("limits.ogg", file));
  }
  TOpusTag tag;
  EXPECT_LT(PeakHeapDuring([&] { ASSERT_EQ(TOpusTag::ResultOk, tag.LoadFromFile(path)); }), HeapBound);
  EXPECT_EQ(tag.FrameExists(u"METADATA_BLOCK_PICTURE"), 0);
  EXPECT_TRUE(tag.Frames()[0].Stream.empty());
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Limits");
  EXPECT_EQ(static_cast<std::size_t>(tag.Count()), MaxTagItems);
}

TEST(TagLimits, WmaAttributesStopAtTheItemLimitAndLargeValuesAreNotKept) {
  TTestFolder folder;
  std::u16string path;
  {
    const TBytes descriptor = JoinBytes({LE16(4), Utf16Bytes("A"), LE16(AsfString), LE16(4), Utf16Bytes("1")});
    const TBytes flood =
        AsfObject(AsfExtendedContentDescriptionGuid, JoinBytes({LE16(0xFFFF), Repeated(descriptor, 0xFFFF)}));
    std::vector<TBytes> objects = {
        AsfContentDescription({.title = "Limits"}),
        AsfHeaderExtension({AsfMetadataLibrary(
            {{.name = AsfName("WM/Picture"), .type = AsfBytes, .value = AsfPictureValue(HugeValue)}})})};
    for (std::size_t i = 0; i * 0xFFFF < ManyItems; ++i) objects.push_back(flood);
    path = ToReaderPath(folder.Write("limits.wma", WmaFile({.moreObjects = objects})));
  }
  TWMATag tag;
  EXPECT_LT(PeakHeapDuring([&] { ASSERT_EQ(TWMATag::ResultOk, tag.LoadFromFile(path)); }), HeapBound);
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"Title"), u"Limits");
  EXPECT_LE(static_cast<std::size_t>(tag.Count()), MaxTagItems);
  bool picture = false;
  for (const TWMATagFrame& frame : tag.Frames())
    picture = picture || (frame.Name == u"WM/Picture" && frame.Stream.empty());
  EXPECT_TRUE(picture);
}

TEST(TagLimits, Mp4ItemsStopAtTheItemLimitAndLargeValuesAreNotKept) {
  TTestFolder folder;
  std::u16string path;
  {
    const TBytes items =
        JoinBytes({Mp4TextItem("\251nam", "Limits"), Mp4Item("covr", {Mp4Data(Mp4Jpeg, TBytes(HugeValue, 0))}),
                   Repeated(Mp4AtomWithSize("xxxx", 8), ManyItems)});
    path = ToReaderPath(folder.Write("limits.m4a", Mp4File({.tracks = {}, .items = {items}})));
  }
  TMP4Tag tag;
  EXPECT_LT(PeakHeapDuring([&] { ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(path)); }), HeapBound);
  EXPECT_EQ(tag.GetText(u"\u00a9nam"), u"Limits");
  const TMP4Atom* cover = tag.FindAtom(u"covr");
  ASSERT_NE(cover, nullptr);
  ASSERT_EQ(cover->Datas.size(), 1u);
  EXPECT_TRUE(cover->Datas[0].Data.empty());
  EXPECT_LE(static_cast<std::size_t>(tag.Count()), MaxTagItems);
}

TEST(TagLimits, AHugeUnsynchronisedTagIsDecodedAsItIsRead) {
  // Sizes that count the decoded bytes: the tag is read a second time,
  // decoded. The large frame's body is not kept; the frame after it is
  // still found. The first frame puts an FF 00 pair across the first
  // 64 KiB of the tag's body, where the decoding reads on.
  TTestFolder folder;
  std::u16string path;
  const TBytes straddling = JoinBytes({TBytes(65525, 0x11), {0xFF, 0xE0}, TBytes(10, 0x11)});
  {
    const TBytes tag = TId3v2Builder(3)
                           .Frame("PRIV", straddling)
                           .Text("TIT2", "Lim\xFF\xE0its")
                           .Frame("PRIV", TBytes(HugeValue, 0))
                           .Text("TPE1", "Artist")
                           .UnsynchroniseAll()
                           .Build();
    path = ToReaderPath(folder.Write("limits.mp3", JoinBytes({tag, MpegFrames({}, 20)})));
  }
  TID3v2Tag tag;
  EXPECT_LT(PeakHeapDuring([&] {
              ASSERT_EQ(TID3v2Tag::ResultSuccess, tag.LoadFromFile(path));
              tag.RemoveUnsynchronisationOnAllFrames();
            }),
            HeapBound);
  EXPECT_EQ(tag.GetUnicodeText("TIT2", true), u"Lim\u00FF\u00E0its");
  EXPECT_EQ(tag.GetUnicodeText("TPE1", true), u"Artist");
  ASSERT_EQ(tag.FrameCount(), 4);
  EXPECT_EQ(tag.Frames()[0].Stream, straddling);
  EXPECT_EQ(tag.Frames()[2].Size, static_cast<std::int64_t>(HugeValue));
  EXPECT_TRUE(tag.Frames()[2].Stream.empty());
}

TEST(TagLimits, WalksOverCountlessTinyUnitsEndEarly) {
  // A read every few bytes costs seconds per gigabyte: each walk ends
  // after MaxWalkedUnits blocks, atoms or objects.
  constexpr std::size_t Units = 300'000;
  constexpr std::uint64_t FewBytes = 1 << 20;
  {
    TCountingStream stream(FlacFile(FlacCdStreamInfo(), {Repeated(FlacBlock(2, {0}), Units), FlacBlock(1, {}, true)}));
    TFlacTag tag;
    EXPECT_EQ(TFlacTag::ResultSuccess, tag.LoadFromStream(stream));
    EXPECT_FALSE(tag.Valid());
    TFLACfile flac;
    EXPECT_FALSE(flac.ReadFromStream(stream));
    EXPECT_LT(stream.BytesRead, FewBytes);
  }
  {
    TCountingStream stream(
        Mp4File({.tracks = {Repeated(Mp4Atom("free", TBytes{}), Units)}, .items = {Mp4TextItem("\251nam", "Late")}}));
    TMP4Tag tag;
    EXPECT_EQ(TMP4Tag::ResultNoItems, tag.LoadFromStream(stream));
    EXPECT_LT(stream.BytesRead, FewBytes);
  }
  {
    TCountingStream stream(WmaFile({.moreObjects = std::vector<TBytes>(Units, AsfObject(AsfPaddingGuid, {}))}));
    TWMATag tag;
    EXPECT_EQ(TWMATag::ResultOk, tag.LoadFromStream(stream));
    TWMAfile wma;
    EXPECT_TRUE(wma.ReadFromStream(stream));
    EXPECT_LT(stream.BytesRead, FewBytes);
  }
}

TEST(TagLimits, TheFirstMpegFrameIsLookedForOnlyNearTheStart) {
  TTestFolder folder;
  const TBytes frames = MpegFrames({}, 200);
  TMPEGaudio mpeg;
  EXPECT_TRUE(
      mpeg.ReadFromFileDataOnly(SparseFile(folder, "late.mp3", (10 << 20) + frames.size(), {{10 << 20, frames}})));
  EXPECT_FALSE(
      mpeg.ReadFromFileDataOnly(SparseFile(folder, "later.mp3", (20 << 20) + frames.size(), {{20 << 20, frames}})));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(mpeg.ReadFromFileDataOnly(SparseFile(folder, "zeros.mp3", std::uint64_t{6} << 30, {})));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace velmaro::tags
