// velmaro rebuild, vacuum and empty: the Settings actions from a terminal
// or a script.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Platform.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/MpegBuilder.h"
#include "support/TestFolder.h"
#include "support/Unprivileged.h"

using namespace velmaro;
using velmaro::test::TProgramOptions;
using velmaro::test::TProgramResult;
using velmaro::test::TTestFolder;

namespace fs = std::filesystem;

namespace {

TProgramResult Velmaro(const std::string& ini, std::vector<std::string> arguments,
                       TProgramOptions options = TProgramOptions::MergingErrors()) {
  arguments.insert(arguments.begin(), {"--plugin", test::PluginPath(), "--ini", ini});
  return test::RunProgram(test::VelmaroProgram(), arguments, options);
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(VelmaroMaintenance, RebuildKeepsTheRowsOfFilesItCannotReachAndEmptyAsksFirst) {
  if (platform::IsWindows) GTEST_SKIP() << "made unreachable by permission bits, which Windows does not have";
  TTestFolder folder;
  for (const char* sub : {"music", "other", "lib"}) fs::create_directories(folder.Path(sub));
  for (const char* name : {"music/a.mp3", "music/b.mp3", "other/c.mp3"})
    folder.Write(name, testsupport::MpegFrames({}, 40));
  const std::string ini = folder.Path("lib/v.ini");
  ASSERT_EQ(Velmaro(ini, {"put", folder.Path("music"), folder.Path("other")}).Status, 0);
  // The library is the unprivileged user's; the music folder is closed to
  // that user, as a folder without permission or a drive that is away.
  for (const char* name : {"lib", "lib/v.ini", "lib/VORNAK.DB"}) ASSERT_TRUE(test::GiveToUnprivileged(folder.Path(name)));
  fs::permissions(folder.Path("music"), fs::perms::owner_all);
  // The user runs copies of velmaro and the plug-in: the build's folder
  // may be closed to that user (a clone in a private temporary folder).
  fs::create_directories(folder.Path("bin"));
  const std::string program = folder.Path("bin/velmaro"), plugin = folder.Path("bin/Melvanto.wfx");
  fs::copy_file(test::VelmaroProgram(), program);
  fs::copy_file(test::PluginPath(), plugin);
  std::string output;
  const bool ran = test::RunUnprivileged([&] {
    // Nor may that user read the leak checker's list of known leaks in the
    // source tree: a sanitizer build checks no leaks in this run.
    TProgramOptions options = TProgramOptions::MergingErrors();
    options.Environment.emplace_back("LSAN_OPTIONS", "detect_leaks=0");
    options.Environment.emplace_back("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");
    const TProgramResult run =
        test::RunProgram(program, {"--plugin", plugin, "--ini", ini, "rebuild", "--yes"}, options);
    output = run.Output;
    return run.Status == 0 && Holds(run.Output, "Records was: 3, now: 3") &&
           Holds(run.Output, "2 files could not be reached; their rows were kept.");
  });
  fs::permissions(folder.Path("music"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
  EXPECT_TRUE(ran) << output;

  // Without --yes and without a terminal to ask at, nothing is emptied.
  const TProgramResult declined = Velmaro(ini, {"empty"});
  EXPECT_EQ(declined.Status, 1);
  EXPECT_TRUE(Holds(declined.Output, "give --yes")) << declined.Output;
  EXPECT_TRUE(Holds(Velmaro(ini, {"ls", "-R", "/Titles"}).Output, "c.mp3"));
  const TProgramResult emptied = Velmaro(ini, {"empty", "--yes"});
  EXPECT_EQ(emptied.Status, 0);
  EXPECT_TRUE(Holds(emptied.Output, "Records in Database: 0")) << emptied.Output;
}

}  // namespace
