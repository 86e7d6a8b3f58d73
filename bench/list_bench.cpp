// Listing speed on a large library: fills a library with 100,000 rows
// and times the host's listings of the views through Melvanto.wfx.
//
//   list_bench [ROWS]
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/THostHarness.h"

using namespace velmaro::host;
namespace fs = std::filesystem;

namespace {

void Fill(const std::string& dbPath, int rows) {
  sqlite3* db = nullptr;
  sqlite3_open(dbPath.c_str(), &db);
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_year, mf_length, "
                     "mf_bitrate, mf_samplerate, mf_favorite, mf_rating) values (?,?,?,?,?,?,?,?,?,?,?)",
                     -1, &insert, nullptr);
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
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
  const fs::path folder = fs::temp_directory_path() / ("velmaro-list-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  try {
    THostHarness host(THostHarness::DefaultPluginPath());
    host.Start((folder / "bench.ini").string());
    Fill((folder / "VORNAK.DB").string(), rows);
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
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "list_bench: %s\n", error.what());
    fs::remove_all(folder);
    return 1;
  }
  fs::remove_all(folder);
  return 0;
}
