// The virtual folder tree on a library filled with SQL.
#include <gtest/gtest.h>

#include "platform/System.h"
#include "platform/Text.h"
#include "plugin/TFolderTree.h"
#include "plugin/VirtualPath.h"
#include "support/LibraryFixture.h"

using namespace velmaro;
using velmaro::test::TLibraryFixture;
using velmaro::test::TTrackRow;

namespace {

class FolderTree : public ::testing::Test {
 protected:
  FolderTree() : Tree(Lib.State, [this](const std::u16string& t) { Lib.Messages.push_back(t); }) {}

  // Lists a folder given with backslashes; nullopt when the listing fails.
  std::optional<std::vector<std::u16string>> List(std::u16string_view backslashed) {
    fsapi::TFindDataW data;
    platform::SetLastError(0);
    const TFolderTree::THandle handle = Tree.FindFirst(VPath(backslashed), data);
    if (handle == TFolderTree::NoListing) {
      LastError = platform::GetLastError();
      return std::nullopt;
    }
    std::vector<std::u16string> names{data.cFileName};
    while (Tree.FindNext(handle, data)) names.emplace_back(data.cFileName);
    Tree.FindClose(handle);
    return names;
  }
  std::u16string Resolve(std::u16string_view backslashed) { return Tree.ResolveVirtualPath(VPath(backslashed)); }
  // A real path in the platform's own form, written with slashes.
  static std::u16string Real(std::u16string_view slashed) { return ReplaceChar(slashed, u'/', platform::DirDelim); }
  // The name a path entry of that real path gets.
  static std::u16string PathEntry(std::u16string_view slashed) {
    return ReplaceChar(Real(slashed), platform::DirDelim, platform::AltDelim);
  }

  TLibraryFixture Lib;
  TFolderTree Tree;
  std::uint32_t LastError = 0;
};

using Names = std::vector<std::u16string>;

TEST_F(FolderTree, TheRootListsItsEightEntriesAndStartsAgain) {
  const Names root = {u"Albums", u"Artists", u"Favorites", u"Genres", u"Latest", u"Titles", u"Years", u"Settings"};
  EXPECT_EQ(List(u"\\"), root);
  EXPECT_EQ(List(u"\\"), root);

  fsapi::TFindDataW data;
  const TFolderTree::THandle handle = Tree.FindFirst(VPath(u"\\"), data);
  ASSERT_NE(handle, TFolderTree::NoListing);
  EXPECT_EQ(data.dwFileAttributes, fsapi::FileAttributeDirectory);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, 0xFFFFFFFFu);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(Tree.FindNext(handle, data));
  EXPECT_EQ(std::u16string(data.cFileName), u"Settings");
  EXPECT_EQ(data.dwFileAttributes, fsapi::FileAttributeNormal);
  EXPECT_FALSE(Tree.FindNext(handle, data));
}

TEST_F(FolderTree, ListingsInterleavedOnOneThreadKeepTheirOwnPlace) {
  Lib.AddTrack({Real(u"/m/a.mp3"), u"Abba", u"One", u"", u"Pop"});
  Lib.AddTrack({Real(u"/m/b.mp3"), u"Beck", u"Two", u"", u"Rock"});
  fsapi::TFindDataW data;
  // An abandoned root listing leaves the next one whole.
  const TFolderTree::THandle abandoned = Tree.FindFirst(VPath(u"\\"), data);
  ASSERT_TRUE(Tree.FindNext(abandoned, data));
  const TFolderTree::THandle root = Tree.FindFirst(VPath(u"\\"), data);
  EXPECT_EQ(std::u16string(data.cFileName), u"Albums");
  const TFolderTree::THandle artists = Tree.FindFirst(VPath(u"\\Artists"), data);
  EXPECT_EQ(std::u16string(data.cFileName), u"Abba");
  const TFolderTree::THandle latest = Tree.FindFirst(VPath(u"\\Latest"), data);
  EXPECT_EQ(std::u16string(data.cFileName), u"(01) b.mp3");
  ASSERT_TRUE(Tree.FindNext(root, data));
  EXPECT_EQ(std::u16string(data.cFileName), u"Artists");
  ASSERT_TRUE(Tree.FindNext(artists, data));
  EXPECT_EQ(std::u16string(data.cFileName), u"Beck");
  ASSERT_TRUE(Tree.FindNext(latest, data));
  EXPECT_EQ(std::u16string(data.cFileName), u"(02) a.mp3");
  EXPECT_FALSE(Tree.FindNext(artists, data));
  for (TFolderTree::THandle handle : {abandoned, root, artists, latest}) Tree.FindClose(handle);
  EXPECT_EQ(Tree.OpenListings(), 0u);
  EXPECT_FALSE(Tree.FindNext(root, data));  // closed: no listing behind it
}

TEST_F(FolderTree, EmptyFoldersFailWithNoMoreFiles) {
  EXPECT_EQ(List(u"\\Titles"), std::nullopt);
  EXPECT_EQ(LastError, platform::ErrorNoMoreFiles);
  Lib.AddTrack({u"/m/a.mp3"});
  EXPECT_EQ(List(u"\\Years"), std::nullopt);
  EXPECT_EQ(LastError, platform::ErrorNoMoreFiles);
  EXPECT_EQ(List(u"\\Settings"), std::nullopt);
  EXPECT_EQ(LastError, platform::ErrorNoMoreFiles);
  // Too deep below Albums: no listing, and the last error left alone.
  EXPECT_EQ(List(u"\\Albums\\a\\b\\c"), std::nullopt);
  EXPECT_EQ(LastError, 0u);
}

TEST_F(FolderTree, TitlesAndFavoritesNameTracksByTheirPaths) {
  Lib.AddTrack({Real(u"/m/a.mp3")});
  Lib.AddTrack({Real(u"/m/b.mp3"), u"", u"", u"", u"", 1});
  EXPECT_EQ(List(u"\\Titles"), (Names{PathEntry(u"/m/a.mp3"), PathEntry(u"/m/b.mp3")}));
  EXPECT_EQ(List(u"\\Favorites"), (Names{PathEntry(u"/m/b.mp3")}));
  // Resolved without the library.
  Lib.State.LibraryDatabase->Close();
  EXPECT_EQ(Resolve(u"\\Titles\\" + PathEntry(u"/m/a.mp3")), Real(u"/m/a.mp3"));
  EXPECT_EQ(Resolve(u"\\Favorites\\" + PathEntry(u"/m/b.mp3")), Real(u"/m/b.mp3"));
}

TEST_F(FolderTree, ATrailingDelimiterNamesTheSameFolder) {
  Lib.AddTrack({Real(u"/m/a.mp3"), u"Abba", u"Song"});
  EXPECT_EQ(List(u"\\Titles\\"), List(u"\\Titles"));
  EXPECT_EQ(List(u"\\Artists\\Abba\\"), List(u"\\Artists\\Abba"));
  EXPECT_EQ(List(u"\\Albums\\"), (Names{u"Abba"}));
}

TEST_F(FolderTree, ArtistFoldersMergeLetterCaseAndSortByTheLocale) {
  Lib.AddTrack({u"/m/1.mp3", u"abba"});
  Lib.AddTrack({u"/m/2.mp3", u"ABBA"});
  Lib.AddTrack({u"/m/3.mp3", u"\u00c9dith"});
  Lib.AddTrack({u"/m/4.mp3", u"\u00e9dith"});
  Lib.AddTrack({u"/m/5.mp3", u"Zoe"});
  Lib.AddTrack({u"/m/6.mp3", u"beyonc\u00e9"});
  Lib.AddTrack({u"/m/7.mp3", u"BEYONC\u00c9"});
  // Of names that compare equal, the first row read gives the spelling;
  // SQLite reads them in the order of the artist index (ASCII case folded).
  EXPECT_EQ(List(u"\\Artists"), (Names{u"abba", u"BEYONC\u00c9", u"\u00c9dith", u"Zoe"}));
  EXPECT_EQ(List(u"\\Artists\\BEYONC\u00c9")->size(), 2u);
}

TEST_F(FolderTree, AFolderListedAgainReadsNoWholeTableOrIndex) {
  for (int i = 0; i < 40; ++i)
    Lib.AddTrack({u"/m/" + platform::IntToU16(i) + u".mp3", i % 2 ? u"beyonc\u00e9" : u"Other", u"T", u"Album",
                  u"Pop"});
  const std::vector<std::u16string> folders = {u"\\Artists\\BEYONC\u00c9", u"\\Albums\\BEYONC\u00c9",
                                               u"\\Albums\\BEYONC\u00c9\\album", u"\\Genres\\pop",
                                               u"\\Genres\\pop\\BEYONC\u00c9"};
  for (const auto& folder : folders) ASSERT_TRUE(List(folder)) << platform::Utf16ToUtf8(folder);
  test::TStatementTrace trace(Lib.Db());
  for (const auto& folder : folders) ASSERT_TRUE(List(folder)) << platform::Utf16ToUtf8(folder);
  ASSERT_FALSE(trace.Statements.empty());
  for (const std::string& sql : trace.Statements) {
    if (sql.rfind("select", 0) != 0) continue;
    TDISQLite3UniDirQuery plan(&Lib.Db());
    plan.SetSQL(u"explain query plan " + platform::Utf8ToUtf16(sql));
    plan.Open();
    for (; !plan.Eof(); plan.Next())
      EXPECT_EQ(plan.FieldByName(u"detail").AsString().find(u"SCAN"), std::u16string::npos) << sql;
  }
}

TEST_F(FolderTree, EmptyValuesLiveInOther) {
  Lib.AddTrack({u"/m/1.mp3", u"", u"Empty"});
  Lib.AddTrack({u"/m/2.mp3", std::nullopt, u"Null"});
  Lib.AddTrack({u"/m/3.mp3", u"X", u"Known"});
  EXPECT_EQ(List(u"\\Artists"), (Names{u"_Other", u"X"}));
  const auto other = List(u"\\Artists\\_Other");
  ASSERT_TRUE(other);
  ASSERT_EQ(other->size(), 1u);  // the NULL artist is not the empty text
  EXPECT_TRUE((*other)[0].starts_with(u"Empty *"));
}

TEST_F(FolderTree, TrackEntriesCarryTheRowIdAndResolveThroughIt) {
  const long long id = Lib.AddTrack({Real(u"/m/a.mp3"), u"Someone", u"Intro", u"First", u"Rock"});
  const std::u16string name = u"Intro *" + platform::IntToU16(id) + u".mp3";
  EXPECT_EQ(List(u"\\Artists\\Someone"), (Names{name}));
  EXPECT_EQ(List(u"\\Albums\\Someone"), (Names{u"First"}));
  EXPECT_EQ(List(u"\\Albums\\Someone\\First"), (Names{name}));
  EXPECT_EQ(List(u"\\Genres"), (Names{u"Rock"}));
  EXPECT_EQ(List(u"\\Genres\\Rock"), (Names{u"Someone"}));
  EXPECT_EQ(List(u"\\Genres\\Rock\\Someone"), (Names{name}));
  for (const auto* folder : {u"\\Artists\\Someone\\", u"\\Albums\\Someone\\First\\", u"\\Genres\\Rock\\Someone\\",
                             u"\\Artists\\Anyone\\"})
    EXPECT_EQ(Resolve(folder + name), Real(u"/m/a.mp3")) << platform::Utf16ToUtf8(folder);
  Lib.Db().Execute16(u"delete from mp3files");
  EXPECT_EQ(Resolve(u"\\Artists\\Someone\\" + name), u"");
}

TEST_F(FolderTree, TracksWithoutTitleOrExtensionAndTitlesWithAsterisks) {
  const long long a = Lib.AddTrack({Real(u"/m/noext"), u"S", u""});
  const long long b = Lib.AddTrack({Real(u"/m/x.flac"), u"S", u"A * B"});
  const auto names = List(u"\\Artists\\S");
  ASSERT_TRUE(names);
  EXPECT_EQ(*names, (Names{u" *" + platform::IntToU16(a), u"A * B *" + platform::IntToU16(b) + u".flac"}));
  EXPECT_EQ(Resolve(u"\\Artists\\S\\A * B *" + platform::IntToU16(b) + u".flac"), Real(u"/m/x.flac"));
  EXPECT_EQ(Resolve(u"\\Artists\\S\\ *" + platform::IntToU16(a)), Real(u"/m/noext"));
  EXPECT_EQ(Resolve(u"\\Artists\\S\\no id here.mp3"), u"");
  EXPECT_EQ(Resolve(u"\\Artists\\S\\x *1' or '1'='1.mp3"), u"");
}

TEST_F(FolderTree, PathsDifferingOnlyInNonAsciiCaseStayDistinct) {
  // The unique index folds ASCII only, so both rows exist; each entry
  // must lead to its own file.
  const long long upper = Lib.AddTrack({Real(u"/m/\u00c4.mp3"), u"S", u"Upper"});
  const long long lower = Lib.AddTrack({Real(u"/m/\u00e4.mp3"), u"S", u"Lower"});
  EXPECT_EQ(Resolve(u"\\Artists\\S\\Upper *" + platform::IntToU16(upper) + u".mp3"), Real(u"/m/\u00c4.mp3"));
  EXPECT_EQ(Resolve(u"\\Artists\\S\\Lower *" + platform::IntToU16(lower) + u".mp3"), Real(u"/m/\u00e4.mp3"));
  EXPECT_EQ(List(u"\\Artists\\S"), (Names{u"Upper *" + platform::IntToU16(upper) + u".mp3",
                                          u"Lower *" + platform::IntToU16(lower) + u".mp3"}));
}

TEST_F(FolderTree, LatestNamesResolveUntilTheNextLatestListing) {
  for (int i = 1; i <= 150; ++i)
    Lib.AddTrack({Real(u"/m/" + platform::IntToU16(i) + u".mp3")});
  const auto latest = List(u"\\Latest");
  ASSERT_TRUE(latest);
  ASSERT_EQ(latest->size(), 99u);
  EXPECT_EQ(latest->front(), u"(01) 150.mp3");
  EXPECT_EQ((*latest)[8], u"(09) 142.mp3");
  EXPECT_EQ(latest->back(), u"(99) 52.mp3");
  EXPECT_EQ(Resolve(u"\\Latest\\(01) 150.mp3"), Real(u"/m/150.mp3"));
  EXPECT_EQ(Resolve(u"\\Latest\\"), u"");
  EXPECT_EQ(List(u"\\Latest")->front(), u"(01) 150.mp3");  // numbering restarts
  // The other panel listing another folder leaves the names alone.
  List(u"\\Titles");
  EXPECT_EQ(Resolve(u"\\Latest\\(01) 150.mp3"), Real(u"/m/150.mp3"));
  Lib.AddTrack({Real(u"/m/151.mp3")});
  EXPECT_EQ(List(u"\\Latest")->front(), u"(01) 151.mp3");
  EXPECT_EQ(Resolve(u"\\Latest\\(01) 150.mp3"), u"");
  EXPECT_EQ(Resolve(u"\\Latest\\(02) 150.mp3"), Real(u"/m/150.mp3"));
}

TEST_F(FolderTree, AwkwardValuesAreListedAndOpenedSafely) {
  Lib.AddTrack({Real(u"/m/q.mp3"), u"Say \"Hi\"", u"Quote"});
  Lib.AddTrack({Real(u"/m/c.mp3"), u"AC:DC", u"Colon"});
  Lib.AddTrack({Real(u"/m/s.mp3"), u"Star*", u"Star"});
  Lib.AddTrack({Real(u"/m/x\".mp3"), u"Path", u"QuotedPath"});
  EXPECT_EQ(List(u"\\Artists"), (Names{u"AC:DC", u"Path", u"Say \"Hi\"", u"Star*"}));
  EXPECT_EQ(List(u"\\Artists\\Say \"Hi\"")->size(), 1u);
  EXPECT_EQ(List(u"\\Artists\\Star*")->size(), 1u);
  // Only the text after the colon is looked up: an empty folder.
  EXPECT_EQ(List(u"\\Artists\\AC:DC"), std::nullopt);
  EXPECT_EQ(LastError, platform::ErrorNoMoreFiles);
  // A quote in a real path reaches neither listing nor lookup as SQL.
  const auto tracks = List(u"\\Artists\\Path");
  ASSERT_TRUE(tracks);
  EXPECT_EQ(Resolve(u"\\Artists\\Path\\" + tracks->front()), Real(u"/m/x\".mp3"));
  EXPECT_EQ(Lib.Scalar(u"select count(*) from mp3files"), u"4");
}

TEST_F(FolderTree, AValueThatNamesAColumnIsOnlyAValue) {
  Lib.AddTrack({Real(u"/m/a.mp3"), u"mf_artist", u"T", u"mf_album", u"mf_genre"});
  Lib.AddTrack({Real(u"/m/b.mp3"), u"Other", u"U", u"Record", u"Pop"});
  EXPECT_EQ(List(u"\\Artists\\mf_artist")->size(), 1u);
  EXPECT_EQ(List(u"\\Albums\\mf_artist"), (Names{u"mf_album"}));
  EXPECT_EQ(List(u"\\Albums\\mf_artist\\mf_album")->size(), 1u);
  EXPECT_EQ(List(u"\\Genres\\mf_genre\\mf_artist")->size(), 1u);
}

TEST_F(FolderTree, ANameHoldingTheOtherDelimiterResolvesToItsOwnFile) {
  if (!platform::NamesMayHoldAltDelim) GTEST_SKIP() << "a file name cannot hold the other delimiter here";
  const std::u16string own = std::u16string(u"/m/back") + platform::AltDelim + u"slash.mp3";
  Lib.AddTrack({own});
  Lib.AddTrack({u"/m/back/other.mp3"});
  const auto resolve = [&](const std::u16string& path) {
    return Tree.ResolveVirtualPath(VPath(u"\\Titles\\") + ReplaceChar(path, platform::DirDelim, platform::AltDelim));
  };
  EXPECT_EQ(resolve(own), own);
  EXPECT_EQ(resolve(u"/m/back/other.mp3"), u"/m/back/other.mp3");
  // Another file whose path reads alike: the name stands for neither.
  Lib.AddTrack({u"/m/back/slash.mp3"});
  EXPECT_EQ(resolve(own), u"");
}

TEST_F(FolderTree, AnArtistNamedAlbumsOpensAsTheAlbumsView) {
  Lib.AddTrack({u"/m/a.mp3", u"Albums", u"T", u"Record"});
  EXPECT_EQ(List(u"\\Artists\\Albums"), (Names{u"Record"}));
}

TEST_F(FolderTree, BelowGenresNamesOfOtherViewsAreGenresAndArtists) {
  const long long a = Lib.AddTrack({u"/m/a.mp3", u"Artists United", u"T", u"Albums", u"Rock"});
  const long long b = Lib.AddTrack({u"/m/b.mp3", u"Them", u"U", u"", u"Albums"});
  EXPECT_EQ(List(u"\\Genres\\Rock"), (Names{u"Artists United"}));
  EXPECT_EQ(List(u"\\Genres\\Rock\\Artists United"), (Names{u"T *" + platform::IntToU16(a) + u".mp3"}));
  EXPECT_EQ(List(u"\\Genres\\Albums"), (Names{u"Them"}));
  EXPECT_EQ(List(u"\\Genres\\Albums\\Them"), (Names{u"U *" + platform::IntToU16(b) + u".mp3"}));
}

TEST_F(FolderTree, ALibraryThatCannotOpenFailsBelowTheRootAndIsTriedAgain) {
  TLibraryFixture broken(false);
  broken.Folder.Write("VORNAK.DB", std::string(2048, 'x'));
  TFolderTree tree(broken.State, [&](const std::u16string& t) { broken.Messages.push_back(t); });
  fsapi::TFindDataW data;
  platform::SetLastError(0);
  EXPECT_NE(tree.FindFirst(VPath(u"\\"), data), TFolderTree::NoListing);
  EXPECT_EQ(tree.FindFirst(VPath(u"\\Titles"), data), TFolderTree::NoListing);
  // A failure, not an empty folder; the plug-in sets no code of its own
  // (on Windows the system calls of the failed opening leave theirs).
  if (platform::IsWindows) {
    EXPECT_NE(platform::GetLastError(), platform::ErrorNoMoreFiles);
  } else {
    EXPECT_EQ(platform::GetLastError(), 0u);
  }
  EXPECT_EQ(tree.FindFirst(VPath(u"\\Artists"), data), TFolderTree::NoListing);
  EXPECT_EQ(broken.Messages.size(), 2u);  // each try reports again
  EXPECT_EQ(tree.ResolveVirtualPath(VPath(u"\\Artists\\x\\t *1.mp3")), u"");
  // Closed first: Windows deletes no open file.
  broken.State.LibraryDatabase->Close();
  std::filesystem::remove(broken.Folder.Path("VORNAK.DB"));
  EXPECT_EQ(tree.FindFirst(VPath(u"\\Titles"), data), TFolderTree::NoListing);  // opens, but empty
  EXPECT_TRUE(broken.State.DatabaseReady);
}

TEST(VirtualPaths, ComponentsDepthAndDelimiters) {
  EXPECT_EQ(CountChar(u"a*b*c", u'*'), 2);
  EXPECT_EQ(PathDepth(VPath(u"\\Albums\\A\\B\\")), 3);
  EXPECT_EQ(PathDepth(VPath(u"\\")), 0);
  EXPECT_EQ(LastComponent(VPath(u"\\Artists\\AC:DC")), u"DC");
  EXPECT_EQ(LastComponent(VPath(u"\\Albums\\A\\B\\")), u"B");
  EXPECT_EQ(ParentPath(VPath(u"\\Albums\\A\\B")), VPath(u"\\Albums\\A"));
  EXPECT_EQ(WithoutTrailingDelim(VPath(u"\\")), VPath(u"\\"));
}

}  // namespace
