// Listing speed on a large library: fills a library with 100,000 rows
// and times the host's listings of the views through Melvanto.wfx.
//
//   list_bench [ROWS]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/LocalPath.h"
#include "host/THostHarness.h"
#include "platform/Memory.h"
#include "platform/Module.h"

using namespace velmaro::host;
namespace fs = std::filesystem;

namespace {

// Adds rows to the library the plug-in created; throws when they could not
// be added, so that no figure is reported for a library without them.
void Fill(const std::string& dbPath, int rows) {
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  auto fail = [&] {
    const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_finalize(insert);
    sqlite3_close(db);
    throw std::runtime_error("filling " + dbPath + ": " + why);
  };
  if (sqlite3_open(dbPath.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db,
                         "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_year, mf_length, "
                         "mf_bitrate, mf_samplerate, mf_favorite, mf_rating) values (?,?,?,?,?,?,?,?,?,?,?)",
                         -1, &insert, nullptr) != SQLITE_OK)
    fail();
  for (int i = 0; i < rows; ++i) {
    // One artist with 1,000 tracks; the others spread over 5,000 names in
    // mixed letter case, 40 genres, 10 albums each.
    const bool big = i % (rows / 1000) == 0;
    const std::string artist = big ? "Big Artist" : (i % 2 ? "artist " : "Artist ") + std::to_string(i % 5000);
    const std::string path = "/music/library/" + artist + "/album " + std::to_string(i % 10) + "/track " +
                             std::to_string(i) + ".mp3";
    const std::string title = "Title number " + std::to_string(i);
    const std::string album = "Album " + std::to_string(i % 10);
    const std::string genre = "Genre " + std::to_string(i % 40);
    sqlite3_bind_text(insert, 1, path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, artist.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, album.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, genre.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 6, 1970 + i % 50);
    sqlite3_bind_int(insert, 7, 120 + i % 300);
    sqlite3_bind_int(insert, 8, 192);
    sqlite3_bind_int(insert, 9, 44100);
    sqlite3_bind_int(insert, 10, i % 50 == 0);
    sqlite3_bind_int(insert, 11, i % 6);
    if (sqlite3_step(insert) != SQLITE_DONE) fail();
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  insert = nullptr;
  if (sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) fail();
  sqlite3_close(db);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Removes the bench's folder. What cannot be removed (on Windows, a file
// something still holds open) is named, not treated as a failure of the
// measurement.
void RemoveFolder(const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (ec) std::fprintf(stderr, "left behind: %s (%s)\n", Utf8Path(folder).c_str(), ec.message().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
  const fs::path folder =
      fs::temp_directory_path() / ("velmaro-list-bench-" + std::to_string(velmaro::platform::ProcessId()));
  // A folder of an earlier run with the same process id (Wine reuses them
  // soon) would hold a library already filled.
  RemoveFolder(folder);
  fs::create_directories(folder);
  try {
    THostHarness host(THostHarness::DefaultPluginPath());
    host.Start(Utf8Path(folder / "bench.ini"));
    Fill(Utf8Path(folder / "VORNAK.DB"), rows);
    std::printf("library: %d rows\n", rows);
    std::printf("%-28s %10s %12s\n", "listing", "entries", "median ms");
    for (const char16_t* path : {u"\\Titles", u"\\Artists", u"\\Artists\\Big Artist", u"\\Latest", u"\\Genres",
                                 u"\\Albums\\Big Artist", u"\\Favorites"}) {
      std::vector<double> times;
      std::size_t entries = 0;
      for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        entries = host.List(HostPath(path)).Entries.size();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      }
      std::printf("%-28s %10zu %12.2f\n", ToUtf8(HostPath(path)).c_str(), entries, Median(times));
    }
    std::printf("peak memory: %.1f MiB\n",
                static_cast<double>(velmaro::platform::PeakMemoryBytes()) / (1024.0 * 1024.0));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "list_bench: %s\n", error.what());
    RemoveFolder(folder);
    return 1;
  }
  RemoveFolder(folder);
  return 0;
}
