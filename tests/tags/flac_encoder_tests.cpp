// TFLACfile and TFlacTag on files made by real encoders when the machine
// has them: flac with tags, a picture, a seek table and padding, and
// ffmpeg's mono and 5.1 streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/SystemSupport.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/flac/TFLACfile.h"
#include "tags/flac/TFlacTag.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class FlacEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_LINUX_ENCODERS();
    if (Shell("command -v ffmpeg") != 0) GTEST_SKIP() << "ffmpeg is needed";
  }
  // Five seconds of a 44.1 kHz tone with the given number of channels.
  std::filesystem::path Tone(const std::string& name, int channels) {
    const auto path = FFolder.Path() / name;
    EXPECT_EQ(Shell("ffmpeg -y -v error -f lavfi -i sine=frequency=440:duration=5:sample_rate=44100 -ac " +
                    std::to_string(channels) + " '" + path.string() + "'"),
              0);
    return path;
  }

  TTestFolder FFolder;
};

TEST_F(FlacEncoderTest, FlacWithTagsPictureSeekTableAndPadding) {
  if (Shell("command -v flac") != 0) GTEST_SKIP() << "flac is needed";
  const auto wave = Tone("tone.wav", 2);
  const auto picture = FFolder.Path() / "cover.png";
  ASSERT_EQ(Shell("ffmpeg -y -v error -f lavfi -i color=red:s=8x6 -frames:v 1 '" + picture.string() + "'"), 0);
  const auto path = FFolder.Path() / "tagged.flac";
  ASSERT_EQ(Shell("flac -s -f -T ARTIST=Artist -T TITLE=Title -T DATE=2004 -T TRACKNUMBER=3 -T 'COMMENT=Gr\xC3\xBCn' "
                  "--picture='" +
                  picture.string() + "' -o '" + path.string() + "' '" + wave.string() + "'"),
            0);
  const std::u16string name = ToReaderPath(path);

  TFLACfile flac;
  ASSERT_TRUE(flac.ReadFromFile(name));
  EXPECT_NEAR(flac.Duration(), 5.0, 0.001);
  EXPECT_EQ(flac.SampleRate(), 44100);
  EXPECT_EQ(flac.ChannelMode(), u"Stereo");
  EXPECT_GT(flac.Padding(), 0);
  EXPECT_GT(flac.Bitrate(), 0);

  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, tag.LoadFromFile(name, true));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ARTIST"), u"Artist");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Title");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"DATE"), u"2004");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TRACKNUMBER"), u"3");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"COMMENT"), u"Gr\u00FCn");
  TFlacTagCoverArtInfo info;
  ASSERT_TRUE(tag.GetCoverArtInfo(0, info));
  EXPECT_EQ(info.MIMEType, u"image/png");
  EXPECT_EQ(info.Width, 8u);
  EXPECT_EQ(info.Height, 6u);
  EXPECT_EQ(info.SizeOfPictureData, std::filesystem::file_size(picture));
  EXPECT_DOUBLE_EQ(tag.Playtime(), flac.Duration());
  EXPECT_EQ(tag.Bitrate(), flac.Bitrate());
  EXPECT_EQ(tag.AudioOffset(), flac.AudioOffset());
  EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

TEST_F(FlacEncoderTest, ChannelModesOfFfmpegStreams) {
  for (const auto& [channels, mode] : {std::pair{1, u"Mono"}, std::pair{6, u"Multi Channel"}}) {
    const auto path = Tone("tone" + std::to_string(channels) + ".flac", channels);
    TFLACfile flac;
    ASSERT_TRUE(flac.ReadFromFile(ToReaderPath(path))) << channels;
    EXPECT_EQ(flac.Channels(), channels);
    EXPECT_EQ(flac.ChannelMode(), mode);
    TFlacTag tag;
    ASSERT_EQ(TFlacTag::ResultSuccess, tag.LoadFromFile(ToReaderPath(path), true));
    EXPECT_EQ(tag.ChannelMode(), mode);
    EXPECT_NEAR(tag.Playtime(), 5.0, 0.001);
  }
}

}  // namespace
}  // namespace velmaro::tags
