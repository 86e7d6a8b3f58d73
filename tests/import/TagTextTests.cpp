// Cleaning of tag texts, names taken from file names, the time stamp.
#include <gtest/gtest.h>

#include "import/Mp3Fields.h"
#include "import/TagText.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/SystemSupport.h"

using namespace velmaro;
using namespace velmaro::import;

namespace {

std::u16string Swap(std::u16string text) {
  // The same text with '/' and '\' as this platform's delimiters.
  for (char16_t& c : text) {
    if (c == u'/')
      c = platform::PathDelim;
    else if (c == u'\\')
      c = platform::AltDelim;
  }
  return text;
}

TEST(TagText, CleaningMakesATextUsableAsAFolderName) {
  // The delimiter of virtual paths becomes the other one; a colon an underscore.
  EXPECT_EQ(CleanTagText(u"Say \"Hi\": A" + Swap(u"/") + u"B"), u"Say \"Hi\"_ A" + Swap(u"\\") + u"B");
  EXPECT_EQ(PrepareTagText(u"  Say \"Hi\": A  \t"), u"Say \"Hi\"_ A");
  EXPECT_EQ(PrepareTagText(u"   "), u"");
  EXPECT_EQ(Trim(u"\x01 x \x1f"), u"x");
}

TEST(TagText, Utf8ReadAsTheCodePageIsRepairedAndNothingElse) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(RepairUtf8Text(u"Gr\u00c3\u00bcn"), u"Gr\u00fcn");                // GrÃ¼n
  EXPECT_EQ(RepairUtf8Text(u"Gr\u00fcn"), u"Gr\u00fcn");                      // a real 8-bit text
  EXPECT_EQ(RepairUtf8Text(u"plain"), u"plain");
  EXPECT_EQ(RepairUtf8Text(u"Caf\u00c3\u00a9 \u0416"), u"Caf\u00c3\u00a9 \u0416");  // not 8-bit at all: kept whole
  EXPECT_EQ(RepairUtf8Text(u"\u00e2\u20ac\u0153x\u00e2\u20ac\u009d"), u"\u201cx\u201d");  // “x” as Windows-1252
}

TEST(TagText, NamesFromTheFileName) {
  const std::u16string folder = Swap(u"/music/");
  EXPECT_EQ(ArtistFromFileName(folder + u"Artist_Name - Song_Title.mp3"), u"Artist Name");
  EXPECT_EQ(TitleFromFileName(folder + u"Artist_Name - Song_Title.mp3"), u"Song Title");
  EXPECT_EQ(ArtistFromFileName(folder + u"01 - Artist - Title.flac"), u"01");
  EXPECT_EQ(TitleFromFileName(folder + u"01 - Artist - Title.flac"), u"Artist - Title");
  EXPECT_EQ(ArtistFromFileName(folder + u"Song.mp3"), u"");
  EXPECT_EQ(TitleFromFileName(folder + u"Song.mp3"), u"");
  EXPECT_EQ(TitleFromFileName(Swap(u"/a - b.dir/plain.mp3")), u"");
  // What a POSIX file name may hold is cleaned like a tag.
  EXPECT_EQ(ArtistFromFileName(folder + u"Quote's \"Band\" - x.mp3"), u"Quote's \"Band\"");
}

TEST(TagText, LocalSecondsCountFromTheLocalEpoch) {
  EXPECT_EQ(LocalUnixSecondsOf(1970, 1, 1, 0, 0, 0, 0), 0);
  EXPECT_EQ(LocalUnixSecondsOf(1970, 1, 2, 1, 0, 1, 999), 86400 + 3601);
  EXPECT_EQ(LocalUnixSecondsOf(1969, 12, 31, 23, 59, 59, 500), 0);  // half a second before: truncated
  EXPECT_EQ(LocalUnixSecondsOf(1969, 12, 31, 23, 59, 58, 0), -2);
  EXPECT_EQ(LocalUnixSecondsOf(2000, 3, 1, 0, 0, 0, 0), 951868800);
  const std::int64_t now = LocalUnixSeconds();
  EXPECT_GT(now, LocalUnixSecondsOf(2020, 1, 1, 0, 0, 0, 0));
}

TEST(TagText, PlayTimeRoundsUp) {
  EXPECT_EQ(CeilSecondsText(180.2), u"181");
  EXPECT_EQ(CeilSecondsText(180.0), u"180");
  EXPECT_EQ(CeilSecondsText(0.01), u"1");
  EXPECT_EQ(CeilSecondsText(0), u"0");
  EXPECT_EQ(CeilSecondsText(-5), u"0");
  EXPECT_EQ(CeilSecondsText(std::numeric_limits<double>::quiet_NaN()), u"0");
}

TEST(GenreCodes, ParenthesisedNumbersNameAGenre) {
  EXPECT_EQ(ResolveGenreCode(u"(17)"), u"Rock");
  EXPECT_EQ(ResolveGenreCode(u"(0)"), u"Blues");
  EXPECT_EQ(ResolveGenreCode(u" (13) "), u"Pop");
  EXPECT_EQ(ResolveGenreCode(u"(17)Rock"), u"Rock");
  EXPECT_EQ(ResolveGenreCode(u"(191)"), u"Psybient");
  EXPECT_EQ(ResolveGenreCode(u"Rock"), u"Rock");
  EXPECT_EQ(ResolveGenreCode(u"17"), u"17");
  EXPECT_EQ(ResolveGenreCode(u"(RX)"), u"(RX)");
  EXPECT_EQ(ResolveGenreCode(u"(999)"), u"(999)");
  EXPECT_EQ(ResolveGenreCode(u"(192)"), u"(192)");
  EXPECT_EQ(ResolveGenreCode(u"(-1)"), u"(-1)");
  EXPECT_EQ(ResolveGenreCode(u"(17"), u"(17");
  EXPECT_EQ(ResolveGenreCode(u"()"), u"()");
  EXPECT_EQ(ResolveGenreCode(u""), u"");
}

}  // namespace
