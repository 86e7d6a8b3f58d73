// Tags written by real tools (lame, ffmpeg, mutagen) read back. Each test
// makes its files at run time and is skipped when its tool is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/SystemSupport.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/id3v2/TID3v2Tag.h"

namespace velmaro::tags {
namespace {

using velmaro::test::TTestFolder;
using testsupport::ToReaderPath;

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool HasTool(const std::string& name) { return RunQuietly("command -v " + name); }

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

class ID3v2Encoders : public ::testing::Test {
 protected:
  void SetUp() override { TID3v2Tag::SetDefaultDecodeANSIText(true); }
  void TearDown() override { TID3v2Tag::SetDefaultDecodeANSIText(false); }

  // One second of tone as a WAVE file.
  std::filesystem::path Tone(const std::string& name) {
    const auto path = FFolder.Path() / name;
    if (!RunQuietly("ffmpeg -hide_banner -loglevel error -f lavfi -i sine=d=1 -ac 1 " + Quoted(path))) return {};
    return path;
  }

  TTestFolder FFolder;
};

TEST_F(ID3v2Encoders, LameVersion23TagAnswersEveryImportQuestion) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (!HasTool("lame") || !HasTool("ffmpeg")) GTEST_SKIP() << "lame or ffmpeg missing";
  const auto wav = Tone("in.wav");
  const auto mp3 = FFolder.Path() / "lame.mp3";
  ASSERT_TRUE(RunQuietly("lame --quiet -b 64 --add-id3v2 --tt Title --ta '\xC3\x84rtist' --tl Album --ty 1999 "
                  "--tc 'A comment' --tn 7/12 --tg Rock " + Quoted(wav) + " " + Quoted(mp3)));
  TID3v2Tag tag;
  ASSERT_EQ(0, tag.LoadFromFile(ToReaderPath(mp3)));
  EXPECT_EQ(3, tag.MajorVersion());
  EXPECT_EQ(TSourceFileType::sftMPEG, tag.SourceFileType());
  EXPECT_TRUE(tag.RemoveUnsynchronisationOnAllFrames());
  EXPECT_EQ(u"Title", tag.GetUnicodeText("TIT2", true));
  EXPECT_EQ(u"Ärtist", tag.GetUnicodeText("TPE1", true));
  EXPECT_EQ(u"Album", tag.GetUnicodeText("TALB", true));
  EXPECT_EQ(u"1999", tag.GetUnicodeText("TYER", true));
  EXPECT_EQ(u"7/12", tag.GetUnicodeText("TRCK", true));
  EXPECT_NE(std::u16string::npos, tag.GetUnicodeText("TCON", true).find(u"Rock"));
  std::string language;
  std::u16string description;
  EXPECT_EQ(u"A comment", tag.GetUnicodeComment("COMM", language, description));
  EXPECT_EQ(-1, tag.FrameExists("APIC"));
  EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(mp3)), tag.FileSize());
}

TEST_F(ID3v2Encoders, FfmpegVersion24TagKeepsTheCommentInAUserTextFrame) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (!HasTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
  const auto mp3 = FFolder.Path() / "ff.mp3";
  ASSERT_TRUE(RunQuietly("ffmpeg -hide_banner -loglevel error -f lavfi -i sine=d=1 -c:a libmp3lame -id3v2_version 4 "
                  "-metadata 'title=T\xC3\xAFtle' -metadata artist=A -metadata comment=Live -metadata date=2001 " +
                  Quoted(mp3)));
  TID3v2Tag tag;
  ASSERT_EQ(0, tag.LoadFromFile(ToReaderPath(mp3)));
  EXPECT_EQ(4, tag.MajorVersion());
  tag.RemoveUnsynchronisationOnAllFrames();
  // UTF-8 comes back as 8-bit characters for the caller to repair.
  EXPECT_EQ(u"TÃ¯tle", tag.GetUnicodeText("TIT2", true));
  EXPECT_EQ(u"Tïtle", tag.GetUnicodeText("TIT2", false));
  EXPECT_EQ(u"", tag.GetUnicodeText("TYER", true));
  EXPECT_EQ(u"2001", tag.GetUnicodeText("TDRC", true));
  std::string language;
  std::u16string description, text;
  EXPECT_EQ(u"", tag.GetUnicodeComment("COMM", language, description));
  EXPECT_GE(tag.FindTXXXByDescription(u"COMMENT", text), 0);
  EXPECT_EQ(u"Live", text);
}

TEST_F(ID3v2Encoders, MutagenTagsInsideWaveAndAiffFiles) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (!HasTool("ffmpeg") || !RunQuietly("/usr/bin/python3 -c 'import mutagen'")) GTEST_SKIP() << "ffmpeg or mutagen missing";
  const auto wav = Tone("m.wav");
  const auto aiff = FFolder.Path() / "m.aiff";
  ASSERT_TRUE(RunQuietly("ffmpeg -hide_banner -loglevel error -i " + Quoted(wav) + " " + Quoted(aiff)));
  const std::string script =
      "import sys\n"
      "from mutagen.wave import WAVE\n"
      "from mutagen.aiff import AIFF\n"
      "from mutagen.id3 import TIT2, APIC, COMM\n"
      "for cls, p, v in ((WAVE, sys.argv[1], 3), (AIFF, sys.argv[2], 4)):\n"
      "    f = cls(p); f.add_tags()\n"
      "    f.tags.add(TIT2(encoding=1, text='W\\u00e4ve'))\n"
      "    f.tags.add(COMM(encoding=3, lang='eng', desc='', text='\\u00dcnicode'))\n"
      "    f.tags.add(APIC(encoding=0, mime='image/png', type=3, desc='c', data=b'\\x89PNG' + b'\\xff\\xe0' * 100))\n"
      "    f.save(v2_version=v)\n";
  const auto scriptPath = FFolder.Write("tag.py", testsupport::AsciiBytes(script));
  ASSERT_TRUE(RunQuietly("/usr/bin/python3 " + Quoted(scriptPath) + " " + Quoted(wav) + " " + Quoted(aiff)));

  for (const auto& [path, type, version] : {std::tuple{wav, TSourceFileType::sftWAVE, 3},
                                            std::tuple{aiff, TSourceFileType::sftAIFF, 4}}) {
    TID3v2Tag tag;
    ASSERT_EQ(0, tag.LoadFromFile(ToReaderPath(path)));
    EXPECT_EQ(type, tag.SourceFileType());
    EXPECT_EQ(version, tag.MajorVersion());
    tag.RemoveUnsynchronisationOnAllFrames();
    EXPECT_EQ(u"Wäve", tag.GetUnicodeText("TIT2", true));
    std::string language;
    std::u16string description;
    EXPECT_EQ(u"Ünicode", tag.GetUnicodeComment("COMM", language, description));
    EXPECT_EQ("eng", language);
    ASSERT_GE(tag.FrameExists("APIC"), 0);
    EXPECT_EQ(4u + 200 + 14, tag.Frames()[static_cast<std::size_t>(tag.FrameExists("APIC"))].Stream.size());
  }
}

}  // namespace
}  // namespace velmaro::tags
