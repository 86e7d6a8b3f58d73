// TMPEGaudio: frame search, header decoding, VBR headers and the derived
// values, on hand-made streams.
#include <gtest/gtest.h>

#include <cstring>

#include "support/MpegBuilder.h"
#include "support/TestFolder.h"
#include "tags/common/TStream.h"
#include "tags/mpeg/TMPEGaudio.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

TMPEGaudio ReadMpeg(const TBytes& bytes, bool* result = nullptr) {
  TMemoryStream stream(bytes);
  TMPEGaudio mpeg;
  const bool found = mpeg.ReadFromStreamDataOnly(stream);
  if (result) *result = found;
  return mpeg;
}

void ExpectResetState(const TMPEGaudio& mpeg) {
  EXPECT_FALSE(mpeg.Frame().Found);
  EXPECT_FALSE(mpeg.Valid());
  EXPECT_EQ(mpeg.Duration(), 0.0);
  EXPECT_EQ(mpeg.BitRate(), 0);
  EXPECT_EQ(mpeg.SampleRate(), 0);
  EXPECT_EQ(mpeg.Frame().VersionID, 1);
  EXPECT_EQ(mpeg.Frame().SampleRateID, 3);
  EXPECT_EQ(mpeg.Frame().ModeID, 4);
  EXPECT_EQ(mpeg.Frame().ModeExtensionID, 4);
  EXPECT_EQ(mpeg.Frame().EmphasisID, 2);
  EXPECT_EQ(mpeg.FileLength(), 0);
  EXPECT_FALSE(mpeg.VBR().Found);
}

// ---------------------------------------------------------------------------
// Every version, layer and mode: the frame is found and its values decoded.

struct HeaderCase {
  const char* name;
  MpegFrameFormat format;
  int versionID, layerID;
  int frameLength;  // by hand from the standard's formulas
};

class MpegHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(MpegHeaderTest, FindsFirstFrameAndDecodesIt) {
  const HeaderCase& c = GetParam();
  ASSERT_EQ(MpegFrameLength(c.format), c.frameLength) << "builder and hand value disagree";
  const int frames = 20;
  bool found = false;
  const TMPEGaudio mpeg = ReadMpeg(MpegFrames(c.format, frames, 0x11), &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(mpeg.Valid());
  EXPECT_EQ(mpeg.Frame().Position, 0);
  EXPECT_EQ(mpeg.Frame().Size, c.frameLength);
  EXPECT_EQ(mpeg.Frame().VersionID, c.versionID);
  EXPECT_EQ(mpeg.Frame().LayerID, c.layerID);
  EXPECT_EQ(mpeg.Frame().ModeID, static_cast<int>(c.format.mode));
  EXPECT_EQ(mpeg.BitRate(), c.format.bitRate);
  EXPECT_EQ(mpeg.SampleRate(), c.format.sampleRate);
  EXPECT_FALSE(mpeg.VBR().Found);
  const double expected = double(frames) * c.frameLength * 8 / (c.format.bitRate * 1000.0);
  EXPECT_DOUBLE_EQ(mpeg.Duration(), expected);
}

using V = MpegVersion;
using L = MpegLayer;
using M = MpegMode;

INSTANTIATE_TEST_SUITE_P(
    AllVersionsAndLayers, MpegHeaderTest,
    ::testing::Values(
        HeaderCase{"V1L3_128_44100", {V::V1, L::III, 128, 44100, M::JointStereo}, 3, 1, 417},
        HeaderCase{"V1L3_320_48000_padded", {V::V1, L::III, 320, 48000, M::Stereo, true}, 3, 1, 961},
        HeaderCase{"V1L3_32_32000_mono", {V::V1, L::III, 32, 32000, M::Mono}, 3, 1, 144},
        HeaderCase{"V1L2_384_32000_padded_longest", {V::V1, L::II, 384, 32000, M::Stereo, true}, 3, 2, 1729},
        HeaderCase{"V1L2_192_48000_dual", {V::V1, L::II, 192, 48000, M::DualChannel}, 3, 2, 576},
        HeaderCase{"V1L1_448_32000", {V::V1, L::I, 448, 32000, M::Stereo}, 3, 3, 672},
        // Layer I counts 4-byte slots: 12 * 32000 / 44100 = 8 slots.
        HeaderCase{"V1L1_32_44100_slots", {V::V1, L::I, 32, 44100, M::Stereo}, 3, 3, 32},
        HeaderCase{"V1L1_384_44100_padded", {V::V1, L::I, 384, 44100, M::JointStereo, true}, 3, 3, 420},
        HeaderCase{"V2L3_64_22050_mono", {V::V2, L::III, 64, 22050, M::Mono}, 2, 1, 208},
        HeaderCase{"V2L2_160_16000", {V::V2, L::II, 160, 16000, M::Stereo}, 2, 2, 1440},
        // Layer I frames hold 384 samples in MPEG-2 too.
        HeaderCase{"V2L1_256_24000", {V::V2, L::I, 256, 24000, M::Stereo}, 2, 3, 512},
        HeaderCase{"V2L1_32_22050", {V::V2, L::I, 32, 22050, M::Mono}, 2, 3, 68},
        HeaderCase{"V25L3_8_8000_mono", {V::V25, L::III, 8, 8000, M::Mono}, 0, 1, 72},
        HeaderCase{"V25L3_64_12000_dual", {V::V25, L::III, 64, 12000, M::DualChannel}, 0, 1, 384},
        HeaderCase{"V25L1_32_11025", {V::V25, L::I, 32, 11025, M::Stereo}, 0, 3, 136}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(MpegHeader, DecodesEveryBitOfTheHeader) {
  // MPEG-1 Layer III with CRC, 128 kbit/s, 44.1 kHz, padding and private
  // bits, joint stereo with extension 2, copyright, original, 50/15 ms.
  TBytes frame(418, 0x22);
  const std::uint8_t header[] = {0xFF, 0xFA, 0x93, 0x6D};
  std::memcpy(frame.data(), header, 4);
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({frame, frame, frame}));
  const FrameData& f = mpeg.Frame();
  ASSERT_TRUE(f.Found);
  EXPECT_EQ(f.Data, (std::array<std::uint8_t, 4>{0xFF, 0xFA, 0x93, 0x6D}));
  EXPECT_EQ(f.VersionID, MpegVersion1);
  EXPECT_EQ(f.LayerID, MpegLayer3);
  EXPECT_TRUE(f.ProtectionBit);
  EXPECT_EQ(f.BitRateID, 9);
  EXPECT_EQ(f.SampleRateID, 0);
  EXPECT_TRUE(f.PaddingBit);
  EXPECT_TRUE(f.PrivateBit);
  EXPECT_EQ(f.ModeID, MpegModeJointStereo);
  EXPECT_EQ(f.ModeExtensionID, 2);
  EXPECT_TRUE(f.CopyrightBit);
  EXPECT_TRUE(f.OriginalBit);
  EXPECT_EQ(f.EmphasisID, 1);
  EXPECT_EQ(f.Size, 418);
  EXPECT_FALSE(f.Xing);
}

TEST(MpegHeader, RejectsReservedAndFreeValues) {
  const TBytes good = MpegFrame({});
  ASSERT_TRUE(ReadMpeg(JoinBytes({good, good})).Frame().Found);
  // Each change makes both headers unusable.
  const struct {
    const char* what;
    int byte;
    std::uint8_t mask, value;
  } changes[] = {
      {"reserved version", 1, 0x18, 0x08}, {"reserved layer", 1, 0x06, 0x00},  {"free bit rate", 2, 0xF0, 0x00},
      {"bad bit rate", 2, 0xF0, 0xF0},     {"reserved sample rate", 2, 0x0C, 0x0C}, {"reserved emphasis", 3, 0x03, 0x02},
      {"broken sync", 1, 0xE0, 0xC0},
  };
  for (const auto& change : changes) {
    TBytes frame = good;
    frame[change.byte] = static_cast<std::uint8_t>((frame[change.byte] & ~change.mask) | change.value);
    bool found = true;
    ReadMpeg(JoinBytes({frame, frame, frame}), &found);
    EXPECT_FALSE(found) << change.what;
  }
}

// ---------------------------------------------------------------------------
// Where the search starts and what it accepts.

TEST(MpegSearch, StartsBehindAnId3v2Tag) {
  const TBytes frames = MpegFrames({}, 10);
  const TMPEGaudio plain = ReadMpeg(JoinBytes({Id3v2Placeholder(1000), frames}));
  EXPECT_EQ(plain.ID3v2Size(), 1010);
  EXPECT_EQ(plain.Frame().Position, 1010);
  EXPECT_EQ(plain.MPEGStart(), 1010);

  const TMPEGaudio footer = ReadMpeg(JoinBytes({Id3v2Placeholder(1000, true), frames}));
  EXPECT_EQ(footer.ID3v2Size(), 1020);
  EXPECT_EQ(footer.Frame().Position, 1020);
}

TEST(MpegSearch, SkipsAudioLikeBytesInsideTheTag) {
  // A tag that holds two valid frames itself (an embedded sample, say):
  // the audio found is the one behind the tag.
  const TBytes inner = MpegFrames({V::V1, L::III, 64, 48000, M::Mono}, 2);
  TBytes tag = Id3v2Placeholder(static_cast<std::uint32_t>(inner.size() + 100));
  std::copy(inner.begin(), inner.end(), tag.begin() + 50);
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({tag, MpegFrames({}, 10)}));
  EXPECT_EQ(mpeg.Frame().Position, static_cast<std::int64_t>(tag.size()));
  EXPECT_EQ(mpeg.BitRate(), 128);
}

TEST(MpegSearch, TagSizeBeyondTheFileCountsAsNoTag) {
  // The header claims about 2 MB; the search starts at 0 and finds the
  // frames behind the 500 bytes the tag really has.
  TBytes tag = Id3v2RawHeader({0x00, 0x7F, 0x7F, 0x7F});
  AppendBytes(tag, NoSyncJunk(490));
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({tag, MpegFrames({}, 10)}));
  EXPECT_EQ(mpeg.ID3v2Size(), 0);
  EXPECT_EQ(mpeg.Frame().Position, 500);
}

TEST(MpegSearch, TagSizeBytesAreTakenWhole) {
  // Size bytes with the high bit set (not syncsafe) are not masked.
  TMemoryStream stream(JoinBytes({Id3v2RawHeader({0, 0, 1, 0x80}, 0x10), NoSyncJunk(400)}));
  EXPECT_EQ(ProbeID3v2TagSize(stream), 128 + 128 + 10 + 10);
  TMemoryStream shortHeader(TBytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0});
  EXPECT_EQ(ProbeID3v2TagSize(shortHeader), 0);
  TMemoryStream exact(Id3v2Placeholder(0));
  EXPECT_EQ(ProbeID3v2TagSize(exact), 10);
}

TEST(MpegSearch, JunkLongerThanTheSearchRangeMovesToTheNextWindow) {
  // Frames of 417 bytes behind 2,000 bytes of junk start at 2000, 2417,
  // ..., 3668. No header starts in the first 1,730 offsets of the first
  // window; the second window starts at 3,458 and holds the frame at 3,668.
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({NoSyncJunk(2000), MpegFrames({}, 20)}));
  ASSERT_TRUE(mpeg.Frame().Found);
  EXPECT_EQ(mpeg.Frame().Position, 3668);
  EXPECT_EQ(mpeg.MPEGStart(), 3668);
}

TEST(MpegSearch, FindsAFrameStartingAtTheLastSearchOffset) {
  const TBytes frames = MpegFrames({V::V1, L::III, 32, 48000, M::Mono}, 20);  // 96-byte frames
  EXPECT_EQ(ReadMpeg(JoinBytes({NoSyncJunk(1729), frames})).Frame().Position, 1729);
  // One byte further it belongs to no window's search range; the next
  // frame that does is the first one at or past 3,458.
  EXPECT_EQ(ReadMpeg(JoinBytes({NoSyncJunk(1730), frames})).Frame().Position, 1730 + 18 * 96);
}

TEST(MpegSearch, SkipsAFalseSync) {
  // A valid header whose frame is not followed by another header.
  TBytes lure = NoSyncJunk(600);
  const auto header = MpegHeader({});
  std::copy(header.begin(), header.end(), lure.begin() + 100);
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({lure, MpegFrames({V::V1, L::III, 192, 48000}, 10)}));
  EXPECT_EQ(mpeg.Frame().Position, 600);
  EXPECT_EQ(mpeg.BitRate(), 192);
}

TEST(MpegSearch, TheFollowingHeaderMustBeWhollyInTheData) {
  const TBytes frame = MpegFrame({});
  bool found = false;
  ReadMpeg(frame, &found);
  EXPECT_FALSE(found) << "one frame alone";
  TBytes cut = JoinBytes({frame, frame});
  cut.resize(frame.size() + 3);
  ReadMpeg(cut, &found);
  EXPECT_FALSE(found) << "the second header lacks a byte";
  cut.resize(frame.size() + 4);
  ReadMpeg(cut, &found);
  EXPECT_TRUE(found) << "the second header is the last four bytes";
}

TEST(MpegSearch, NoFrameAnywhereGivesTheResetState) {
  bool found = true;
  ExpectResetState(ReadMpeg(TBytes(20000, 0), &found));
  EXPECT_FALSE(found);
  ExpectResetState(ReadMpeg(TBytes{}, &found));
  EXPECT_FALSE(found);
  ExpectResetState(ReadMpeg(TBytes(20000, 0xFF), &found));
  EXPECT_FALSE(found);
  ExpectResetState(ReadMpeg(Id3v2Placeholder(3000), &found));
  EXPECT_FALSE(found);
}

TEST(MpegSearch, AReadAfterASuccessStartsFromTheResetState) {
  TMPEGaudio mpeg;
  TMemoryStream good(JoinBytes({Id3v2Placeholder(100), XingFrame({}, {.frames = 1000, .bytes = 417000}), MpegFrames({}, 5)}));
  ASSERT_TRUE(mpeg.ReadFromStreamDataOnly(good));
  ASSERT_TRUE(mpeg.VBR().Found);
  TMemoryStream bad(TBytes(5000, 0));
  EXPECT_FALSE(mpeg.ReadFromStreamDataOnly(bad));
  ExpectResetState(mpeg);
  EXPECT_EQ(mpeg.ID3v2Size(), 0);
}

// ---------------------------------------------------------------------------
// VBR headers and the derived values.

TEST(MpegVbr, XingHeaderGivesFrameCountDurationAndAverageRate) {
  const TBytes first = XingFrame({}, {.frames = 1000, .bytes = 417000, .scale = 57, .vendor = "LAME3.100"});
  bool found = false;
  const TMPEGaudio mpeg = ReadMpeg(JoinBytes({first, MpegFrames({}, 5)}), &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(mpeg.VBR().Found);
  EXPECT_EQ(mpeg.VBR().ID, "Xing");
  EXPECT_EQ(mpeg.VBR().Frames, 1000);
  EXPECT_EQ(mpeg.VBR().Bytes, 417000);
  EXPECT_EQ(mpeg.VBR().Scale, 57);
  EXPECT_EQ(mpeg.VBR().VendorID, "LAME3.10");
  EXPECT_NEAR(mpeg.Duration(), 26.1224, 1e-4);  // 1000 * 1152 / 44100
  EXPECT_EQ(mpeg.BitRate(), 128);               // 417 * 44100 / 144000 = 127.7
  EXPECT_TRUE(mpeg.Valid());
}

TEST(MpegVbr, XingOffsetFollowsVersionAndMode) {
  const struct {
    MpegFrameFormat format;
    int offset;
  } cases[] = {
      {{V::V1, L::III, 128, 44100, M::Mono}, 21},
      {{V::V2, L::III, 64, 22050, M::Stereo}, 21},
      {{V::V2, L::III, 64, 22050, M::Mono}, 13},
      {{V::V25, L::III, 32, 11025, M::JointStereo}, 21},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(MpegXingOffset(c.format), c.offset);
    const TMPEGaudio mpeg = ReadMpeg(JoinBytes({XingFrame(c.format, {.frames = 500, .bytes = 100000}), MpegFrames(c.format, 4)}));
    EXPECT_TRUE(mpeg.VBR().Found) << c.offset;
    EXPECT_DOUBLE_EQ(mpeg.Duration(), 500.0 * MpegSamplesPerFrame(c.format) / c.format.sampleRate) << c.offset;
  }
}

TEST(MpegVbr, InfoHeaderCountsAsConstantBitRate) {
  const TBytes first = XingFrame({}, {.id = "Info", .frames = 1000, .bytes = 417000});
  const TBytes all = JoinBytes({first, MpegFrames({}, 30)});
  const TMPEGaudio mpeg = ReadMpeg(all);
  EXPECT_FALSE(mpeg.VBR().Found);
  EXPECT_EQ(mpeg.BitRate(), 128);
  EXPECT_DOUBLE_EQ(mpeg.Duration(), all.size() * 8 / 128000.0);
}

TEST(MpegVbr, VbriHeaderIsLookedForWhereXingWouldBe) {
  const VbriFields vbri{.frames = 2000, .bytes = 2000 * 626, .quality = 80};
  const MpegFrameFormat stereo{V::V1, L::III, 192, 44100, M::Stereo};
  const TMPEGaudio found = ReadMpeg(JoinBytes({VbriFrame(stereo, vbri), MpegFrames(stereo, 4)}));
  ASSERT_TRUE(found.VBR().Found);
  EXPECT_EQ(found.VBR().ID, "VBRI");
  EXPECT_EQ(found.VBR().Frames, 2000);
  EXPECT_EQ(found.VBR().Bytes, 2000 * 626);
  EXPECT_EQ(found.VBR().Scale, 80);
  EXPECT_EQ(found.BitRate(), 192);  // 626 * 44100 / 144000 = 191.7
  EXPECT_NEAR(found.Duration(), 2000 * 1152 / 44100.0, 1e-9);

  // Mono and MPEG-2 frames look at 21 or 13, where the VBRI header is not.
  const MpegFrameFormat mono{V::V1, L::III, 192, 44100, M::Mono};
  EXPECT_FALSE(ReadMpeg(JoinBytes({VbriFrame(mono, vbri), MpegFrames(mono, 4)})).VBR().Found);
  const MpegFrameFormat lsf{V::V2, L::III, 64, 22050, M::Stereo};
  EXPECT_FALSE(ReadMpeg(JoinBytes({VbriFrame(lsf, vbri), MpegFrames(lsf, 4)})).VBR().Found);
}

TEST(MpegVbr, NonPositiveFrameCountFallsBackToConstantBitRate) {
  for (std::uint32_t frames : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    const TBytes all = JoinBytes({XingFrame({}, {.frames = frames, .bytes = 1}), MpegFrames({}, 30)});
    const TMPEGaudio mpeg = ReadMpeg(all);
    EXPECT_TRUE(mpeg.VBR().Found);
    EXPECT_EQ(mpeg.BitRate(), 128) << frames;
    EXPECT_DOUBLE_EQ(mpeg.Duration(), all.size() * 8 / 128000.0) << frames;
  }
}

TEST(MpegVbr, ImplausibleValuesMakeTheStreamInvalid) {
  // Found, but the average rate is below 8 kbit/s.
  TMPEGaudio slow = ReadMpeg(JoinBytes({XingFrame({}, {.frames = 1000, .bytes = 22860}), MpegFrames({}, 3)}));
  EXPECT_TRUE(slow.Frame().Found);
  EXPECT_EQ(slow.BitRate(), 7);
  EXPECT_FALSE(slow.Valid());
  // Found, but only three frames long: 0.078 s.
  TMPEGaudio brief = ReadMpeg(JoinBytes({XingFrame({}, {.frames = 3, .bytes = 1251}), MpegFrames({}, 3)}));
  EXPECT_EQ(brief.BitRate(), 128);
  EXPECT_LT(brief.Duration(), 0.1);
  EXPECT_FALSE(brief.Valid());
  // A CBR stream of four frames: 0.104 s is just long enough, three are not.
  EXPECT_TRUE(ReadMpeg(MpegFrames({}, 4)).Valid());
  EXPECT_FALSE(ReadMpeg(MpegFrames({}, 3)).Valid());
  // Negative byte count: no rate.
  EXPECT_EQ(ReadMpeg(JoinBytes({XingFrame({}, {.frames = 10, .bytes = 0xFFFF0000}), MpegFrames({}, 3)})).BitRate(), 0);
}

TEST(MpegVbr, HugeByteCountSaturatesInsteadOfWrapping) {
  // 214,413,061 bytes over 1,000 frames averages 65,664 kbit/s; kept in
  // 16 bits by wrapping that would read as a plausible 128.
  const TMPEGaudio mpeg =
      ReadMpeg(JoinBytes({XingFrame({}, {.frames = 1000, .bytes = 214413061}), MpegFrames({}, 3)}));
  EXPECT_EQ(mpeg.BitRate(), 65535);
  EXPECT_FALSE(mpeg.Valid());
  const TMPEGaudio max =
      ReadMpeg(JoinBytes({XingFrame({}, {.frames = 1, .bytes = 0x7FFFFFFF}), MpegFrames({}, 3)}));
  EXPECT_EQ(max.BitRate(), 65535);
}

TEST(MpegDerived, ConstantBitRateDurationCountsFromTheFirstFrameToTheEnd) {
  // 128 kbit/s, first frame at 16,000, file of 4,016,000 bytes: 250 s.
  TBytes file = Id3v2Placeholder(16000 - 10);
  const TBytes frame = MpegFrame({}, 0x33);
  while (file.size() + frame.size() <= 4016000) AppendBytes(file, frame);
  file.resize(4016000, 0);
  const TMPEGaudio mpeg = ReadMpeg(file);
  EXPECT_EQ(mpeg.MPEGStart(), 16000);
  EXPECT_EQ(mpeg.MPEGEnd(), 4016000);
  EXPECT_EQ(mpeg.FileLength(), 4016000);
  EXPECT_DOUBLE_EQ(mpeg.Duration(), 250.0);
  EXPECT_TRUE(mpeg.Valid());
}

// A stream of the given size that holds frames at its start and zeros
// elsewhere, without the memory; counts what is read.
class SparseStream final : public TStream {
 public:
  SparseStream(TBytes head, std::int64_t size) : FHead(std::move(head)), FSize(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::int64_t left = FSize - FPos;
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t at = FPos + static_cast<std::int64_t>(i);
      out[i] = at < static_cast<std::int64_t>(FHead.size()) ? FHead[static_cast<std::size_t>(at)] : 0;
    }
    FPos += static_cast<std::int64_t>(n);
    BytesRead += n;
    ++Reads;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    return FPos = ClampSeekTarget(offset, origin, FPos, FSize);
  }
  std::int64_t Size() const override { return FSize; }
  std::int64_t Position() const override { return FPos; }
  std::size_t BytesRead = 0;
  int Reads = 0;

 private:
  TBytes FHead;
  std::int64_t FSize;
  std::int64_t FPos = 0;
};

TEST(MpegDerived, FilesBeyond4GiBKeepTheirLength) {
  const std::int64_t size = 5LL << 30;
  SparseStream stream(MpegFrames({}, 10), size);
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromStreamDataOnly(stream));
  EXPECT_EQ(mpeg.FileLength(), size);
  EXPECT_DOUBLE_EQ(mpeg.Duration(), size * 8.0 / 128000);
  EXPECT_TRUE(mpeg.Valid());
}

TEST(MpegDerived, AValidFileIsReadOnlyAtItsStartAndEnd) {
  SparseStream stream(JoinBytes({Id3v2Placeholder(5000), MpegFrames({}, 40)}), 50'000'000);
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromStreamDataOnly(stream));
  // The tag header, one search window, one window at the end.
  EXPECT_LE(stream.BytesRead, 10 + 2 * TMPEGaudio::WindowSize);
  EXPECT_LE(stream.Reads, 3);
}

TEST(MpegFile, ReadsFilesAndRefusesMissingOnes) {
  TTestFolder folder;
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromFileDataOnly(ToReaderPath(folder.Write("a.mp3", JoinBytes({Id3v2Placeholder(50), MpegFrames({}, 30)})))));
  EXPECT_EQ(mpeg.Frame().Position, 60);
  EXPECT_TRUE(mpeg.Valid());
  EXPECT_FALSE(mpeg.ReadFromFileDataOnly(ToReaderPath(folder.Path() / "missing.mp3")));
  ExpectResetState(mpeg);
  EXPECT_FALSE(mpeg.ReadFromFileDataOnly(ToReaderPath(folder.Path())));
  ExpectResetState(mpeg);
}

// ---------------------------------------------------------------------------
// Encoder signature.

TEST(MpegEncoder, SignatureIsFoundNearTheAudioOrAtTheEnd) {
  TBytes frames = MpegFrames({}, 8);
  std::memcpy(frames.data() + frames.size() - 1000, "LAME3.99r", 9);
  EXPECT_EQ(ReadMpeg(frames).VendorID(), "LAME3.99");

  // Not in the first window: the last 3,458 bytes of the file are searched.
  TBytes longFile = MpegFrames({}, 30);
  std::memcpy(longFile.data() + longFile.size() - 300, "GOGO", 4);
  EXPECT_EQ(ReadMpeg(longFile).VendorID(), "GOGO");

  EXPECT_EQ(ReadMpeg(MpegFrames({}, 30)).VendorID(), "");
  // A file shorter than a window, signature in its last bytes.
  TBytes tiny = MpegFrames({}, 4);
  std::memcpy(tiny.data() + tiny.size() - 8, "LAME3.98", 8);
  EXPECT_EQ(ReadMpeg(tiny).VendorID(), "LAME3.98");
}

}  // namespace
}  // namespace velmaro::tags
