#include "platform/System.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/Platform.h"

using namespace velmaro::platform;

TEST(LastError, IsPerThread) {
  SetLastError(ENOENT);
  EXPECT_EQ(GetLastError(), static_cast<std::uint32_t>(ENOENT));
  std::uint32_t seenByOther = 99;
  std::thread([&] { seenByOther = GetLastError(); }).join();
  EXPECT_EQ(seenByOther, 0u);
  SetLastError(ErrorNoMoreFiles);
  EXPECT_EQ(GetLastError(), ErrorNoMoreFiles);
}

TEST(LastError, MirroredIntoErrno) {
  if (IsWindows) GTEST_SKIP() << "Windows hosts read the system's last error; errno is the POSIX stand-in's";
  SetLastError(ENOENT);
  EXPECT_EQ(errno, ENOENT);
  SetLastError(ErrorNoMoreFiles);
  EXPECT_EQ(errno, static_cast<int>(ErrorNoMoreFiles));
}

TEST(LastError, SystemTexts) {
  // Windows words its texts in the system's language.
  if (!IsWindows) {
    EXPECT_EQ(SysErrorMessage(ENOENT), u"No such file or directory");
  }
  for (std::uint32_t code : {std::uint32_t{ENOENT}, ErrorRequestAborted, std::uint32_t{0x7FFFFFF0}}) {
    SetLastError(ErrorNoMoreFiles);
    const std::u16string text = SysErrorMessage(code);  // unknown codes still get a text
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), u'\n') << code;
    EXPECT_EQ(GetLastError(), ErrorNoMoreFiles) << "asking for a text keeps the last error";
  }
}

TEST(Time, LocalNowIsTheLocalWallClock) {
  std::time_t before = std::time(nullptr);
  TLocalTime now = LocalNow();
  std::time_t after = std::time(nullptr);
  std::tm parts{};
  parts.tm_year = now.Year - 1900;
  parts.tm_mon = now.Month - 1;
  parts.tm_mday = now.Day;
  parts.tm_hour = now.Hour;
  parts.tm_min = now.Minute;
  parts.tm_sec = now.Second;
  parts.tm_isdst = -1;
  std::time_t stamped = std::mktime(&parts);
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);
  EXPECT_GE(now.Millisecond, 0);
  EXPECT_LE(now.Millisecond, 999);
}

TEST(Time, SleepWaitsAtLeastThatLong) {
  auto start = std::chrono::steady_clock::now();
  SleepMs(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}
