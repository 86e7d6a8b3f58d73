#include <gtest/gtest.h>

#include "support/ContainerBuilder.h"
#include "support/Id3v2Builder.h"
#include "support/TCountingStream.h"
#include "tags/common/TBufferedStream.h"
#include "tags/common/TagLocation.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;

const TBytes Tag = TId3v2Builder(3).Text("TIT2", "Song").Build();

struct TProbe {
  TID3v2Location Location;
  std::int64_t Position = -1;
};

TProbe Locate(const TBytes& bytes, std::uint32_t searchLength = 0) {
  TMemoryStream stream(bytes);
  TProbe probe{LocateID3v2Tag(stream, searchLength)};
  probe.Position = stream.Position();
  return probe;
}

// Where the tag bytes start inside the file.
std::int64_t OffsetOf(const TBytes& file, const TBytes& tag) {
  return std::search(file.begin(), file.end(), tag.begin(), tag.end()) - file.begin();
}

TEST(TagLocation, FindsATagAtTheStart) {
  const TProbe probe = Locate(JoinBytes({Tag, TBytes(100, 0xFF)}));
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftUnknown, probe.Location.Container);
  EXPECT_EQ(0, probe.Position);
}

TEST(TagLocation, StartsFromTheStreamsPosition) {
  const TBytes file = JoinBytes({AsciiBytes("junk"), WaveFile({WaveFmtChunk(), RiffChunk("id3 ", Tag)})});
  TMemoryStream stream(file);
  stream.SeekTo(4);
  const TID3v2Location location = LocateID3v2Tag(stream);
  EXPECT_TRUE(location.Found);
  EXPECT_EQ(TSourceFileType::sftWAVE, location.Container);
  EXPECT_EQ(OffsetOf(file, Tag), stream.Position());
}

TEST(TagLocation, SkipsALargeWaveDataChunkBySeeking) {
  const TBytes file = WaveFile({WaveFmtChunk(), RiffChunk("data", TBytes(1 << 20, 0x55)), RiffChunk("id3 ", Tag)});
  TCountingStream counted(file);
  TBufferedStream stream(counted);
  const TID3v2Location location = LocateID3v2Tag(stream);
  EXPECT_TRUE(location.Found);
  EXPECT_EQ(TSourceFileType::sftWAVE, location.Container);
  EXPECT_EQ(OffsetOf(file, Tag), stream.Position());
  EXPECT_LT(counted.BytesRead, 8192u);
}

TEST(TagLocation, FindsWaveChunksNamedID32AndSkipsEmptyOnes) {
  const TBytes file = WaveFile({WaveFmtChunk(), RiffChunk("id3 ", {}), RiffChunk("ID32", Tag)});
  const TProbe probe = Locate(file);
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(OffsetOf(file, Tag), probe.Position);
}

TEST(TagLocation, StepsOverThePadByteOfAnOddChunkWhenThereIsOne) {
  const TBytes odd(1001, 0x80);
  for (const bool pad : {true, false}) {
    const TBytes file = WaveFile({WaveFmtChunk(), RiffChunk("data", odd, pad), RiffChunk("id3 ", Tag)});
    const TProbe probe = Locate(file);
    EXPECT_TRUE(probe.Location.Found) << "pad " << pad;
    EXPECT_EQ(OffsetOf(file, Tag), probe.Position) << "pad " << pad;
    const TBytes aiff = AiffFile("AIFF", {IffChunk("SSND", odd, pad), IffChunk("ID3 ", Tag)});
    EXPECT_TRUE(Locate(aiff).Location.Found) << "pad " << pad;
  }
}

TEST(TagLocation, ARecognisedContainerWithoutUsableChunkHasNoTag) {
  // Tag bytes only inside the audio data: not searched.
  TProbe probe = Locate(WaveFile({WaveFmtChunk(), RiffChunk("data", Tag)}));
  EXPECT_FALSE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftWAVE, probe.Location.Container);
  // An ID3 chunk that holds no tag.
  probe = Locate(WaveFile({RiffChunk("id3 ", AsciiBytes("not a tag"))}));
  EXPECT_FALSE(probe.Location.Found);
  // RIFF that is not WAVE selects the container all the same: the later
  // probes and the search are not tried.
  const TBytes riff = JoinBytes({AsciiBytes("RIFF"), LE32(100), AsciiBytes("AVI "), Tag});
  probe = Locate(riff, 1000);
  EXPECT_FALSE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftUnknown, probe.Location.Container);
}

TEST(TagLocation, FindsTheTagOfAnRf64FileBehindADataChunkSizedByDs64) {
  const TBytes audio(5000, 0x11);
  const TBytes file =
      Rf64File({Ds64Chunk(0, audio.size()), WaveFmtChunk(), RiffChunkHeader("data", 0xFFFFFFFFu), audio,
                RiffChunk("id3 ", Tag)});
  const TProbe probe = Locate(file);
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftRF64, probe.Location.Container);
  EXPECT_EQ(OffsetOf(file, Tag), probe.Position);
}

TEST(TagLocation, FindsTheTagOfAiffAndAifcButNotAnEmptyChunk) {
  for (const char* form : {"AIFF", "AIFC"}) {
    const TBytes file = AiffFile(form, {IffChunk("COMM", TBytes(18, 0)), IffChunk("SSND", TBytes(64, 0)),
                                        IffChunk("ID3 ", Tag)});
    const TProbe probe = Locate(file);
    EXPECT_TRUE(probe.Location.Found) << form;
    EXPECT_EQ(TSourceFileType::sftAIFF, probe.Location.Container);
    EXPECT_EQ(OffsetOf(file, Tag), probe.Position);
  }
  const TProbe empty = Locate(AiffFile("AIFF", {IffChunk("ID3 ", {}), Tag}));
  EXPECT_FALSE(empty.Location.Found);
  EXPECT_EQ(TSourceFileType::sftAIFF, empty.Location.Container);
}

TEST(TagLocation, FindsTheTagOfADsfFileByItsMetadataOffset) {
  const TBytes file = DsfFile(TBytes(4096, 0x69), Tag);
  const TProbe probe = Locate(file);
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftDSF, probe.Location.Container);
  EXPECT_EQ(OffsetOf(file, Tag), probe.Position);

  for (const std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{50}, std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
    const TProbe none = Locate(DsfFileWithOffset(TBytes(64, 0x69), Tag, offset));
    EXPECT_FALSE(none.Location.Found) << offset;
    EXPECT_EQ(TSourceFileType::sftDSF, none.Location.Container);
  }
}

TEST(TagLocation, WalksDffChunksPaddedToEvenSizes) {
  const TBytes file = DffFile({DffChunk("FVER", {1, 5, 0, 0}), DffChunk("PROP", TBytes(33, 0)),
                               DffChunk("DSD ", TBytes(999, 0x69)), DffChunk("ID3 ", Tag)});
  const TProbe probe = Locate(file);
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(TSourceFileType::sftDFF, probe.Location.Container);
  EXPECT_EQ(OffsetOf(file, Tag), probe.Position);
  // The walk ends at the form's size: a chunk after it is not looked at.
  TBytes shortForm = file;
  shortForm[11] = 40;  // low byte of the 64-bit form size
  shortForm[10] = shortForm[9] = 0;
  EXPECT_FALSE(Locate(shortForm).Location.Found);
}

TEST(TagLocation, HostileSizesEndTheWalkQuietly) {
  const std::vector<TBytes> files = {
      WaveFile({RiffChunkHeader("data", 0xFFFFFFFFu), RiffChunk("id3 ", Tag)}),
      Rf64File({Ds64Chunk(0, ~std::uint64_t{0}), RiffChunkHeader("data", 0xFFFFFFFFu), RiffChunk("id3 ", Tag)}),
      AiffFile("AIFF", {IffChunkHeader("SSND", 0xFFFFFFFFu), IffChunk("ID3 ", Tag)}),
      DffFile({DffChunkHeader("DSD ", ~std::uint64_t{0}), DffChunk("ID3 ", Tag)}),
      DffFile({DffChunkHeader("DSD ", ~std::uint64_t{0} - 1), DffChunk("ID3 ", Tag)}),
  };
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_FALSE(Locate(files[i]).Location.Found) << "file " << i;
  // A DFF form size that overflows: the walk still ends at the data's end.
  TBytes dff = DffFile({DffChunk("ID3 ", Tag)});
  for (int i = 4; i < 12; ++i) dff[i] = 0xFF;
  EXPECT_TRUE(Locate(dff).Location.Found);
}

TEST(TagLocation, StreamsShorterThanAMagicHaveNoTag) {
  for (const TBytes& bytes : {TBytes{}, AsciiBytes("ID"), AsciiBytes("RIF"), AsciiBytes("RIFF"), AsciiBytes("RIFF\0\0\0\0WAV"),
                              AsciiBytes("DSD "), AsciiBytes("FRM8\0\0\0\0\0\0\0\0DSD"), AsciiBytes("FORM")}) {
    EXPECT_FALSE(Locate(bytes).Location.Found) << bytes.size();
  }
}

TEST(TagLocation, SearchesOnlyWhenASearchLengthIsSet) {
  const TBytes file = JoinBytes({TBytes(100, 0x20), Tag});
  EXPECT_FALSE(Locate(file).Location.Found);
  EXPECT_FALSE(Locate(file, 100).Location.Found);
  const TProbe probe = Locate(file, 101);
  EXPECT_TRUE(probe.Location.Found);
  EXPECT_EQ(100, probe.Position);
}

}  // namespace
}  // namespace velmaro::tags
