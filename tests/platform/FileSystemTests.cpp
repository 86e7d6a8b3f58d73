#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/System.h"
#include "support/SystemSupport.h"
#include "support/TestFolder.h"
#include "support/Unprivileged.h"

using namespace velmaro::platform;
namespace fs = std::filesystem;
using velmaro::test::ReadAll;
using velmaro::test::Utf8Path;
using velmaro::test::RunUnprivileged;
using velmaro::test::TTestFolder;

namespace {

std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7919) >> 3);
  return data;
}

using TCalls = std::vector<std::pair<std::int64_t, std::int64_t>>;

TCopyProgress Recorder(TCalls& calls, std::size_t cancelAt = SIZE_MAX) {
  return [&calls, cancelAt](std::int64_t total, std::int64_t copied) {
    calls.emplace_back(total, copied);
    return calls.size() < cancelAt;
  };
}

// The code each platform reports for a failure: errno values on POSIX,
// the system's error codes on Windows.
std::uint32_t Code(int posix, std::uint32_t windows) {
  return IsWindows ? windows : static_cast<std::uint32_t>(posix);
}
constexpr std::uint32_t ErrorFileNotFound = 2, ErrorPathNotFound = 3, ErrorAccessDenied = 5,
                        ErrorSharingViolation = 32;

}  // namespace


TEST(Files, ExistenceAndSize) {
  TTestFolder folder;
  folder.Write("a.mp3", "12345");
  EXPECT_TRUE(FileExists(folder.Path16("a.mp3")));
  EXPECT_FALSE(FileExists(folder.Path16("")));
  EXPECT_TRUE(DirectoryExists(folder.Path16("")));
  EXPECT_FALSE(DirectoryExists(folder.Path16("a.mp3")));
  EXPECT_EQ(FileSize(folder.Path16("a.mp3")), 5);
  EXPECT_EQ(FileSize(folder.Path16("gone")), -1);
  // A NUL inside a name must not cut it short to another, existing file.
  EXPECT_FALSE(FileExists(folder.Path16("a.mp3") + std::u16string(1, u'\0') + u"x"));
}

TEST(Files, ExistenceAndSizeFollowLinks) {
  TTestFolder folder;
  folder.Write("a.mp3", "12345");
  std::error_code error;
  fs::create_symlink(Utf8Path(folder.Path("a.mp3")), Utf8Path(folder.Path("link")), error);
  if (error) GTEST_SKIP() << "no symbolic link can be made here: " << error.message();
  fs::create_symlink(Utf8Path(folder.Path("gone")), Utf8Path(folder.Path("dangling")));
  EXPECT_TRUE(FileExists(folder.Path16("link")));
  EXPECT_FALSE(FileExists(folder.Path16("dangling")));
  EXPECT_EQ(FileSize(folder.Path16("link")), 5);
}

TEST(Files, DeleteSetsTheLastError) {
  TTestFolder folder;
  folder.Write("a", "x");
  EXPECT_TRUE(DeleteFile(folder.Path16("a")));
  EXPECT_FALSE(FileExists(folder.Path16("a")));
  EXPECT_FALSE(DeleteFile(folder.Path16("a")));
  EXPECT_EQ(GetLastError(), Code(ENOENT, ErrorFileNotFound));
}

TEST(Files, ModulePathNamesThisProgram) {
  const fs::path path(ModulePath());
  EXPECT_TRUE(path.is_absolute()) << Utf16ToUtf8(ModulePath());
  EXPECT_EQ(path.stem(), "platform_tests");
  EXPECT_TRUE(FileExists(ModulePath()));
}

TEST(ReadFile, ReadsAndClampsSeeks) {
  TTestFolder folder;
  folder.Write("a", "0123456789");
  TReadFile file(folder.Path16("a"));
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 10);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(file.Position(), 4);
  EXPECT_EQ(file.Seek(-5), 0);
  EXPECT_EQ(file.Seek(100), 10);
  EXPECT_EQ(file.Read(buffer, 4), 0u);
  EXPECT_EQ(file.Seek(7), 7);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);  // never past the end
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(file.Position(), 10);
}

TEST(ReadFile, RefusesWhatIsNotARegularFile) {
  TTestFolder folder;
  char buffer[4];
  TReadFile missing(folder.Path16("none"));
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.Read(buffer, 4), 0u);
  EXPECT_FALSE(TReadFile(folder.Path16("")).IsOpen());
  // A pipe or a device could block a read or never end (and opening a
  // pipe must not wait for a writer).
  const std::u16string pipe = velmaro::test::MakePipeOrDevice(folder.Path("fifo"));
  ASSERT_FALSE(pipe.empty());
  EXPECT_FALSE(TReadFile(pipe).IsOpen());
}

TEST(ReadFile, LargeFiles) {
  TTestFolder folder;
  const std::int64_t size = (std::int64_t{5} << 30) + 3;  // sparse, past 32 bits
  {
    folder.Write("big", "");
    fs::resize_file(Utf8Path(folder.Path("big")), static_cast<std::uintmax_t>(size - 3));
    std::ofstream out(Utf8Path(folder.Path("big")), std::ios::binary | std::ios::app);
    out << "END";
  }
  TReadFile file(folder.Path16("big"));
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), size);
  EXPECT_EQ(file.Seek(size - 3), size - 3);
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "END");
}

TEST(Copy, KeepsContentTimeAndMode) {
  TTestFolder folder;
  const std::string data = Pattern(600 * 1024);
  folder.Write("src.mp3", data);
  const fs::path source = Utf8Path(folder.Path("src.mp3")), target = Utf8Path(folder.Path("dst.mp3"));
  const auto permissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(source, permissions);
  // Whole seconds: Wine keeps no fractions of a second in a copy.
  const fs::file_time_type modified =
      std::chrono::floor<std::chrono::seconds>(fs::last_write_time(source) - std::chrono::hours(24 * 400));
  fs::last_write_time(source, modified);
  folder.Write("dst.mp3", Pattern(2 * 1024 * 1024));  // a longer file is overwritten

  ASSERT_EQ(CopyFileWithProgress(folder.Path16("src.mp3"), folder.Path16("dst.mp3"), nullptr), 0);
  EXPECT_EQ(ReadAll(folder.Path("dst.mp3")), data);
  EXPECT_EQ(fs::last_write_time(target), modified);
  // Windows keeps only a read-only attribute, which this file has not.
  if (!IsWindows) {
    EXPECT_EQ(fs::status(target).permissions(), permissions);
  }
}

TEST(Copy, ReportsGrowingCountsOfTheTotal) {
  TTestFolder folder;
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  folder.Write("src.mp3", Pattern(600 * 1024));
  TCalls calls;
  ASSERT_EQ(CopyFileWithProgress(folder.Path16("src.mp3"), folder.Path16("dst.mp3"), Recorder(calls)), 0);
  const std::int64_t total = 600 * 1024;
  ASSERT_GE(calls.size(), 2u);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].first, total);
    if (i > 0) {
      EXPECT_GE(calls[i].second, calls[i - 1].second);
    }
  }
  EXPECT_EQ(calls.back().second, total);
}

TEST(Copy, EmptyFileGetsOneProgressCall) {
  TTestFolder folder;
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  folder.Write("empty", "");
  TCalls calls;
  ASSERT_EQ(CopyFileWithProgress(folder.Path16("empty"), folder.Path16("out"), Recorder(calls)), 0);
  EXPECT_EQ(calls, (TCalls{{0, 0}}));
  EXPECT_EQ(FileSize(folder.Path16("out")), 0);
}

TEST(Copy, CancelRemovesThePartialTarget) {
  TTestFolder folder;
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  folder.Write("src", Pattern(600 * 1024));
  folder.Write("existing", "old");
  for (const char* target : {"new", "existing"}) {
    TCalls calls;
    SetLastError(0);
    const int cancelled = static_cast<int>(Code(ECANCELED, ErrorRequestAborted));
    EXPECT_EQ(CopyFileWithProgress(folder.Path16("src"), folder.Path16(target), Recorder(calls, 2)), cancelled);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_FALSE(FileExists(folder.Path16(target))) << target;
    EXPECT_EQ(GetLastError(), static_cast<std::uint32_t>(cancelled));
  }
  // A routine that throws cancels just as well.
  auto thrower = [](std::int64_t, std::int64_t) -> bool { throw std::runtime_error("abort"); };
  EXPECT_THROW(CopyFileWithProgress(folder.Path16("src"), folder.Path16("t"), thrower), std::runtime_error);
  EXPECT_FALSE(FileExists(folder.Path16("t")));
}

TEST(Copy, FailuresReturnTheErrorAndLeaveNothingBehind) {
  TTestFolder folder;
  folder.Write("src", "data");
  TCalls calls;
  auto copy = [&](const std::u16string& source, const std::u16string& target) {
    return static_cast<std::uint32_t>(CopyFileWithProgress(source, target, Recorder(calls)));
  };
  EXPECT_EQ(copy(folder.Path16("none"), folder.Path16("out")), Code(ENOENT, ErrorFileNotFound));
  EXPECT_EQ(GetLastError(), Code(ENOENT, ErrorFileNotFound));
  EXPECT_FALSE(FileExists(folder.Path16("out")));
  EXPECT_EQ(copy(u"", folder.Path16("out")), Code(ENOENT, ErrorPathNotFound));
  EXPECT_EQ(copy(folder.Path16("src"), folder.Path16("src/out")), Code(ENOTDIR, ErrorPathNotFound));
  EXPECT_EQ(copy(folder.Path16("src"), folder.Path16("no/out")), Code(ENOENT, ErrorPathNotFound));
  EXPECT_EQ(copy(folder.Path16(""), folder.Path16("out")), Code(EISDIR, ErrorAccessDenied));
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(FileExists(folder.Path16("out")));
}

TEST(Copy, IntoAReadOnlyFolderFails) {
  if (IsWindows) GTEST_SKIP() << "Windows has no read-only folders: the attribute does not stop new files";
  TTestFolder folder;
  folder.Write("src", "data");
  fs::create_directory(Utf8Path(folder.Path("ro")));
  fs::permissions(Utf8Path(folder.Path("ro")), fs::perms::owner_read | fs::perms::owner_exec |
                                                   fs::perms::group_read | fs::perms::group_exec |
                                                   fs::perms::others_read | fs::perms::others_exec);
  EXPECT_TRUE(RunUnprivileged([&] {
    return CopyFileWithProgress(folder.Path16("src"), folder.Path16("ro/out"), nullptr) == EACCES;
  }));
  EXPECT_FALSE(FileExists(folder.Path16("ro/out")));
}

TEST(Copy, OntoItselfFailsWithoutHarm) {
  TTestFolder folder;
  folder.Write("a.mp3", "precious");
  std::vector<const char*> targets = {"a.mp3", "A.MP3"};
  if (!PathsIgnoreCase) targets.pop_back();
  std::error_code error;
  fs::create_hard_link(Utf8Path(folder.Path("a.mp3")), Utf8Path(folder.Path("hard.mp3")), error);
  if (!error) targets.push_back("hard.mp3");
  fs::create_symlink(Utf8Path(folder.Path("a.mp3")), Utf8Path(folder.Path("soft.mp3")), error);
  if (!error) targets.push_back("soft.mp3");
  for (const char* target : targets) {
    // Windows: the target is the source, which is open and shares no writing.
    EXPECT_EQ(static_cast<std::uint32_t>(CopyFileWithProgress(folder.Path16("a.mp3"), folder.Path16(target), nullptr)),
              Code(EINVAL, ErrorSharingViolation))
        << target;
    EXPECT_EQ(ReadAll(folder.Path("a.mp3")), "precious");
    EXPECT_TRUE(FileExists(folder.Path16(target)));
  }
}
