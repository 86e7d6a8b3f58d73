// Copying files into the panel and deleting entries, through the plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <sqlite3.h>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "plugin/PutDelete.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "support/LibraryFixture.h"
#include "support/MpegBuilder.h"
#include "support/SystemSupport.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::testsupport;
using velmaro::test::TStatementTrace;
using velmaro::test::TTestFolder;

namespace {

class PutDelete : public ::testing::Test {
 protected:
  void SetUp() override {
    fsapi::TDefaultParams params{};
    std::strncpy(params.DefaultIniName, test::HostText(Folder.Path("v.ini")).c_str(), sizeof params.DefaultIniName - 1);
    Plugin.FsSetDefaultParams(&params);
    ASSERT_TRUE(Plugin.Library().DatabaseReady);
  }
  std::u16string Audio(const std::string& name) {
    const TBytes bytes = MpegFrames({}, 40);
    std::ofstream(Folder.Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Folder.Path16(name);
  }
  int Put(const std::u16string& local, const char16_t* remote) {
    return Plugin.FsPutFileW(local.c_str(), VPath(remote).c_str(), 0);
  }
  int Delete(const std::u16string& remote) { return Plugin.FsDeleteFileW(remote.c_str()); }
  std::vector<std::u16string> List(const char16_t* backslashed) {
    std::vector<std::u16string> names;
    fsapi::TFindDataW data;
    const fsapi::THandle handle = Plugin.FsFindFirstW(VPath(backslashed).c_str(), &data);
    if (handle == fsapi::InvalidHandleValue) return names;
    do names.emplace_back(data.cFileName);
    while (Plugin.FsFindNextW(handle, &data));
    Plugin.FsFindClose(handle);
    return names;
  }
  // The entry of a file a put recorded: its path with the first character
  // lower-cased (a drive letter), each delimiter replaced.
  static std::u16string PathEntry(std::u16string path) { return ReplaceChar(LowerFirstChar(path), PathDelim, AltDelim); }

  TTestFolder Folder;
  TPlugin Plugin;
};

TEST_F(PutDelete, PuttingRecordsTheFileAndAFavouriteCopyMarksIt) {
  const std::u16string a = Audio("a.mp3");
  EXPECT_EQ(Put(a, u"\\Titles\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(List(u"\\Titles"), std::vector<std::u16string>{PathEntry(a)});
  EXPECT_TRUE(List(u"\\Favorites").empty());
  EXPECT_EQ(Put(a, u"\\Favorites\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(List(u"\\Favorites"), std::vector<std::u16string>{PathEntry(a)});
  EXPECT_EQ(Put(a, u"\\Artists\\Someone\\a.mp3"), fsapi::FS_FILE_OK);  // keeps the mark
  EXPECT_EQ(List(u"\\Favorites").size(), 1u);
  EXPECT_EQ(List(u"\\Titles").size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(Folder.Path("a.mp3")));
}

TEST_F(PutDelete, ABatchReachesSQLiteAsOneTransaction) {
  const std::u16string a = Audio("a.mp3"), b = Audio("b.mp3");
  TDISQLite3Database& db = *Plugin.Library().LibraryDatabase;
  TStatementTrace trace(db);
  char16_t dir[] = u"/";
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);  // none open: nothing
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  EXPECT_EQ(Put(a, u"\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(Put(b, u"\\b.mp3"), fsapi::FS_FILE_OK);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_LIST);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_SINGLE);
  EXPECT_EQ(trace.Count("BEGIN"), 1);
  EXPECT_EQ(trace.Count("COMMIT"), 1);
  EXPECT_FALSE(db.InTransaction());

  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_DELETE);
  EXPECT_EQ(Delete(VPath(u"\\Titles\\") + PathEntry(a)), platform::HostTrue);
  EXPECT_EQ(Delete(VPath(u"\\Titles\\") + PathEntry(b)), platform::HostTrue);
  EXPECT_TRUE(db.InTransaction());
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_DELETE);
  EXPECT_FALSE(db.InTransaction());
  EXPECT_EQ(trace.Count("BEGIN"), 2);
  EXPECT_EQ(trace.Count("COMMIT"), 2);
  EXPECT_TRUE(List(u"\\Titles").empty());
}

TEST_F(PutDelete, WhatNoReaderTakesIsSkippedQuietly) {
  std::ofstream(Folder.Path("cover.jpg")) << "not audio";
  EXPECT_EQ(Put(Folder.Path16("cover.jpg"), u"\\cover.jpg"), fsapi::FS_FILE_OK);
  EXPECT_EQ(Put(Folder.Path16("missing.mp3"), u"\\missing.mp3"), fsapi::FS_FILE_OK);
  EXPECT_TRUE(List(u"\\Titles").empty());
}

TEST_F(PutDelete, AFileWhosePathDiffersOnlyInCaseNeverDropsARecordedOne) {
  if (platform::PathsIgnoreCase) GTEST_SKIP() << "paths ignore letter case here";
  // The row's key ignores letter case; the file system does not.
  const std::u16string upper = Audio("Song.mp3"), lower = Audio("song.mp3");
  EXPECT_EQ(Put(upper, u"\\Song.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(Put(lower, u"\\song.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(List(u"\\Titles"), std::vector<std::u16string>{PathEntry(upper)});
  // Once the first is gone (renamed), the second takes its row.
  std::filesystem::remove(Folder.Path("Song.mp3"));
  EXPECT_EQ(Put(lower, u"\\song.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(List(u"\\Titles"), std::vector<std::u16string>{PathEntry(lower)});
}

TEST_F(PutDelete, ALibraryThatCannotBeWrittenIsAFailure) {
  const std::u16string a = Audio("a.mp3");
  Plugin.Library().LibraryDatabase->Execute(
      "create trigger refuse before insert on mp3files begin select raise(abort, 'disk full'); end");
  EXPECT_EQ(Put(a, u"\\a.mp3"), fsapi::FS_FILE_WRITEERROR);
}

std::vector<std::u16string> Messages;
int VELMARO_CALL Request(int, int, char16_t*, char16_t* text, char16_t*, int) {
  Messages.emplace_back(text ? text : u"");
  return 1;
}

TEST_F(PutDelete, ABatchThatCannotBeCommittedIsUndoneAndReported) {
  Messages.clear();
  Plugin.FsInitW(1, nullptr, nullptr, Request);
  const std::u16string a = Audio("a.mp3"), b = Audio("b.mp3");
  // Another program reads the library and keeps its read lock.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(Folder.Path("VORNAK.DB").c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM mp3files;", nullptr, nullptr, nullptr), SQLITE_OK);
  char16_t dir[] = u"/";
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  EXPECT_EQ(Put(a, u"\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(Put(b, u"\\b.mp3"), fsapi::FS_FILE_OK);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find(u"2 tracks were not recorded"), std::u16string::npos);
  EXPECT_NE(Messages[0].find(u"database is locked"), std::u16string::npos);
  // No transaction and no write lock is left behind.
  EXPECT_FALSE(Plugin.Library().LibraryDatabase->InTransaction());
  EXPECT_TRUE(sqlite3_get_autocommit(Plugin.Library().LibraryDatabase->Handle()));
  sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  EXPECT_TRUE(List(u"\\Titles").empty());
  EXPECT_EQ(Put(a, u"\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(List(u"\\Titles").size(), 1u);
}

TEST_F(PutDelete, ALibraryThatCannotOpenIsTriedOncePerBatch) {
  Messages.clear();
  TTestFolder other;
  other.Write("VORNAK.DB", std::string(2048, 'x'));
  TPlugin broken;
  broken.FsInitW(1, nullptr, nullptr, Request);
  fsapi::TDefaultParams params{};
  std::strncpy(params.DefaultIniName, test::HostText(other.Path("v.ini")).c_str(), sizeof params.DefaultIniName - 1);
  broken.FsSetDefaultParams(&params);
  ASSERT_EQ(Messages.size(), 1u);
  const std::u16string a = Audio("a.mp3");
  char16_t dir[] = u"/";
  for (int batch = 0; batch < 2; ++batch) {
    broken.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(broken.FsPutFileW(a.c_str(), VPath(u"\\a.mp3").c_str(), 0), fsapi::FS_FILE_WRITEERROR);
    broken.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
    EXPECT_EQ(Messages.size(), 2u + static_cast<std::size_t>(batch));
  }
}

TEST_F(PutDelete, DeletingRemovesTheRowAndKeepsTheFile) {
  const std::u16string a = Audio("Someone - Intro.mp3");
  const std::u16string b = Audio("b.mp3");
  Put(a, u"\\x");
  Put(b, u"\\x");
  const auto tracks = List(u"\\Artists\\Someone");
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(Delete(VPath(u"\\Artists\\Someone\\") + tracks[0]), platform::HostTrue);
  EXPECT_EQ(List(u"\\Titles"), std::vector<std::u16string>{PathEntry(b)});
  EXPECT_TRUE(std::filesystem::exists(Folder.Path("Someone - Intro.mp3")));
  // Gone already, or never there.
  EXPECT_EQ(Delete(VPath(u"\\Artists\\Someone\\") + tracks[0]), platform::HostFalse);
  EXPECT_EQ(Delete(VPath(u"\\Titles\\") + PathEntry(Folder.Path16("other.mp3"))), platform::HostFalse);
  // A Latest entry stays deletable while the other panel lists elsewhere.
  const auto latest = List(u"\\Latest");
  List(u"\\Titles");
  EXPECT_EQ(Delete(VPath(u"\\Latest\\") + latest[0]), platform::HostTrue);
  EXPECT_TRUE(List(u"\\Titles").empty());
}

TEST_F(PutDelete, DeletingWithoutALibraryFails) {
  TPlugin fresh;
  EXPECT_EQ(fresh.FsDeleteFileW(VPath(u"\\Titles\\x.mp3").c_str()), platform::HostFalse);
  EXPECT_EQ(fresh.FsDeleteFileW(nullptr), platform::HostFalse);
}

TEST_F(PutDelete, FoldersAreMadeAndRemovedWithoutAnythingToDo) {
  // A host creates a folder before it copies one in, and removes it after
  // deleting its entries: both succeed, and neither changes the library.
  const std::u16string a = Audio("a.mp3");
  EXPECT_EQ(Plugin.FsMkDirW(VPath(u"\\Artists\\New Folder").c_str()), platform::HostTrue);
  EXPECT_EQ(Put(a, u"\\Artists\\New Folder\\a.mp3"), fsapi::FS_FILE_OK);
  EXPECT_EQ(Plugin.FsRemoveDirW(VPath(u"\\Artists\\New Folder").c_str()), platform::HostTrue);
  EXPECT_EQ(List(u"\\Titles").size(), 1u);
  EXPECT_EQ(Plugin.FsMkDirW(nullptr), platform::HostFalse);
  EXPECT_EQ(Plugin.FsRemoveDirW(nullptr), platform::HostFalse);
}

TEST(LowerFirstChar, LowersOnlyTheFirstCharacter) {
  EXPECT_EQ(LowerFirstChar(u"C:\\Music\\A.mp3"), u"c:\\Music\\A.mp3");
  EXPECT_EQ(LowerFirstChar(u"\u00c4bc"), u"\u00e4bc");
  EXPECT_EQ(LowerFirstChar(u"/Music"), u"/Music");
  EXPECT_EQ(LowerFirstChar(u""), u"");
}

}  // namespace
