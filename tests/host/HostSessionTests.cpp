// The built Melvanto.wfx, loaded and driven as a host drives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <set>
#include <thread>

#include <sqlite3.h>

#include "host/THostHarness.h"
#include "platform/Platform.h"
#include "platform/System.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/MpegBuilder.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::host;
using velmaro::test::ExecuteSql;
using velmaro::test::PluginPath;
using velmaro::test::RunCommand;
using velmaro::test::TProgramResult;
using velmaro::test::TTestFolder;
using velmaro::test::TProgramOptions;

namespace {

std::vector<std::string> Names(const TListing& listing) {
  std::vector<std::string> names;
  for (const TEntry& entry : listing.Entries) names.push_back(ToUtf8(entry.Name));
  return names;
}

// The name a path entry of a real path gets: its separators swapped.
std::string PathEntry(std::string path) {
  for (char& c : path)
    if (c == static_cast<char>(platform::DirDelim)) c = static_cast<char>(platform::AltDelim);
  return path;
}

// A real path written with "/", in the platform's separator.
std::string Real(std::string path) {
  for (char& c : path)
    if (c == '/') c = static_cast<char>(platform::DirDelim);
  return path;
}

// A virtual path written with "/", in the platform's delimiter.
std::string V(std::string path) {
  for (char& c : path)
    if (c == '/') c = static_cast<char>(platform::PathDelim);
  return path;
}

// velmaro with this build's plug-in and the settings file ini.
TProgramResult Velmaro(const std::string& ini, std::vector<std::string> arguments,
                       velmaro::test::TProgramOptions options = {}) {
  arguments.insert(arguments.begin(), {"--plugin", PluginPath(), "--ini", ini});
  return velmaro::test::RunProgram(velmaro::test::VelmaroProgram(), arguments, options);
}


TEST(HostSession, OnlyTheHostInterfaceIsExported) {
  if (platform::IsWindows) GTEST_SKIP() << "reads an ELF object's symbols with nm; the DLL exports what its .def file names";
  int status = 0;
  const std::string symbols = RunCommand("nm -D --defined-only '" VELMARO_PLUGIN_PATH "' | awk '{print $3}'", &status);
  ASSERT_EQ(status, 0);
  std::set<std::string> names;
  for (std::size_t start = 0, end; start < symbols.size(); start = end + 1) {
    end = symbols.find('\n', start);
    if (end == std::string::npos) end = symbols.size();
    if (end > start) names.insert(symbols.substr(start, end - start));
  }
  for (const std::string& name : names) EXPECT_EQ(name.rfind("Fs", 0), 0u) << name;
  for (const char* expected : {"FsInit", "FsInitW", "FsFindFirst", "FsFindNext", "FsFindFirstW", "FsFindNextW",
                               "FsFindClose", "FsGetDefRootName", "FsSetDefaultParams", "FsStatusInfoW",
                               "FsGetPreviewBitmap", "FsLinksToLocalFiles", "FsGetBackgroundFlags", "FsMkDirW",
                               "FsRemoveDirW"})
    EXPECT_TRUE(names.count(expected)) << expected;
}

TEST(HostSession, AFreshLibraryListsItsRootAndEveryView) {
  TTestFolder folder;
  THostHarness host(PluginPath(), true);
  EXPECT_EQ(host.RootName(), "Velmaro");
  host.Start(folder.Path("v.ini"));
  EXPECT_TRUE(host.Requests().empty());
  ASSERT_TRUE(std::filesystem::exists(folder.Path("VORNAK.DB")));
  EXPECT_EQ(host.Exports().FsLinksToLocalFiles(), platform::HostTrue);
  EXPECT_EQ(host.Exports().FsGetBackgroundFlags(), fsapi::BG_DOWNLOAD | fsapi::BG_UPLOAD);

  const TListing root = host.List(HostPath(u"\\"));
  EXPECT_EQ(Names(root), (std::vector<std::string>{"Albums", "Artists", "Favorites", "Genres", "Latest", "Titles",
                                                   "Years", "Settings"}));
  EXPECT_TRUE(root.Entries[0].IsFolder());
  EXPECT_FALSE(root.Entries[7].IsFolder());

  const TListing titles = host.List(HostPath(u"\\Titles"));
  EXPECT_FALSE(titles.Ok);
  EXPECT_EQ(titles.LastError, platform::ErrorNoMoreFiles);

  ExecuteSql(folder.Path("VORNAK.DB"),
      "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_favorite) values "
      "('" + Real("/music/a.mp3") + "', 'Abba', 'Waterloo', 'Waterloo', 'Pop', 1),"
      "('" + Real("/music/b.flac") + "', 'ABBA', 'SOS', 'ABBA', 'Pop', 0),"
      "('" + Real("/music/c.ogg") + "', '', 'Untitled', 'Music', '', 0)");
  const std::string a = PathEntry(Real("/music/a.mp3"));
  const std::string b = PathEntry(Real("/music/b.flac"));
  const std::string c = PathEntry(Real("/music/c.ogg"));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Titles"))), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Titles\\"))), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Favorites"))), (std::vector<std::string>{a}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Latest"))),
            (std::vector<std::string>{"(01) c.ogg", "(02) b.flac", "(03) a.mp3"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Artists"))), (std::vector<std::string>{"_Other", "Abba"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Artists\\abba"))), (std::vector<std::string>{"Waterloo *1.mp3", "SOS *2.flac"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Albums\\Abba"))), (std::vector<std::string>{"ABBA", "Waterloo"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Albums\\Abba\\Waterloo"))), (std::vector<std::string>{"Waterloo *1.mp3"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Genres"))), (std::vector<std::string>{"_Other", "Pop"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Genres\\Pop"))), (std::vector<std::string>{"Abba"}));
  EXPECT_EQ(Names(host.List(HostPath(u"\\Genres\\_Other\\_Other"))), (std::vector<std::string>{"Untitled *3.ogg"}));
  const TListing years = host.List(HostPath(u"\\Years"));
  EXPECT_FALSE(years.Ok);
  EXPECT_EQ(years.LastError, platform::ErrorNoMoreFiles);
}

TEST(HostSession, ALibraryThatCannotOpenIsShownThroughTheHost) {
  TTestFolder folder;
  folder.Write("VORNAK.DB", std::string(4096, 'x'));
  THostHarness host(PluginPath(), true);
  host.SetDefaultParams(folder.Path("v.ini"));  // before FsInitW: nowhere to show it yet
  host.Init();
  EXPECT_TRUE(host.Requests().empty());
  EXPECT_EQ(host.List(HostPath(u"\\")).Entries.size(), 8u);
  // While the host shows the message, its other threads go on listing.
  bool otherThreadListed = false;
  std::thread other;
  std::promise<std::size_t> listed;
  host.OnRequest = [&](const TRequest&) {
    if (other.joinable()) return;
    other = std::thread([&] { listed.set_value(host.List(HostPath(u"\\")).Entries.size()); });
    auto root = listed.get_future();
    otherThreadListed = root.wait_for(std::chrono::seconds(5)) == std::future_status::ready && root.get() == 8u;
  };
  EXPECT_FALSE(host.List(HostPath(u"\\Titles")).Ok);
  other.join();
  EXPECT_TRUE(otherThreadListed);
  ASSERT_EQ(host.Requests().size(), 1u);
  EXPECT_EQ(host.Requests()[0].Title, u"Velmaro");
  EXPECT_EQ(host.Requests()[0].Text, u"SQLite3 Error 26 - file is not a database\rInitDatabase");
  EXPECT_EQ(host.Requests()[0].RequestType, fsapi::RT_MsgOK);
}

TEST(HostSession, ListingsFromTwoThreadsDoNotTrampleEachOther) {
  TTestFolder folder;
  THostHarness host(PluginPath(), true);
  host.Start(folder.Path("v.ini"));
  std::string values;
  for (int i = 0; i < 300; ++i)
    values += std::string(i ? "," : "") + "('/m/" + std::to_string(i) + ".mp3','A" + std::to_string(i % 7) +
              "','T','G" + std::to_string(i % 3) + "')";
  ExecuteSql(folder.Path("VORNAK.DB"), "insert into mp3files (mf_path, mf_artist, mf_title, mf_genre) values " + values);
  // Every listing made while the others run must be the one made alone.
  const std::vector<const char16_t*> paths = {u"\\Artists", u"\\Latest", u"\\Artists\\A3", u"\\", u"\\Genres\\G1"};
  std::vector<std::vector<std::string>> expected;
  for (const char16_t* path : paths) {
    expected.push_back(Names(host.List(HostPath(path))));
    ASSERT_FALSE(expected.back().empty());
  }
  std::vector<int> wrong(paths.size(), 0);
  std::vector<std::thread> threads;
  for (std::size_t p = 0; p < paths.size(); ++p)
    threads.emplace_back([&, p] {
      for (int i = 0; i < 40; ++i)
        if (Names(host.List(HostPath(paths[p]))) != expected[p]) ++wrong[p];
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t p = 0; p < paths.size(); ++p) EXPECT_EQ(wrong[p], 0) << ToUtf8(paths[p]);
}

TEST(VelmaroCommand, ListsTheRootAndCreatesTheLibrary) {
  TTestFolder folder;
  TProgramResult run = Velmaro(folder.Path("v.ini"), {"ls", V("/")});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Output,
            "dir   Albums\ndir   Artists\ndir   Favorites\ndir   Genres\ndir   Latest\ndir   Titles\ndir   Years\n"
            "file  Settings\n");
  EXPECT_TRUE(std::filesystem::exists(folder.Path("VORNAK.DB")));

  ExecuteSql(folder.Path("VORNAK.DB"),
      "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre) values "
      "('" + Real("/m/a.mp3") + "', 'Queen', 'So \"Real\"', 'News', 'Rock')");
  run = Velmaro(folder.Path("v.ini"), {"ls", "-R", V("/Genres")});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Output, V("/Genres:\ndir   Rock\n\n/Genres/Rock:\ndir   Queen\n\n/Genres/Rock/Queen:\n") +
                            "file  So \"Real\" *1.mp3\n");
}

TEST(VelmaroCommand, APutTheLibraryCannotSaveFailsAndSaysSo) {
  TTestFolder folder;
  const std::string ini = folder.Path("v.ini");
  ASSERT_EQ(Velmaro(ini, {"ls", V("/")}).Status, 0);
  std::filesystem::create_directories(folder.Path("music"));
  for (const char* name : {"music/a.mp3", "music/b.mp3"}) folder.Write(name, testsupport::MpegFrames({}, 40));
  // Another program reads the library and keeps its read lock meanwhile.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(folder.Path("VORNAK.DB").c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM mp3files;", nullptr, nullptr, nullptr), SQLITE_OK);
  const TProgramResult put = Velmaro(ini, {"put", folder.Path("music")}, TProgramOptions::MergingErrors());
  sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  EXPECT_EQ(put.Status, 1) << put.Output;
  EXPECT_NE(put.Output.find("2 rows did not reach it"), std::string::npos) << put.Output;
  EXPECT_EQ(Velmaro(ini, {"ls", V("/Titles")}, TProgramOptions::MergingErrors()).Output, "");
  // Once the reader is gone the same put goes through.
  const TProgramResult again = Velmaro(ini, {"put", folder.Path("music")});
  EXPECT_NE(again.Output.find("2 recorded"), std::string::npos) << again.Output;
  EXPECT_EQ(again.Status, 0);
}

TEST(VelmaroCommand, RefusesASettingsPathTheHostCannotPass) {
  TTestFolder folder;
  const std::string ini = folder.Path(std::string(250, 'd') + "/v.ini");
  const std::filesystem::path parent = velmaro::test::Utf8Path(ini).parent_path();
  std::filesystem::create_directories(parent);
  const TProgramResult run = Velmaro(ini, {"ls", V("/")}, TProgramOptions::MergingErrors());
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Output.find("longer than a host can pass"), std::string::npos) << run.Output;
  // Nothing written there. The C++ library for Windows lists no folder
  // this deep: there the files are asked for by name.
  if (platform::IsWindows) {
    EXPECT_FALSE(std::filesystem::exists(parent / "v.ini"));
    EXPECT_FALSE(std::filesystem::exists(parent / "VORNAK.DB"));
  } else {
    EXPECT_TRUE(std::filesystem::is_empty(parent));
  }
}

TEST(VelmaroCommand, ANameThatIsNotUtf8IsReportedAndTheOthersGoOn) {
  if (platform::IsWindows) GTEST_SKIP() << "Windows names are UTF-16 text";
  TTestFolder folder;
  const std::string ini = folder.Path("v.ini");
  std::filesystem::create_directories(folder.Path("music"));
  folder.Write("music/a.mp3", testsupport::MpegFrames({}, 40));
  folder.Write("music/caf\xE9.mp3", testsupport::MpegFrames({}, 40));
  const std::string latin1 = folder.Path("music/caf\xE9.mp3");
  const std::string shown = "$'" + folder.Path("music/caf") + "\\xe9.mp3'";
  const std::string failed = "  failed: " + shown + ": the name is not valid UTF-8, which the plug-in needs\n";

  TProgramResult run = Velmaro(ini, {"put", folder.Path("music")}, TProgramOptions::MergingErrors());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "put 2 files: 1 recorded in the library, 1 failed\n" + failed);
  EXPECT_EQ(Velmaro(ini, {"ls", V("/Titles")}).Output, "file  " + PathEntry(folder.Path("music/a.mp3")) + "\n");
  run = Velmaro(ini, {"put", latin1}, TProgramOptions::MergingErrors());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "put 1 file: 0 recorded in the library, 1 failed\n" + failed);

  // A folder to copy into that cannot be named to the plug-in.
  std::filesystem::create_directories(folder.Path("d\xE9j\xE0"));
  run = Velmaro(ini, {"get", V("/Titles/") + PathEntry(folder.Path("music/a.mp3")), folder.Path("d\xE9j\xE0")},
                TProgramOptions::MergingErrors());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "velmaro: cannot copy into $'" + folder.Path("d") +
                            "\\xe9j\\xe0': the name is not valid UTF-8, which the plug-in needs\n");
  // Nor can a settings file: the plug-in would read the name as another one.
  run = Velmaro(folder.Path("v\xE9.ini"), {"ls", V("/")}, TProgramOptions::MergingErrors());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Output, "velmaro: the settings file path is not valid UTF-8: $'" + folder.Path("v") + "\\xe9.ini'\n");
}

TEST(VelmaroCommand, UsesTheUserConfigurationFolderByDefault) {
  TTestFolder folder;
  // Windows keeps it in the roaming application data.
  const char* variable = platform::IsWindows ? "APPDATA" : "XDG_CONFIG_HOME";
  const TProgramResult run = velmaro::test::RunProgram(velmaro::test::VelmaroProgram(), {"--plugin", PluginPath(), "ls", V("/")},
                                                       TProgramOptions::WithVariable(variable, folder.Path("config")));
  EXPECT_EQ(run.Status, 0);
  EXPECT_TRUE(std::filesystem::exists(folder.Path("config/velmaro/velmaro.ini")));
  EXPECT_TRUE(std::filesystem::exists(folder.Path("config/velmaro/VORNAK.DB")));
}

}  // namespace
