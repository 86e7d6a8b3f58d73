// TOpusTag and TOGGStream: the comment header read page by page, comment
// names and values, the picture comment, damaged and hostile headers,
// ID3v2 prefixes, and files written by real tools.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/OggBuilder.h"
#include "support/SystemSupport.h"
#include "support/TCountingStream.h"
#include "support/TestFolder.h"
#include "tags/common/TStream.h"
#include "tags/ogg/TOGGStream.h"
#include "tags/ogg/TOpusTag.h"

namespace velmaro::tags {
namespace {

using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

struct Loaded {
  int result;
  TOpusTag tag;
};

Loaded Load(const TBytes& bytes) {
  Loaded l{-1, {}};
  TMemoryStream stream(bytes);
  l.result = l.tag.LoadFromStream(stream);
  return l;
}

Loaded LoadComments(std::vector<TBytes> comments, std::size_t headerPageData = 255 * 255) {
  return Load(VorbisFile({.comments = std::move(comments), .headerPageData = headerPageData}));
}

// The bytes of a file whose second page starts with the given packet data.
TBytes WithCommentPacket(const TBytes& packet) {
  std::uint32_t page = 0;
  TBytes file = OggPackets({VorbisIdentification(2, 44100, 128000)}, page, 0, 255 * 255, 2);
  AppendBytes(file, OggPackets({packet}, page, 0));
  return file;
}

// ---------------------------------------------------------------------------
// Comments.

TEST(OggTag, ReadsTheCommentsTheImportAsksFor) {
  const Loaded l = LoadComments({OggComment("ARTIST=Band"), OggComment("TITLE=Song"), OggComment("ALBUM=Record"),
                                 OggComment("YEAR=1999"), OggComment("GENRE=Jazz"), OggComment("COMMENT=nice"),
                                 OggComment("TRACKNUMBER=7/12")});
  ASSERT_EQ(l.result, TOpusTag::ResultOk);
  EXPECT_TRUE(l.tag.Loaded());
  EXPECT_EQ(l.tag.Format(), TOggFormat::ofVorbis);
  EXPECT_EQ(l.tag.VendorString(), u"Velmaro test encoder");
  EXPECT_EQ(l.tag.CommentCount(), 7);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ARTIST"), u"Band");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"Song");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ALBUM"), u"Record");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"YEAR"), u"1999");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"GENRE"), u"Jazz");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"COMMENT"), u"nice");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TRACKNUMBER"), u"7/12");
  EXPECT_EQ(l.tag.FrameExists(u"METADATA_BLOCK_PICTURE"), -1);
}

TEST(OggTag, DateIsNotYear) {
  const Loaded l = LoadComments({OggComment("DATE=2004")});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"YEAR"), u"");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"DATE"), u"2004");
}

TEST(OggTag, NamesAreUpperCasedAndMatchedIgnoringCase) {
  const Loaded l = LoadComments({OggComment("artist=first"), OggComment("Artist=second"), OggComment("tItLe=x")});
  EXPECT_EQ(l.tag.Frames()[0].Name, u"ARTIST");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"Artist"), u"first");  // the first of that name
  EXPECT_EQ(l.tag.FrameExists(u"title"), 2);
}

TEST(OggTag, TheValueIsEverythingAfterTheFirstEqualsSign) {
  const Loaded l = LoadComments({OggComment("TITLE=a=b=c"), OggComment("EMPTY="), OggComment("NOEQUALS"), OggComment("=nameless")});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"a=b=c");
  EXPECT_EQ(l.tag.FrameExists(u"EMPTY"), 1);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"EMPTY"), u"");
  EXPECT_EQ(l.tag.Count(), 3);  // the comment without "=" makes no frame
  EXPECT_EQ(l.tag.Frames()[2].Name, u"");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u""), u"nameless");
}

TEST(OggTag, ValuesAreUtf8AndNamesMayHoldAnyCharacter) {
  const Loaded l = LoadComments({OggComment("ARTIST=Grün"), OggComment("ÄRTIST=Band"), OggComment("BAD=\xC3(")});
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ARTIST"), u"Grün");
  // The value starts right after the "=", also behind a two-byte letter.
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ÄRTIST"), u"Band");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"äRTIST"), u"");  // only ASCII letters change case
  EXPECT_FALSE(l.tag.ReadFrameByNameAsText(u"BAD").empty());  // malformed UTF-8 is replaced, not fatal
}

TEST(OggTag, APictureCommentIsFoundWhateverItsCase) {
  const Loaded upper = LoadComments({OggComment("TITLE=x"), PictureComment(500)});
  EXPECT_EQ(upper.tag.FrameExists(u"METADATA_BLOCK_PICTURE"), 1);
  EXPECT_EQ(upper.tag.Frames()[1].Format, TOpusTagFrameFormat::otffCoverArt);
  const Loaded lower = LoadComments({PictureComment(500, "metadata_block_picture")});
  EXPECT_EQ(lower.tag.FrameExists(u"METADATA_BLOCK_PICTURE"), 0);
  // Its content is never decoded: any value counts.
  const Loaded junk = LoadComments({OggComment("METADATA_BLOCK_PICTURE=not base64 at all")});
  EXPECT_EQ(junk.tag.FrameExists(u"METADATA_BLOCK_PICTURE"), 0);
}

// ---------------------------------------------------------------------------
// Headers over several pages.

TEST(OggTag, ACommentHeaderOverSeveralPagesIsAssembledPageByPage) {
  std::vector<TBytes> comments;
  for (int i = 0; i < 40; ++i) comments.push_back(OggComment("NAME" + std::to_string(i) + "=value number " + std::to_string(i)));
  comments.push_back(OggComment("TITLE=last"));
  const Loaded l = LoadComments(comments, 255);  // one segment per page
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Count(), 41);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"NAME17"), u"value number 17");
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"last");
}

TEST(OggTag, ACommentLongerThanAPageWorks) {
  const TBytes picture = PictureComment(200000);  // about 267 KB of base64, five pages
  const Loaded l = LoadComments({OggComment("TITLE=Song"), picture, OggComment("ARTIST=after")});
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.FrameExists(u"METADATA_BLOCK_PICTURE"), 1);
  EXPECT_EQ(l.tag.Frames()[1].Stream.size(), picture.size() - std::string("METADATA_BLOCK_PICTURE=").size());
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"ARTIST"), u"after");
}

TEST(OggTag, AVendorStringThatCrossesAPageIsStillRead) {
  // 255-byte pages with a 300-byte vendor string: its end and the count
  // lie on the following pages.
  const std::string vendor(300, 'v');
  const Loaded l = Load(VorbisFile({.vendor = vendor, .comments = {OggComment("TITLE=x")}, .headerPageData = 255}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.VendorString().size(), 300u);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"x");
}

// ---------------------------------------------------------------------------
// Damaged and hostile headers.

TEST(OggTag, ATruncatedCommentHeaderFailsWithNothingLoaded) {
  const TBytes whole = VorbisFile({.comments = {OggComment("TITLE=Song"), PictureComment(100000)}});
  // Cut in the middle of the picture comment's pages.
  const Loaded l = Load(TBytes(whole.begin(), whole.begin() + 60000));
  EXPECT_EQ(l.result, TOpusTag::ResultNoTag);
  EXPECT_FALSE(l.tag.Loaded());
  EXPECT_EQ(l.tag.Count(), 0);
  EXPECT_EQ(l.tag.FileSize(), 60000);
}

TEST(OggTag, HostileLengthsFailWithoutReadingTheRestOfTheFile) {
  auto packet = [](const TBytes& body) { return JoinBytes({{0x03}, AsciiBytes("vorbis"), body}); };
  const TBytes audio(500000, 0x11);
  for (const TBytes& body : {
           JoinBytes({LE32(0xFFFFFFFF)}),                                         // negative vendor length
           JoinBytes({LE32(0x7FFFFFF0)}),                                         // vendor beyond the file
           JoinBytes({LE32(1), AsciiBytes("v"), LE32(1), LE32(0xFFFFFFF0)}),      // comment beyond the file
       }) {
    TBytes file = WithCommentPacket(packet(body));
    AppendBytes(file, audio);
    TCountingStream stream(file);
    TOpusTag tag;
    EXPECT_EQ(tag.LoadFromStream(stream), TOpusTag::ResultNoTag);
    EXPECT_LT(stream.BytesRead, 10000u);
  }
}

TEST(OggTag, ACommentCountBeyondTheCommentsEndsAtTheLastPage) {
  // Two billion comments announced, one present: the following pages are
  // read as comments until the data ends, then the load fails.
  const TBytes packet = JoinBytes({{0x03}, AsciiBytes("vorbis"), LE32(1), AsciiBytes("v"), LE32(0x7FFFFFFF),
                                   LE32(7), AsciiBytes("TITLE=x")});
  std::uint32_t page = 0;
  TBytes file = OggPackets({VorbisIdentification(2, 44100, 128000)}, page, 0, 255 * 255, 2);
  AppendBytes(file, OggPackets({packet}, page, 0));
  for (int i = 0; i < 20; ++i) AppendBytes(file, OggPackets({TBytes(100, 0)}, page, 0));  // zero-length comments
  const Loaded l = Load(file);
  EXPECT_EQ(l.result, TOpusTag::ResultNoTag);
}

TEST(OggTag, ANegativeCommentCountMeansNoComments) {
  const TBytes packet = JoinBytes({{0x03}, AsciiBytes("vorbis"), LE32(1), AsciiBytes("v"), LE32(0x80000000)});
  const Loaded l = Load(WithCommentPacket(packet));
  EXPECT_EQ(l.result, TOpusTag::ResultOk);
  EXPECT_EQ(l.tag.Count(), 0);
}

TEST(OggTag, NoCommentHeaderOnTheSecondPageFails) {
  EXPECT_EQ(Load(WithCommentPacket(VorbisSetup())).result, TOpusTag::ResultNoTag);
  // Only the identification page.
  std::uint32_t page = 0;
  EXPECT_EQ(Load(OggPackets({VorbisIdentification(2, 44100, 0)}, page, 0, 255 * 255, 2)).result, TOpusTag::ResultNoTag);
  EXPECT_EQ(Load({}).result, TOpusTag::ResultNoTag);
  EXPECT_EQ(Load(AsciiBytes("not an ogg file at all, just text")).result, TOpusTag::ResultNoTag);
}

// ---------------------------------------------------------------------------
// Other stream kinds, prefixes, files.

TEST(OggTag, OpusCommentsAreReadToo) {
  const Loaded l = Load(OpusFile(2, {OggComment("TITLE=Opus song")}));
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.tag.Format(), TOggFormat::ofOpus);
  EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"Opus song");
}

TEST(OggTag, AnID3v2PrefixIsSkippedWithOrWithoutFooter) {
  for (const bool footer : {false, true}) {
    SCOPED_TRACE(footer);
    const Loaded l = Load(JoinBytes({ID3v2Prefix(700, footer), VorbisFile({.comments = {OggComment("TITLE=x")}})}));
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.tag.ReadFrameByNameAsText(u"TITLE"), u"x");
  }
}

TEST(OggTag, LoadFromStreamReadsFromTheStartAndPutsThePositionBack) {
  TMemoryStream stream(VorbisFile({.comments = {OggComment("TITLE=x")}}));
  stream.SeekTo(1234);
  TOpusTag tag;
  ASSERT_EQ(tag.LoadFromStream(stream), 0);
  EXPECT_EQ(stream.Position(), 1234);
  EXPECT_EQ(tag.FileSize(), stream.Size());
  EXPECT_FALSE(tag.FirstOGGPage().empty());
}

TEST(OggTag, MissingFileGives4) {
  TOpusTag tag;
  EXPECT_EQ(tag.LoadFromFile(u"/nonexistent/velmaro/none.ogg"), TOpusTag::ResultFileError);
  EXPECT_FALSE(tag.Loaded());
}

TEST(OggTag, ReadsCommentsAndPicturesWrittenByOggencAndMutagen) {
  SKIP_WITHOUT_LINUX_ENCODERS();
  if (std::system("command -v oggenc >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "oggenc or ffmpeg is not installed";
  TTestFolder folder;
  const std::string wav = (folder.Path() / "tone.wav").string();
  const std::string ogg = (folder.Path() / "tone.ogg").string();
  ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i sine=duration=2 '" + wav + "' && oggenc -Q " +
                         "-c ARTIST=Band -c title=Song -c DATE=2004 -o '" + ogg + "' '" + wav + "'")
                            .c_str()),
            0);
  TOpusTag tag;
  ASSERT_EQ(tag.LoadFromFile(ToReaderPath(folder.Path() / "tone.ogg")), 0);
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ARTIST"), u"Band");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Song");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"YEAR"), u"");

  if (std::system("/usr/bin/python3 -c 'import mutagen' >/dev/null 2>&1") != 0) return;
  // A 150 KB picture: mutagen spreads the comment header over pages.
  const std::string script =
      "import base64\n"
      "from mutagen.oggvorbis import OggVorbis\n"
      "from mutagen.flac import Picture\n"
      "p = Picture(); p.type = 3; p.mime = 'image/png'; p.data = bytes(range(256)) * 600\n"
      "f = OggVorbis('" + ogg + "')\n"
      "f['metadata_block_picture'] = [base64.b64encode(p.write()).decode('ascii')]\n"
      "f['album'] = ['Record']\n"
      "f.save()\n";
  const auto scriptPath = folder.Write("tag.py", AsciiBytes(script));
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + scriptPath.string() + "'").c_str()), 0);
  TOpusTag tagged;
  ASSERT_EQ(tagged.LoadFromFile(ToReaderPath(folder.Path() / "tone.ogg")), 0);
  EXPECT_GE(tagged.FrameExists(u"METADATA_BLOCK_PICTURE"), 0);
  EXPECT_EQ(tagged.ReadFrameByNameAsText(u"ALBUM"), u"Record");
  EXPECT_EQ(tagged.ReadFrameByNameAsText(u"ARTIST"), u"Band");
}

// ---------------------------------------------------------------------------
// The page reader.

TEST(OggPages, HandsOutPageDataAndStopsAtTheEndOrAtNonPages) {
  std::uint32_t number = 0;
  TBytes bytes = OggPackets({TBytes(300, 1)}, number, 0);                   // one page, 300 bytes
  AppendBytes(bytes, OggPage({.pageNumber = 9, .lacing = {0, 0}, .data = {}}));  // lacing adds up to 0
  AppendBytes(bytes, OggPackets({TBytes(10, 2)}, number, 0));
  AppendBytes(bytes, AsciiBytes("JUNKJUNKJUNKJUNKJUNKJUNKJUNKJUNK"));
  TMemoryStream stream(bytes);
  TOGGStream pages(stream);
  EXPECT_TRUE(pages.FirstOGGHeader().HasOggID());
  EXPECT_EQ(pages.FirstOGGHeader().Segments, 2);
  EXPECT_EQ(stream.Position(), 0);

  std::vector<std::uint8_t> data;
  EXPECT_TRUE(pages.GetNextPageData(data));
  EXPECT_EQ(data.size(), 300u);
  EXPECT_TRUE(pages.GetNextPageData(data));
  EXPECT_EQ(data.size(), 300u);
  EXPECT_TRUE(pages.GetNextPageData(data));
  EXPECT_EQ(data.size(), 310u);
  const std::int64_t before = stream.Position();
  EXPECT_FALSE(pages.GetNextPageData(data));  // junk is no page
  EXPECT_EQ(data.size(), 310u);
  EXPECT_EQ(stream.Position(), before);
  EXPECT_EQ(pages.LastPageQueried(), 3);
}

TEST(OggPages, ATruncatedPageAppendsNothing) {
  std::uint32_t number = 0;
  const TBytes page = OggPackets({TBytes(1000, 1)}, number, 0);
  TMemoryStream stream(TBytes(page.begin(), page.end() - 1));
  TOGGStream pages(stream);
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(pages.GetNextPageData(data));
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(pages.LastPageQueried(), 0);
}

}  // namespace
}  // namespace velmaro::tags
