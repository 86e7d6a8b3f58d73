// The plug-in in the real host, end to end, as a user meets it, in both
// Debian builds of Double Commander (GTK, and Qt when scripts/test has
// unpacked it): velmaro install-plugin, the host started on a private X
// server, the Velmaro panel opened from its list of virtual file systems,
// a folder of music copied in with F5, the Velmaro column set picked from
// the column header's menu, Enter on a track reaching the
// desktop's default application with the real file, Properties and
// Settings shown and closed again. A large copy runs on the
// host's worker thread with its progress window, leaves the other panel
// usable and stops at Cancel. Screenshots of each state are left under
// the build folder for a person to look at.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "DoubleCommander.h"
#include "support/CommandRunner.h"
#include "support/Id3v2Builder.h"
#include "support/MpegBuilder.h"

using namespace velmaro::test;
using namespace velmaro::testsupport;
namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// Rows of the library (-1 while it cannot be read), of those that meet the
// condition where; their paths into paths.
int TrackCount(const fs::path& db, std::string* artists = nullptr, std::vector<std::string>* paths = nullptr,
               const std::string& where = "1") {
  sqlite3* connection = nullptr;
  int count = -1;
  if (sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(connection, 2000);
    sqlite3_stmt* statement = nullptr;
    const std::string sql = "select mf_artist, mf_path from mp3files where " + where + " order by mf_artist";
    if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
      count = 0;
      int step;
      while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        ++count;
        if (artists) *artists += std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) + ";";
        if (paths) paths->push_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
      }
      if (step != SQLITE_DONE) count = -1;
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(connection);
  return count;
}

bool LinksAddressSanitizer(const std::string& module) {
  return RunCommand("ldd " + ShellQuoted(module) + " 2>/dev/null").find("libasan") != std::string::npos;
}

class DoubleCommanderSession : public ::testing::TestWithParam<THostBuild> {
 protected:
  void SetUp() override {
    std::string why;
    if (!DoubleCommanderAvailable(why)) GTEST_SKIP() << why;
    // Double Commander cannot load a plug-in built with AddressSanitizer
    // (the sanitizer's runtime must be the first library of the process),
    // so a sanitizer build tries the package's optimised build instead.
    FVelmaro = VelmaroCommand();
    if (LinksAddressSanitizer(VELMARO_PLUGIN_PATH)) {
      const fs::path deb = BuiltPackage();
      if (deb.empty())
        GTEST_SKIP() << "this build's plug-in uses AddressSanitizer, which Double Commander cannot load, and no "
                        "package was built to try instead (scripts/package)";
      FPackage = std::make_unique<TUnpackedPackage>(deb);
      ASSERT_TRUE(FPackage->Ok()) << FPackage->Output();
      FVelmaro = ShellQuoted((FPackage->Root() / "usr/bin/velmaro").string()) + " --ini " +
                 ShellQuoted(FFolder.Path("velmaro.ini"));
    }
    ASSERT_FALSE(FXvfb.Display().empty()) << "Xvfb did not start";
    // Its own configuration first, as on a user's machine.
    const fs::path first = FirstConfiguration(why);
    ASSERT_FALSE(first.empty()) << why;
    fs::copy(first, Config(), fs::copy_options::recursive);
    int status = -1;
    const std::string installed =
        RunCommand(FVelmaro + " install-plugin --config-dir " + ShellQuoted(Config().string()) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << installed;
    fs::create_directories(VELMARO_BINARY_DIR "/screenshots");
  }

  fs::path Config() const { return FFolder.Path() / "config"; }
  fs::path Library() const { return Config() / "VORNAK.DB"; }
  std::string X(const std::string& command) const { return FXvfb.Run("xdotool " + command + " 2>&1"); }
  // A screenshot of the screen, named after the build and the state.
  std::string Shot(const std::string& state) const {
    const std::string shot =
        VELMARO_BINARY_DIR "/screenshots/doublecmd-" + GetParam().Name + "-" + state + ".png";
    FXvfb.Run("import -window root " + ShellQuoted(shot));
    return shot;
  }
  // The first visible window whose title matches, or empty.
  std::string FindWindow(const std::string& pattern, std::chrono::seconds patience = 15s) const {
    std::string id;
    WaitFor(
        [&] {
          id = FXvfb.Run("xdotool search --onlyvisible --name " + ShellQuoted(pattern) + " 2>/dev/null | head -1");
          while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
          return !id.empty();
        },
        patience);
    return id;
  }

  // Starts the host with its panels on the given folders, its window
  // placed where the coordinates below expect it.
  std::unique_ptr<TDoubleCommander> Start(const std::string& left, const std::string& right,
                                          const std::string& environment = "") {
    auto host = std::make_unique<TDoubleCommander>(FXvfb, Config(), left, right, GetParam().Program, environment);
    if (host->Window().empty()) return host;
    X("windowsize --sync " + host->Window() + " 1900 640");
    X("windowmove --sync " + host->Window() + " 0 0");
    return host;
  }

  // The "//" button above the left panel lists the file-system plug-ins:
  // "..", FTP, Velmaro, Windows Network. Entering Velmaro starts the
  // plug-in, which makes its library beside the settings file the host
  // hands it (wfx.ini in the configuration folder).
  bool OpenVelmaroPanel(const TDoubleCommander& host) const {
    return WaitFor(
        [&] {
          X("mousemove --window " + host.Window() + " 20 63 click 1");
          std::this_thread::sleep_for(1s);
          X("mousemove --window " + host.Window() + " 150 250 click 1 key Home Down Down Return");
          return WaitFor([&] { return fs::exists(Library()); }, 5s);
        },
        40s);
  }

  TTestFolder FFolder;
  TXvfb FXvfb;
  std::string FVelmaro;
  std::unique_ptr<TUnpackedPackage> FPackage;
};

TEST_P(DoubleCommanderSession, CopyMusicInOpenATrackWithTheDefaultApplicationAndShowTheDialogs) {
  // Three tagged tracks in a folder "album".
  const char* artists[] = {"Kaleo", "Mari Boine", "Sigur Ros"};
  for (int i = 0; i < 3; ++i) {
    TBytes bytes = TId3v2Builder(3)
                       .Text("TPE1", artists[i])
                       .Text("TIT2", "Song " + std::to_string(i + 1))
                       .Text("TALB", "Northern Lights")
                       .Text("TRCK", std::to_string(i + 1))
                       .Text("TCON", "Folk")
                       .Build();
    AppendBytes(bytes, MpegFrames({}, 200));
    fs::create_directories(FFolder.Path() / "music" / "album");
    FFolder.Write("music/album/" + std::to_string(i + 1) + ".mp3", bytes);
  }

  // The desktop's default application for MP3 files: a program that
  // records what it was given, registered with xdg-mime in folders of the
  // test's own.
  const std::string opened = FFolder.Path("opened");
  FFolder.Write("player", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + ShellQuoted(opened + ".tmp") + " && mv " +
                              ShellQuoted(opened + ".tmp") + " " + ShellQuoted(opened) + "\n");
  fs::permissions(FFolder.Path() / "player", fs::perms::owner_all);
  fs::create_directories(FFolder.Path() / "data" / "applications");
  fs::create_directories(FFolder.Path() / "xdg-config");
  FFolder.Write("data/applications/velmaro-test-player.desktop",
                "[Desktop Entry]\nType=Application\nName=Test player\nExec=" + FFolder.Path("player") +
                    " %f\nMimeType=audio/mpeg;\n");
  const std::string desktop = "XDG_DATA_HOME=" + ShellQuoted(FFolder.Path("data")) +
                              " XDG_CONFIG_HOME=" + ShellQuoted(FFolder.Path("xdg-config")) +
                              " XDG_CURRENT_DESKTOP= DESKTOP_SESSION=";
  int status = -1;
  const std::string registered =
      RunCommand("env " + desktop + " xdg-mime default velmaro-test-player.desktop audio/mpeg 2>&1", &status);
  ASSERT_EQ(status, 0) << registered;

  auto host = Start(FFolder.Path("music"), FFolder.Path("music"), desktop);
  ASSERT_FALSE(host->Window().empty()) << host->Log();
  const std::string window = host->Window();
  std::this_thread::sleep_for(1s);
  Shot("1-ordinary");

  ASSERT_TRUE(OpenVelmaroPanel(*host)) << "the Velmaro panel did not open\n" << host->Log();
  EXPECT_TRUE(fs::exists(Config() / "wfx.ini"));

  // The right panel shows the music folder: "..", then "album". F5 asks
  // where to copy; Return starts the copy into the Velmaro panel.
  ASSERT_TRUE(WaitFor(
      [&] {
        X("mousemove --window " + window + " 1400 250 click 1 key Home Down F5");
        X("search --sync --onlyvisible --name '^Copy file' 2>/dev/null | head -1");
        X("key Return");
        return WaitFor([&] { return TrackCount(Library()) == 3; }, 15s);
      },
      60s))
      << "the copy did not reach the library (" << TrackCount(Library()) << " rows)\n"
      << host->Log();
  std::string names;
  std::vector<std::string> paths;
  TrackCount(Library(), &names, &paths);
  EXPECT_EQ(names, "Kaleo;Mari Boine;Sigur Ros;");

  // The Velmaro column set comes from the column header's menu; then the
  // left panel enters Latest: "..", Albums, Artists, Favorites, Genres,
  // Latest.
  X("mousemove --window " + window + " 150 175 click 3");
  std::this_thread::sleep_for(1s);
  X("key Down Return");
  std::this_thread::sleep_for(1s);
  X("mousemove --window " + window + " 150 250 click 1 key Home Down Down Down Down Down Return");
  std::this_thread::sleep_for(2s);
  Shot("2-latest");

  // Enter on the first track hands its real file to the default
  // application.
  X("key Home Down Return");
  ASSERT_TRUE(WaitFor([&] { return fs::exists(opened); }, 20s)) << "Enter reached no application\n" << host->Log();
  const std::string given = ReadAll(opened);
  EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const std::string& path) { return given == path + "\n"; }))
      << given;

  // Properties of that track (Alt+Enter), then Settings (the root's last
  // entry): the plug-in's windows inside the host's process. Properties
  // is filled in, rated and saved by keyboard alone: the title has the
  // keyboard with its text selected, six Tabs reach the stars, the next
  // one Favorite, and Enter is OK.
  X("windowfocus --sync " + window + " key Home Down alt+Return");
  const std::string properties = FindWindow("^Properties$");
  EXPECT_FALSE(properties.empty()) << "no Properties window\n" << host->Log();
  if (!properties.empty()) {
    X("windowfocus --sync " + properties + " type --delay 30 'Keyed in'");
    X("windowfocus --sync " + properties + " key --delay 60 Tab Tab Tab Tab Tab Tab 4 Tab space");
    Shot("3-properties");
    X("windowfocus --sync " + properties + " key Return");
    WaitFor([&] { return FindWindow("^Properties$", 1s).empty(); }, 10s);
    EXPECT_TRUE(WaitFor(
        [&] {
          return TrackCount(Library(), nullptr, nullptr,
                            "mf_title = 'Keyed in' and mf_rating = 4 and mf_favorite = 1") == 1;
        },
        10s))
        << "Properties saved no keyed-in title, rating and favourite\n"
        << host->Log();
  }
  X("windowfocus --sync " + window + " key BackSpace");
  std::this_thread::sleep_for(1s);
  X("key End Return");
  const std::string settings = FindWindow("^Settings$");
  EXPECT_FALSE(settings.empty()) << "no Settings window\n" << host->Log();
  Shot("4-settings");
  if (!settings.empty()) {
    X("windowfocus --sync " + settings + " key Escape");
    WaitFor([&] { return FindWindow("^Settings$", 1s).empty(); }, 10s);
  }

  // Back in an ordinary folder: the home button above the left panel.
  X("mousemove --window " + window + " 911 88 click 1");
  std::this_thread::sleep_for(2s);
  Shot("5-ordinary-again");

  // Quitting writes the configuration again: our entries survive it.
  ASSERT_TRUE(host->Quit()) << host->Log();
  const std::string written = ReadAll((Config() / "doublecmd.xml").string());
  EXPECT_NE(written.find("<FileSystem>Velmaro</FileSystem>"), std::string::npos);
  EXPECT_NE(written.find("<Name>Velmaro</Name>"), std::string::npos);
  EXPECT_TRUE(FindWindow("^Properties$", 1s).empty() && FindWindow("^Settings$", 1s).empty());
}

// 20,000 small files, hard links of one track: fast to make. Its tag of
// a few thousand frames takes the import long enough per file that even
// an optimised plug-in is still copying while the test looks on.
TEST_P(DoubleCommanderSession, ALargeCopyShowsProgressKeepsTheOtherPanelUsableAndStopsAtCancel) {
  constexpr int Files = 20000;
  TId3v2Builder tag(3);
  tag.Text("TPE1", "Many").Text("TIT2", "One");
  for (int i = 0; i < 3000; ++i) tag.Text("TXXX", "note " + std::to_string(i) + std::string(40, 'v'));
  TBytes bytes = tag.Build();
  AppendBytes(bytes, MpegFrames({}, 4));
  FFolder.Write("one.mp3", bytes);
  fs::create_directories(FFolder.Path() / "source" / "many");
  fs::create_directories(FFolder.Path() / "source" / "other" / "inside");
  for (int i = 0; i < Files; ++i)
    fs::create_hard_link(FFolder.Path("one.mp3"), FFolder.Path() / "source" / "many" / (std::to_string(i) + ".mp3"));

  auto host = Start(FFolder.Path(), FFolder.Path("source"));
  ASSERT_FALSE(host->Window().empty()) << host->Log();
  const std::string window = host->Window();
  ASSERT_TRUE(OpenVelmaroPanel(*host)) << "the Velmaro panel did not open\n" << host->Log();

  // The right panel: "..", "many", "other". F5 on "many", Return.
  X("mousemove --window " + window + " 1400 250 click 1 key Home Down F5");
  X("search --sync --onlyvisible --name '^Copy file' 2>/dev/null | head -1");
  X("key Return");
  ASSERT_TRUE(WaitFor([&] { return TrackCount(Library()) > 0; }, 60s)) << host->Log();

  // The copy runs on a worker thread with a progress window of its own.
  const auto windows = [&] {
    std::set<std::string> ids;
    std::istringstream lines(FXvfb.Run("xdotool search --onlyvisible --pid " + host->Pid() + " --name . 2>/dev/null"));
    for (std::string id; std::getline(lines, id);)
      if (id != window) ids.insert(id);
    return ids;
  };
  std::set<std::string> progress;
  EXPECT_TRUE(WaitFor([&] { return !(progress = windows()).empty(); }, 10s)) << "no progress window";
  Shot("6-copy-progress");
  for (const std::string& id : progress) std::cout << "progress window " << id << ": " << X("getwindowname " + id);

  // Meanwhile the other panel lists a folder: "other" and its "inside".
  const int before = TrackCount(Library());
  const std::string panel = Shot("7-before-listing");
  X("windowfocus --sync " + window + " mousemove --window " + window + " 1400 250 click 1 key End Return");
  std::this_thread::sleep_for(2s);
  const std::string listed = Shot("8-other-panel-listed");
  const int during = TrackCount(Library());
  // The right panel's file list, before and after.
  const auto crop = [&](const std::string& shot) {
    const std::string part = shot + ".right-panel.png";
    RunCommand("convert " + ShellQuoted(shot) + " -crop 600x150+960+150 +repage " + ShellQuoted(part));
    return part;
  };
  int same = -1;
  RunCommand("compare -metric AE " + ShellQuoted(crop(panel)) + " " + ShellQuoted(crop(listed)) + " null: 2>/dev/null",
             &same);
  EXPECT_NE(same, 0) << "the other panel did not change";
  EXPECT_LT(during, Files) << "the copy ended before the other panel was used";

  // Cancel: Escape in the progress window.
  for (const std::string& id : windows()) X("windowfocus --sync " + id + " key Escape");
  std::this_thread::sleep_for(3s);
  const int afterCancel = TrackCount(Library());
  std::this_thread::sleep_for(3s);
  const int later = TrackCount(Library());
  Shot("9-cancelled");
  EXPECT_GT(later, 0);
  EXPECT_LT(later, Files) << "the copy was not stopped";
  EXPECT_EQ(later, afterCancel) << "the copy went on after Cancel";
  EXPECT_GE(later, before);
  // Every row the library holds is whole; the host still answers.
  std::vector<std::string> paths;
  EXPECT_EQ(TrackCount(Library(), nullptr, &paths), later);
  for (const std::string& path : paths) ASSERT_TRUE(fs::exists(path)) << path;
  EXPECT_TRUE(host->Running());
  ASSERT_TRUE(host->Quit()) << host->Log();
}

std::vector<THostBuild> Builds() {
  std::vector<THostBuild> builds = HostBuilds();
  // A placeholder that skips, so that a machine without the host reports why.
  if (builds.empty()) builds.push_back({"none", "doublecmd"});
  return builds;
}

INSTANTIATE_TEST_SUITE_P(Builds, DoubleCommanderSession, ::testing::ValuesIn(Builds()),
                         [](const ::testing::TestParamInfo<THostBuild>& info) { return info.param.Name; });

}  // namespace
