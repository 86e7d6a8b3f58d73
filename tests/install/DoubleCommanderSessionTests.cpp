// The plug-in in the real host, end to end, as a user meets it: velmaro
// install-plugin, Double Commander started on a private X server, the
// Velmaro panel opened from its list of virtual file systems, a folder of
// music copied in with F5, the Velmaro column set chosen from the column
// header's menu. The library must hold the tracks; a screenshot is left
// under the build folder for a person to look at.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "DoubleCommander.h"
#include "support/CommandRunner.h"
#include "support/Id3v2Builder.h"
#include "support/MpegBuilder.h"

using namespace velmaro::test;
using namespace velmaro::testsupport;
namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// Rows of the library (-1 while it cannot be read).
int TrackCount(const fs::path& db, std::string* artists = nullptr) {
  sqlite3* connection = nullptr;
  int count = -1;
  if (sqlite3_open_v2(db.c_str(), &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, "select mf_artist from mp3files order by mf_artist", -1, &statement,
                           nullptr) == SQLITE_OK) {
      count = 0;
      while (sqlite3_step(statement) == SQLITE_ROW) {
        ++count;
        if (artists) *artists += std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) + ";";
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(connection);
  return count;
}

bool LinksAddressSanitizer(const std::string& module) {
  return RunCommand("ldd " + ShellQuoted(module) + " 2>/dev/null").find("libasan") != std::string::npos;
}

TEST(DoubleCommanderSession, InstallOpenThePanelCopyMusicInAndSeeItsColumns) {
  std::string why;
  if (!DoubleCommanderAvailable(why)) GTEST_SKIP() << why;

  // Double Commander cannot load a plug-in built with AddressSanitizer (the
  // sanitizer's runtime must be the first library of the process), so a
  // sanitizer build tries the package's optimised build instead.
  TTestFolder folder;
  std::string velmaro = VelmaroCommand();
  std::unique_ptr<TUnpackedPackage> package;
  if (LinksAddressSanitizer(VELMARO_PLUGIN_PATH)) {
    const fs::path deb = BuiltPackage();
    if (deb.empty())
      GTEST_SKIP() << "this build's plug-in uses AddressSanitizer, which Double Commander cannot load, and no "
                      "package was built to try instead (scripts/package)";
    package = std::make_unique<TUnpackedPackage>(deb);
    ASSERT_TRUE(package->Ok()) << package->Output();
    velmaro = ShellQuoted((package->Root() / "usr/bin/velmaro").string()) + " --ini " +
              ShellQuoted(folder.Path("velmaro.ini"));
  }

  const fs::path config = folder.Path() / "config";
  TXvfb xvfb;
  ASSERT_FALSE(xvfb.Display().empty()) << "Xvfb did not start";
  // Its own configuration first, as on a user's machine.
  const fs::path first = FirstConfiguration(why);
  ASSERT_FALSE(first.empty()) << why;
  fs::copy(first, config, fs::copy_options::recursive);
  int status = -1;
  const std::string installed =
      RunCommand(velmaro + " install-plugin --config-dir " + ShellQuoted(config.string()) + " 2>&1", &status);
  ASSERT_EQ(status, 0) << installed;

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
    fs::create_directories(folder.Path() / "music" / "album");
    folder.Write("music/album/" + std::to_string(i + 1) + ".mp3", bytes);
  }

  TDoubleCommander host(xvfb, config, folder.Path().string(), folder.Path("music"));
  ASSERT_FALSE(host.Window().empty()) << host.Log();
  const std::string window = host.Window();
  const auto x = [&](const std::string& command) { return xvfb.Run("xdotool " + command + " 2>&1"); };
  x("windowsize --sync " + window + " 1900 640");
  x("windowmove --sync " + window + " 0 0");

  // The "//" button above the left panel lists the file-system plug-ins:
  // "..", FTP, Velmaro, Windows Network. Entering Velmaro starts the
  // plug-in, which makes its library beside the settings file the host
  // hands it (wfx.ini in the configuration folder).
  const fs::path library = config / "VORNAK.DB";
  ASSERT_TRUE(WaitFor(
      [&] {
        x("mousemove --window " + window + " 20 63 click 1");
        std::this_thread::sleep_for(1s);
        x("mousemove --window " + window + " 150 250 click 1 key Home Down Down Return");
        return WaitFor([&] { return fs::exists(library); }, 5s);
      },
      40s))
      << "the Velmaro panel did not open\n"
      << host.Log();
  EXPECT_TRUE(fs::exists(config / "wfx.ini"));

  // The right panel shows the music folder: "..", then "album". F5 asks
  // where to copy; Return starts the copy into the Velmaro panel.
  ASSERT_TRUE(WaitFor(
      [&] {
        x("mousemove --window " + window + " 1400 250 click 1 key Home Down F5");
        const std::string dialog = x("search --sync --onlyvisible --name '^Copy file' 2>/dev/null | head -1");
        x("key Return");
        return WaitFor([&] { return TrackCount(library) == 3; }, 15s);
      },
      60s))
      << "the copy did not reach the library (" << TrackCount(library) << " rows)\n"
      << host.Log();
  std::string names;
  TrackCount(library, &names);
  EXPECT_EQ(names, "Kaleo;Mari Boine;Sigur Ros;");

  // The column set comes from the column header's menu; then the left
  // panel enters Latest: "..", Albums, Artists, Favorites, Genres, Latest.
  x("mousemove --window " + window + " 150 175 click 3");
  std::this_thread::sleep_for(1s);
  x("key Down Return");
  std::this_thread::sleep_for(1s);
  x("mousemove --window " + window + " 150 250 click 1 key Home Down Down Down Down Down Return");
  std::this_thread::sleep_for(2s);
  fs::create_directories(VELMARO_BINARY_DIR "/screenshots");
  const std::string shot = VELMARO_BINARY_DIR "/screenshots/doublecmd-velmaro.png";
  xvfb.Run("import -window root -crop 1900x640+0+0 " + ShellQuoted(shot));
  EXPECT_TRUE(fs::exists(shot));

  // Quitting writes the configuration again: both entries survive it.
  ASSERT_TRUE(host.Quit()) << host.Log();
  const std::string written = ReadAll((config / "doublecmd.xml").string());
  EXPECT_NE(written.find("<FileSystem>Velmaro</FileSystem>"), std::string::npos);
  EXPECT_NE(written.find("<Name>Velmaro</Name>"), std::string::npos);
}

}  // namespace
