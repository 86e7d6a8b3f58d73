// Library maintenance on large libraries: the rebuild of the Settings
// dialog over 20,000 and 40,000 rows whose files exist (links to the test
// audio: symbolic links, else hard links where the system makes no
// symbolic ones, as under Wine), and saving one track from the Properties
// dialog in a library of 1,000,000 rows.
//
//   rebuild_bench [ROWS]   (ROWS and twice ROWS; default 20000)
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "host/LocalPath.h"
#include "library/Library.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "ui/TfmMainSettings.h"
#include "ui/TfmProperties.h"

using namespace velmaro;
using namespace velmaro::ui;
using host::Utf8Path;
namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

// A view that agrees to everything and shows nothing.
class TQuietView : public TDialogView {
 public:
  void SetText(std::string_view, const std::u16string& text) override { FLast = text; }
  std::u16string Text(std::string_view control) const override { return control == "edYear" ? u"2001" : u"x"; }
  void SetChecked(std::string_view, bool) override {}
  bool Checked(std::string_view) const override { return true; }
  void SetStar(int, TStar) override {}
  TAnswer AskUser(const std::u16string& text, TAskKind) override {
    FLast = text;
    return TAnswer::Yes;
  }
  std::optional<std::u16string> ChooseDatabaseFile(const std::u16string&, const std::u16string&) override {
    return std::nullopt;
  }
  void SetBusy(bool) override {}
  bool Progress(std::int64_t, std::int64_t) override { return true; }
  void Close() override {}
  std::u16string FLast;
};

struct TBenchLibrary {
  explicit TBenchLibrary(const fs::path& folder) {
    State.IniFileName = platform::Utf8ToUtf16(Utf8Path(folder / "v.ini"));
    State.DatabaseReady = InitDatabase(State, nullptr);
    if (!State.DatabaseReady) {
      std::fprintf(stderr, "cannot create the library in %s\n", Utf8Path(folder).c_str());
      std::exit(1);
    }
    Context.Library = &State;
    Context.Lock = &Lock;
    Context.ResolveVirtualPath = [](std::u16string_view path) { return std::u16string(path); };
    Context.CloseColumnQuery = [] {};
  }
  // Inserts rows with the given paths in one transaction; ends the program
  // when they could not be inserted, as timing an empty library would
  // report figures for work never done.
  void Fill(const std::vector<std::string>& paths) {
    sqlite3* db = State.LibraryDatabase->Handle();
    sqlite3_stmt* insert = nullptr;
    auto check = [&](bool ok) {
      if (ok) return;
      std::fprintf(stderr, "cannot fill the library: %s\n", sqlite3_errmsg(db));
      std::exit(1);
    };
    check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) == SQLITE_OK);
    check(sqlite3_prepare_v2(db,
                             "insert into mp3files (mf_path, mf_artist, mf_title, mf_rating) values (?,'A','T','3')",
                             -1, &insert, nullptr) == SQLITE_OK);
    for (const std::string& path : paths) {
      sqlite3_bind_text(insert, 1, path.c_str(), -1, SQLITE_TRANSIENT);
      check(sqlite3_step(insert) == SQLITE_DONE);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK);
  }
  TLibraryState State;
  std::recursive_mutex Lock;
  TDialogContext Context;
};

std::vector<fs::path> TestAudio() {
  std::vector<fs::path> files;
  const std::u16string root = platform::EnvironmentVariable("VELMARO_TEST_AUDIO");
  if (root.empty()) return files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(fs::path(root), ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file() && it->path().extension() != ".json" &&
        Utf8Path(it->path()).find("reject") == std::string::npos)
      files.push_back(it->path());
  return files;
}

// Rows per second of a rebuild over rows links to the test audio (the
// second of two runs: the files are then in the page cache).
double RebuildRate(const fs::path& work, int rows, const std::vector<fs::path>& audio) {
  const fs::path folder = work / ("rebuild-" + std::to_string(rows));
  fs::create_directories(folder / "links");
  std::vector<std::string> paths;
  for (int i = 0; i < rows; ++i) {
    const fs::path& target = audio[static_cast<std::size_t>(i) % audio.size()];
    const fs::path link = folder / "links" / (std::to_string(i) + target.extension().string());
    std::error_code ec;
    fs::create_symlink(target, link, ec);
    if (ec) fs::create_hard_link(target, link);
    paths.push_back(Utf8Path(link));
  }
  TBenchLibrary library(folder);
  library.Fill(paths);
  double rate = 0;
  for (int run = 0; run < 2; ++run) {
    TQuietView view;
    TfmMainSettings settings(library.Context, view);
    settings.FormShow();
    const auto start = TClock::now();
    settings.btRebuildDatabaseClick();
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    rate = rows / seconds;
    std::printf("  rebuild of %d rows, run %d: %.2f s, %.0f rows/s (%lld refreshed, %lld left)\n", rows, run + 1,
                seconds, rate, static_cast<long long>(settings.LastRebuild().Refreshed),
                static_cast<long long>(settings.LastRebuild().Unchanged));
  }
  return rate;
}

void SaveInALargeLibrary(const fs::path& work, int rows) {
  const fs::path folder = work / "large";
  fs::create_directories(folder);
  TBenchLibrary library(folder);
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) paths.push_back("/music/artist " + std::to_string(i % 5000) + "/" + std::to_string(i) + ".mp3");
  library.Fill(paths);
  TQuietView view;
  TfmProperties properties(library.Context, view);
  properties.FileName = platform::Utf8ToUtf16(paths[static_cast<std::size_t>(rows) / 2]);
  properties.FormCreate();
  properties.FormShow();
  constexpr int Saves = 50;
  const auto start = TClock::now();
  for (int i = 0; i < Saves; ++i) properties.SaveTrack();
  const double ms = std::chrono::duration<double, std::milli>(TClock::now() - start).count() / Saves;
  std::printf("  saving one track in a library of %d rows: %.2f ms\n", rows, ms);
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
  const std::vector<fs::path> audio = TestAudio();
  if (audio.empty()) {
    std::fprintf(stderr, "set VELMARO_TEST_AUDIO to the generated test audio (scripts/make-test-audio)\n");
    return 1;
  }
  const fs::path work = fs::temp_directory_path() / ("velmaro-rebuild-" + std::to_string(platform::ProcessId()));
  std::error_code stale;
  fs::remove_all(work, stale);
  fs::create_directories(work);
  const double small = RebuildRate(work, rows, audio);
  const double large = RebuildRate(work, rows * 2, audio);
  std::printf("  twice the rows took %.2f times as long\n", small / large * 2);
  SaveInALargeLibrary(work, 1000000);
  std::error_code ec;
  fs::remove_all(work, ec);
  return 0;
}
