// The lookups through sort-key hashes find exactly the rows that comparing
// every row with the platform's collation finds, over texts chosen to tell
// the two apart.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

#include "library/SqlText.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "library/TNoCaseLookup.h"
#include "platform/Text.h"
#include "support/LibraryFixture.h"

using namespace velmaro;
using velmaro::test::TLibraryFixture;

namespace {

// Pairs that some platform's case-insensitive comparison calls equal, or
// nearly so: letter case outside ASCII, ß and ss, final sigma, dotted and
// dotless i, kana and width forms, ligatures, combining marks, soft
// hyphens, compatibility letters, ignorable and ill-formed units.
const std::vector<std::u16string>& TrickyTexts() {
  static const std::vector<std::u16string> texts = {
      u"", u" ", u"beyoncé", u"BEYONCÉ", u"Beyonce", u"beyonce\u0301", u"BEYONCE\u0301",
      u"straße", u"STRASSE", u"strasse", u"STRAẞE", u"Strasse",
      u"σίσυφος", u"ΣΊΣΥΦΟΣ", u"σίσυφοσ", u"ΣΊΣΥΦΟς",
      u"istanbul", u"ISTANBUL", u"İstanbul", u"ıstanbul", u"Istanbul", u"i\u0307stanbul",
      u"ゆず", u"ユズ", u"ﾕｽﾞ", u"ＡＢＢＡ", u"abba", u"ABBA", u"Abba", u"ａｂｂａ",
      u"ﬁle", u"file", u"FILE", u"Æsir", u"aesir", u"AESIR", u"æsir", u"œuvre", u"oeuvre",
      u"soft\u00ADhyphen", u"softhyphen", u"SOFTHYPHEN", u"\u00AD",
      u"\u212A", u"k", u"K", u"\u2126", u"Ω", u"ω", u"\u212B", u"Å", u"å",
      u"ǅ", u"ǆ", u"Ǆ", u"DŽ", u"dž",
      u"a\u200Bb", u"ab", u"AB", u"x\xD800y", u"X\xD800Y", u"x\xDC00", u"\U0001D400", u"\U0001D41A",
      u"a'b", u"A'B", u"50%", u"_Other",
  };
  return texts;
}

class NoCaseLookup : public ::testing::Test {
 protected:
  // The rowids, in order, of `where` with ?1 bound to the text and the
  // UTF-8 texts bound after it.
  std::vector<std::int64_t> Rowids(const std::u16string& where, const std::u16string& text,
                                   std::vector<std::string> utf8 = {}) {
    TDISQLite3UniDirQuery query(&Lib.Db());
    query.SetSQL(u"select rowid from mp3files where " + where + u" order by rowid");
    query.SetParams({text});
    query.SetUtf8Params(std::move(utf8));
    query.Open();
    std::vector<std::int64_t> rowids;
    for (; !query.Eof(); query.Next()) rowids.push_back(query.Fields(0).AsInteger());
    return rowids;
  }

  // What comparing every row finds.
  std::vector<std::int64_t> ByCollation(const std::u16string& column, const std::u16string& text) {
    return Rowids(column + u" = ?1 collate systemnocase", text);
  }

  // What the distinct values' lookup finds, narrowed as the folder views narrow.
  std::vector<std::int64_t> ByValues(const std::u16string& column, const std::u16string& text) {
    TValueCandidates candidates = ValueCandidates(Lib.Db(), column, text);
    EXPECT_TRUE(candidates.Usable);
    const std::size_t n = candidates.Values.size();
    return Rowids(column + InParameters(2, n) + u" and " + column + u" = ?1 collate systemnocase", text,
                  std::move(candidates.Values));
  }

  // What the rows' lookup finds, narrowed as the import narrows.
  std::vector<std::int64_t> ByRows(const std::u16string& column, const std::u16string& text) {
    std::u16string list;
    for (const std::int64_t rowid : RowCandidates(Lib.Db(), column, text).Rowids)
      list += (list.empty() ? u"" : u", ") + platform::IntToU16(rowid);
    return Rowids(u"rowid in (" + list + u") and " + column + u" = ?1 collate systemnocase", text);
  }

  // Every query text: the stored ones and their lower and upper cases.
  static std::vector<std::u16string> Queries() {
    std::vector<std::u16string> queries;
    for (const std::u16string& text : TrickyTexts()) {
      queries.push_back(text);
      queries.push_back(platform::LowerCase(text));
      queries.push_back(u"/music/" + text + u".mp3");
    }
    return queries;
  }

  void StoreTrickyRows() {
    // Paths alike but for ASCII letter case are one file to the library.
    int row = 0;
    for (const std::u16string& text : TrickyTexts()) {
      Lib.Db().Execute16(u"insert into mp3files (mf_path, mf_artist, mf_album) values (?1, ?2, ?2)",
                         {u"/row/" + platform::IntToU16(++row), text});
      Lib.Db().Execute16(u"insert or ignore into mp3files (mf_path) values (?1)", {u"/music/" + text + u".mp3"});
    }
    // Enough other values that the lookup reads the later ones of the
    // column's index in one pass rather than one seek each.
    Lib.Db().StartTransaction(TTransactionType::ttDeferred);
    for (int i = 0; i < 1200; ++i)
      Lib.Db().Execute16(u"insert into mp3files (mf_path, mf_artist, mf_album) values (?1, ?2, ?2)",
                         {u"/filler/" + platform::IntToU16(i), u"Filler " + platform::IntToU16(i)});
    Lib.Db().Commit();
    // Values no text equals: NULL, a blob, a number stored as text.
    Lib.Db().Execute("insert into mp3files (mf_path, mf_artist) values ('/n1', NULL), ('/n2', x'6B'), ('/n3', 5)");
  }

  TLibraryFixture Lib;
};

TEST_F(NoCaseLookup, SortKeysAreEqualExactlyWhenTheCollationCallsTextsEqual) {
  const auto& texts = TrickyTexts();
  for (const std::u16string& a : texts)
    for (const std::u16string& b : texts)
      EXPECT_EQ(platform::CompareNoCaseSystem(a, b) == 0,
                platform::NoCaseSortKeySystem(a) == platform::NoCaseSortKeySystem(b))
          << platform::Utf16ToUtf8(a) << " / " << platform::Utf16ToUtf8(b);
}

TEST_F(NoCaseLookup, LookupsFindTheRowsTheCollationFinds) {
  StoreTrickyRows();
  for (const std::u16string& text : Queries()) {
    const std::string shown = platform::Utf16ToUtf8(text);
    for (const std::u16string column : {u"mf_artist", u"mf_album"})
      EXPECT_EQ(ByValues(column, text), ByCollation(column, text)) << shown;
    EXPECT_EQ(ByRows(u"mf_path", text), ByCollation(u"mf_path", text)) << shown;
  }
}

TEST_F(NoCaseLookup, LookupsFollowWritesOfThisConnectionAndOthersAndRollbacks) {
  StoreTrickyRows();
  const auto same = [&](const std::u16string& text) {
    EXPECT_EQ(ByValues(u"mf_artist", text), ByCollation(u"mf_artist", text)) << platform::Utf16ToUtf8(text);
    EXPECT_EQ(ByRows(u"mf_path", text), ByCollation(u"mf_path", text)) << platform::Utf16ToUtf8(text);
  };
  same(u"new artist");

  // This connection adds a row.
  Lib.Db().Execute16(u"insert into mp3files (mf_path, mf_artist) values (?1, ?2)", {u"/a/NEW", u"NEW ARTIST"});
  same(u"new artist");
  same(u"/a/new");

  // Another program adds one.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(platform::Utf16ToUtf8(Lib.Db().DatabaseName()).c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "insert into mp3files (mf_path, mf_artist) values ('/b/Ünïque', 'Ünïque')", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  same(u"ÜNÏQUE");
  same(u"/B/ÜNÏQUE");

  // A delete looked up inside a transaction and then rolled back.
  const std::size_t stored = ByCollation(u"mf_artist", u"BEYONCÉ").size();
  ASSERT_GE(stored, 2u);
  Lib.Db().StartTransaction(TTransactionType::ttDeferred);
  Lib.Db().Execute16(u"delete from mp3files where mf_artist = ?1 collate systemnocase", {u"beyoncé"});
  same(u"beyoncé");
  Lib.Db().Rollback();
  same(u"BEYONCÉ");
  same(u"/music/BEYONCÉ.mp3");
  EXPECT_EQ(ByCollation(u"mf_artist", u"BEYONCÉ").size(), stored);
}

}  // namespace
