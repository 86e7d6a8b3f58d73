// Many hands on one library at once, for a few seconds (VELMARO_SOAK_SECONDS
// for longer): two velmaro processes copying overlapping folders in, one
// listing everything with its columns, and, in this process, Properties
// saves and rebuilds (some cancelled) on two threads. Afterwards nothing
// that was reported as done may be missing.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <algorithm>
#include <sstream>
#include <thread>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/MpegBuilder.h"
#include "support/SystemSupport.h"
#include "support/TScriptedView.h"
#include "support/TestFolder.h"
#include "ui/TfmMainSettings.h"
#include "ui/TfmProperties.h"

using namespace velmaro;
using velmaro::test::TProgramResult;
using velmaro::test::TTestFolder;

namespace {

using TClock = std::chrono::steady_clock;

int SoakSeconds() {
  const char* value = std::getenv("VELMARO_SOAK_SECONDS");
  const int seconds = value ? std::atoi(value) : 0;
  return seconds > 0 ? seconds : 4;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What happened, for the report and the checks at the end.
struct TSoakLog {
  std::mutex Lock;
  int PutRuns = 0, ListRuns = 0, Saves = 0, SavesRefused = 0, Rebuilds = 0, RebuildsCancelled = 0;
  std::set<std::string> PutOk;                 // files a put reported recorded
  std::map<std::string, int> SavedRating;      // the last rating a save reported done
  std::vector<std::string> Failures;
  void Fail(const std::string& what) {
    std::lock_guard<std::mutex> guard(Lock);
    Failures.push_back(what);
  }
};

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"a", "b", "shared", "lib"}) std::filesystem::create_directories(Folder.Path(sub));
    for (const char* sub : {"a", "b", "shared"})
      for (int i = 0; i < 25; ++i) {
        const std::string name = std::string(sub) + "/" + sub + " " + std::to_string(i) + ".mp3";
        Folder.Write(name, testsupport::MpegFrames({}, 30 + i));
        Files.push_back(Folder.Path(name));
      }
    Ini = Folder.Path("lib/v.ini");
    fsapi::TDefaultParams params{};
    std::strncpy(params.DefaultIniName, test::HostText(Ini).c_str(), sizeof params.DefaultIniName - 1);
    TPlugin::TCallScope scope(Plugin);
    Plugin.FsSetDefaultParams(&params);
  }

  TProgramResult Velmaro(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--plugin", test::PluginPath(), "--ini", Ini});
    return test::RunProgram(test::VelmaroProgram(), arguments, test::TProgramOptions::MergingErrors());
  }

  // velmaro put of folders, again and again: each file not listed as
  // failed was recorded.
  void PutLoop(std::vector<std::string> folders) {
    folders.insert(folders.begin(), "put");
    while (TClock::now() < Deadline) {
      const TProgramResult run = Velmaro(folders);
      std::set<std::string> failed;
      for (const std::string& line : Lines(run.Output))
        if (line.rfind("  failed: ", 0) == 0) failed.insert(line.substr(10));
      std::lock_guard<std::mutex> guard(Log.Lock);
      ++Log.PutRuns;
      if (run.Status != 0) Log.Failures.push_back("put: " + run.Output);
      if (run.Output.find("could not be written") != std::string::npos) continue;
      for (const std::string& file : Files)
        if (!failed.count(file) && !failed.count("'" + file + "'")) {
          for (const std::string& folder : folders)
            if (file.rfind(folder + "/", 0) == 0) Log.PutOk.insert(file);
        }
    }
  }

  // velmaro ls -R -l /: every Titles entry is one of the files, once.
  void ListLoop() {
    while (TClock::now() < Deadline) {
      const TProgramResult run = Velmaro({"ls", "-R", "-l", "/Titles"});
      std::set<std::string> seen;
      bool wrong = run.Status != 0;
      for (const std::string& line : Lines(run.Output)) {
        if (line.rfind("file  ", 0) != 0) {
          wrong = wrong || !(line.empty() || line.rfind("/Titles", 0) == 0 || line.rfind("Kind  ", 0) == 0);
          continue;
        }
        // "file  NAME  columns...": the name is the path with its slashes
        // turned round.
        std::string name = line.substr(6);
        name = name.substr(0, name.find("  "));
        std::string path = name;
        for (char& c : path)
          if (c == '\\') c = '/';
        wrong = wrong || !seen.insert(path).second ||
                std::find(Files.begin(), Files.end(), path) == Files.end();
      }
      std::lock_guard<std::mutex> guard(Log.Lock);
      ++Log.ListRuns;
      if (wrong) Log.Failures.push_back("ls: " + run.Output);
    }
  }

  // Properties of a random file: a new rating, saved by OK.
  void PropertiesLoop() {
    std::mt19937 random(7);
    const ui::TDialogContext context = Plugin.DialogContext();
    while (TClock::now() < Deadline) {
      const std::string& file = Files[random() % Files.size()];
      std::u16string entry = VPath(u"\\Titles\\") + ReplaceChar(platform::Utf8ToUtf16(file), u'/', u'\\');
      test::TScriptedView view;
      ui::TfmProperties properties(context, view);
      properties.FileName = entry;
      properties.FormCreate();
      properties.FormShow();
      const int rating = static_cast<int>(random() % 6);
      properties.Image0Click("Image" + std::to_string(rating));
      properties.btOkClick();
      std::lock_guard<std::mutex> guard(Log.Lock);
      if (properties.RowId() == 0) continue;  // not recorded yet
      const bool saved = view.Closed && view.Messages.empty();
      if (saved) {
        ++Log.Saves;
        Log.SavedRating[file] = rating;
      } else {
        ++Log.SavesRefused;
        // Refused, with the reason: the library was busy for too long.
        if (view.Messages.empty() || view.Messages[0].Text.find(u"busy") == std::u16string::npos)
          Log.Failures.push_back("Properties: " +
                                 platform::Utf16ToUtf8(view.Messages.empty() ? u"" : view.Messages[0].Text));
      }
    }
  }

  // Rebuilds, every other one cancelled part way.
  void RebuildLoop() {
    const ui::TDialogContext context = Plugin.DialogContext();
    for (int round = 0; TClock::now() < Deadline; ++round) {
      test::TScriptedView view;
      view.Answers = {ui::TAnswer::Yes};
      if (round % 2 == 0) view.CancelAfter = 1;
      ui::TfmMainSettings settings(context, view);
      settings.FormShow();
      settings.btRebuildDatabaseClick();
      std::lock_guard<std::mutex> guard(Log.Lock);
      ++Log.Rebuilds;
      if (settings.LastRebuild().Cancelled) ++Log.RebuildsCancelled;
      for (const auto& message : view.Messages)
        if (message.Kind == ui::TAskKind::Error) Log.Failures.push_back("rebuild: " + platform::Utf16ToUtf8(message.Text));
      if (settings.LastRebuild().Deleted != 0) Log.Failures.push_back("rebuild deleted rows of files that are there");
    }
  }

  TTestFolder Folder;
  std::vector<std::string> Files;
  std::string Ini;
  TPlugin Plugin;
  TClock::time_point Deadline;
  TSoakLog Log;
};

TEST_F(Soak, NothingReportedAsDoneIsLost) {
  if (platform::IsWindows) GTEST_SKIP() << "runs velmaro processes side by side, on Linux";
  const int seconds = SoakSeconds();
  Deadline = TClock::now() + std::chrono::seconds(seconds);
  std::vector<std::thread> hands;
  hands.emplace_back([&] { PutLoop({Folder.Path("a"), Folder.Path("shared")}); });
  hands.emplace_back([&] { PutLoop({Folder.Path("b"), Folder.Path("shared")}); });
  hands.emplace_back([&] { ListLoop(); });
  hands.emplace_back([&] { PropertiesLoop(); });
  hands.emplace_back([&] { RebuildLoop(); });
  for (std::thread& hand : hands) hand.join();

  // What the library holds now.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Folder.Path("lib/VORNAK.DB").c_str(), &db), SQLITE_OK);
  std::map<std::string, int> rows;
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "select mf_path, mf_rating from mp3files", -1, &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW)
    rows[reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))] = sqlite3_column_int(statement, 1);
  sqlite3_finalize(statement);
  sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  const std::string integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  sqlite3_finalize(statement);
  sqlite3_close(db);

  std::cout << "soak of " << seconds << " s: " << Log.PutRuns << " velmaro put runs, " << Log.ListRuns
            << " ls -R -l runs, " << Log.Saves << " Properties saves (" << Log.SavesRefused << " refused as busy), "
            << Log.Rebuilds << " rebuilds (" << Log.RebuildsCancelled << " cancelled); " << rows.size() << " rows, "
            << Log.PutOk.size() << " files reported recorded; integrity: " << integrity << "\n";
  EXPECT_EQ(integrity, "ok");
  for (const std::string& failure : Log.Failures) ADD_FAILURE() << failure;
  EXPECT_GT(Log.PutRuns, 1);
  EXPECT_GT(Log.ListRuns, 0);
  EXPECT_GT(Log.Rebuilds, 0);
  for (const std::string& file : Log.PutOk) EXPECT_TRUE(rows.count(file)) << file << " was reported recorded";
  for (const auto& [file, rating] : Log.SavedRating) {
    ASSERT_TRUE(rows.count(file)) << file;
    EXPECT_EQ(rows[file], rating) << file << ": the last rating saved";
  }
}

}  // namespace
