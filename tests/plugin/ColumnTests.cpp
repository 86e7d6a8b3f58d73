// Custom columns: the fields offered, the default view, the values of track
// entries in every view, one query per entry, and values cut to the buffer.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "plugin/FsPluginApi.h"
#include "plugin/TColumnProvider.h"
#include "plugin/TFolderTree.h"
#include "plugin/VirtualPath.h"
#include "support/LibraryFixture.h"

using namespace velmaro;
using velmaro::test::TLibraryFixture;
using velmaro::test::TStatementTrace;
using velmaro::test::TTrackRow;

namespace {

constexpr int Artist = 0, Title = 1, Album = 2, Track = 3, Length = 5, Bitrate = 6, SampleRate = 7, Rating = 8;
constexpr unsigned char Untouched = 0xEE;

struct TValue {
  int Type = 0;
  std::u16string Text;
  double Number = 0;
  bool operator==(const TValue&) const = default;
};

class Columns : public ::testing::Test {
 protected:
  Columns() : Tree(Lib.State, [this](const std::u16string& t) { Lib.Messages.push_back(t); }), Provider(Lib.State, Tree) {}

  long long Add(const std::u16string& path, const std::u16string& artist = u"Someone",
                const std::u16string& title = u"Intro") {
    return Lib.AddTrack({path, artist, title, u"First", u"Rock"});
  }
  void Set(long long id, const std::u16string& column, const std::u16string& value) {
    Lib.Db().Execute16(u"update mp3files set " + column + u"=" + value + u" where rowid=" + platform::IntToU16(id));
  }
  static std::u16string TrackEntry(const std::u16string& folder, long long id, const char16_t* title = u"Intro") {
    return VPath(folder) + title + u" *" + platform::IntToU16(id) + u".mp3";
  }

  // Asks one value with a buffer of maxlen bytes; Raw keeps the bytes.
  TValue Value(const std::u16string& entry, int field, int maxlen = 512) {
    Raw.assign(static_cast<std::size_t>(maxlen) + 64, Untouched);
    TValue value;
    value.Type = Provider.FsContentGetValueW(entry.c_str(), field, Raw.data(), maxlen);
    std::size_t offset = 0;
    if (value.Type == fsapi::ft_numeric_floating) {
      std::memcpy(&value.Number, Raw.data(), sizeof(double));
      offset = sizeof(double);
    } else if (value.Type != fsapi::ft_stringw) {
      return value;
    }
    for (std::size_t i = offset; i + 1 < Raw.size(); i += 2) {
      char16_t c;
      std::memcpy(&c, Raw.data() + i, 2);
      if (c == 0) break;
      value.Text += c;
    }
    return value;
  }
  TValue Text(std::u16string text) { return {fsapi::ft_stringw, std::move(text), 0}; }
  bool UntouchedFrom(std::size_t offset) const {
    return std::all_of(Raw.begin() + static_cast<std::ptrdiff_t>(offset), Raw.end(),
                       [](unsigned char b) { return b == Untouched; });
  }
  void List(std::u16string_view backslashed) {
    fsapi::TFindDataW data;
    const TFolderTree::THandle handle = Tree.FindFirst(VPath(backslashed), data);
    while (handle != TFolderTree::NoListing && Tree.FindNext(handle, data)) {
    }
    Tree.FindClose(handle);
  }

  TLibraryFixture Lib;
  TFolderTree Tree;
  TColumnProvider Provider;
  std::vector<unsigned char> Raw;
};

TEST(PlayTime, MinutesAndSecondsThenHours) {
  EXPECT_EQ(FormatPlayTime(185), u"03:05");
  EXPECT_EQ(FormatPlayTime(59), u"00:59");
  EXPECT_EQ(FormatPlayTime(0), u"00:00");
  EXPECT_EQ(FormatPlayTime(3599.9), u"59:59");
  EXPECT_EQ(FormatPlayTime(3600), u"01:00:00");
  EXPECT_EQ(FormatPlayTime(3725), u"01:02:05");
  EXPECT_EQ(FormatPlayTime(360000), u"100:00:00");
  // Nonsense stored values still give a time, not garbage.
  EXPECT_EQ(FormatPlayTime(-5), u"00:00");
  EXPECT_FALSE(FormatPlayTime(1e300).empty());
}

TEST_F(Columns, NineFieldsAreOfferedAndNoMore) {
  const char* names[] = {"Artist", "Title", "Album", "Track", "Genre", "Length", "Bitrate", "Sample Rate", "Rating"};
  for (int i = 0; i < ColumnFieldCount; ++i) {
    char name[64], units[64];
    std::memset(units, 'u', sizeof units);
    EXPECT_EQ(Provider.FsContentGetSupportedField(i, name, units, sizeof name),
              i == Length ? fsapi::ft_numeric_floating : fsapi::ft_stringw);
    EXPECT_STREQ(name, names[i]);
    EXPECT_STREQ(units, "");
  }
  char name[8] = "keep", units[8] = "keep";
  EXPECT_EQ(Provider.FsContentGetSupportedField(9, name, units, sizeof name), fsapi::ft_nomorefields);
  EXPECT_EQ(Provider.FsContentGetSupportedField(-1, name, units, sizeof name), fsapi::ft_nomorefields);
  EXPECT_STREQ(name, "keep");
  EXPECT_STREQ(units, "keep");
  EXPECT_EQ(Provider.FsContentGetSupportedField(7, name, units, 4), fsapi::ft_stringw);
  EXPECT_STREQ(name, "Sam");
}

TEST_F(Columns, TheDefaultViewShowsSixFields) {
  char16_t contents[512], headers[512], widths[512], options[512];
  EXPECT_EQ(Provider.FsContentGetDefaultViewW(contents, headers, widths, options, 512), platform::HostTrue);
  EXPECT_EQ(std::u16string(contents),
            u"[=<fs>.Artist]\\n[=<fs>.Title]\\n[=<fs>.Album]\\n[=<fs>.Genre]\\n[=<fs>.Length]\\n[=<fs>.Rating]");
  EXPECT_EQ(std::u16string(headers), u"Artist\\nTitle\\nAlbum\\nGenre\\nLength\\nRating");
  EXPECT_EQ(std::u16string(widths), u"80,30,80,80,80,80,-35,-25");
  EXPECT_EQ(std::u16string(options), u"-1|1");
  // Each text is cut to maxlen / 2 - 2 characters.
  EXPECT_EQ(Provider.FsContentGetDefaultViewW(contents, headers, widths, options, 20), platform::HostTrue);
  EXPECT_EQ(std::u16string(headers), u"Artist\\n");
  EXPECT_EQ(std::u16string(options), u"-1|1");
}

TEST_F(Columns, TrackEntriesOfEveryViewShowTheirRow) {
  const std::u16string real = ReplaceChar(u"/m/a.mp3", u'/', platform::DirDelim);
  const long long id = Lib.AddTrack({real, u"Someone", u"Intro", u"First", u"Rock", 1});
  Set(id, u"mf_trackno", u"'3'");
  Set(id, u"mf_length", u"'185'");
  Set(id, u"mf_bitrate", u"'320'");
  Set(id, u"mf_samplerate", u"'44100'");
  Set(id, u"mf_rating", u"'4'");
  const std::u16string asEntry = ReplaceChar(real, platform::DirDelim, platform::AltDelim);
  List(u"\\Latest");
  for (const std::u16string& entry :
       {VPath(u"\\Titles\\") + asEntry, VPath(u"\\Favorites\\") + asEntry, VPath(u"\\Latest\\(01) a.mp3"),
        TrackEntry(u"\\Artists\\Someone\\", id), TrackEntry(u"\\Albums\\Someone\\First\\", id),
        TrackEntry(u"\\Genres\\Rock\\Someone\\", id)}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(entry));
    EXPECT_EQ(Value(entry, Artist), Text(u"Someone"));
    EXPECT_EQ(Value(entry, Title), Text(u"Intro"));
    EXPECT_EQ(Value(entry, Album), Text(u"First"));
    EXPECT_EQ(Value(entry, Track), Text(u"3"));
    EXPECT_EQ(Value(entry, 4), Text(u"Rock"));
    EXPECT_EQ(Value(entry, Length), (TValue{fsapi::ft_numeric_floating, u"03:05", 185.0}));
    EXPECT_EQ(Value(entry, Bitrate), Text(u"320"));
    EXPECT_EQ(Value(entry, SampleRate), Text(u"44100"));
    EXPECT_EQ(Value(entry, Rating), Text(u"4"));
  }
}

TEST_F(Columns, FoldersAndEntriesWithoutARowAreEmpty) {
  const long long id = Add(u"/m/a.mp3");
  for (const char16_t* entry : {u"\\", u"\\Albums", u"\\Albums\\Someone", u"\\Albums\\Someone\\First",
                                u"\\Artists", u"\\Artists\\Someone", u"\\Genres\\Rock", u"\\Genres\\Rock\\Someone",
                                u"\\Settings", u"\\Latest\\(01) a.mp3", u"\\Titles\\"}) {
    EXPECT_EQ(Value(VPath(entry), Artist).Type, fsapi::ft_fieldempty) << platform::Utf16ToUtf8(entry);
    EXPECT_TRUE(UntouchedFrom(0));
  }
  EXPECT_EQ(Value(TrackEntry(u"\\Artists\\Someone\\", id), Artist), Text(u"Someone"));
  Lib.Db().Execute16(u"delete from mp3files");
  EXPECT_EQ(Value(TrackEntry(u"\\Artists\\Someone\\", id), Artist).Type, fsapi::ft_fieldempty);
  // A name resolved without the library finds no row once the host has
  // listed again (which forgets the cached row).
  Provider.CloseColumnQuery();
  EXPECT_EQ(Value(VPath(u"\\Titles\\") + ReplaceChar(u"/m/a.mp3", u'/', platform::AltDelim), Artist).Type,
            fsapi::ft_fieldempty);
  EXPECT_TRUE(UntouchedFrom(0));
  // Fields the host was never offered.
  Add(u"/m/b.mp3");
  const std::u16string b = VPath(u"\\Titles\\") + ReplaceChar(u"/m/b.mp3", u'/', platform::AltDelim);
  EXPECT_EQ(Value(b, 9).Type, fsapi::ft_fieldempty);
  EXPECT_EQ(Value(b, -1).Type, fsapi::ft_fieldempty);
}

TEST_F(Columns, IntegerColumnsShowTheirNumbers) {
  const long long id = Add(u"/m/a.m4a");
  const std::u16string entry = VPath(u"\\Artists\\Someone\\Intro *") + platform::IntToU16(id) + u".m4a";
  // Never written: nothing to show.
  EXPECT_EQ(Value(entry, Rating).Type, fsapi::ft_fieldempty);
  EXPECT_EQ(Value(entry, Length).Type, fsapi::ft_fieldempty);
  // Written empty, as the import writes a value it does not know.
  Set(id, u"mf_rating", u"''");
  Set(id, u"mf_length", u"''");
  Set(id, u"mf_bitrate", u"''");
  Set(id, u"mf_trackno", u"'7/12'");
  Provider.CloseColumnQuery();
  EXPECT_EQ(Value(entry, Rating), Text(u"0"));
  EXPECT_EQ(Value(entry, Length), (TValue{fsapi::ft_numeric_floating, u"00:00", 0.0}));
  EXPECT_EQ(Value(entry, Bitrate), Text(u"0"));
  // A track number with the count shows its number.
  EXPECT_EQ(Value(entry, Track), Text(u"7"));
  Set(id, u"mf_trackno", u"'side A'");
  Provider.CloseColumnQuery();
  EXPECT_EQ(Value(entry, Track), Text(u"0"));
  // An empty text column shows nothing.
  Set(id, u"mf_album", u"''");
  Provider.CloseColumnQuery();
  EXPECT_EQ(Value(entry, Album).Type, fsapi::ft_fieldempty);
}

TEST_F(Columns, AllFieldsOfOneEntryCostOneQuery) {
  const long long a = Add(u"/m/a.mp3", u"Someone", u"Intro");
  const long long b = Add(u"/m/b.mp3", u"Someone", u"Outro");
  const std::u16string entryA = TrackEntry(u"\\Artists\\Someone\\", a);
  const std::u16string entryB = TrackEntry(u"\\Artists\\Someone\\", b, u"Outro");
  TStatementTrace trace(Lib.Db());
  EXPECT_EQ(Value(entryA, Artist), Text(u"Someone"));
  EXPECT_EQ(Value(entryA, Title), Text(u"Intro"));
  EXPECT_EQ(Value(entryA, Album), Text(u"First"));
  EXPECT_EQ(trace.Count("select *, cast(mf_trackno as text)"), 1);
  EXPECT_EQ(Value(entryB, Title), Text(u"Outro"));
  EXPECT_EQ(Value(entryB, Artist), Text(u"Someone"));
  EXPECT_EQ(trace.Count("select *, cast(mf_trackno as text)"), 2);
  EXPECT_EQ(Provider.ColumnQueryPath(), u"/m/b.mp3");

  // After CloseColumnQuery the same entry is read again, with its new values.
  Set(b, u"mf_title", u"'Renamed'");
  Provider.CloseColumnQuery();
  EXPECT_EQ(Value(entryB, Title), Text(u"Renamed"));
  EXPECT_EQ(trace.Count("select *, cast(mf_trackno as text)"), 3);
}

TEST_F(Columns, AskingValuesLeavesTheLibraryFreeForOtherWriters) {
  const long long id = Add(u"/m/a.mp3");
  EXPECT_EQ(Value(TrackEntry(u"\\Artists\\Someone\\", id), Artist), Text(u"Someone"));
  // Another process writes while the host still shows the columns.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Lib.Folder.Path("VORNAK.DB").c_str(), &other), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(other, "insert into mp3files (mf_path) values ('/m/other.mp3')", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
}

TEST_F(Columns, PathsWithDoubleQuotesFindTheirRow) {
  const std::u16string real = ReplaceChar(u"/m/say \"hi\".mp3", u'/', platform::DirDelim);
  Lib.AddTrack({real, u"Quoted"});
  const std::u16string entry = VPath(u"\\Titles\\") + ReplaceChar(real, platform::DirDelim, platform::AltDelim);
  EXPECT_EQ(Value(entry, Artist), Text(u"Quoted"));
}

TEST_F(Columns, ValuesAreCutToTheBuffer) {
  const long long id = Add(u"/m/a.mp3", u"Abcdefghij");
  Set(id, u"mf_length", u"'185'");
  Set(id, u"mf_title", u"'ab\U0001F3B5'");
  const std::u16string entry = TrackEntry(u"\\Artists\\Someone\\", id, u"x");
  // 10 bytes: four characters and the zero, and not a byte more.
  EXPECT_EQ(Value(entry, Artist, 10), Text(u"Abcd"));
  EXPECT_TRUE(UntouchedFrom(10));
  // Length: the number, then as much of its text as fits.
  EXPECT_EQ(Value(entry, Length, 14), (TValue{fsapi::ft_numeric_floating, u"03", 185.0}));
  EXPECT_TRUE(UntouchedFrom(14));
  EXPECT_EQ(Value(entry, Length, 9).Type, fsapi::ft_fieldempty);
  EXPECT_TRUE(UntouchedFrom(0));
  // A character of two units is never cut in half.
  EXPECT_EQ(Value(entry, Title, 8), Text(u"ab"));
  EXPECT_EQ(Value(entry, Title, 10), Text(u"ab\U0001F3B5"));
  EXPECT_EQ(Value(entry, Artist, 1).Type, fsapi::ft_fieldempty);
}

TEST_F(Columns, ALibraryThatIsNotOpenShowsNothing) {
  Add(u"/m/a.mp3");
  Lib.State.DatabaseReady = false;
  EXPECT_EQ(Value(VPath(u"\\Titles\\") + ReplaceChar(u"/m/a.mp3", u'/', platform::AltDelim), Artist).Type,
            fsapi::ft_fieldempty);
  EXPECT_TRUE(UntouchedFrom(0));
}

}  // namespace
