// The ID3v2 reader's answers: text frames in every encoding, comments,
// user-defined text frames and frame lookup.
#include <gtest/gtest.h>

#include "support/Id3v2Builder.h"
#include "support/SystemSupport.h"
#include "support/TagBytes.h"
#include "tags/id3v2/TID3v2Tag.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;

// A version 2.3 tag with one frame.
TID3v2Tag TagWith(std::string_view id, const TBytes& body, bool decodeAnsi = true) {
  TID3v2Tag tag;
  tag.SetDecodeANSIText(decodeAnsi);
  TMemoryStream stream(TId3v2Builder(3).Frame(id, body).Build());
  EXPECT_EQ(0, tag.LoadFromStream(stream));
  return tag;
}

std::u16string Text(const TBytes& body, bool native = true, bool decodeAnsi = true) {
  return TagWith("TIT2", body, decodeAnsi).GetUnicodeText("TIT2", native);
}

TEST(ID3v2Text, JoinsStringsWithCrLfAndTrims) {
  EXPECT_EQ(u"Rock\r\nPop", Text(JoinBytes({Latin1Text("Rock"), {0}, AsciiBytes("Pop")})));
  EXPECT_EQ(u"Rock\r\nPop", Text(JoinBytes({Latin1Text("Rock"), {0}, AsciiBytes("Pop"), {0}})));
  EXPECT_EQ(u"Rock", Text(JoinBytes({Latin1Text("Rock"), {0}})));
  EXPECT_EQ(u"Rock", Text(JoinBytes({Latin1Text("  Rock\t"), {0, 0}})));
  EXPECT_EQ(u"Rock\r\nPop", Text(JoinBytes({Utf16Text(u"Rock"), {0, 0}, {0xFF, 0xFE}, Utf16Units(u"Pop", false)})));
  EXPECT_EQ(u"", Text({}));
  EXPECT_EQ(u"", Text({0}));
  EXPECT_EQ(u"", Text(Latin1Text("   ")));
}

TEST(ID3v2Text, TrimTextCanBeSwitchedOff) {
  TID3v2Tag tag = TagWith("TIT2", Latin1Text(" A "));
  tag.SetTrimText(false);
  EXPECT_EQ(u" A ", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2Text, DecodesEveryEncoding) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(u"Grün", Text(Latin1Text("Gr\xFCn")));
  EXPECT_EQ(u"Grün €", Text(Utf16Text(u"Grün €")));
  EXPECT_EQ(u"Grün €", Text(Utf16Text(u"Grün €", true, true)));
  EXPECT_EQ(u"Grün €", Text(Utf16Text(u"Grün €", false)));  // no mark: little-endian
  EXPECT_EQ(u"Grün €", Text(Utf16BEText(u"Grün €")));
  EXPECT_EQ(u"Grün €", Text(Utf8Text("Grün €"), false));
  EXPECT_EQ(u"\U0001F3B5", Text(Utf16Text(u"\U0001F3B5")));
  // An odd last byte of UTF-16 text is no character.
  EXPECT_EQ(u"A", Text(JoinBytes({Utf16Text(u"A"), {'B'}})));
}

TEST(ID3v2Text, ByteOrderOfAMarkCarriesToTheNextStringWithoutOne) {
  const TBytes body = JoinBytes({Utf16Text(u"One", true, true), {0, 0}, Utf16Units(u"Two", true)});
  EXPECT_EQ(u"One\r\nTwo", Text(body));
}

TEST(ID3v2Text, NativeTextGivesUtf8BytesAs8BitCharacters) {
  EXPECT_EQ(u"GrÃ¼n", Text(Utf8Text("Grün"), true));
  EXPECT_EQ(u"Grün", Text(Utf8Text("Grün"), false));
}

TEST(ID3v2Text, AnEncodingByteAbove3IsTheFirstCharacter) {
  EXPECT_EQ(u"", Text({7}));
  EXPECT_EQ(u"Song", Text(JoinBytes({{7}, AsciiBytes("Song")})));
  TID3v2Tag tag = TagWith("TIT2", JoinBytes({{7}, AsciiBytes("Song")}));
  tag.SetTrimText(false);
  EXPECT_EQ(u"\x07Song", tag.GetUnicodeText("TIT2", true));
}

TEST(ID3v2Text, EightBitTextFollowsTheCodePageSwitch) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(u"\u20AC", Text(Latin1Text("\x80"), true, true));
  EXPECT_EQ(u"\u0080", Text(Latin1Text("\x80"), true, false));
  EXPECT_EQ(u"Ã©", Text(Utf8Text("é"), true, false));

  const bool saved = TID3v2Tag::DefaultDecodeANSIText();
  TID3v2Tag::SetDefaultDecodeANSIText(true);
  EXPECT_TRUE(TID3v2Tag().DecodeANSIText());
  TID3v2Tag::SetDefaultDecodeANSIText(false);
  EXPECT_FALSE(TID3v2Tag().DecodeANSIText());
  TID3v2Tag::SetDefaultDecodeANSIText(saved);
}

TEST(ID3v2Text, FirstFrameWithTheIdAnswersAndIdsAreExact) {
  TID3v2Tag tag;
  TMemoryStream stream(TId3v2Builder(3).Text("TIT2", "First").Text("TIT2", "Second").Text("TXT1", "x").Build());
  ASSERT_EQ(0, tag.LoadFromStream(stream));
  EXPECT_EQ(u"First", tag.GetUnicodeText("TIT2", true));
  EXPECT_EQ(0, tag.FrameExists("TIT2"));
  EXPECT_EQ(0, tag.FrameExists("TIT2 and more"));
  EXPECT_EQ(-1, tag.FrameExists("tit2"));
  EXPECT_EQ(-1, tag.FrameExists("TIT"));
  EXPECT_EQ(-1, tag.FrameExists("TXT"));  // compared with "TXT1" as "TXT" and a zero byte
  EXPECT_EQ(-1, tag.FrameExists(""));
  EXPECT_EQ(u"", tag.GetUnicodeText("TPE1", true));
}

TEST(ID3v2Comment, TakesTheFirstCommentWhateverItsDescription) {
  TID3v2Tag tag;
  TMemoryStream stream(TId3v2Builder(3)
                           .Frame("COMM", Latin1Comment("deu", "iTunNORM", " 0000 "))
                           .Frame("COMM", Latin1Comment("eng", "", "Plain"))
                           .Build());
  ASSERT_EQ(0, tag.LoadFromStream(stream));
  std::string language = "old";
  std::u16string description = u"old";
  EXPECT_EQ(u" 0000 ", tag.GetUnicodeComment("COMM", language, description));  // not trimmed
  EXPECT_EQ("deu", language);
  EXPECT_EQ(u"iTunNORM", description);

  EXPECT_EQ(u"", tag.GetUnicodeComment("USLT", language, description));
  EXPECT_EQ("   ", language);
  EXPECT_EQ(u"", description);
}

TEST(ID3v2Comment, DescriptionAndTextShareTheByteOrder) {
  // An empty description without a mark, as lame writes it, then a text
  // with one; and a big-endian mark carried to a text without one.
  const TBytes lame = JoinBytes({{1}, AsciiBytes("eng"), {0, 0}, {0xFF, 0xFE}, Utf16Units(u"Comment", false)});
  std::string language;
  std::u16string description;
  EXPECT_EQ(u"Comment", TagWith("COMM", lame).GetUnicodeComment("COMM", language, description));
  const TBytes carried =
      JoinBytes({{1}, AsciiBytes("eng"), {0xFE, 0xFF}, Utf16Units(u"d", true), {0, 0}, Utf16Units(u"Text", true)});
  EXPECT_EQ(u"Text", TagWith("COMM", carried).GetUnicodeComment("COMM", language, description));
  EXPECT_EQ(u"d", description);
  // A body that ends inside the language.
  EXPECT_EQ(u"", TagWith("COMM", {0, 'e'}).GetUnicodeComment("COMM", language, description));
  EXPECT_EQ("e  ", language);
}

TEST(ID3v2UserText, FindsTheValueByDescriptionIgnoringAsciiCase) {
  TID3v2Tag tag;
  TMemoryStream stream(TId3v2Builder(3)
                           .Frame("TXXX", JoinBytes({Latin1Text("replaygain"), {0}, AsciiBytes("-6 dB")}))
                           .Frame("TXXX", JoinBytes({Utf8Text("comment"), {0}, AsciiBytes(" Live\xC3\xA9 "), {0}, AsciiBytes("B")}))
                           .Build());
  ASSERT_EQ(0, tag.LoadFromStream(stream));
  std::u16string text = u"old";
  EXPECT_EQ(1, tag.FindTXXXByDescription(u"COMMENT", text));
  EXPECT_EQ(u"Liveé \r\nB", text);  // UTF-8 decoded as UTF-8, trimmed at the ends only
  EXPECT_EQ(-1, tag.FindTXXXByDescription(u"COMMENTS", text));
  EXPECT_EQ(u"", text);
  EXPECT_EQ(-1, tag.FindTXXXByDescription(u"cömment", text));
}

}  // namespace
}  // namespace velmaro::tags
