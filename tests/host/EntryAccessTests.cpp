// Working with entries through the built Melvanto.wfx: local names, copying
// out, previews and custom columns, also from two threads at once, and the
// velmaro commands get, ls -l and local.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "host/ContentView.h"
#include "host/THostHarness.h"
#include "platform/Platform.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/SystemSupport.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::host;
using velmaro::test::ExecuteSql;
using velmaro::test::ReadAll;
using velmaro::test::RunCommand;
using velmaro::test::ShellQuoted;
using velmaro::test::TTestFolder;
using velmaro::test::Utf8Path;
using velmaro::test::TProgramOptions;
namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(42);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  return bytes;
}

// The name a path entry (Titles, Favorites) of a real path gets.
std::string PathEntry(std::string path) {
  for (char& c : path)
    if (c == static_cast<char>(platform::DirDelim)) c = static_cast<char>(platform::AltDelim);
  return path;
}

std::u16string U(const std::string& text) { return FromUtf8(text); }

// A real path written with "/", in the platform's separator.
std::string Real(std::string path) { return velmaro::test::NativeName(std::move(path)); }

// A virtual path written with "/", in the platform's delimiter.
std::string V(std::string path) {
  for (char& c : path)
    if (c == '/') c = static_cast<char>(platform::PathDelim);
  return path;
}

// A name inside a real folder.
std::string Join(const std::string& folder, const std::string& name) {
  return folder + static_cast<char>(platform::DirDelim) + name;
}

class EntryAccess : public ::testing::Test {
 protected:
  EntryAccess() : Host(velmaro::test::PluginPath(), true) {
    Host.Start(Folder.Path("v.ini"));
    fs::create_directories(Folder.Path("music"));
  }

  // A real file and its library row.
  std::string AddTrack(const std::string& name, const std::string& content, const std::string& columns,
                       const std::string& values) {
    const std::string path = Folder.Write("music/" + name, content);
    ExecuteSql(Folder.Path("VORNAK.DB"),
               "insert into mp3files (mf_path, " + columns + ") values ('" + path + "', " + values + ")");
    return path;
  }
  // Runs velmaro with an answer line on its input, or with no input at all.
  std::string Velmaro(std::vector<std::string> arguments, int* status, const std::string& answer = "") {
    arguments.insert(arguments.begin(), {"--plugin", velmaro::test::PluginPath(), "--ini", Folder.Path("v.ini")});
    const velmaro::test::TProgramResult run = velmaro::test::RunProgram(
        velmaro::test::VelmaroProgram(), arguments, TProgramOptions::WithInput(answer.empty() ? "" : answer + "\n"));
    *status = run.Status;
    return run.Output;
  }

  TTestFolder Folder;
  THostHarness Host;
};

TEST_F(EntryAccess, ThePluginExportsTheEntryFunctions) {
  for (const char* name : {"FsGetLocalNameW", "FsGetFileW", "FsGetPreviewBitmapW", "FsGetPreviewBitmap",
                           "FsContentGetSupportedField", "FsContentGetValueW", "FsContentGetDefaultViewW",
                           "FsContentGetDefaultView"})
    EXPECT_TRUE(Host.HasExport(name)) << name;
}

TEST_F(EntryAccess, EveryViewCopiesOutTheSameBytesUnderTheRealName) {
  const std::string content = RandomBytes(600 * 1024);
  const std::string real = AddTrack("a.mp3", content, "mf_artist, mf_title, mf_album, mf_genre, mf_favorite",
                                    "'Someone', 'Intro', 'First', 'Rock', 1");
  const std::vector<std::pair<std::u16string, std::string>> views = {
      {HostPath(u"\\Titles"), PathEntry(real)},
      {HostPath(u"\\Favorites"), PathEntry(real)},
      {HostPath(u"\\Latest"), "(01) a.mp3"},
      {HostPath(u"\\Artists\\Someone"), "Intro *1.mp3"},
      {HostPath(u"\\Albums\\Someone\\First"), "Intro *1.mp3"},
      {HostPath(u"\\Genres\\Rock\\Someone"), "Intro *1.mp3"},
  };
  int n = 0;
  for (const auto& [folder, name] : views) {
    SCOPED_TRACE(ToUtf8(folder));
    // As a host: list the folder, then work with its entry.
    const TListing listing = Host.List(folder);
    ASSERT_EQ(listing.Entries.size(), 1u);
    ASSERT_EQ(ToUtf8(listing.Entries[0].Name), name);
    const std::u16string entry = folder + platform::PathDelim + U(name);
    EXPECT_EQ(Host.LocalName(entry), U(real));
    std::u16string preview;
    EXPECT_EQ(Host.PreviewBitmap(entry, preview), fsapi::FS_BITMAP_EXTRACT_YOURSELF);
    EXPECT_EQ(preview, U(real));

    const std::string out = Folder.Path("out" + std::to_string(++n));
    fs::create_directories(out);
    EXPECT_EQ(Host.GetFile(entry, U(Join(out, name))), fsapi::FS_FILE_OK);
    EXPECT_EQ(ReadAll(Join(out, "a.mp3")), content);
    EXPECT_EQ(fs::last_write_time(Utf8Path(Join(out, "a.mp3"))), fs::last_write_time(Utf8Path(real)));
  }
  EXPECT_TRUE(Host.Requests().empty());
}

TEST_F(EntryAccess, CopyOutAskedByTheHostReportsAndCancels) {
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  AddTrack("a.mp3", RandomBytes(2 * 1000 * 1000), "mf_artist, mf_title", "'Someone', 'Intro'");
  const std::u16string entry = HostPath(u"\\Artists\\Someone\\Intro *1.mp3");
  fs::create_directories(Folder.Path("out"));
  std::vector<int> percents;
  Host.OnProgress = [&](std::u16string_view, std::u16string_view, int percent) {
    percents.push_back(percent);
    return percent > 50;
  };
  EXPECT_EQ(Host.GetFile(entry, U(Folder.Path("out/x"))), fsapi::FS_FILE_USERABORT);
  EXPECT_FALSE(fs::exists(Folder.Path("out/a.mp3")));
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.front(), 0);
}

TEST_F(EntryAccess, CopyOutFailuresAreShownThroughTheHost) {
  AddTrack("a.mp3", "audio", "mf_artist, mf_title", "'Someone', 'Intro'");
  const std::u16string entry = HostPath(u"\\Artists\\Someone\\Intro *1.mp3");
  fs::create_directories(Folder.Path("out"));
  EXPECT_EQ(Host.GetFile(entry, U(Folder.Path("nowhere/x"))), fsapi::FS_FILE_WRITEERROR);
  EXPECT_EQ(Host.GetFile(HostPath(u"\\Artists\\Someone\\Gone *7.mp3"), U(Folder.Path("out/x"))),
            fsapi::FS_FILE_READERROR);
  ASSERT_EQ(Host.Requests().size(), 2u);
  EXPECT_EQ(Host.Requests()[0].RequestType, fsapi::RT_MsgOK);
  EXPECT_FALSE(Host.Requests()[0].Text.empty());
}

TEST_F(EntryAccess, ColumnsAndTheDefaultViewThroughThePlugin) {
  AddTrack("a.mp3", "x", "mf_artist, mf_title, mf_album, mf_genre, mf_length, mf_rating",
           "'Someone', 'Intro', 'First', 'Rock', '185', '4'");
  const std::vector<TContentField> fields = Host.SupportedFields();
  ASSERT_EQ(fields.size(), 9u);
  EXPECT_EQ(fields[5].Name, "Length");
  EXPECT_EQ(fields[5].Type, fsapi::ft_numeric_floating);
  EXPECT_EQ(fields[7].Name, "Sample Rate");

  const auto view = Host.DefaultView();
  ASSERT_TRUE(view);
  const std::vector<TViewColumn> columns = ParseDefaultView(*view);
  ASSERT_EQ(columns.size(), 6u);
  std::vector<std::string> names;
  for (const TViewColumn& column : columns) names.push_back(column.Field);
  EXPECT_EQ(names, (std::vector<std::string>{"Artist", "Title", "Album", "Genre", "Length", "Rating"}));
  EXPECT_EQ(columns[4].Header, u"Length");
  EXPECT_TRUE(columns[4].RightAligned);
  EXPECT_FALSE(columns[0].RightAligned);

  const std::u16string folder = HostPath(u"\\Artists\\Someone");
  const std::u16string entry = HostPath(u"\\Artists\\Someone\\Intro *1.mp3");
  Host.List(folder);
  EXPECT_EQ(Host.ColumnValue(entry, 0).Text, u"Someone");
  const TColumnValue length = Host.ColumnValue(entry, 5);
  EXPECT_EQ(length.Type, fsapi::ft_numeric_floating);
  EXPECT_EQ(length.Number, 185.0);
  EXPECT_EQ(length.Text, u"03:05");
  EXPECT_EQ(Host.ColumnValue(folder, 0).Type, fsapi::ft_fieldempty);

  // Changed behind the plug-in's back: the next listing shows it.
  ExecuteSql(Folder.Path("VORNAK.DB"), "update mp3files set mf_rating='5'");
  Host.List(folder);
  EXPECT_EQ(Host.ColumnValue(entry, 8).Text, u"5");
}

TEST_F(EntryAccess, ListingResolvingAndColumnsFromThreeThreadsAtOnce) {
  std::string values;
  for (int i = 0; i < 210; ++i)
    values += std::string(i ? "," : "") + "('" + Real("/m/" + std::to_string(i) + ".mp3") + "','A" + std::to_string(i % 7) + "','T" +
              std::to_string(i) + "','" + std::to_string(i) + "')";
  ExecuteSql(Folder.Path("VORNAK.DB"), "insert into mp3files (mf_path, mf_artist, mf_title, mf_length) values " + values);

  std::atomic<int> wrong{0};
  auto lister = [&] {
    for (int round = 0; round < 15; ++round)
      for (const char16_t* path : {u"\\Artists\\A3", u"\\Latest", u"\\Titles", u"\\Albums"})
        if (Host.List(HostPath(path)).Entries.empty()) ++wrong;
  };
  // Track entries of the Artists view resolve through the library.
  auto artists = [&] {
    for (int round = 0; round < 3; ++round)
      for (int i = 0; i < 210; ++i) {
        const std::u16string entry = HostPath(u"\\Artists\\A") + U(std::to_string(i % 7)) + platform::PathDelim +
                                     U("T" + std::to_string(i) + " *" + std::to_string(i + 1) + ".mp3");
        if (Host.LocalName(entry) != U(Real("/m/" + std::to_string(i) + ".mp3"))) ++wrong;
        if (Host.ColumnValue(entry, 1).Text != U("T" + std::to_string(i))) ++wrong;
        if (Host.ColumnValue(entry, 5).Number != i) ++wrong;
      }
  };
  // Path entries of the Titles view resolve by their names alone.
  auto titles = [&] {
    for (int round = 0; round < 3; ++round)
      for (int i = 0; i < 210; ++i) {
        const std::u16string entry = HostPath(u"\\Titles\\") + U(PathEntry(Real("/m/" + std::to_string(i) + ".mp3")));
        if (Host.ColumnValue(entry, 0).Text != U("A" + std::to_string(i % 7))) ++wrong;
        std::u16string preview;
        Host.PreviewBitmap(entry, preview);
        if (preview != U(Real("/m/" + std::to_string(i) + ".mp3"))) ++wrong;
      }
  };
  std::thread one(lister), two(artists), three(titles);
  one.join();
  two.join();
  three.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(EntryAccess, VelmaroGetCopiesAsksAndOverwrites) {
  const std::string content = RandomBytes(100 * 1024);
  const std::string real = AddTrack("a b.mp3", content, "mf_artist, mf_title, mf_album, mf_genre",
                                    "'Someone', 'Intro', 'First', 'Rock'");
  fs::create_directories(Folder.Path("out"));
  const std::string out = Folder.Path("out");
  int status = -1;
  EXPECT_EQ(Velmaro({"get", V("/Artists/Someone/Intro *1.mp3"), out}, &status),
            V("/Artists/Someone/Intro *1.mp3") + " -> " + Join(out, "a b.mp3") + "\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(Join(out, "a b.mp3")), content);

  // The target exists: no answer is a no.
  Folder.Write("out/a b.mp3", "old");
  EXPECT_EQ(Velmaro({"get", V("/Latest/(01) a b.mp3"), out}, &status), "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(Join(out, "a b.mp3")), "old");
  Velmaro({"get", V("/Latest/(01) a b.mp3"), out}, &status, "n");
  EXPECT_EQ(ReadAll(Join(out, "a b.mp3")), "old");
  Velmaro({"get", V("/Latest/(01) a b.mp3"), out}, &status, "y");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(Join(out, "a b.mp3")), content);
  Folder.Write("out/a b.mp3", "old");
  Velmaro({"get", "--overwrite", V("/Titles/") + PathEntry(real), out}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadAll(Join(out, "a b.mp3")), content);

  // A folder comes with everything below it.
  EXPECT_EQ(Velmaro({"get", V("/Genres/Rock"), out}, &status),
            V("/Genres/Rock/Someone/Intro *1.mp3") + " -> " + Join(out, Real("Rock/Someone/a b.mp3")) + "\n");
  EXPECT_EQ(ReadAll(Join(out, Real("Rock/Someone/a b.mp3"))), content);

  // What cannot be copied says so and fails.
  Velmaro({"get", V("/Artists/Someone/Nobody *9.mp3"), V("/Settings"), out}, &status);
  EXPECT_EQ(status, 1);
  Velmaro({"get", V("/Titles"), Join(out, "none")}, &status);
  EXPECT_EQ(status, 1);
  Velmaro({"get", V("/Titles")}, &status);
  EXPECT_EQ(status, 2);
}

TEST_F(EntryAccess, VelmaroGetStopsAtCtrlCAndLeavesNoPartialFile) {
  if (platform::IsWindows) GTEST_SKIP() << "interrupts velmaro with SIGINT from a POSIX shell";
  const std::string big = Folder.Path("music/big.wav");
  Folder.Write("music/big.wav", "");
  fs::resize_file(big, std::uintmax_t{1} << 30);  // sparse: quick to make, slow enough to copy
  ExecuteSql(Folder.Path("VORNAK.DB"), "insert into mp3files (mf_path, mf_artist, mf_title) values ('" + big +
                                           "', 'Someone', 'Big')");
  fs::create_directories(Folder.Path("out"));
  const std::string target = Folder.Path("out/big.wav");
  const std::string command = ShellQuoted(VELMARO_BINARY_DIR "/velmaro") + " --plugin " +
                              ShellQuoted(VELMARO_PLUGIN_PATH) + " --ini " + ShellQuoted(Folder.Path("v.ini")) +
                              " get " + ShellQuoted("/Artists/Someone/Big *1.wav") + " " +
                              ShellQuoted(Folder.Path("out")) + " 2>/dev/null";
  // Interrupt as soon as the copy has begun; give up after 20 seconds.
  const std::string script = command + " & pid=$!; i=0; while [ ! -e " + ShellQuoted(target) +
                             " ] && [ $i -lt 2000 ]; do sleep 0.01; i=$((i+1)); done; kill -INT $pid; wait $pid; "
                             "echo $?";
  int status = -1;
  EXPECT_EQ(RunCommand("sh -c " + ShellQuoted(script), &status), "130\n");
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(EntryAccess, VelmaroLsLongAndLocal) {
  const std::string a = AddTrack("a.mp3", "x", "mf_artist, mf_title, mf_album, mf_genre, mf_length, mf_rating",
                                 "'Someone', 'Intro', 'First', 'Rock', '185', '4'");
  AddTrack("b.mp3", "x", "mf_artist, mf_title, mf_album, mf_genre, mf_length, mf_rating",
           "'Someone', 'Outro', 'First', 'Rock', '3725', ''");
  int status = -1;
  EXPECT_EQ(Velmaro({"ls", "-l", V("/Artists/Someone")}, &status),
            "Kind  Name          Artist   Title  Album  Genre    Length  Rating\n"
            "file  Intro *1.mp3  Someone  Intro  First  Rock      03:05       4\n"
            "file  Outro *2.mp3  Someone  Outro  First  Rock   01:02:05       0\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Velmaro({"ls", "-l", V("/Albums/Someone")}, &status),
            "Kind  Name   Artist  Title  Album  Genre  Length  Rating\n"
            "dir   First\n");

  EXPECT_EQ(Velmaro({"local", V("/Genres/Rock/Someone/Intro *1.mp3"), V("/Latest/(02) a.mp3")}, &status),
            a + "\n" + a + "\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Velmaro({"local", V("/Albums/Someone")}, &status), "");
  EXPECT_EQ(status, 1);
}

TEST_F(EntryAccess, VelmaroTakesVirtualPathsWrittenWithSlashesOnWindowsToo) {
  // An artist whose name holds the other separator, as a tag may.
  const std::string slashed = std::string("AC") + static_cast<char>(platform::AltDelim) + "DC";
  AddTrack("a.mp3", "x", "mf_artist, mf_title, mf_album", "'" + slashed + "', 'T', 'Live'");
  AddTrack("b.mp3", "x", "mf_artist, mf_title, mf_album", "'Someone', 'Intro', 'First'");
  int status = -1;
  EXPECT_EQ(Velmaro({"ls", "/Albums/Someone"}, &status), "dir   First\n");
  EXPECT_EQ(status, 0);
  // Written in the plug-in's own delimiters, such a name is still reached.
  EXPECT_EQ(Velmaro({"ls", V("/Albums/") + slashed}, &status), "dir   Live\n");
  EXPECT_EQ(status, 0);
}

TEST_F(EntryAccess, VelmaroLsKeepsOneEntryOnOneLineUnlessAskedForNuls) {
  AddTrack("a.mp3", "x", "mf_artist, mf_title, mf_album",
           "'Two' || char(10) || 'Lines', 'Tab' || char(9) || 'Esc' || char(27) || '[31m', 'it''s \\ here'");
  // A name holding the other separator, which is no delimiter here.
  const std::string plain = std::string("Plain") + static_cast<char>(platform::AltDelim) + "Name";
  AddTrack("b.mp3", "x", "mf_artist, mf_album", "'" + plain + "', '$''quoted'''");
  int status = -1;
  EXPECT_EQ(Velmaro({"ls", V("/Artists")}, &status), "dir   " + plain + "\ndir   $'Two\\nLines'\n");
  EXPECT_EQ(Velmaro({"ls", "-l", V("/Artists/Two\nLines")}, &status),
            "Kind  Name                        Artist         Title                Album        Genre  Length  Rating\n"
            "file  $'Tab\\tEsc\\x1b[31m *1.mp3'  $'Two\\nLines'  $'Tab\\tEsc\\x1b[31m'  it's \\ here\n");
  EXPECT_EQ(Velmaro({"ls", V("/Albums/") + plain}, &status), "dir   $'$\\'quoted\\''\n");
  // Names exactly as they are, however the system ends its text lines.
  const velmaro::test::TProgramResult nulls = velmaro::test::RunProgram(
      velmaro::test::VelmaroProgram(),
      {"--plugin", velmaro::test::PluginPath(), "--ini", Folder.Path("v.ini"), "ls", "--null", V("/Artists")},
      TProgramOptions::AsBytes());
  EXPECT_EQ(nulls.Output, "dir   " + plain + std::string("\0dir   Two\nLines\0", 17));
  EXPECT_EQ(status, 0);
}

}  // namespace
