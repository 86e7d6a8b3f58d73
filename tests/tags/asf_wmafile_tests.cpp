// TWMAfile: stream values from the ASF header objects, the validity
// ranges that decide whether a file is a WMA track, and damaged headers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/AsfBuilder.h"
#include "support/SystemSupport.h"
#include "support/TCountingStream.h"
#include "support/TestFolder.h"
#include "tags/asf/TWMAfile.h"
#include "tags/common/TStream.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

struct Read {
  bool result;
  TWMAfile file;
};

Read ReadBytes(const TBytes& bytes) {
  Read r{false, {}};
  TMemoryStream stream(bytes);
  r.result = r.file.ReadFromStream(stream);
  return r;
}

bool AcceptedAsWma(const TWmaOptions& options) {
  const Read r = ReadBytes(WmaFile(options));
  return r.result && r.file.Valid();
}

// ---------------------------------------------------------------------------
// Values.

TEST(WmaFile, MonoAt64kbitGivesBitRateAndDurationFromTheWholeFile) {
  const Read r = ReadBytes(WmaFile({.channels = 1, .sampleRate = 44100, .byteRate = 8000, .maxBitRate = 64000,
                                    .fileSize = 2000000}));
  ASSERT_TRUE(r.result);
  ASSERT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.ChannelModeID(), 1);
  EXPECT_EQ(r.file.SampleRate(), 44100);
  EXPECT_EQ(r.file.BitRate(), 64);
  EXPECT_DOUBLE_EQ(r.file.Duration(), 250.0);
  EXPECT_EQ(r.file.FileSize(), 2000000);
}

TEST(WmaFile, DurationUsesTheMaximumBitRateAndBitRateTheAverage) {
  // 160 kbit/s maximum, 128 kbit/s average (16000 bytes/s), stereo 48 kHz.
  const Read r = ReadBytes(WmaFile({.channels = 2, .sampleRate = 48000, .byteRate = 16001, .maxBitRate = 160000,
                                    .fileSize = 1000000}));
  ASSERT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.ChannelModeID(), 2);
  EXPECT_EQ(r.file.BitRate(), 128);  // 128.008 truncated
  EXPECT_DOUBLE_EQ(r.file.Duration(), 50.0);
}

TEST(WmaFile, ALaterAudioStreamReplacesAnEarlierOne) {
  const Read r = ReadBytes(WmaFile({.channels = 2, .moreObjects = {AsfAudioStreamProperties(1, 22050, 4000)}}));
  ASSERT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.ChannelModeID(), 1);
  EXPECT_EQ(r.file.SampleRate(), 22050);
  EXPECT_EQ(r.file.BitRate(), 32);
}

TEST(WmaFile, ObjectsOtherThanPropertiesAreSkippedBySize) {
  const Read r = ReadBytes(WmaFile({.moreObjects = {AsfContentDescription({.title = "T"}),
                                                    AsfObject(AsfPaddingGuid, TBytes(5000, 0))}}));
  ASSERT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.SampleRate(), 44100);
}

// ---------------------------------------------------------------------------
// Validity ranges: a file outside them is no WMA track.

TEST(WmaFile, OnlyMonoAndStereoAreAccepted) {
  EXPECT_TRUE(AcceptedAsWma({.channels = 1}));
  EXPECT_TRUE(AcceptedAsWma({.channels = 2}));
  EXPECT_FALSE(AcceptedAsWma({.channels = 6}));
  EXPECT_FALSE(AcceptedAsWma({.channels = 0}));
  const Read six = ReadBytes(WmaFile({.channels = 6}));
  EXPECT_TRUE(six.result);  // read, but not valid
  EXPECT_EQ(six.file.ChannelModeID(), 0);
  EXPECT_EQ(six.file.FileData().Channels, 6);
}

TEST(WmaFile, SampleRateRangeIsInclusive) {
  EXPECT_FALSE(AcceptedAsWma({.sampleRate = 7999}));
  EXPECT_TRUE(AcceptedAsWma({.sampleRate = 8000}));
  EXPECT_TRUE(AcceptedAsWma({.sampleRate = 96000}));
  EXPECT_FALSE(AcceptedAsWma({.sampleRate = 96001}));
}

TEST(WmaFile, ByteRateAndMaximumBitRateMustLieBelowTheirLimits) {
  EXPECT_TRUE(AcceptedAsWma({.byteRate = 39999}));
  EXPECT_FALSE(AcceptedAsWma({.byteRate = 40000}));  // 320 kbit/s
  EXPECT_FALSE(AcceptedAsWma({.byteRate = 0}));
  EXPECT_TRUE(AcceptedAsWma({.maxBitRate = 319999}));
  EXPECT_FALSE(AcceptedAsWma({.maxBitRate = 320000}));
  EXPECT_FALSE(AcceptedAsWma({.maxBitRate = 0}));
}

// ---------------------------------------------------------------------------
// Files that are not ASF, and damaged headers.

TEST(WmaFile, DataWithoutTheHeaderGuidIsReadButNotValid) {
  TBytes notAsf = WmaFile({});
  notAsf[0] ^= 0xFF;
  const Read r = ReadBytes(notAsf);
  EXPECT_TRUE(r.result);
  EXPECT_FALSE(r.file.Valid());
}

TEST(WmaFile, AHeaderThatEndsEarlyIsAReadFailure) {
  EXPECT_FALSE(ReadBytes({}).result);
  EXPECT_FALSE(ReadBytes(AsfGuid(AsfHeaderGuid)).result);  // no object count
  const TBytes whole = WmaFile({});
  // Cut inside the Stream Properties object's audio fields.
  EXPECT_FALSE(ReadBytes(TBytes(whole.begin(), whole.begin() + 30 + 104 + 82)).result);
  // More objects announced than the file holds.
  TBytes tooMany = AsfFile({AsfFileProperties(64000), AsfAudioStreamProperties(2, 44100, 8000)});
  tooMany.resize(30 + 104 + 114);
  tooMany[24] = 5;
  const Read r = ReadBytes(tooMany);
  EXPECT_FALSE(r.result);
  EXPECT_FALSE(r.file.Valid());
}

TEST(WmaFile, AnObjectSmallerThanItsHeaderEndsTheWalkWithoutLooping) {
  // A zero size would send the walk back onto the same object for each of
  // the four billion objects the count announces.
  TBytes file = AsfFile({AsfFileProperties(64000), AsfAudioStreamProperties(2, 44100, 8000),
                         AsfObjectWithSize(AsfPaddingGuid, 0, TBytes(40, 0)),
                         AsfAudioStreamProperties(1, 8000, 1000)});
  file[24] = file[25] = file[26] = file[27] = 0xFF;
  TCountingStream stream(file);
  TWMAfile wma;
  EXPECT_TRUE(wma.ReadFromStream(stream));
  EXPECT_LT(stream.Reads, 50);
  ASSERT_TRUE(wma.Valid());
  EXPECT_EQ(wma.SampleRate(), 44100);  // the object behind the bad one is not reached
}

TEST(WmaFile, AVideoStreamDoesNotOverwriteTheAudioValues) {
  const Read r = ReadBytes(WmaFile({.moreObjects = {AsfStreamPropertiesOfType(AsfVideoMediaGuid, 6, 7, 9)}}));
  ASSERT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.ChannelModeID(), 2);
  EXPECT_EQ(r.file.SampleRate(), 44100);
}

TEST(WmaFile, FieldsAreNotReadFromBeyondTheirObject) {
  // A File Properties object too short to hold the Maximum Bitrate: the
  // bytes at its offset 100 belong to the next object and are not taken.
  const TBytes shortProperties = AsfObject(AsfFilePropertiesGuid, TBytes(40, 0));
  const Read r = ReadBytes(AsfFile({shortProperties, AsfAudioStreamProperties(2, 44100, 8000)}, 100000));
  EXPECT_TRUE(r.result);
  EXPECT_EQ(r.file.FileData().MaxBitRate, 0u);
  EXPECT_FALSE(r.file.Valid());
}

TEST(WmaFile, OnlyTheHeaderIsReadNotTheDataPackets) {
  TCountingStream stream(WmaFile({.fileSize = 3000000}));
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromStream(stream));
  EXPECT_TRUE(wma.Valid());
  EXPECT_LT(stream.BytesRead, 4096u);
}

// ---------------------------------------------------------------------------
// Files.

TEST(WmaFile, AMissingFileCannotBeRead) {
  TWMAfile wma;
  EXPECT_FALSE(wma.ReadFromFile(u"/nonexistent/velmaro/none.wma"));
  EXPECT_FALSE(wma.Valid());
}

TEST(WmaFile, ReadsAFileWrittenByFfmpeg) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  TTestFolder folder;
  const auto path = folder.Path() / "tone.wma";
  const std::string command = "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=3 -ac 1 -ar 22050 "
                              "-c:a wmav2 -b:a 32k '" + path.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  TWMAfile wma;
  ASSERT_TRUE(wma.ReadFromFile(ToReaderPath(path)));
  ASSERT_TRUE(wma.Valid());
  EXPECT_EQ(wma.ChannelModeID(), 1);
  EXPECT_EQ(wma.SampleRate(), 22050);
  EXPECT_EQ(wma.BitRate(), 32);
  // Estimated from the whole file size and the maximum bit rate, which
  // overshoots a short file's 3 s by its header and packet overhead.
  EXPECT_DOUBLE_EQ(wma.Duration(), wma.FileSize() * 8.0 / wma.FileData().MaxBitRate);
  EXPECT_GT(wma.Duration(), 2.5);
  EXPECT_LT(wma.Duration(), 5.0);
}

}  // namespace
}  // namespace velmaro::tags
