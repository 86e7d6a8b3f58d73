// Import speed: files per second into a fresh library and into one that
// already holds 1,000,000 rows (100,000 on Windows), the time per file
// spent in our readers and in SQLite, and our readers beside TagLib (the
// field's reference library) on the same files, format by format.
//
//   import_bench [--quick] [CORPUS [FILES [ROWS]]]
//
// CORPUS: the test audio (default: $VELMARO_TEST_AUDIO, else
// build/test-audio). FILES tagged MP3 files (default 2,000): half go into
// the fresh library, the other half into the one of ROWS rows; each other
// format gets up to 400 files. --quick: 600 files and 100,000 rows.
// Lines that start with "TARGET " state a target, the figure against its
// floor, and "holds" or "misses".
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/LocalPath.h"
#include "host/THostHarness.h"
#include "import/ImportTrack.h"
#include "platform/Memory.h"
#include "platform/Module.h"
#include "platform/Text.h"

#ifdef VELMARO_HAVE_TAGLIB
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#endif

using namespace velmaro;
using host::LocalPath;
using host::Utf8Path;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::vector<char> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An ID3v2.3 tag with the frames the import reads, all texts distinct.
std::vector<char> Id3v2Tag(int n) {
  std::vector<char> body;
  auto frame = [&](const char* id, const std::string& text) {
    const std::uint32_t size = static_cast<std::uint32_t>(text.size() + 1);
    body.insert(body.end(), id, id + 4);
    for (int shift = 24; shift >= 0; shift -= 8) body.push_back(static_cast<char>((size >> shift) & 0xFF));
    body.push_back(0);
    body.push_back(0);
    body.push_back(0);  // encoding 0
    body.insert(body.end(), text.begin(), text.end());
  };
  frame("TPE1", "Artist " + std::to_string(n % 700));
  frame("TIT2", "Title number " + std::to_string(n));
  frame("TALB", "Album " + std::to_string(n % 1500));
  frame("TYER", std::to_string(1960 + n % 60));
  frame("TCON", std::string("(").append(std::to_string(n % 80)).append(")"));
  frame("TRCK", std::to_string(1 + n % 12) + "/12");
  std::vector<char> tag = {'I', 'D', '3', 3, 0, 0};
  const std::uint32_t size = static_cast<std::uint32_t>(body.size());
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<char>((size >> shift) & 0x7F));
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

struct TFileSet {
  std::string Format;
  std::vector<fs::path> Files;
};

// MP3: untagged corpus streams, each copy with a tag of its own. Other
// formats: the accepted corpus files of that format, copied.
std::vector<TFileSet> MakeFiles(const fs::path& corpus, const fs::path& folder, int mp3Count, int otherCount) {
  std::vector<TFileSet> sets;
  std::vector<std::vector<char>> streams;
  for (const auto& entry : fs::directory_iterator(corpus / "mp3" / "stream"))
    if (entry.path().extension() == ".mp3") streams.push_back(ReadAll(entry.path()));
  TFileSet mp3{"mp3", {}};
  fs::create_directories(folder / "mp3");
  for (int i = 0; i < mp3Count && !streams.empty(); ++i) {
    std::vector<char> bytes = Id3v2Tag(i);
    const std::vector<char>& audio = streams[static_cast<std::size_t>(i) % streams.size()];
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const fs::path path = folder / "mp3" / ("track " + std::to_string(i) + ".mp3");
    WriteAll(path, bytes);
    mp3.Files.push_back(path);
  }
  sets.push_back(mp3);
  for (const char* format : {"mp4", "flac", "ogg", "opus", "wma"}) {
    TFileSet set{format, {}};
    std::vector<fs::path> sources;
    if (fs::exists(corpus / format))
      for (const auto& entry : fs::recursive_directory_iterator(corpus / format))
        if (entry.is_regular_file() && entry.path().parent_path().filename() != "reject") sources.push_back(entry.path());
    std::sort(sources.begin(), sources.end());
    fs::create_directories(folder / format);
    for (int i = 0; i < otherCount && !sources.empty(); ++i) {
      const fs::path& source = sources[static_cast<std::size_t>(i) % sources.size()];
      const fs::path path = folder / format / LocalPath(std::to_string(i) + "-" + Utf8Path(source.filename()));
      fs::copy_file(source, path, fs::copy_options::overwrite_existing);
      set.Files.push_back(path);
    }
    if (!set.Files.empty()) sets.push_back(set);
  }
  return sets;
}

// Seconds our readers take for every file; counts the files they accept.
double TimeOurReaders(const std::vector<fs::path>& files, int* accepted) {
  *accepted = 0;
  const auto start = Clock::now();
  for (const fs::path& file : files) {
    import::TTrackFields fields;
    if (import::ReadTrackFields(platform::Utf8ToUtf16(Utf8Path(file)), fields)) ++*accepted;
  }
  return Seconds(start);
}

#ifdef VELMARO_HAVE_TAGLIB
double TimeTagLib(const std::vector<fs::path>& files, int* accepted) {
  *accepted = 0;
  const auto start = Clock::now();
  for (const fs::path& file : files) {
    TagLib::FileRef ref(file.c_str(), true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.tag()) continue;
    TagLib::Tag* tag = ref.tag();
    volatile std::size_t sink = tag->artist().size() + tag->title().size() + tag->album().size() +
                                tag->genre().size() + tag->comment().size() + tag->year() + tag->track();
    if (TagLib::AudioProperties* p = ref.audioProperties())
      sink = sink + static_cast<std::size_t>(p->lengthInMilliseconds() + p->bitrate() + p->sampleRate() + p->channels());
    (void)sink;
    ++*accepted;
  }
  return Seconds(start);
}
#endif

// Imports the files through the plug-in as one batch, as a host copies
// them into the panel; returns the seconds it took.
double ImportBatch(host::THostHarness& host, const std::vector<fs::path>& files) {
  const std::u16string root = host::HostPath(u"\\");
  const auto start = Clock::now();
  host.StatusInfo(root, fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
  for (const fs::path& file : files) host.PutFile(platform::Utf8ToUtf16(Utf8Path(file)), root + u"x");
  host.StatusInfo(root, fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
  return Seconds(start);
}

// Adds rows to the library the plug-in created; throws when they could not
// be added, so that no figure is reported for a library without them.
void FillRows(const fs::path& database, int rows) {
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  auto fail = [&] {
    const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_finalize(insert);
    sqlite3_close(db);
    throw std::runtime_error("filling " + Utf8Path(database) + ": " + why);
  };
  if (sqlite3_open(Utf8Path(database).c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db,
                         "insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre) values (?,?,?,?,?)",
                         -1, &insert, nullptr) != SQLITE_OK)
    fail();
  for (int i = 0; i < rows; ++i) {
    // 50,000 artists, each with its tracks stored together, so that filling
    // a large library takes seconds.
    const int artistNumber = static_cast<int>(static_cast<long long>(i) * 50000 / std::max(rows, 1));
    const std::string path =
        "/library/old/artist " + std::to_string(artistNumber) + "/track " + std::to_string(i) + ".mp3";
    const std::string artist = "Old Artist " + std::to_string(artistNumber);
    const std::string title = "Old Title " + std::to_string(i);
    sqlite3_bind_text(insert, 1, path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, artist.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, "Old Album", -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, "Rock", -1, SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) fail();
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  insert = nullptr;
  if (sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) fail();
  sqlite3_close(db);
}

// A count with thousands separators: 100000 as "100,000".
std::string Grouped(int n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
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
  std::vector<std::string> args = platform::CommandLineArguments(argc, argv);
  const bool quick = args.size() > 1 && args[1] == "--quick";
  if (quick) args.erase(args.begin() + 1);
#ifdef _WIN32
  constexpr int DefaultRows = 100000;
#else
  constexpr int DefaultRows = 1000000;
#endif
  fs::path corpus = args.size() > 1 ? LocalPath(args[1]) : fs::path();
  const int files = args.size() > 2 ? std::max(2, std::atoi(args[2].c_str())) : (quick ? 600 : 2000);
  const int rows = args.size() > 3 ? std::max(0, std::atoi(args[3].c_str())) : (quick ? 100000 : DefaultRows);
  if (corpus.empty()) {
    const std::string env = platform::Utf16ToUtf8(platform::EnvironmentVariable("VELMARO_TEST_AUDIO"));
    corpus = LocalPath(env.empty() ? "build/test-audio" : env);
  }
  if (!fs::exists(corpus / "mp3" / "stream")) {
    std::fprintf(stderr, "import_bench: no test audio in %s (scripts/make-test-audio makes it)\n",
                 Utf8Path(corpus).c_str());
    return 1;
  }
  import::InitReaderDefaults();
  const fs::path folder =
      fs::temp_directory_path() / ("velmaro-import-bench-" + std::to_string(platform::ProcessId()));
  RemoveFolder(folder);
  fs::create_directories(folder);
  int status = 0;
  try {
    const std::vector<TFileSet> sets = MakeFiles(corpus, folder / "audio", files, std::min(files, 400));
    if (sets[0].Files.size() != static_cast<std::size_t>(files))
      throw std::runtime_error("no MP3 streams in " + Utf8Path(corpus / "mp3" / "stream"));

    std::printf("readers, warm files (microseconds per file; ratio = ours / TagLib, below 1 is faster)\n");
    std::printf("%-6s %7s %10s %10s %8s %9s\n", "format", "files", "ours", "taglib", "ratio", "accepted");
    for (const TFileSet& set : sets) {
      int accepted = 0;
      TimeOurReaders(set.Files, &accepted);  // warm the page cache
      double ours = 1e9;
#ifdef VELMARO_HAVE_TAGLIB
      constexpr int Runs = 3;
#else
      // Nothing to compare with (Windows, where Wine makes each pass slow).
      constexpr int Runs = 1;
#endif
      for (int run = 0; run < Runs; ++run) ours = std::min(ours, TimeOurReaders(set.Files, &accepted));
      const double perFile = ours / static_cast<double>(set.Files.size()) * 1e6;
#ifdef VELMARO_HAVE_TAGLIB
      int theirsAccepted = 0;
      double theirs = 1e9;
      for (int run = 0; run < 3; ++run) theirs = std::min(theirs, TimeTagLib(set.Files, &theirsAccepted));
      const double theirsPerFile = theirs / static_cast<double>(set.Files.size()) * 1e6;
      std::printf("%-6s %7zu %10.1f %10.1f %8.2f %9d\n", set.Format.c_str(), set.Files.size(), perFile, theirsPerFile,
                  perFile / theirsPerFile, accepted);
#else
      std::printf("%-6s %7zu %10.1f %10s %8s %9d\n", set.Format.c_str(), set.Files.size(), perFile, "-", "-", accepted);
#endif
    }

    // Half the tagged MP3 files into a fresh library, one batch; the other
    // half into a large one.
    const auto split = sets[0].Files.begin() + files / 2;
    const std::vector<fs::path> batch(sets[0].Files.begin(), split);
    const std::vector<fs::path> more(split, sets[0].Files.end());
    double freshRate = 0, largeRate = 0;
    {
      fs::create_directories(folder / "fresh");
      host::THostHarness host(host::THostHarness::DefaultPluginPath(), true);
      host.Start(Utf8Path(folder / "fresh" / "v.ini"));
      int accepted = 0;
      const double readers = TimeOurReaders(batch, &accepted);
      const double total = ImportBatch(host, batch);
      const double n = static_cast<double>(batch.size());
      freshRate = n / total;
      std::printf("\nimport of %zu MP3 files into a fresh library, one batch:\n", batch.size());
      std::printf("  %.0f files per second (%.1f us per file: readers %.1f us, SQLite and the rest %.1f us)\n",
                  freshRate, total / n * 1e6, readers / n * 1e6, (total - readers) / n * 1e6);
    }
    {
      fs::create_directories(folder / "large");
      host::THostHarness host(host::THostHarness::DefaultPluginPath(), true);
      host.Start(Utf8Path(folder / "large" / "v.ini"));
      const auto fillStart = Clock::now();
      FillRows(folder / "large" / "VORNAK.DB", rows);
      const double filled = Seconds(fillStart);
      const double total = ImportBatch(host, more);
      largeRate = static_cast<double>(more.size()) / total;
      std::printf("import of %zu more MP3 files into a library of %s rows (filled in %.1f s), one batch:\n",
                  more.size(), Grouped(rows).c_str(), filled);
      std::printf("  %.0f files per second (%.1f us per file)\n", largeRate,
                  total / static_cast<double>(more.size()) * 1e6);
    }
    const double peakMiB = static_cast<double>(platform::PeakMemoryBytes()) / (1024.0 * 1024.0);
    std::printf("peak memory: %.1f MiB\n", peakMiB);
#ifdef _WIN32
    const char* where = " on Windows";
#else
    const char* where = "";
#endif
    std::printf("TARGET import%s of %zu new files into %s rows at least half the speed into an empty library: "
                "%.0f files/s against %.0f files/s (%.0f%%) %s\n",
                where, more.size(), Grouped(rows).c_str(), largeRate, freshRate, 100 * largeRate / freshRate,
                largeRate * 2 >= freshRate ? "holds" : "misses");
    std::printf("TARGET import%s peak memory under 64 MiB (the whole run, %s rows): %.1f MiB %s\n", where,
                Grouped(rows).c_str(), peakMiB, peakMiB < 64 ? "holds" : "misses");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "import_bench: %s\n", error.what());
    status = 1;
  }
  RemoveFolder(folder);
  return status;
}
