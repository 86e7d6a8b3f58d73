// TMP4Tag on files made by real tools when the machine has them: ffmpeg
// (AAC and ALAC, moov at the end and at the start), mutagen (cover and
// track number) and AtomicParsley (the numeric genre).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/SystemSupport.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/mp4/TMP4Tag.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

bool HaveTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class MP4EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_LINUX_ENCODERS();
    if (!HaveTool("command -v ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  }
  // Five seconds of a 44.1 kHz stereo tone, encoded with the codec options.
  std::filesystem::path Encode(const std::string& name, const std::string& options) {
    const auto path = FFolder.Path() / name;
    EXPECT_EQ(Shell("ffmpeg -y -v error -f lavfi -i sine=frequency=440:duration=5:sample_rate=44100 -ac 2 " + options +
                    " '" + path.string() + "'"),
              0);
    return path;
  }
  static std::string Tags() {
    return "-metadata title=Title -metadata artist=Artist -metadata album=Album -metadata date=2004 "
           "-metadata comment=Nice -metadata genre=Rock -metadata track=3/9";
  }

  TTestFolder FFolder;
};

TEST_F(MP4EncoderTest, AacWithItsTagsWhereverMoovStands) {
  for (const std::string movflags : {"", "-movflags +faststart"}) {
    const auto path = Encode("aac.m4a", "-c:a aac -b:a 128k " + Tags() + " " + movflags);
    TMP4Tag tag;
    ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(ToReaderPath(path))) << movflags;
    EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"Title");
    EXPECT_EQ(tag.GetText(u"\u00A9ART"), u"Artist");
    EXPECT_EQ(tag.GetText(u"\u00A9alb"), u"Album");
    EXPECT_EQ(tag.GetText(u"\u00A9day"), u"2004");
    EXPECT_EQ(tag.GetText(u"\u00A9cmt"), u"Nice");
    EXPECT_EQ(tag.GetGenre(), u"Rock");
    EXPECT_EQ(tag.GetTrack(), 3);
    EXPECT_EQ(tag.FindAtom(u"covr"), nullptr);
    EXPECT_NEAR(tag.Playtime(), 5.0, 0.1);
    EXPECT_NEAR(tag.BitRate(), 128, 20);
    EXPECT_EQ(tag.AudioSampleRate(), 44100u);
    EXPECT_EQ(tag.AudioChannelCount(), 2);
    EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mp4afAAC);
    EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
    EXPECT_GT(tag.mdatAtomPosition(), 0);
  }
}

TEST_F(MP4EncoderTest, AlacGivesItsSampleSizeAndRate) {
  const auto path = Encode("alac.m4a", "-c:a alac -metadata title=Lossless");
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(ToReaderPath(path)));
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"Lossless");
  EXPECT_EQ(tag.AudioFormat(), TMP4AudioFormat::mp4afALAC);
  EXPECT_EQ(tag.AudioSampleRate(), 44100u);
  EXPECT_EQ(tag.AudioResolution(), 16);
  EXPECT_NEAR(tag.Playtime(), 5.0, 0.1);
}

TEST_F(MP4EncoderTest, CoverAndTrackNumberFromMutagen) {
  if (!HaveTool("/usr/bin/python3 -c 'import mutagen'")) GTEST_SKIP() << "python3-mutagen is needed";
  const auto path = Encode("cover.m4a", "-c:a aac");
  ASSERT_EQ(Shell("/usr/bin/python3 -c \"from mutagen.mp4 import MP4, MP4Cover; f = MP4('" + path.string() +
                  "'); f['covr'] = [MP4Cover(b'\\xff\\xd8\\xff\\xe0' + bytes(64), MP4Cover.FORMAT_JPEG)]; "
                  "f['trkn'] = [(7, 12)]; f['\\xa9nam'] = ['Gr\\xfcn']; f.save()\""),
            0);
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(ToReaderPath(path)));
  ASSERT_NE(tag.FindAtom(u"covr"), nullptr);
  EXPECT_EQ(tag.FindAtom(u"covr")->Datas.at(0).Data.size(), 68u);
  EXPECT_EQ(tag.GetTrack(), 7);
  EXPECT_EQ(tag.GetText(u"\u00A9nam"), u"Gr\u00FCn");
}

TEST_F(MP4EncoderTest, NumericGenreFromAtomicParsley) {
  if (!HaveTool("command -v AtomicParsley")) GTEST_SKIP() << "AtomicParsley is needed";
  const auto path = Encode("genre.m4a", "-c:a aac");
  ASSERT_EQ(Shell("AtomicParsley '" + path.string() + "' --genre Rock --overWrite"), 0);
  TMP4Tag tag;
  ASSERT_EQ(TMP4Tag::ResultSuccess, tag.LoadFromFile(ToReaderPath(path)));
  EXPECT_EQ(tag.GetInteger16(u"gnre"), 18);
  EXPECT_EQ(tag.FindAtom(u"\u00A9gen"), nullptr);
  EXPECT_EQ(tag.GetGenre(), u"Rock");
}

}  // namespace
}  // namespace velmaro::tags
