#include "platform/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/CollationLocale.h"
#include "support/SystemSupport.h"

using namespace velmaro::platform;

namespace {

// Sign of a memcmp of two sort keys.
int KeyOrder(const std::string& a, const std::string& b) {
  int result = a.compare(b);  // char_traits<char> compares as unsigned bytes
  return (result > 0) - (result < 0);
}

}  // namespace

TEST(Utf, RoundTripsAllPlanes) {
  const std::u16string text = u"a\u00e9\u20ac\U0001D11E\U0010FFFF";
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(HostText, IsUtf8OnPosixAndTheAnsiCodePageOnWindows) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(HostTextToUtf16(IsWindows ? "C:\\j\xFCrgen\\x.ini" : "/home/j\xC3\xBCrgen/x.ini"),
            IsWindows ? u"C:\\j\u00fcrgen\\x.ini" : u"/home/j\u00fcrgen/x.ini");
}

TEST(Utf, IllFormedInputIsReplacedNotRejected) {
  // Lone surrogates in UTF-16.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xDC00)}), "a\xEF\xBF\xBD");
  // Truncated sequence, stray continuation byte, encoded surrogate, overlong form.
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\x80x"), u"\uFFFDx");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80").find_first_not_of(u'\uFFFD'), std::u16string::npos);
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF").find_first_not_of(u'\uFFFD'), std::u16string::npos);
}

TEST(Utf, WellFormedness) {
  EXPECT_TRUE(IsWellFormedUtf8(""));
  EXPECT_TRUE(IsWellFormedUtf8("plain \xC3\xA9 \xF0\x9D\x84\x9E"));
  EXPECT_TRUE(IsWellFormedUtf8(std::string("a\0b", 3)));
  for (const char* bad : {"\xC3", "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "ab\xE2\x82"})
    EXPECT_FALSE(IsWellFormedUtf8(bad)) << bad;
}

TEST(Ansi, Windows1252Specifics) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(AnsiToUtf16("\x80"), u"\u20ac");
  EXPECT_EQ(AnsiToUtf16("\x9F\xE9"), u"\u0178\u00e9");
  EXPECT_EQ(Utf16ToAnsi(u"\u20ac\u00e9"), "\x80\xE9");
  // The bytes Windows-1252 leaves undefined map to the C1 controls, as on
  // Windows, so that every byte survives a round trip (mis-decoded UTF-8
  // such as "\xC3\x81" can then be repaired).
  EXPECT_EQ(AnsiToUtf16("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008d\u008f\u0090\u009d");
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
}

TEST(Ansi, UnmappableCharactersBecomeQuestionMarks) {
  SKIP_UNLESS_WINDOWS_1252();
  EXPECT_EQ(Utf16ToAnsi(u"a\u6f22b"), "a?b");
  // One character, one '?'; Windows gives one for each half of a pair.
  EXPECT_EQ(Utf16ToAnsi(u"\U0001D11E"), IsWindows ? "??" : "?");
  EXPECT_EQ(Utf16ToAnsi(std::u16string{u'x', char16_t(0xD800), u'y'}), "x?y");
  EXPECT_EQ(Utf16ToAnsi(u""), "");
}

TEST(Collation, IgnoresCaseKeepsAccents) {
  EXPECT_EQ(CompareNoCase(u"beyonc\u00e9", u"BEYONC\u00c9"), 0);
  EXPECT_EQ(CompareNoCaseSystem(u"beyonc\u00e9", u"BEYONC\u00c9"), 0);
  EXPECT_NE(CompareNoCase(u"beyonce", u"beyonc\u00e9"), 0);
  EXPECT_NE(CompareNoCase(u"e", u"\u00e9"), 0);
  EXPECT_EQ(CompareNoCase(u"", u""), 0);
  // Only case: kana type and width still tell names apart.
  EXPECT_NE(CompareNoCase(u"\u3086\u305a", u"\u30e6\u30ba"), 0);
  EXPECT_NE(CompareNoCaseSystem(u"\uff21\uff22\uff22\uff21", u"ABBA"), 0);
  EXPECT_NE(CompareNoCase(u"\uff71", u"\u30a2"), 0);
  EXPECT_EQ(CompareNoCase(u"\uff41\uff42\uff42\uff41", u"\uff21\uff22\uff22\uff21"), 0);
}

TEST(Collation, OrdersAlphabeticallyWithResultsMinusOneZeroOne) {
  EXPECT_EQ(CompareNoCase(u"apple", u"Banana"), -1);
  EXPECT_EQ(CompareNoCase(u"Banana", u"apple"), 1);
  EXPECT_EQ(CompareNoCase(u"a", u"ab"), -1);
  EXPECT_EQ(CompareNoCase(u"", u"a"), -1);
  EXPECT_EQ(CompareNoCase(u"\u00e9t\u00e9", u"ETE"), 1);
  EXPECT_EQ(CompareNoCaseSystem(u"zebra", u"Apple"), 1);
}

TEST(Collation, SortKeysAgreeWithCompare) {
  const std::vector<std::u16string> texts = {
      u"",         u"a",          u"A",       u"ab",          u"B",           u"e",
      u"\u00e9",   u"\u00c9",     u"stra\u00dfe", u"STRASSE", u"\u00c6ther",  u"aether",
      u"Beyonc\u00e9", u"BEYONC\u00c9", u"\U0001D11E", u"a\u0301",  u"\u00e1",     u"10",
      u"9",        u"\u3086\u305a", u"\u30e6\u30ba", u"\uff21\uff22", u"\uff41\uff42", u"AB"};
  for (const auto& a : texts) {
    for (const auto& b : texts) {
      SCOPED_TRACE(Utf16ToUtf8(a) + " | " + Utf16ToUtf8(b));
      EXPECT_EQ(KeyOrder(NoCaseSortKey(a), NoCaseSortKey(b)), CompareNoCase(a, b));
    }
  }
}

TEST(Collation, LocaleChosenFromEnvironment) {
  if constexpr (IsWindows) {
    GTEST_SKIP() << "the POSIX stand-in's choice of locale: Windows has its own user and system locales";
  } else {
  EXPECT_EQ(posix::CollationLocaleName("de_DE.UTF-8", "fr_FR", "en_US"), "de_DE");
  EXPECT_EQ(posix::CollationLocaleName("", "fr_FR.utf8", "en_US"), "fr_FR");
  EXPECT_EQ(posix::CollationLocaleName(nullptr, nullptr, "sv_SE.UTF-8@euro"), "sv_SE");
  EXPECT_EQ(posix::CollationLocaleName(nullptr, nullptr, "sr_RS@latin"), "sr_RS");
  EXPECT_EQ(posix::CollationLocaleName("C.UTF-8", "de_DE", nullptr), "");
  EXPECT_EQ(posix::CollationLocaleName("POSIX", nullptr, nullptr), "");
  EXPECT_EQ(posix::CollationLocaleName(nullptr, nullptr, nullptr), "");
  }
}

TEST(Collation, SafeFromManyThreads) {
  SKIP_UNLESS_WINDOWS_1252();
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 2000; ++i) {
        if (CompareNoCase(u"beyonc\u00e9", u"BEYONC\u00c9") != 0 || CompareNoCase(u"a", u"B") != -1 ||
            AnsiToUtf16("\x80") != u"\u20ac" || Utf16ToAnsi(u"\u00e9") != "\xE9")
          ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(TextHelpers, LowerCaseAndNumbers) {
  EXPECT_EQ(LowerCase(u"\u00c4BC"), u"\u00e4bc");
  EXPECT_EQ(LowerCase(u"\U00010400"), u"\U00010428");  // Deseret, outside the BMP
  // Root locale: U+0130 lower-cases to two units; Turkish to one. Windows
  // maps it one unit to one by its own tables (Wine keeps it as it is).
  std::u16string istanbul = LowerCase(u"\u0130STANBUL");
  if (!IsWindows) {
    EXPECT_EQ(istanbul.front(), u'i');
  }
  EXPECT_EQ(istanbul.substr(istanbul.size() - 7), u"stanbul");
  EXPECT_EQ(LowerCase(u""), u"");
  EXPECT_EQ(ToU16("DBPath"), u"DBPath");
  EXPECT_EQ(IntToU16(0), u"0");
  EXPECT_EQ(IntToU16(LLONG_MIN), u"-9223372036854775808");
}

TEST(TerminalWidth, AccentedLettersTakeOneColumnMarksNoneWideCharactersTwo) {
  EXPECT_EQ(TerminalWidth(u"Sigur Rós Ümlaut"), 16u);
  EXPECT_EQ(TerminalWidth(u"e\u0301"), 1u);        // a combining accent
  EXPECT_EQ(TerminalWidth(u"a\u200Bb"), 2u);       // a format character
  EXPECT_EQ(TerminalWidth(u"ゆずＡ漢"), 8u);       // kana, fullwidth, ideograph
  EXPECT_EQ(TerminalWidth(u"ｱ"), 1u);              // halfwidth katakana
  EXPECT_EQ(TerminalWidth(u"\U0001D11E"), 1u);     // one column for both units of a pair
  // Outside the BMP, measured by the code point, not by its high surrogate.
  EXPECT_EQ(TerminalWidth(u"\U0001F3B5\U0001F3B8\U0001F941\U0001F3B9\U0001F3BA"), 10u);  // emoji
  EXPECT_EQ(TerminalWidth(u"\U00020000\U0001D165\U0001D167"), 3u);  // an ideograph, a note, a combining mark
}
