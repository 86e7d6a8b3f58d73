// TOggVorbis: the identification header, the last granule position, the
// length and bit rate derived from them, the validity test that decides
// whether a file is an Ogg Vorbis track, and ID3v2 prefixes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "support/OggBuilder.h"
#include "support/SystemSupport.h"
#include "support/TCountingStream.h"
#include "support/TestFolder.h"
#include "tags/common/TStream.h"
#include "tags/ogg/TOggVorbis.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

struct Read {
  bool result;
  TOggVorbis ogg;
};

Read ReadBytes(const TBytes& bytes) {
  Read r{false, {}};
  TMemoryStream stream(bytes);
  r.result = r.ogg.ReadFromStream(stream);
  return r;
}

bool Accepted(const TBytes& bytes) {
  const Read r = ReadBytes(bytes);
  return r.result && r.ogg.Valid();
}

// ---------------------------------------------------------------------------
// Values.

TEST(OggVorbis, LengthComesFromTheLastGranuleAndBitRateFromTheFileSize) {
  const TBytes file = VorbisFile({.channels = 2, .sampleRate = 44100, .lastGranule = 441000});
  const Read r = ReadBytes(file);
  ASSERT_TRUE(r.result);
  ASSERT_TRUE(r.ogg.Valid());
  EXPECT_EQ(r.ogg.ChannelModeID(), 2);
  EXPECT_EQ(r.ogg.SampleRate(), 44100);
  EXPECT_EQ(r.ogg.BitRateNominal(), 128);
  EXPECT_EQ(r.ogg.Samples(), 441000);  // the last page's, not an earlier one's
  EXPECT_DOUBLE_EQ(r.ogg.Duration(), 10.0);
  EXPECT_EQ(r.ogg.BitRate(), static_cast<std::uint16_t>(std::nearbyint(file.size() / 10.0 / 125)));
  EXPECT_EQ(r.ogg.FileSize(), static_cast<std::int64_t>(file.size()));
}

TEST(OggVorbis, WithoutAPageNearTheEndTheNominalBitRateGivesTheLength) {
  // One audio page of 20,000 bytes: no "OggS" in the last 12,060 bytes.
  const TBytes file = VorbisFile({.nominalBitRate = 128000, .audioPages = 1, .audioPageData = 20000});
  const Read r = ReadBytes(file);
  ASSERT_TRUE(r.ogg.Valid());
  EXPECT_EQ(r.ogg.Samples(), 0);
  EXPECT_DOUBLE_EQ(r.ogg.Duration(), file.size() / 128.0 / 2 / 125 * 2);
  EXPECT_EQ(r.ogg.BitRate(), 128);
}

TEST(OggVorbis, BitRateRoundsHalvesToEven) {
  // 2 s at 8 kHz; filler before the last page makes sizes that give 100.5
  // and 101.5 kbit/s.
  auto withSize = [](std::size_t size) {
    TBytes file = VorbisFile({.channels = 1, .sampleRate = 8000, .audioPages = 1, .audioPageData = 1000,
                              .lastGranule = 16000});
    const std::size_t lastPage = file.size() - 1000 - 27 - 4;  // 1000 bytes in four segments
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(lastPage), size - file.size(), 0x20);
    const Read r = ReadBytes(file);
    EXPECT_DOUBLE_EQ(r.ogg.Duration(), 2.0);
    return r.ogg.BitRate();
  };
  EXPECT_EQ(withSize(25125), 100);
  EXPECT_EQ(withSize(25375), 102);
}

TEST(OggVorbis, NegativeNominalBitRateIsTakenAsUnsetForTheEstimate) {
  const Read r = ReadBytes(VorbisFile({.nominalBitRate = -1}));
  EXPECT_EQ(r.ogg.BitRateNominal(), 0);
  EXPECT_TRUE(r.ogg.Valid());  // the granule still gives the length
}

// ---------------------------------------------------------------------------
// What is an Ogg Vorbis track.

TEST(OggVorbis, OneTwoAndSixChannelsAreAcceptedOthersNot) {
  EXPECT_TRUE(Accepted(VorbisFile({.channels = 1})));
  EXPECT_TRUE(Accepted(VorbisFile({.channels = 2})));
  EXPECT_TRUE(Accepted(VorbisFile({.channels = 6})));
  EXPECT_FALSE(Accepted(VorbisFile({.channels = 4})));
  EXPECT_FALSE(Accepted(VorbisFile({.channels = 8})));
  EXPECT_FALSE(Accepted(VorbisFile({.channels = 0})));
}

TEST(OggVorbis, SampleRateZeroOrATinyLengthIsNoTrack) {
  EXPECT_FALSE(Accepted(VorbisFile({.sampleRate = 0})));
  EXPECT_FALSE(Accepted(VorbisFile({.sampleRate = 44100, .lastGranule = 4410})));  // 0.1 s
  EXPECT_TRUE(Accepted(VorbisFile({.sampleRate = 44100, .lastGranule = 4411})));
}

TEST(OggVorbis, AnOpusStreamIsNotVorbis) {
  const Read r = ReadBytes(OpusFile(2, {OggComment("TITLE=x")}));
  EXPECT_FALSE(r.result);
  EXPECT_FALSE(r.ogg.Valid());
}

TEST(OggVorbis, AStreamWhoseFirstPacketIsNotVorbisIsRejected) {
  std::uint32_t page = 0;
  TBytes flac = OggPackets({JoinBytes({{0x7F}, AsciiBytes("FLAC"), TBytes(40, 1)})}, page, 0, 255 * 255, 2);
  AppendBytes(flac, OggPackets({TBytes(5000, 3)}, page, 441000, 255 * 255, 4));
  EXPECT_FALSE(ReadBytes(flac).result);
  page = 0;
  // A comment header where the identification header belongs.
  TBytes swapped = OggPackets({VorbisComments("v", {})}, page, 0, 255 * 255, 2);
  EXPECT_FALSE(ReadBytes(swapped).result);
}

TEST(OggVorbis, DataWithoutOggPagesIsRejected) {
  EXPECT_FALSE(ReadBytes({}).result);
  EXPECT_FALSE(ReadBytes(AsciiBytes("OggSvorbis")).result);  // a page too short for a packet
  TBytes riff = VorbisFile({});
  riff[0] = 'R';
  EXPECT_FALSE(ReadBytes(riff).result);
}

// ---------------------------------------------------------------------------
// ID3v2 prefixes.

TEST(OggVorbis, AnID3v2PrefixIsSkippedAndLeftOutOfTheBitRate) {
  const TBytes ogg = VorbisFile({});
  const TBytes file = JoinBytes({ID3v2Prefix(1000), ogg});
  const Read r = ReadBytes(file);
  ASSERT_TRUE(r.ogg.Valid());
  EXPECT_EQ(r.ogg.ID3v2Size(), 1010);
  EXPECT_EQ(r.ogg.BitRate(), static_cast<std::uint16_t>(std::nearbyint(ogg.size() / 10.0 / 125)));
}

TEST(OggVorbis, AnID3v2FooterCountsTenBytesMore) {
  const Read r = ReadBytes(JoinBytes({ID3v2Prefix(500, true), VorbisFile({})}));
  ASSERT_TRUE(r.ogg.Valid());
  EXPECT_EQ(r.ogg.ID3v2Size(), 520);
}

TEST(OggVorbis, AnID3v2SizeBeyondTheFileMeansNoPrefix) {
  TBytes file = JoinBytes({ID3v2Prefix(10), VorbisFile({})});
  file[6] = 0x7F;  // about 266 MB
  const Read r = ReadBytes(file);
  EXPECT_EQ(r.ogg.ID3v2Size(), 0);
  EXPECT_FALSE(r.result);  // and no "OggS" at offset 0
}

// ---------------------------------------------------------------------------
// Reading.

TEST(OggVorbis, ReadsTheFirstPageAndTheTailOnly) {
  TCountingStream stream(VorbisFile({.audioPages = 40, .audioPageData = 30000}));
  TOggVorbis ogg;
  ASSERT_TRUE(ogg.ReadFromStream(stream));
  EXPECT_TRUE(ogg.Valid());
  EXPECT_LE(stream.BytesRead, 10u + 282 + 30 + 12060);
  EXPECT_LE(stream.Reads, 6);
}

TEST(OggVorbis, AMissingFileIsNotOgg) {
  TOggVorbis ogg;
  EXPECT_FALSE(ogg.ReadFromFile(u"/nonexistent/velmaro/none.ogg"));
  EXPECT_FALSE(ogg.Valid());
}

TEST(OggVorbis, ReadsFilesWrittenByOggenc) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (std::system("command -v oggenc >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "oggenc or ffmpeg is not installed";
  TTestFolder folder;
  for (const int channels : {1, 2, 6}) {
    SCOPED_TRACE(channels);
    const std::string wav = (folder.Path() / "tone.wav").string();
    const std::string ogg = (folder.Path() / "tone.ogg").string();
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i sine=duration=5 -ac " + std::to_string(channels) +
                           " -ar 44100 '" + wav + "' && oggenc -Q -o '" + ogg + "' '" + wav + "'")
                              .c_str()),
              0);
    TOggVorbis reader;
    ASSERT_TRUE(reader.ReadFromFile(ToReaderPath(folder.Path() / "tone.ogg")));
    ASSERT_TRUE(reader.Valid());
    EXPECT_EQ(reader.ChannelModeID(), channels);
    EXPECT_EQ(reader.SampleRate(), 44100);
    EXPECT_NEAR(reader.Duration(), 5.0, 0.01);
    EXPECT_GT(reader.BitRate(), 0);
  }
}

}  // namespace
}  // namespace velmaro::tags
