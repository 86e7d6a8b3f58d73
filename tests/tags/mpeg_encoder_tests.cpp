// TMPEGaudio and TID3v1Tag on files made by real encoders (lame, ffmpeg),
// when the machine has them: what real Xing/Info frames, bit reservoirs
// and tags look like, which hand-made bytes may miss.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/SystemSupport.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/id3v1/TID3v1Tag.h"
#include "tags/mpeg/TMPEGaudio.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

class MpegEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_LINUX_ENCODERS();
    if (!HaveTool("lame") || !HaveTool("ffmpeg")) GTEST_SKIP() << "lame and ffmpeg are needed";
    FWave = FFolder.Path() / "tone.wav";
    ASSERT_EQ(Run("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=5:sample_rate=44100 -ac 2 '" +
                  FWave.string() + "'"),
              0);
  }
  static int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
  std::u16string Lame(const std::string& options, const std::string& name) {
    const auto out = FFolder.Path() / name;
    EXPECT_EQ(Run("lame --quiet " + options + " '" + FWave.string() + "' '" + out.string() + "'"), 0);
    return ToReaderPath(out);
  }

  TTestFolder FFolder;
  std::filesystem::path FWave;
};

TEST_F(MpegEncoderTest, ConstantBitRateWithInfoFrame) {
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromFileDataOnly(Lame("-b 128", "cbr.mp3")));
  EXPECT_TRUE(mpeg.Valid());
  EXPECT_FALSE(mpeg.VBR().Found);  // "Info" counts as constant bit rate
  EXPECT_EQ(mpeg.BitRate(), 128);
  EXPECT_EQ(mpeg.SampleRate(), 44100);
  EXPECT_EQ(mpeg.Frame().VersionID, MpegVersion1);
  EXPECT_EQ(mpeg.Frame().LayerID, MpegLayer3);
  EXPECT_NEAR(mpeg.Duration(), 5.0, 0.1);
}

TEST_F(MpegEncoderTest, VariableBitRateWithXingFrame) {
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromFileDataOnly(Lame("-V 5", "vbr.mp3")));
  EXPECT_TRUE(mpeg.Valid());
  ASSERT_TRUE(mpeg.VBR().Found);
  EXPECT_EQ(mpeg.VBR().ID, "Xing");
  EXPECT_EQ(mpeg.VBR().VendorID.substr(0, 4), "LAME");
  EXPECT_NEAR(mpeg.Duration(), 5.0, 0.1);
  EXPECT_GT(mpeg.BitRate(), 32);
  EXPECT_LT(mpeg.BitRate(), 320);
}

TEST_F(MpegEncoderTest, LowSampleRateVersions) {
  TMPEGaudio mpeg2;
  ASSERT_TRUE(mpeg2.ReadFromFileDataOnly(Lame("-b 64 --resample 22.05", "mpeg2.mp3")));
  EXPECT_EQ(mpeg2.Frame().VersionID, MpegVersion2);
  EXPECT_EQ(mpeg2.SampleRate(), 22050);
  EXPECT_NEAR(mpeg2.Duration(), 5.0, 0.15);

  TMPEGaudio mpeg25;
  ASSERT_TRUE(mpeg25.ReadFromFileDataOnly(Lame("-b 16 --resample 8 -m m", "mpeg25.mp3")));
  EXPECT_TRUE(mpeg25.Valid());
  EXPECT_EQ(mpeg25.Frame().VersionID, MpegVersion25);
  EXPECT_EQ(mpeg25.Frame().ModeID, MpegModeMono);
  EXPECT_EQ(mpeg25.SampleRate(), 8000);
  EXPECT_NEAR(mpeg25.Duration(), 5.0, 0.2);
}

TEST_F(MpegEncoderTest, LayerTwoFromFfmpeg) {
  const auto out = FFolder.Path() / "layer2.mp3";
  ASSERT_EQ(Run("ffmpeg -v error -i '" + FWave.string() + "' -c:a mp2 -b:a 192k -f mp2 '" + out.string() + "'"), 0);
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromFileDataOnly(ToReaderPath(out)));
  EXPECT_TRUE(mpeg.Valid());
  EXPECT_EQ(mpeg.Frame().LayerID, MpegLayer2);
  EXPECT_EQ(mpeg.BitRate(), 192);
  EXPECT_NEAR(mpeg.Duration(), 5.0, 0.1);
}

TEST_F(MpegEncoderTest, TagsWrittenByLame) {
  const auto path = Lame("-b 128 --add-id3v2 --pad-id3v2-size 3000 --tt Title --ta Artist --tl Album --ty 1999 "
                         "--tn 7 --tg Rock --tc Comment",
                         "tagged.mp3");
  TMPEGaudio mpeg;
  ASSERT_TRUE(mpeg.ReadFromFileDataOnly(path));
  EXPECT_GT(mpeg.ID3v2Size(), 3000);
  EXPECT_EQ(mpeg.Frame().Position, mpeg.ID3v2Size());
  EXPECT_TRUE(mpeg.Valid());

  TID3v1Tag tag;
  ASSERT_EQ(tag.LoadFromFile(path), TID3v1Tag::ResultOk);
  EXPECT_EQ(tag.Title(), u"Title");
  EXPECT_EQ(tag.Artist(), u"Artist");
  EXPECT_EQ(tag.Album(), u"Album");
  EXPECT_EQ(tag.Year(), u"1999");
  EXPECT_EQ(tag.Comment(), u"Comment");
  EXPECT_EQ(tag.Track(), 7);
  EXPECT_EQ(tag.Genre(), u"Rock");
  EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

}  // namespace
}  // namespace velmaro::tags
