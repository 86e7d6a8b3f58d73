// TOggOpus: the OpusHead packet, the length from the last granule position
// less the pre-skip, and what makes a stream no Opus track.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/OggBuilder.h"
#include "tags/common/TStream.h"
#include "tags/ogg/TOggOpus.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;

TOggOpus ReadOpus(const TBytes& bytes, bool* result = nullptr) {
  TOggOpus opus;
  TMemoryStream stream(bytes);
  const bool read = opus.ReadFromStream(stream);
  if (result) *result = read;
  return opus;
}

TEST(OggOpus, LengthIsTheLastGranuleLessThePreSkipAt48kHz) {
  const TBytes file = OpusFile(6, {OggComment("TITLE=x")}, 312 + 48000 * 3 / 2);
  bool read = false;
  const TOggOpus opus = ReadOpus(file, &read);
  ASSERT_TRUE(read);
  EXPECT_TRUE(opus.Valid());
  EXPECT_EQ(opus.ChannelCount(), 6);
  EXPECT_EQ(opus.PreSkip(), 312);
  EXPECT_EQ(opus.InputSampleRate(), 48000u);
  EXPECT_DOUBLE_EQ(opus.Duration(), 1.5);
  EXPECT_EQ(opus.BitRate(), std::lround(static_cast<double>(file.size()) / 1.5 / 125));

  // An ID3v2 tag in front is passed over and left out of the bit rate.
  const TBytes tagged = JoinBytes({ID3v2Prefix(500), file});
  EXPECT_TRUE(ReadOpus(tagged).Valid());
  EXPECT_EQ(ReadOpus(tagged).ID3v2Size(), 510);
  EXPECT_EQ(ReadOpus(tagged).BitRate(), ReadOpus(file).BitRate());
}

TEST(OggOpus, ABitRateBeyond16BitsIsKeptWhole) {
  // A little over a megabyte in 0.128 s: exactly 65,536 kbit/s, which in
  // 16 bits would be 0 and refuse the file. Bytes after the last page only
  // make the size a multiple of 512, so that the granule gives that rate.
  const auto build = [](std::uint64_t granule) {
    TBytes file = OpusFile(2, {OggComment("COMMENT=" + std::string(1 << 20, 'x'))}, granule);
    file.resize((file.size() + 511) / 512 * 512, 0);
    return file;
  };
  const std::uint64_t size = build(0).size();
  const TOggOpus opus = ReadOpus(build(312 + size * 3 / 512));
  EXPECT_TRUE(opus.Valid());
  EXPECT_EQ(opus.BitRate(), 65536);
}

TEST(OggOpus, NoLengthOrAnotherHeaderIsNoTrack) {
  // A granule that does not pass the pre-skip, or is -1 (no packet ends on
  // the last page), gives no length.
  EXPECT_EQ(ReadOpus(OpusFile(2, {}, 312)).Duration(), 0);
  EXPECT_FALSE(ReadOpus(OpusFile(2, {}, ~std::uint64_t{0})).Valid());
  EXPECT_FALSE(ReadOpus(OpusFile(2, {}, 312 + 4800)).Valid());  // 0.1 s
  EXPECT_FALSE(ReadOpus(OpusFile(9, {})).Valid());
  EXPECT_TRUE(ReadOpus(OpusFile(8, {})).Valid());

  // Version 1.0 may lay the header out otherwise; Vorbis is not Opus.
  TBytes file = OpusFile(2, {});
  file[28 + 8] = 0x10;
  bool read = true;
  const TOggOpus newer = ReadOpus(file, &read);
  EXPECT_FALSE(read);
  EXPECT_EQ(newer.ChannelCount(), 0);
  EXPECT_FALSE(ReadOpus(VorbisFile(TVorbisOptions{})).Valid());
  EXPECT_FALSE(ReadOpus(TBytes(40, 0)).Valid());
}

}  // namespace
}  // namespace velmaro::tags
