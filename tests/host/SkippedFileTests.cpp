// Files a copy into the panel skips: each goes into the host's log with
// its reason, written once the plug-in has let its lock go, and velmaro
// put prints the same reasons.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "host/THostHarness.h"
#include "platform/Platform.h"
#include "support/BuildPaths.h"
#include "support/CommandRunner.h"
#include "support/OggBuilder.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::host;
using velmaro::test::TTestFolder;
using velmaro::test::TProgramOptions;

namespace {

TEST(SkippedFiles, EachGoesIntoTheHostsLogWithItsReason) {
  TTestFolder folder;
  std::filesystem::create_directories(folder.Path("music"));
  const std::string cover = folder.Write("music/cover.jpg", "not audio");
  const std::string empty = folder.Write("music/empty.mp3", "");
  const std::string tooShort =
      velmaro::test::Utf8Text(folder.Write("music/short.opus", testsupport::OpusFile(2, {}, 312 + 2400)));
  const std::string song = velmaro::test::Utf8Text(
      folder.Write("music/song.opus", testsupport::OpusFile(2, {testsupport::OggComment("TITLE=Kept")})));
  const std::string missing = folder.Path("music/gone.mp3");
  {
    THostHarness host(velmaro::test::PluginPath(), true);
    host.Start(folder.Path("v.ini"));
    // While the host writes a line, its other threads go on listing.
    bool otherThreadListed = false;
    std::thread other;
    std::promise<bool> listed;
    host.OnLog = [&](const TLogLine&) {
      if (other.joinable()) return;
      other = std::thread([&] { listed.set_value(host.List(HostPath(u"\\")).Ok); });
      auto root = listed.get_future();
      otherThreadListed = root.wait_for(std::chrono::seconds(5)) == std::future_status::ready && root.get();
    };
    host.StatusInfo(HostPath(u"\\"), fsapi::FS_STATUS_START, fsapi::FS_STATUS_OP_PUT_MULTI);
    for (const std::string& path : {cover, empty, tooShort, song, missing})
      EXPECT_EQ(host.PutFile(FromUtf8(path), HostPath(u"\\Titles\\x")), fsapi::FS_FILE_OK) << path;
    host.StatusInfo(HostPath(u"\\"), fsapi::FS_STATUS_END, fsapi::FS_STATUS_OP_PUT_MULTI);
    if (other.joinable()) other.join();
    EXPECT_TRUE(otherThreadListed);

    std::vector<std::string> lines;
    for (const TLogLine& line : host.LogLines()) {
      EXPECT_EQ(line.MsgType, fsapi::MSGTYPE_DETAILS);
      EXPECT_EQ(line.PluginNr, 1);
      lines.push_back(ToUtf8(line.Text));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"Skipped " + cover + ": unknown extension",
                                               "Skipped " + empty + ": empty file",
                                               "Skipped " + tooShort + ": too short",
                                               "Skipped " + missing + ": no such file"}));
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_EQ(host.List(HostPath(u"\\Titles")).Entries.size(), 1u);
  }

  // velmaro put prints the same reasons. A name that would break the line
  // is shown quoted, as ls shows it; Windows names hold no control
  // characters.
  if (!platform::IsWindows) folder.Write("music/two\nlines.txt", "text");
  const velmaro::test::TProgramResult put = velmaro::test::RunProgram(
      velmaro::test::VelmaroProgram(),
      {"--plugin", velmaro::test::PluginPath(), "--ini", folder.Path("v.ini"), "put", folder.Path("music")},
      TProgramOptions::MergingErrors());
  const std::string& out = put.Output;
  EXPECT_EQ(put.Status, 0) << out;
  const std::string counts = platform::IsWindows ? "put 4 files: 1 recorded in the library, 3 skipped\n"
                                                 : "put 5 files: 1 recorded in the library, 4 skipped\n";
  EXPECT_NE(out.find(counts), std::string::npos) << out;
  EXPECT_NE(out.find("  skipped: " + cover + ": unknown extension\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  skipped: " + tooShort + ": too short\n"), std::string::npos) << out;
  if (!platform::IsWindows) {
    EXPECT_NE(out.find("  skipped: $'" + folder.Path("music/two\\nlines.txt") + "': unknown extension\n"),
              std::string::npos)
        << out;
  }
}

}  // namespace
