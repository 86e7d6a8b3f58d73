// The generated corpus copied into the panel the way velmaro (and a host)
// does it, then found in every view; deleting entries through velmaro.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "host/THostHarness.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/Corpus.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::host;
using velmaro::test::TTestFolder;
using velmaro::test::TProgramOptions;

namespace {

// velmaro with this build's plug-in and the settings file ini; what it
// printed on both streams.
std::string Velmaro(const std::string& ini, std::vector<std::string> arguments, int* status) {
  arguments.insert(arguments.begin(), {"--plugin", test::PluginPath(), "--ini", ini});
  const test::TProgramResult run = test::RunProgram(test::VelmaroProgram(), arguments, TProgramOptions::MergingErrors());
  *status = run.Status;
  return run.Output;
}

// A virtual path written with "/", in the platform's delimiter.
std::string V(std::string path) {
  for (char& c : path)
    if (c == '/') c = static_cast<char>(platform::PathDelim);
  return path;
}

std::u16string Folder(const std::string& value) { return value.empty() ? u"_Other" : FromUtf8(value); }

TEST(PutCorpus, EveryAcceptedFileIsFoundInEveryView) {
  const auto corpus = test::CorpusFolder();
  if (!corpus) GTEST_SKIP() << "no test audio: run scripts/make-test-audio build/test-audio";
  TTestFolder folder;
  int status = -1;
  const std::string out = Velmaro(folder.Path("v.ini"), {"put", *corpus}, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("cannot create the folder"), std::string::npos) << out;

  THostHarness host(test::PluginPath(), true);
  host.Start(folder.Path("v.ini"));
  std::set<std::u16string> titles;
  for (const TEntry& entry : host.List(HostPath(u"\\Titles")).Entries) titles.insert(entry.Name);
  std::size_t accepted = 0;
  for (const test::TCorpusFile& file : test::CorpusFiles()) {
    SCOPED_TRACE(file.RelativePath);
    // The put records the path with its first character (a drive letter)
    // lower-cased; the entry names it with the separators swapped.
    std::u16string name = FromUtf8(file.Path);
    name[0] = platform::LowerCase(name.substr(0, 1))[0];
    for (char16_t& c : name)
      if (c == platform::DirDelim) c = platform::AltDelim;
    EXPECT_EQ(titles.count(name), file.Accept ? 1u : 0u);
    if (!file.Accept) continue;
    ++accepted;
    const std::u16string title = FromUtf8(file.Expected.at("title"));
    const std::u16string artist = Folder(file.Expected.at("artist"));
    auto holdsTrack = [&](const std::u16string& path) {
      for (const TEntry& entry : host.List(path).Entries)
        if (!entry.IsFolder() && entry.Name.rfind(title + u" *", 0) == 0) return true;
      return false;
    };
    const std::u16string delim(1, platform::PathDelim);
    EXPECT_TRUE(holdsTrack(HostPath(u"\\Artists\\") + artist));
    EXPECT_TRUE(holdsTrack(HostPath(u"\\Albums\\") + artist + delim + Folder(file.Expected.at("album"))));
    EXPECT_TRUE(holdsTrack(HostPath(u"\\Genres\\") + Folder(file.Expected.at("genre")) + delim + artist));
  }
  EXPECT_EQ(titles.size(), accepted);
  const std::size_t latest = host.List(HostPath(u"\\Latest")).Entries.size();
  EXPECT_EQ(latest, std::min<std::size_t>(accepted, 99));
  EXPECT_NE(out.find(std::to_string(accepted) + " recorded in the library"), std::string::npos) << out;
}

TEST(PutCorpus, RemovingEntriesKeepsTheFiles) {
  const auto corpus = test::CorpusFolder();
  if (!corpus) GTEST_SKIP() << "no test audio";
  TTestFolder folder;
  const std::string song = *corpus + test::NativeName("/mp3/names/Artist_Name - Song_Title.mp3");
  ASSERT_TRUE(std::filesystem::exists(test::Utf8Path(song)));
  int status = -1;
  Velmaro(folder.Path("v.ini"), {"put", song}, &status);
  ASSERT_EQ(status, 0);
  const std::string listing = Velmaro(folder.Path("v.ini"), {"ls", V("/Artists/Artist Name")}, &status);
  ASSERT_EQ(listing.rfind("file  Song Title *1.mp3", 0), 0u) << listing;
  const std::string entry = V("/Artists/Artist Name/Song Title *1.mp3");
  const std::string removed = Velmaro(folder.Path("v.ini"), {"rm", entry}, &status);
  EXPECT_EQ(status, 0) << removed;
  Velmaro(folder.Path("v.ini"), {"ls", V("/Titles")}, &status);
  EXPECT_EQ(Velmaro(folder.Path("v.ini"), {"ls", V("/Titles")}, &status), "");
  EXPECT_TRUE(std::filesystem::exists(test::Utf8Path(song)));
  Velmaro(folder.Path("v.ini"), {"rm", entry}, &status);
  EXPECT_EQ(status, 1);
}

}  // namespace
