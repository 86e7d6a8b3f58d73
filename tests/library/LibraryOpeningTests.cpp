// Opening the library: the settings file, creating and keeping the
// database file, the schema, the SQL function and the collation.
#include <gtest/gtest.h>

#include <filesystem>

#include "library/Errors.h"
#include "library/Library.h"
#include "library/TDISQLite3UniDirQuery.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/LibraryFixture.h"
#include "support/Unprivileged.h"

using namespace velmaro;
using velmaro::test::ReadAll;
using velmaro::test::TLibraryFixture;
using velmaro::test::TTrackRow;
using velmaro::test::Utf8Path;

namespace fs = std::filesystem;

namespace {

std::u16string U(const std::string& s) { return platform::Utf8ToUtf16(s); }

TEST(LibraryOpening, AFreshInstallCreatesTheSettingsAndAnEmptyLibrary) {
  TLibraryFixture lib;
  ASSERT_TRUE(lib.State.DatabaseReady) << (lib.Messages.empty() ? "" : platform::Utf16ToUtf8(lib.Messages[0]));
  EXPECT_TRUE(lib.Messages.empty());
  EXPECT_TRUE(fs::exists(lib.Folder.Path("VORNAK.DB")));
  EXPECT_EQ(platform::IniReadString(lib.State.IniFileName, u"Velmaro", u"DBPath", u""),
            lib.Folder.Path16("VORNAK.DB"));
  EXPECT_EQ(lib.Scalar(u"select group_concat(vk_dbversion) from vornak"), u"1005");
  EXPECT_EQ(lib.Scalar(u"select count(*) from sqlite_master where type='index' and name like 'mp3files_index_%'"),
            u"8");
}

TEST(LibraryOpening, AnExistingLibraryKeepsItsRowsAndGetsOneVersionRow) {
  TLibraryFixture lib;
  lib.AddTrack({u"/m/a.mp3", u"A"});
  lib.Db().Execute("insert into vornak values (7)");
  lib.Restart();
  lib.State.IniFileName = lib.Folder.Path16("v.ini");
  ASSERT_TRUE(lib.Open());
  EXPECT_EQ(lib.Scalar(u"select mf_artist from mp3files"), u"A");
  EXPECT_EQ(lib.Scalar(u"select group_concat(vk_dbversion) from vornak"), u"1005");
}

TEST(LibraryOpening, AnEmptyDBPathTakesTheDefaultAndWritesItBack) {
  TLibraryFixture lib(false);
  platform::IniWriteString(lib.State.IniFileName, u"Velmaro", u"DBPath", u"");
  ASSERT_TRUE(lib.Open());
  EXPECT_EQ(platform::IniReadString(lib.State.IniFileName, u"velmaro", u"dbpath", u""),
            lib.Folder.Path16("VORNAK.DB"));
}

TEST(LibraryOpening, DBPathNamesTheLibraryAnywhere) {
  TLibraryFixture lib(false);
  fs::create_directories(lib.Folder.Path("elsewhere"));
  const std::u16string elsewhere = lib.Folder.Path16("elsewhere/my.db");
  platform::IniWriteString(lib.State.IniFileName, u"Velmaro", u"DBPath", elsewhere);
  ASSERT_TRUE(lib.Open());
  EXPECT_EQ(lib.Db().DatabaseName(), elsewhere);
  lib.AddTrack({u"/m/a.mp3", u"A"});
  // The next start finds the same library there, with its rows.
  lib.Restart();
  lib.State.IniFileName = lib.Folder.Path16("v.ini");
  ASSERT_TRUE(lib.Open());
  EXPECT_EQ(lib.Scalar(u"select mf_artist from mp3files"), u"A");
  EXPECT_EQ(platform::IniReadString(lib.State.IniFileName, u"Velmaro", u"DBPath", u""), elsewhere);
  EXPECT_FALSE(fs::exists(lib.Folder.Path("VORNAK.DB")));
}

TEST(LibraryOpening, AFileThatIsNotSQLiteIsReportedAndLeftAlone) {
  TLibraryFixture lib(false);
  const std::string junk(4096, 'x');
  lib.Folder.Write("VORNAK.DB", junk);
  EXPECT_FALSE(lib.Open());
  ASSERT_EQ(lib.Messages.size(), 1u);
  EXPECT_EQ(lib.Messages[0], u"SQLite3 Error 26 - file is not a database\rInitDatabase");
  EXPECT_EQ(ReadAll(lib.Folder.Path("VORNAK.DB")), junk);
}

TEST(LibraryOpening, ALibraryPathThatCannotBeOpenedIsNeverReplaced) {
  TLibraryFixture lib(false);
  fs::create_directories(lib.Folder.Path("VORNAK.DB"));  // a folder where the file should be
  EXPECT_FALSE(lib.Open());
  ASSERT_EQ(lib.Messages.size(), 1u);
  EXPECT_EQ(lib.Messages[0], U("Cannot open file " + lib.Folder.Path("VORNAK.DB") + "\rInitDatabase"));
  EXPECT_TRUE(fs::is_directory(lib.Folder.Path("VORNAK.DB")));
}

TEST(LibraryOpening, AnUnreadableLibraryFileKeepsItsRows) {
  if (platform::IsWindows) GTEST_SKIP() << "made unreadable by its permission bits, which Windows does not have";
  TLibraryFixture lib;
  lib.AddTrack({u"/m/a.mp3", u"A"});
  lib.State.LibraryDatabase->Close();
  const fs::path db = Utf8Path(lib.Folder.Path("VORNAK.DB"));
  fs::permissions(db, fs::perms::none);
  fs::permissions(Utf8Path(lib.Folder.Path("v.ini")), fs::perms::owner_read | fs::perms::owner_write |
                                                          fs::perms::group_read | fs::perms::group_write |
                                                          fs::perms::others_read | fs::perms::others_write);
  const bool refused = test::RunUnprivileged([&] {
    TLibraryState state;
    state.IniFileName = lib.Folder.Path16("v.ini");
    std::u16string message;
    return !InitDatabase(state, [&](const std::u16string& text) { message = text; }) &&
           message.find(u"Cannot open file") == 0;
  });
  fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  EXPECT_TRUE(refused);
  lib.Restart();
  lib.State.IniFileName = lib.Folder.Path16("v.ini");
  ASSERT_TRUE(lib.Open());
  EXPECT_EQ(lib.Scalar(u"select count(*) from mp3files"), u"1");
}

TEST(LibraryOpening, AReadOnlySettingsFolderIsReportedBeforeTheLibraryIsTouched) {
  if (platform::IsWindows) GTEST_SKIP() << "Windows has no read-only folders: the attribute does not stop new files";
  TLibraryFixture lib(false);
  fs::create_directories(lib.Folder.Path("ro"));
  fs::permissions(lib.Folder.Path("ro"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const std::u16string ini = lib.Folder.Path16("ro/v.ini");
  const bool refused = test::RunUnprivileged([&] {
    TLibraryState state;
    state.IniFileName = ini;
    std::u16string message;
    const bool opened = InitDatabase(state, [&](const std::u16string& text) { message = text; });
    return !opened && message == u"Unable to write to " + ini + u"\rInitDatabase";
  });
  EXPECT_TRUE(refused);
  EXPECT_FALSE(fs::exists(lib.Folder.Path("ro/VORNAK.DB")));
}

TEST(LibraryOpening, ASettingsPathBelowAFileIsReported) {
  // Fails for everyone, root included.
  TLibraryFixture lib(false);
  lib.Folder.Write("plain", "x");
  lib.State.IniFileName = lib.Folder.Path16("plain/v.ini");
  EXPECT_FALSE(lib.Open());
  ASSERT_EQ(lib.Messages.size(), 1u);
  EXPECT_EQ(lib.Messages[0], u"Unable to write to " + lib.State.IniFileName + u"\rInitDatabase");
}

TEST(LibraryOpening, ABlankOrUnreachableDBPathIsReported) {
  TLibraryFixture lib(false);
  platform::IniWriteString(lib.State.IniFileName, u"Velmaro", u"DBPath", lib.Folder.Path16("no/such/folder/x.db"));
  EXPECT_FALSE(lib.Open());
  ASSERT_EQ(lib.Messages.size(), 1u);
  EXPECT_EQ(lib.Messages[0], u"SQLite3 Error 14 - unable to open database file\rInitDatabase");
}

TEST(LibraryOpening, AFailedTryLeavesAConnectionTheNextTryReuses) {
  TLibraryFixture lib(false);
  lib.Folder.Write("VORNAK.DB", std::string(2048, 'x'));
  EXPECT_FALSE(lib.Open());
  ASSERT_TRUE(lib.State.LibraryDatabase->Connected());
  sqlite3* const left = lib.State.LibraryDatabase->Handle();
  // Mended in place: an empty file is an empty database.
  fs::resize_file(lib.Folder.Path("VORNAK.DB"), 0);
  EXPECT_TRUE(lib.Open());
  EXPECT_EQ(lib.State.LibraryDatabase->Handle(), left);
  EXPECT_EQ(lib.Scalar(u"select group_concat(vk_dbversion) from vornak"), u"1005");
}

TEST(LibraryOpening, SystemNoCaseFoldsEveryLetterAndMyLikeToo) {
  TLibraryFixture lib;
  lib.AddTrack({u"/m/1.mp3", u"BEYONC\u00c9"});
  lib.AddTrack({u"/m/2.mp3", u"Beyonce"});
  EXPECT_EQ(lib.Scalar(u"select count(*) from mp3files where mf_artist='beyonc\u00e9' collate systemnocase"), u"1");
  EXPECT_EQ(lib.Scalar(u"select count(*) from mp3files where mf_artist='beyonc\u00e9'"), u"0");  // NOCASE folds ASCII only
  EXPECT_EQ(lib.Scalar(u"select MYLIKE('abc','ABC')"), u"1");
  EXPECT_EQ(lib.Scalar(u"select MYLIKE('abc','abd')"), u"0");
  EXPECT_EQ(lib.Scalar(u"select MYLIKE('\u00e4rger','\u00c4RGER')"), u"1");
}

TEST(LibraryOpening, PathsAreUniqueWithoutRegardToAsciiCase) {
  TLibraryFixture lib;
  lib.AddTrack({u"/m/Song.mp3"});
  EXPECT_THROW(lib.AddTrack({u"/M/SONG.mp3"}), ESQLite3);
  lib.AddTrack({u"/m/\u00c4.mp3"});
  lib.AddTrack({u"/m/\u00e4.mp3"});  // non-ASCII case is not folded by the index
  EXPECT_EQ(lib.Scalar(u"select count(*) from mp3files"), u"3");
}

}  // namespace
