// The dialogs' real windows, end to end: velmaro executes an entry as a
// host does, the window appears on a private X server (Xvfb), xdotool
// clicks and types as a user would, and the library shows the result.
// A screenshot of each dialog is left under the build folder for a person
// to look at; nothing compares pixels (fonts differ between machines).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include <sqlite3.h>

#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/CommandRunner.h"
#include "support/MpegBuilder.h"
#include "support/TestFolder.h"
#include "ui/StarPictures.h"

using velmaro::test::RunCommand;
using velmaro::test::ShellQuoted;
using velmaro::test::TTestFolder;

namespace {

using namespace std::chrono_literals;

const std::string ScreenshotFolder = VELMARO_BINARY_DIR "/screenshots";

// How long a window may take to come or go: generous, as a machine busy
// with builds starts a sanitized velmaro slowly.
constexpr auto Patience = 60s;

// A private X server; stopped (and so every window on it closed) when
// this ends.
class TXvfb {
 public:
  // Display numbers are chosen here, not by Xvfb (-displayfd): a server
  // given a number checks its lock before it touches any socket, while
  // one that picks its own may take over the socket of a live server.
  TXvfb() {
    const int first = 100 + static_cast<int>(::getpid() % 50) * 10;
    for (int number = first; number < first + 200 && FDisplay.empty(); ++number) {
      if (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock")) continue;
      Start(number);
    }
  }
  ~TXvfb() { Stop(); }

  // ":N", or empty when no server could be started.
  const std::string& Display() const { return FDisplay; }
  // Returns once the server has gone, its socket and lock removed.
  void Stop() {
    if (FPid.empty()) return;
    RunCommand("kill " + FPid + " 2>/dev/null");
    while (Running()) std::this_thread::sleep_for(20ms);
    FPid.clear();
  }

  // Runs an X client (xdotool, import) on this display.
  std::string Run(const std::string& command, int* status = nullptr) const {
    return RunCommand("DISPLAY=" + FDisplay + " " + command, status);
  }

 private:
  void Start(int number) {
    const std::string display = ":" + std::to_string(number);
    // -noreset: a server resetting after its last client left refuses
    // the next one for a moment.
    FPid = RunCommand("Xvfb " + display + " -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 </dev/null & echo $!");
    while (!FPid.empty() && FPid.back() == '\n') FPid.pop_back();
    // Ready once a client gets in; gone at once when another server holds
    // the number.
    for (auto end = std::chrono::steady_clock::now() + 15s; Running() && std::chrono::steady_clock::now() < end;) {
      int status = -1;
      RunCommand("DISPLAY=" + display + " xdotool getdisplaygeometry >/dev/null 2>&1", &status);
      if (status == 0) {
        FDisplay = display;
        return;
      }
      std::this_thread::sleep_for(50ms);
    }
    Stop();
  }
  // Alive and not a zombie left for whoever adopted it.
  bool Running() const {
    const std::string stat = velmaro::test::ReadAll("/proc/" + FPid + "/stat");
    const std::size_t state = stat.rfind(") ");
    return state != std::string::npos && stat.compare(state + 2, 1, "Z") != 0;
  }

  std::string FPid, FDisplay;
};

// velmaro running in the background until its dialog closes. Should a
// test end early, the X server is stopped first, which closes the dialog.
class TVelmaroRun {
 public:
  TVelmaroRun(TXvfb& xvfb, const std::string& command) : FXvfb(xvfb) {
    FResult = std::async(std::launch::async, [command] {
      std::pair<int, std::string> result{-1, {}};
      result.second = RunCommand(command, &result.first);
      return result;
    });
  }
  ~TVelmaroRun() {
    if (FResult.valid() && FResult.wait_for(0s) != std::future_status::ready) FXvfb.Stop();
  }
  // Its exit status and everything it wrote, once it has ended.
  std::pair<int, std::string> Wait() { return FResult.get(); }
  // For a test that cannot go on: ends the dialog and tells what velmaro
  // wrote.
  std::string Abandon() {
    FXvfb.Stop();
    const auto [status, output] = Wait();
    return "velmaro ended with " + std::to_string(status) + ":\n" + output;
  }

 private:
  TXvfb& FXvfb;
  std::future<std::pair<int, std::string>> FResult;
};

class DialogWindows : public testing::Test {
 protected:
  void SetUp() override {
    int status = -1;
    RunCommand("command -v Xvfb && command -v xdotool && command -v import", &status);
    if (status != 0) GTEST_SKIP() << "Xvfb, xdotool and ImageMagick's import are needed (scripts/test installs them)";
    FXvfb = std::make_unique<TXvfb>();
    ASSERT_FALSE(FXvfb->Display().empty()) << "Xvfb did not start";
    std::filesystem::create_directories(ScreenshotFolder);
  }

  std::string Library() const { return FFolder.Path("VORNAK.DB"); }

  // The velmaro command line for this test's library; on the X server
  // unless display is empty.
  std::string Velmaro(const std::string& arguments, const std::string& display) const {
    return (display.empty() ? std::string("env -u DISPLAY ") : "DISPLAY=" + display + " ") +
           "LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=" VELMARO_SOURCE_DIR
           "/tests/gui/fltk.supp timeout 60 '" VELMARO_BINARY_DIR
           "/velmaro' --plugin '" VELMARO_PLUGIN_PATH "' --ini '" +
           FFolder.Path("v.ini") + "' " + arguments + " 2>&1";
  }

  // Records one MP3 file through velmaro put; its entry under Titles.
  std::string PutTrack() {
    std::filesystem::create_directories(FFolder.Path("music"));
    const std::string path = FFolder.Write("music/a.mp3", velmaro::testsupport::MpegFrames({}, 40)).string();
    int status = -1;
    const std::string out = RunCommand(Velmaro("put " + ShellQuoted(path), ""), &status);
    EXPECT_EQ(status, 0) << out;
    std::string entry = path;
    for (char& c : entry)
      if (c == static_cast<char>(velmaro::platform::DirDelim)) c = static_cast<char>(velmaro::platform::AltDelim);
    return "/Titles/" + entry;
  }

  // A whole number from the library, through a connection of its own.
  long long Query(const std::string& sql) const {
    sqlite3* db = nullptr;
    long long value = -1;
    if (sqlite3_open_v2(Library().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
          sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return value;
  }

  // The visible windows titled exactly so.
  std::set<std::string> Windows(const std::string& title) const {
    std::istringstream ids(FXvfb->Run("xdotool search --onlyvisible --name " + ShellQuoted("^" + title + "$") +
                                      " 2>/dev/null"));
    std::set<std::string> found;
    for (std::string id; ids >> id;) found.insert(id);
    return found;
  }
  // Waits for a window titled so that is not one of known; empty after
  // Patience without one.
  std::string NewWindow(const std::string& title, const std::set<std::string>& known = {}) const {
    for (auto end = std::chrono::steady_clock::now() + Patience; std::chrono::steady_clock::now() < end;) {
      for (const std::string& id : Windows(title))
        if (!known.count(id)) return id;
      std::this_thread::sleep_for(100ms);
    }
    return {};
  }

  // Waits until the window of that title and id has gone (Patience at
  // most).
  void WaitClosed(const std::string& title, const std::string& id) const {
    for (auto end = std::chrono::steady_clock::now() + Patience;
         Windows(title).count(id) && std::chrono::steady_clock::now() < end;)
      std::this_thread::sleep_for(50ms);
  }

  // A click at a point of the window, in the layout's pixels.
  void Click(const std::string& window, int x, int y) const {
    FXvfb->Run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
               " click 1");
  }
  void Keys(const std::string& window, const std::string& keys) const {
    FXvfb->Run("xdotool windowfocus --sync " + window + " key " + keys);
  }
  void Type(const std::string& window, const std::string& text) const {
    FXvfb->Run("xdotool windowfocus --sync " + window + " type --delay 20 " + ShellQuoted(text));
  }
  void Screenshot(const std::string& name) const {
    // Let FLTK draw what the last events changed.
    std::this_thread::sleep_for(300ms);
    FXvfb->Run("import -window root " + ShellQuoted(ScreenshotFolder + "/" + name));
  }

  TTestFolder FFolder;
  std::unique_ptr<TXvfb> FXvfb;
};

// Points of the Properties window's layout: the rating box's third star
// and its check box.
constexpr int ThirdStarX = 243, StarY = 507;
constexpr int FavoriteX = 375, FavoriteY = 507;
// Of the Settings window: its Rebuild and Empty Database buttons; of the
// progress window, its Cancel.
constexpr int RebuildX = 126, RebuildY = 319;
constexpr int EmptyX = 535, EmptyY = 319;
constexpr int ProgressCancelX = 180, ProgressCancelY = 99;
// Of the Settings window: Select... and OK.
constexpr int SelectX = 584, SelectY = 257;
constexpr int SettingsOkX = 457, SettingsOkY = 430;

TEST_F(DialogWindows, PropertiesStoresWhatWasTypedAndClickedOnEnter) {
  const std::string entry = PutTrack();
  ASSERT_EQ(Query("select mf_rating + mf_favorite from mp3files"), 0);

  TVelmaroRun run(*FXvfb, Velmaro("exec --verb properties " + ShellQuoted(entry), FXvfb->Display()));
  const std::string window = NewWindow("Properties");
  ASSERT_FALSE(window.empty()) << "no Properties window; " << run.Abandon();
  // The keyboard starts in the title.
  FXvfb->Run("xdotool windowfocus --sync " + window + " type --delay 20 " + ShellQuoted("Sigur Rós"));
  Click(window, ThirdStarX, StarY);
  Click(window, FavoriteX, FavoriteY);
  Screenshot("properties.png");
  // The check box has the focus and leaves Enter to OK.
  Keys(window, "Return");

  const auto [status, output] = run.Wait();
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Query("select mf_rating from mp3files"), 3);
  EXPECT_EQ(Query("select mf_favorite from mp3files"), 1);
  EXPECT_EQ(Query("select mf_title = 'Sigur Rós' from mp3files"), 1);
}

TEST_F(DialogWindows, PropertiesIsFilledInRatedAndSavedByKeyboardAlone) {
  const std::string entry = PutTrack();
  TVelmaroRun run(*FXvfb, Velmaro("exec --verb properties " + ShellQuoted(entry), FXvfb->Display()));
  const std::string window = NewWindow("Properties");
  ASSERT_FALSE(window.empty()) << "no Properties window; " << run.Abandon();
  // Tab walks Title to Comment, each edit's text selected on arrival.
  Type(window, "First try");
  for (const char* text : {"Múm", "Finally We Are No One", "2002", "Electronic", "typed \"by keys\""}) {
    Keys(window, "Tab");
    Type(window, text);
  }
  // Then the stars: a digit sets the rating, Left takes one off.
  Keys(window, "Tab 4 Left");
  Screenshot("properties-keyboard-stars.png");
  Keys(window, "Tab space");
  // The path, OK and Cancel, and round to the title again.
  Keys(window, "Tab Tab Tab Tab");
  Type(window, "Sigur Rós");
  // Backwards from the title: Cancel, then OK, which Space presses.
  Keys(window, "shift+Tab shift+Tab space");

  const auto [status, output] = run.Wait();
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Query("select mf_title = 'Sigur Rós' and mf_artist = 'Múm' and mf_album = 'Finally We Are No One' and "
                  "mf_year = '2002' and mf_genre = 'Electronic' and mf_comment = 'typed \"by keys\"' from mp3files"),
            1);
  EXPECT_EQ(Query("select mf_rating from mp3files"), 3);
  EXPECT_EQ(Query("select mf_favorite from mp3files"), 1);
}

TEST_F(DialogWindows, SettingsEmptiesTheLibraryOnlyAfterYesAndEscapeCloses) {
  PutTrack();
  ASSERT_EQ(Query("select count(*) from mp3files"), 1);

  TVelmaroRun run(*FXvfb, Velmaro("exec /Settings", FXvfb->Display()));
  const std::string window = NewWindow("Settings");
  ASSERT_FALSE(window.empty()) << "no Settings window; " << run.Abandon();
  Screenshot("settings.png");

  // Enter on the question takes its default, No: nothing is deleted.
  Click(window, EmptyX, EmptyY);
  std::string question = NewWindow("Settings", {window});
  ASSERT_FALSE(question.empty()) << "no question; " << run.Abandon();
  Keys(question, "Return");

  // FLTK takes events in order: once the second question shows, the
  // first answer has been acted on.
  Click(window, EmptyX, EmptyY);
  question = NewWindow("Settings", {window, question});
  ASSERT_FALSE(question.empty()) << "no second question; " << run.Abandon();
  EXPECT_EQ(Query("select count(*) from mp3files"), 1);
  Screenshot("settings-empty-question.png");
  Keys(question, "y");
  // Escape ends the dialog once the action is over.
  for (auto end = std::chrono::steady_clock::now() + Patience;
       Windows("Settings").size() > 1 && std::chrono::steady_clock::now() < end;)
    std::this_thread::sleep_for(100ms);
  Keys(window, "Escape");

  const auto [status, output] = run.Wait();
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Query("select count(*) from mp3files"), 0);
}

TEST_F(DialogWindows, SettingsChooserStartsAtTheLibraryAndKeepsTypedNamesAsTyped) {
  PutTrack();
  const std::string odd = FFolder.Path("my \"odd\" music's db");
  std::filesystem::create_directories(odd);
  // One showing of Settings: Select..., the keys typed into the chooser's
  // name box and Enter, then OK (and Enter on the note a new file brings).
  // The file stored for the next start.
  const auto choose = [&](const std::string& typed, bool newFile, const std::string& shot) -> std::string {
    TVelmaroRun run(*FXvfb, Velmaro("exec /Settings", FXvfb->Display()));
    const std::string window = NewWindow("Settings");
    if (window.empty()) return "no Settings window; " + run.Abandon();
    Click(window, SelectX, SelectY);
    const std::string chooser = NewWindow("Open");
    if (chooser.empty()) return "no chooser; " + run.Abandon();
    if (!shot.empty()) Screenshot(shot);
    if (!typed.empty()) Type(chooser, typed);
    Keys(chooser, "Return");
    WaitClosed("Open", chooser);
    Click(window, SettingsOkX, SettingsOkY);
    if (newFile) {
      const std::string note = NewWindow("Settings", {window});
      if (note.empty()) return "no restart note; " + run.Abandon();
      Keys(note, "Return");
    }
    const auto [status, output] = run.Wait();
    if (status != 0) return "velmaro ended with " + std::to_string(status) + ":\n" + output;
    return velmaro::platform::Utf16ToUtf8(velmaro::platform::IniReadString(
        velmaro::platform::Utf8ToUtf16(FFolder.Path("v.ini")), u"Velmaro", u"DBPath", u""));
  };
  // Enter alone takes the proposal: the library file, in its folder.
  EXPECT_EQ(choose("", false, "settings-chooser.png"), Library());
  // A typed absolute path comes out as typed, and becomes the library.
  EXPECT_EQ(choose(odd + "/lib 2.db", true, ""), odd + "/lib 2.db");
  // A typed name is taken in the folder of the library now in use.
  EXPECT_EQ(choose("new \"one\" b.db", true, ""), odd + "/new \"one\" b.db");
}

TEST_F(DialogWindows, CancelInTheRebuildsProgressUndoesTheWholeRebuild) {
  // Enough readable tracks (links to one file) that the rebuild is still
  // running when Cancel is clicked.
  constexpr int tracks = 20000;
  const std::string entry = PutTrack();
  const std::filesystem::path track = FFolder.Path("music/a.mp3");
  std::filesystem::create_directories(FFolder.Path("links"));
  for (int i = 0; i < tracks; ++i)
    std::filesystem::create_symlink(track, FFolder.Path("links/" + std::to_string(i) + ".mp3"));
  velmaro::test::ExecuteSql(Library(), "with recursive n(i) as (select 0 union all select i + 1 from n where i + 1 < " +
                                           std::to_string(tracks) + ") insert into mp3files (mf_path, mf_title) "
                                           "select '" + FFolder.Path("links/") + "' || i || '.mp3', 'old' from n");

  TVelmaroRun run(*FXvfb, Velmaro("exec /Settings", FXvfb->Display()));
  const std::string window = NewWindow("Settings");
  ASSERT_FALSE(window.empty()) << "no Settings window; " << run.Abandon();
  Click(window, RebuildX, RebuildY);
  const std::string question = NewWindow("Settings", {window});
  ASSERT_FALSE(question.empty()) << "no question; " << run.Abandon();
  Keys(question, "y");
  const std::string progress = NewWindow("Settings", {window, question});
  ASSERT_FALSE(progress.empty()) << "no progress window; " << run.Abandon();
  Screenshot("settings-rebuild-progress.png");
  Click(progress, ProgressCancelX, ProgressCancelY);
  // The report of the cancelled run, answered with Enter; then Escape.
  const std::string report = NewWindow("Settings", {window, question, progress});
  ASSERT_FALSE(report.empty()) << "no report; " << run.Abandon();
  Keys(report, "Return");
  for (auto end = std::chrono::steady_clock::now() + Patience;
       Windows("Settings").size() > 1 && std::chrono::steady_clock::now() < end;)
    std::this_thread::sleep_for(100ms);
  Keys(window, "Escape");

  const auto [status, output] = run.Wait();
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Query("select count(*) from mp3files where mf_title = 'old'"), tracks);
}

TEST_F(DialogWindows, ADisplayThatGoesAwayEndsTheDialogButNotTheHost) {
  const std::string entry = PutTrack();
  TVelmaroRun run(*FXvfb, Velmaro("exec --verb properties " + ShellQuoted(entry), FXvfb->Display()));
  const std::string window = NewWindow("Properties");
  ASSERT_FALSE(window.empty()) << "no Properties window; " << run.Abandon();
  Click(window, ThirdStarX, StarY);
  FXvfb->Stop();

  const auto [status, output] = run.Wait();
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("connection to the display was lost"), std::string::npos) << output;
  EXPECT_EQ(Query("select mf_rating from mp3files"), 0);
}

TEST(DialogWithoutDisplay, VelmaroSaysNoWindowCanBeShownAndEndsNormally) {
  TTestFolder folder;
  int status = -1;
  const std::string output = RunCommand("env -u DISPLAY '" VELMARO_BINARY_DIR "/velmaro' --plugin '" VELMARO_PLUGIN_PATH
                                        "' --ini '" + folder.Path("v.ini") + "' exec /Settings 2>&1",
                                        &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("No window can be shown: no display is available (DISPLAY is not set)."), std::string::npos)
      << output;
}

TEST(StarPictures, GoldAndGreyStarsOnATransparentGround) {
  using velmaro::ui::StarPicture;
  using velmaro::ui::TStar;
  constexpr int size = velmaro::ui::StarPictureSize;
  const auto pixel = [](const std::vector<std::uint8_t>& rgba, int x, int y) { return &rgba[(y * size + x) * 4]; };
  const std::vector<std::uint8_t> gold = StarPicture(TStar::Gold), gray = StarPicture(TStar::Gray);
  ASSERT_EQ(gold.size(), static_cast<std::size_t>(size * size * 4));
  ASSERT_EQ(gray.size(), gold.size());

  for (const auto* rgba : {&gold, &gray}) {
    EXPECT_EQ(pixel(*rgba, 0, 0)[3], 0);                // corners clear
    EXPECT_EQ(pixel(*rgba, size - 1, size - 1)[3], 0);
    EXPECT_EQ(pixel(*rgba, size / 2, size / 2)[3], 255);  // centre solid
    EXPECT_GT(pixel(*rgba, size / 2, 2)[3], 0);           // the top point reaches up
    // Antialiased edges: some pixels are partly covered.
    int partial = 0;
    for (int i = 0; i < size * size; ++i) partial += (*rgba)[i * 4 + 3] > 0 && (*rgba)[i * 4 + 3] < 255;
    EXPECT_GT(partial, 20);
  }
  const std::uint8_t* g = pixel(gold, size / 2, size / 2);
  EXPECT_GT(g[0], g[2] + 100);  // gold: much more red than blue
  const std::uint8_t* n = pixel(gray, size / 2, size / 2);
  EXPECT_TRUE(n[0] == n[1] && n[1] == n[2]);
  EXPECT_EQ(StarPicture(TStar::None), std::vector<std::uint8_t>(gold.size(), 0));
}

}  // namespace
