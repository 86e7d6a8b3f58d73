// The plug-in's shell: root name, registry and callbacks, default
// parameters, batches in one transaction, messages to the host.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sqlite3.h>

#include "library/SqlText.h"
#include "platform/Text.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "plugin/PutDelete.h"
#include "support/LibraryFixture.h"
#include "support/MpegBuilder.h"
#include "support/SystemSupport.h"

using namespace velmaro;
using velmaro::test::TStatementTrace;
using velmaro::test::TTestFolder;

namespace {

struct TCall {
  int Callback;  // which of the two request callbacks
  int PluginNr;
  int Type;
  std::u16string Title, Text;
};
std::vector<TCall> Calls;

int VELMARO_CALL Request1(int nr, int type, char16_t* title, char16_t* text, char16_t*, int) {
  Calls.push_back({1, nr, type, title ? title : u"", text ? text : u""});
  return 1;
}
int VELMARO_CALL Request2(int nr, int type, char16_t* title, char16_t* text, char16_t*, int) {
  Calls.push_back({2, nr, type, title ? title : u"", text ? text : u""});
  return 1;
}

fsapi::TDefaultParams Params(const std::string& ini) {
  fsapi::TDefaultParams params{};
  params.size = sizeof params;
  std::strncpy(params.DefaultIniName, velmaro::test::HostText(ini).c_str(), sizeof params.DefaultIniName - 1);
  return params;
}

class PluginShell : public ::testing::Test {
 protected:
  void SetUp() override { Calls.clear(); }
  TTestFolder Folder;
  TPlugin Plugin;
};

TEST_F(PluginShell, TheRootNameIsCutToTheBuffer) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  Plugin.FsGetDefRootName(buffer, 4);
  EXPECT_STREQ(buffer, "Vel");
  Plugin.FsGetDefRootName(buffer, 1);
  EXPECT_STREQ(buffer, "");
  Plugin.FsGetDefRootName(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "Velmaro");
}

TEST_F(PluginShell, EveryInitAddsARecordAndTheLatestCallbacksWin) {
  Plugin.FsInitW(3, nullptr, nullptr, Request1);
  Plugin.FsInitW(7, nullptr, nullptr, Request2);
  ASSERT_EQ(Plugin.InstanceRegistry().size(), 2u);
  EXPECT_EQ(Plugin.InstanceRegistry()[0]->FIndex, 0);
  EXPECT_EQ(Plugin.InstanceRegistry()[1]->FIndex, 1);
  EXPECT_EQ(Plugin.InstanceRegistry()[0]->FPluginNr, 3);
  EXPECT_EQ(Plugin.InstanceRegistry()[1]->FRequestProc, &Request2);
  EXPECT_EQ(Plugin.PluginNr(), 7);
  Plugin.ShowHostMessage(u"hello");
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Callback, 2);
  EXPECT_EQ(Calls[0].PluginNr, 0);
  EXPECT_EQ(Calls[0].Type, fsapi::RT_MsgOK);
  EXPECT_EQ(Calls[0].Title, u"Velmaro");
  EXPECT_EQ(Calls[0].Text, u"hello");
}

TEST_F(PluginShell, DefaultParamsOpenTheLibraryBesideTheIni) {
  Plugin.FsInitW(1, nullptr, nullptr, Request1);
  const auto params = Params(Folder.Path("sub dir \u00e4.ini"));
  Plugin.FsSetDefaultParams(&params);
  EXPECT_TRUE(Plugin.Library().DatabaseReady);
  EXPECT_EQ(Plugin.Library().IniFileName, Folder.Path16("sub dir \u00e4.ini"));
  EXPECT_TRUE(std::filesystem::exists(Folder.Path("VORNAK.DB")));
  EXPECT_TRUE(Calls.empty());
}

TEST_F(PluginShell, AFailedOpeningIsShownAndTriedAgainByTheNextListing) {
  Plugin.FsInitW(1, nullptr, nullptr, Request1);
  Folder.Write("VORNAK.DB", std::string(2048, 'x'));
  const auto params = Params(Folder.Path("v.ini"));
  Plugin.FsSetDefaultParams(&params);
  EXPECT_FALSE(Plugin.Library().DatabaseReady);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Title, u"Velmaro");
  EXPECT_EQ(Calls[0].Text, u"SQLite3 Error 26 - file is not a database\rInitDatabase");

  // Closed first: Windows deletes no open file.
  Plugin.Library().LibraryDatabase->Close();
  std::filesystem::remove(Folder.Path("VORNAK.DB"));
  fsapi::TFindDataW data;
  EXPECT_EQ(Plugin.FsFindFirstW(VPath(u"\\Titles").c_str(), &data), fsapi::InvalidHandleValue);
  EXPECT_TRUE(Plugin.Library().DatabaseReady);
  EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(PluginShell, NothingCallsThroughAMissingCallback) {
  // Hosts call FsSetDefaultParams before FsInitW; the failure it reports
  // has nowhere to go yet and is dropped.
  Folder.Write("VORNAK.DB", std::string(2048, 'x'));
  const auto params = Params(Folder.Path("v.ini"));
  Plugin.FsSetDefaultParams(&params);
  Plugin.FsSetDefaultParams(nullptr);
  EXPECT_FALSE(Plugin.Library().DatabaseReady);
  Plugin.ShowHostMessage(u"dropped");
  fsapi::TFindDataW data;
  EXPECT_EQ(Plugin.FsFindFirstW(nullptr, &data), fsapi::InvalidHandleValue);
  EXPECT_EQ(Plugin.FsFindNextW(nullptr, nullptr), platform::HostFalse);
}

TEST_F(PluginShell, ABatchWithoutALibraryFailsQuietly) {
  char16_t dir[] = u"/";
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
  EXPECT_TRUE(Calls.empty());
}

TEST_F(PluginShell, ExecutingFollowsTheVerbRules) {
  // Without a display a dialog that would be shown says so instead.
  velmaro::test::UnsetEnvironment("DISPLAY");
  Plugin.FsInitW(1, nullptr, nullptr, Request1);
  const auto params = Params(Folder.Path("v.ini"));
  Plugin.FsSetDefaultParams(&params);
  const auto execute = [&](const char16_t* path, const char16_t* verb) {
    Calls.clear();
    const int result = Plugin.FsExecuteFileW(nullptr, VPath(path).c_str(), verb);
    return std::make_pair(result, Calls.size());
  };
  using R = std::pair<int, std::size_t>;
  EXPECT_EQ(execute(u"\\", u"properties"), R(fsapi::FS_EXEC_OK, 1));
  EXPECT_EQ(Calls[0].Text, sizeof(void*) == 8 ? u"Velmaro 64-bit" : u"Velmaro 32-bit");
  EXPECT_EQ(execute(u"\\Settings", u"open"), R(fsapi::FS_EXEC_OK, 1));
  EXPECT_NE(Calls[0].Text.find(u"No window can be shown"), std::u16string::npos);
  EXPECT_EQ(execute(u"\\Artists\\X\\Intro *12.mp3", u"open"), R(fsapi::FS_EXEC_YOURSELF, 0));
  for (const char16_t* folder : {u"\\Albums", u"\\Albums\\X", u"\\Albums\\X\\Y", u"\\Genres\\G\\A",
                                 u"\\Artists\\X", u"\\Latest"})
    EXPECT_EQ(execute(folder, u"properties"), R(fsapi::FS_EXEC_OK, 0)) << platform::Utf16ToUtf8(folder);
  for (const char16_t* track : {u"\\Albums\\X\\Y\\Intro *12.mp3", u"\\Artists\\X\\Intro *12.mp3",
                                u"\\Titles\\c:/m/a.mp3"})
    EXPECT_EQ(execute(track, u"properties"), R(fsapi::FS_EXEC_OK, 1)) << platform::Utf16ToUtf8(track);
  EXPECT_EQ(execute(u"\\Titles\\x.mp3", u"chmod 644"), R(fsapi::FS_EXEC_OK, 0));
  EXPECT_EQ(Plugin.FsExecuteFileW(nullptr, nullptr, nullptr), fsapi::FS_EXEC_OK);
}

// PATH set to a folder of the test's own while it lives.
class TPathOverride {
 public:
  explicit TPathOverride(const std::string& path) {
    if (const char* old = std::getenv("PATH")) FOld = old;
    velmaro::test::SetEnvironment("PATH", path);
  }
  ~TPathOverride() { velmaro::test::SetEnvironment("PATH", FOld); }

 private:
  std::string FOld;
};

TEST_F(PluginShell, OpenHandsTheRealFileToTheDefaultApplicationOrBackToTheHost) {
  if (platform::IsWindows) GTEST_SKIP() << "the Windows opener is the shell's own";
  const auto params = Params(Folder.Path("v.ini"));
  Plugin.FsSetDefaultParams(&params);
  // A name no shell would pass on whole.
  const std::string name = "it's a \"song\" $(touch pwned) -x.mp3";
  const velmaro::testsupport::TBytes bytes = velmaro::testsupport::MpegFrames({}, 40);
  std::ofstream(velmaro::test::Utf8Path(Folder.Path(name)), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const std::u16string real = Folder.Path16(name);
  ASSERT_EQ(Plugin.FsPutFileW(real.c_str(), VPath(u"\\Titles\\x.mp3").c_str(), 0), fsapi::FS_FILE_OK);
  const std::u16string entry =
      VPath(u"\\Titles\\") + ReplaceChar(LowerFirstChar(real), PathDelim, AltDelim);

  // No opener on the path: the host opens the entry itself.
  std::filesystem::create_directories(Folder.Path() / "bin");
  {
    TPathOverride path(Folder.Path("bin"));
    EXPECT_EQ(Plugin.FsExecuteFileW(nullptr, entry.c_str(), u"open"), fsapi::FS_EXEC_YOURSELF);
  }
  // An opener that records its arguments gets the real path as one of them.
  Folder.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n");
  std::filesystem::permissions(Folder.Path() / "bin/xdg-open", std::filesystem::perms::owner_all);
  {
    TPathOverride path(Folder.Path("bin") + ":/usr/bin:/bin");
    EXPECT_EQ(Plugin.FsExecuteFileW(nullptr, entry.c_str(), u"open"), fsapi::FS_EXEC_OK);
  }
  const std::string recorded = Folder.Path("bin/xdg-open.args");
  for (int i = 0; i < 100 && !std::filesystem::exists(recorded); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(velmaro::test::ReadAll(recorded), "1\n" + Folder.Path(name) + "\n");
  EXPECT_FALSE(std::filesystem::exists(Folder.Path() / "pwned"));
  // An entry that names no file is the host's again.
  EXPECT_EQ(Plugin.FsExecuteFileW(nullptr, VPath(u"\\Titles\\nowhere.mp3").c_str(), u"open"),
            fsapi::FS_EXEC_YOURSELF);
}

// Rows of a library file, read through a connection of its own (-1 when
// it cannot be read): what was committed.
int CommittedRows(const std::string& db) {
  sqlite3* connection = nullptr;
  int count = -1;
  if (sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, "select count(*) from mp3files", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
      count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
  }
  sqlite3_close(connection);
  return count;
}

struct TProgressCall {
  std::u16string Source, Target;
  int Percent;
};
std::vector<TProgressCall> ProgressCalls;
std::size_t CancelAtCall = 0;  // answer 1 at this call (1-based), 0: never

int VELMARO_CALL RecordProgress(int, char16_t* source, char16_t* target, int percent) {
  ProgressCalls.push_back({source ? source : u"", target ? target : u"", percent});
  return ProgressCalls.size() == CancelAtCall ? 1 : 0;
}

TEST_F(PluginShell, ABackgroundCopyInShowsEachFileAndStopsAtTheHostsCancel) {
  ProgressCalls.clear();
  CancelAtCall = 5;  // before the third file
  Plugin.FsInitW(1, RecordProgress, nullptr, Request1);
  const auto params = Params(Folder.Path("v.ini"));
  Plugin.FsSetDefaultParams(&params);
  std::vector<std::u16string> files;
  const velmaro::testsupport::TBytes bytes = velmaro::testsupport::MpegFrames({}, 40);
  for (int i = 0; i < 4; ++i) {
    const std::string name = std::to_string(i) + ".mp3";
    std::ofstream(velmaro::test::Utf8Path(Folder.Path(name)), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    files.push_back(Folder.Path16(name));
  }
  const std::u16string remote = VPath(u"\\Titles\\x.mp3");
  char16_t dir[] = u"/";
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI_THREAD);
  EXPECT_EQ(Plugin.FsPutFileW(files[0].c_str(), remote.c_str(), 0), fsapi::FS_FILE_OK);
  EXPECT_EQ(Plugin.FsPutFileW(files[1].c_str(), remote.c_str(), 0), fsapi::FS_FILE_OK);
  // The two recorded files are one batch, not yet committed.
  EXPECT_EQ(CommittedRows(Folder.Path("VORNAK.DB")), 0);
  EXPECT_EQ(Plugin.FsPutFileW(files[2].c_str(), remote.c_str(), 0), fsapi::FS_FILE_USERABORT);
  // The cancel keeps and commits what was recorded; the third is not.
  EXPECT_EQ(CommittedRows(Folder.Path("VORNAK.DB")), 2);
  Plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI_THREAD);
  EXPECT_EQ(CommittedRows(Folder.Path("VORNAK.DB")), 2);
  ASSERT_EQ(ProgressCalls.size(), 5u);
  EXPECT_EQ(ProgressCalls[0].Source, files[0]);
  EXPECT_EQ(ProgressCalls[0].Target, remote);
  EXPECT_EQ(ProgressCalls[0].Percent, 0);
  EXPECT_EQ(ProgressCalls[1].Percent, 100);
  EXPECT_EQ(ProgressCalls[4].Source, files[2]);
  EXPECT_TRUE(Calls.empty());
  // A copy the host did not cancel records the file as before.
  CancelAtCall = 0;
  EXPECT_EQ(Plugin.FsPutFileW(files[3].c_str(), remote.c_str(), 0), fsapi::FS_FILE_OK);
  EXPECT_EQ(CommittedRows(Folder.Path("VORNAK.DB")), 3);
}

TEST(PluginUnload, KeepsABatchTheHostNeverEnded) {
  TTestFolder folder;
  {
    TPlugin plugin;
    const auto params = Params(folder.Path("v.ini"));
    plugin.FsSetDefaultParams(&params);
    char16_t dir[] = u"/";
    plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
    plugin.Library().LibraryDatabase->Execute("insert into mp3files (mf_path) values ('/m/kept.mp3')");
  }
  TPlugin again;
  const auto params = Params(folder.Path("v.ini"));
  again.FsSetDefaultParams(&params);
  fsapi::TFindDataW data;
  ASSERT_NE(again.FsFindFirstW(VPath(u"\\Titles").c_str(), &data), fsapi::InvalidHandleValue);
  EXPECT_EQ(std::u16string(data.cFileName), ReplaceChar(u"/m/kept.mp3", u'/', platform::AltDelim));
}

TEST(PluginUnload, WithoutInitOrLibraryLeavesEverythingAlone) {
  TTestFolder folder;
  const std::string junk(2048, 'x');
  folder.Write("VORNAK.DB", junk);
  { TPlugin never; }
  {
    // A library that did not open, a batch and a listing the host never ended.
    TPlugin plugin;
    const auto params = Params(folder.Path("v.ini"));
    plugin.FsSetDefaultParams(&params);
    char16_t dir[] = u"/";
    plugin.FsStatusInfoW(dir, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
    fsapi::TFindDataW data;
    EXPECT_NE(plugin.FsFindFirstW(VPath(u"\\").c_str(), &data), fsapi::InvalidHandleValue);
  }
  EXPECT_EQ(velmaro::test::ReadAll(folder.Path("VORNAK.DB")), junk);
}

}  // namespace
