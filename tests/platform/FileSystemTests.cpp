#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/TestFolder.h"
#include "platform/System.h"
#include "support/Unprivileged.h"

using namespace velmaro::platform;
using velmaro::test::ReadAll;
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

}  // namespace

TEST(Files, ExistenceAndSizeFollowLinks) {
  TTestFolder folder;
  folder.Write("a.mp3", "12345");
  ::symlink(folder.Path("a.mp3").c_str(), folder.Path("link").c_str());
  ::symlink(folder.Path("gone").c_str(), folder.Path("dangling").c_str());
  EXPECT_TRUE(FileExists(folder.Path16("a.mp3")));
  EXPECT_TRUE(FileExists(folder.Path16("link")));
  EXPECT_FALSE(FileExists(folder.Path16("dangling")));
  EXPECT_FALSE(FileExists(folder.Path16("")));
  EXPECT_TRUE(DirectoryExists(folder.Path16("")));
  EXPECT_FALSE(DirectoryExists(folder.Path16("a.mp3")));
  EXPECT_EQ(FileSize(folder.Path16("link")), 5);
  EXPECT_EQ(FileSize(folder.Path16("gone")), -1);
  // A NUL inside a name must not cut it short to another, existing file.
  EXPECT_FALSE(FileExists(folder.Path16("a.mp3") + std::u16string(1, u'\0') + u"x"));
}

TEST(Files, DeleteSetsTheLastError) {
  TTestFolder folder;
  folder.Write("a", "x");
  EXPECT_TRUE(DeleteFile(folder.Path16("a")));
  EXPECT_FALSE(FileExists(folder.Path16("a")));
  EXPECT_FALSE(DeleteFile(folder.Path16("a")));
  EXPECT_EQ(GetLastError(), static_cast<std::uint32_t>(ENOENT));
}

TEST(Files, ModulePathNamesThisProgram) {
  std::string path = Utf16ToUtf8(ModulePath());
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(std::filesystem::path(path).filename(), "platform_tests");
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
  ASSERT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(TReadFile(folder.Path16("fifo")).IsOpen());  // and does not wait for a writer
}

TEST(ReadFile, LargeFiles) {
  TTestFolder folder;
  const std::int64_t size = (std::int64_t{5} << 30) + 3;  // sparse, past 32 bits
  {
    std::ofstream(folder.Path("big"), std::ios::binary) << "";
    std::filesystem::resize_file(folder.Path("big"), static_cast<std::uintmax_t>(size - 3));
    std::ofstream out(folder.Path("big"), std::ios::binary | std::ios::app);
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

TEST(Copy, ReportsEveryChunkAndKeepsTimeAndMode) {
  TTestFolder folder;
  const std::string data = Pattern(600 * 1024);
  folder.Write("src.mp3", data);
  ::chmod(folder.Path("src.mp3").c_str(), 0640);
  const timespec times[2] = {{1000000000, 0}, {1234567890, 500000000}};
  ::utimensat(AT_FDCWD, folder.Path("src.mp3").c_str(), times, 0);
  folder.Write("dst.mp3", Pattern(2 * 1024 * 1024));  // a longer file is overwritten

  TCalls calls;
  ASSERT_EQ(CopyFileWithProgress(folder.Path16("src.mp3"), folder.Path16("dst.mp3"), Recorder(calls)), 0);
  const std::int64_t total = 600 * 1024;
  EXPECT_EQ(calls, (TCalls{{total, 256 * 1024}, {total, 512 * 1024}, {total, total}}));
  EXPECT_EQ(ReadAll(folder.Path("dst.mp3")), data);
  struct stat info {};
  ASSERT_EQ(::stat(folder.Path("dst.mp3").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1234567890);
  EXPECT_EQ(info.st_mtim.tv_nsec, 500000000);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(Copy, EmptyFileGetsOneProgressCall) {
  TTestFolder folder;
  folder.Write("empty", "");
  TCalls calls;
  ASSERT_EQ(CopyFileWithProgress(folder.Path16("empty"), folder.Path16("out"), Recorder(calls)), 0);
  EXPECT_EQ(calls, (TCalls{{0, 0}}));
  EXPECT_EQ(FileSize(folder.Path16("out")), 0);
}

TEST(Copy, CancelRemovesThePartialTarget) {
  TTestFolder folder;
  folder.Write("src", Pattern(600 * 1024));
  folder.Write("existing", "old");
  for (const char* target : {"new", "existing"}) {
    TCalls calls;
    SetLastError(0);
    EXPECT_EQ(CopyFileWithProgress(folder.Path16("src"), folder.Path16(target), Recorder(calls, 2)), ECANCELED);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_FALSE(FileExists(folder.Path16(target))) << target;
    EXPECT_EQ(GetLastError(), static_cast<std::uint32_t>(ECANCELED));
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
  EXPECT_EQ(CopyFileWithProgress(folder.Path16("none"), folder.Path16("out"), Recorder(calls)), ENOENT);
  EXPECT_EQ(GetLastError(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_FALSE(FileExists(folder.Path16("out")));
  EXPECT_EQ(CopyFileWithProgress(u"", folder.Path16("out"), Recorder(calls)), ENOENT);
  EXPECT_EQ(CopyFileWithProgress(folder.Path16("src"), folder.Path16("src/out"), Recorder(calls)), ENOTDIR);
  EXPECT_EQ(CopyFileWithProgress(folder.Path16("src"), folder.Path16("no/out"), Recorder(calls)), ENOENT);
  EXPECT_EQ(CopyFileWithProgress(folder.Path16(""), folder.Path16("out"), Recorder(calls)), EISDIR);
  EXPECT_TRUE(calls.empty());

  ::chmod(folder.Path("src").c_str(), 0644);
  ::mkdir(folder.Path("ro").c_str(), 0555);
  EXPECT_TRUE(RunUnprivileged([&] {
    return CopyFileWithProgress(folder.Path16("src"), folder.Path16("ro/out"), nullptr) == EACCES;
  }));
  EXPECT_FALSE(FileExists(folder.Path16("ro/out")));
}

TEST(Copy, OntoItselfFailsWithoutHarm) {
  TTestFolder folder;
  folder.Write("a.mp3", "precious");
  ::link(folder.Path("a.mp3").c_str(), folder.Path("hard.mp3").c_str());
  ::symlink(folder.Path("a.mp3").c_str(), folder.Path("soft.mp3").c_str());
  for (const char* target : {"a.mp3", "hard.mp3", "soft.mp3"}) {
    EXPECT_EQ(CopyFileWithProgress(folder.Path16("a.mp3"), folder.Path16(target), nullptr), EINVAL) << target;
    EXPECT_EQ(ReadAll(folder.Path("a.mp3")), "precious");
    EXPECT_TRUE(FileExists(folder.Path16(target)));
  }
}
