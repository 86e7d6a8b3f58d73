// Listing speed on a large library: fills a library with 1,000,000 rows
// (50,000 artists of 20 tracks each, 105,000 albums, 500 genres) and times
// every view listed through Melvanto.wfx against its floor: a plain
// sqlite3_step loop on a connection of its own that opens the file,
// prepares the query that reads the same column through the file's
// indexes, reads every row's value as text and closes (what the sqlite3
// program does to print the column, without starting a process).
//
//   list_bench [--quick] [ROWS]
//
// --quick: 100,000 rows. Each figure is the median of a few warm runs; the
// first (cold) listing of each view is printed beside it. Lines that start
// with "TARGET " state a target, the figure against its floor, and "holds"
// or "misses".
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
#include "platform/Text.h"

using namespace velmaro::host;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Artists = 50000;
constexpr int Genres = 500;
constexpr int Albums = 105000;

// The names of row i of a library of `rows` rows: artist i % 50,000 (so
// that each has rows / 50,000 tracks), in mixed letter case; two albums
// per artist and the rest of the 105,000 spread over the artists' last
// tracks; genre i % 500.
struct TRowNames {
  std::string Artist, Album, Genre;
};
TRowNames RowNames(int i, int rows) {
  const int artists = std::min(Artists, std::max(1, rows / 20));
  const int artist = i % artists;
  const int track = i / artists;
  const int perArtist = std::max(1, rows / artists);
  TRowNames names;
  names.Artist = (artist % 2 ? "artist " : "Artist ") + std::to_string(artist);
  int album = artist * 2 + (track * 2 >= perArtist ? 1 : 0);
  if (track == perArtist - 1) album = 2 * artists + artist % (Albums - 2 * Artists);
  names.Album = "Album " + std::to_string(album % Albums);
  names.Genre = "Genre " + std::to_string(i % Genres);
  return names;
}

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
      sqlite3_exec(db, "pragma cache_size=-65536; begin", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db,
                         "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_year, mf_length, "
                         "mf_bitrate, mf_samplerate, mf_favorite, mf_rating) values (?,?,?,?,?,?,?,?,?,?,?)",
                         -1, &insert, nullptr) != SQLITE_OK)
    fail();
  for (int i = 0; i < rows; ++i) {
    const TRowNames names = RowNames(i, rows);
    const std::string path =
        "/music/library/" + names.Artist + "/" + names.Album + "/track " + std::to_string(i) + ".mp3";
    const std::string title = "Title number " + std::to_string(i);
    sqlite3_bind_text(insert, 1, path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, names.Artist.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, names.Album.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, names.Genre.c_str(), -1, SQLITE_TRANSIENT);
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

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The floor: opens the file, reads the query's first column of every row
// as text, closes. Returns the milliseconds and counts the rows.
double Floor(const std::string& dbPath, const std::string& sql, std::size_t* rows) {
  const auto start = Clock::now();
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) {
    const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error("floor query " + sql + ": " + why);
  }
  std::size_t n = 0, bytes = 0;
  while (sqlite3_step(query) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(query, 0);
    bytes += text ? static_cast<std::size_t>(sqlite3_column_bytes(query, 0)) : 0;
    ++n;
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  volatile std::size_t sink = bytes;
  (void)sink;
  *rows = n;
  return Ms(start);
}

// Removes the bench's folder. What cannot be removed (on Windows, a file
// something still holds open) is named, not treated as a failure of the
// measurement.
void RemoveFolder(const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (ec) std::fprintf(stderr, "left behind: %s (%s)\n", Utf8Path(folder).c_str(), ec.message().c_str());
}

struct TViewCase {
  std::u16string Path;  // with backslashes
  std::string FloorSql;
  bool Folder20 = false;  // the 20-track folder of the target
};

}  // namespace

int main(int argc, char** argv) {
  int rows = 1000000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick")
      rows = 100000;
    else
      rows = std::max(1000, std::atoi(arg.c_str()));
  }
  const fs::path folder =
      fs::temp_directory_path() / ("velmaro-list-bench-" + std::to_string(velmaro::platform::ProcessId()));
  // A folder of an earlier run with the same process id (Wine reuses them
  // soon) would hold a library already filled.
  RemoveFolder(folder);
  fs::create_directories(folder);
  int status = 0;
  try {
    THostHarness host(THostHarness::DefaultPluginPath());
    host.Start(Utf8Path(folder / "bench.ini"));
    const std::string dbPath = Utf8Path(folder / "VORNAK.DB");
    const auto fillStart = Clock::now();
    Fill(dbPath, rows);
    const TRowNames some = RowNames(4242, rows);
    const std::u16string artist = velmaro::platform::Utf8ToUtf16(some.Artist);
    const std::u16string album = velmaro::platform::Utf8ToUtf16(some.Album);
    const std::u16string genre = velmaro::platform::Utf8ToUtf16(some.Genre);
    const std::string a = some.Artist, b = some.Album, g = some.Genre;
    std::printf("library: %d rows (filled in %.1f s); the named artist, album and genre: %s, %s, %s\n", rows,
                Ms(fillStart) / 1000, a.c_str(), b.c_str(), g.c_str());

    const std::vector<TViewCase> views = {
        {u"\\Titles", "select mf_path from mp3files"},
        {u"\\Latest", "select mf_path from mp3files order by rowid desc limit 99"},
        {u"\\Favorites", "select mf_path from mp3files where mf_favorite=1"},
        {u"\\Artists", "select mf_artist from mp3files"},
        {u"\\Artists\\" + artist, "select mf_title from mp3files where mf_artist='" + a + "'", true},
        {u"\\Albums", "select mf_artist from mp3files"},
        {u"\\Albums\\" + artist, "select mf_album from mp3files where mf_artist='" + a + "'"},
        {u"\\Albums\\" + artist + u"\\" + album,
         "select mf_title from mp3files where mf_artist='" + a + "' and mf_album='" + b + "'"},
        {u"\\Genres", "select mf_genre from mp3files"},
        {u"\\Genres\\" + genre, "select mf_artist from mp3files where mf_genre='" + g + "'"},
        {u"\\Genres\\" + genre + u"\\" + artist,
         "select mf_title from mp3files where mf_genre='" + g + "' and mf_artist='" + a + "'"},
    };
    std::printf("%-44s %9s %10s %10s %10s %7s\n", "listing", "entries", "cold ms", "warm ms", "floor ms", "ratio");
    std::vector<std::string> targets;
    bool allWithin = true;
    double worstRatio = 0;
    std::string worstView;
    for (const TViewCase& view : views) {
      const std::u16string path = HostPath(view.Path);
      const int runs = rows > 200000 && view.FloorSql.find("where") == std::string::npos ? 3 : 7;
      std::size_t entries = 0, floorRows = 0;
      auto start = Clock::now();
      entries = host.List(path).Entries.size();
      const double cold = Ms(start);
      std::vector<double> times, floors;
      for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        entries = host.List(path).Entries.size();
        times.push_back(Ms(start));
        floors.push_back(Floor(dbPath, view.FloorSql, &floorRows));
      }
      const double warm = Median(times), floor = Median(floors);
      const double ratio = warm / floor;
      const std::string shown = ToUtf8(path);
      std::printf("%-44s %9zu %10.2f %10.2f %10.2f %7.2f\n", shown.c_str(), entries, cold, warm, floor, ratio);
      if (ratio > 3) allWithin = false;
      if (ratio > worstRatio) {
        worstRatio = ratio;
        worstView = shown;
      }
      char line[512];
      std::snprintf(line, sizeof line,
                    "TARGET list %s at %d rows within 3x of sqlite3: %.2f ms against %.2f ms (%.2fx) %s", shown.c_str(),
                    rows, warm, floor, ratio, ratio <= 3 ? "holds" : "misses");
      targets.emplace_back(line);
      if (view.Folder20) {
        std::snprintf(line, sizeof line,
                      "TARGET list a folder of %zu tracks at %d rows under 10 ms: %.2f ms warm "
                      "(first listing %.2f ms) %s",
                      entries, rows, warm, cold, warm < 10 ? "holds" : "misses");
        targets.emplace_back(line);
      }
    }
    for (const std::string& line : targets) std::printf("%s\n", line.c_str());
    std::printf("TARGET list every view at %d rows within 3x of sqlite3: worst %.2fx (%s) %s\n", rows, worstRatio,
                worstView.c_str(), allWithin ? "holds" : "misses");
    std::printf("peak memory: %.1f MiB\n",
                static_cast<double>(velmaro::platform::PeakMemoryBytes()) / (1024.0 * 1024.0));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "list_bench: %s\n", error.what());
    status = 1;
  }
  RemoveFolder(folder);
  return status;
}
