// Last error, error texts, local time and sleep on POSIX.
#include "platform/System.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/Text.h"

namespace velmaro::platform {

namespace {
thread_local std::uint32_t LastError = 0;
}  // namespace

void SetLastError(std::uint32_t code) {
  LastError = code;
  errno = static_cast<int>(code);
}

std::uint32_t GetLastError() { return LastError; }

std::u16string SysErrorMessage(std::uint32_t code) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which need not be in the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return Utf8ToUtf16(text ? text : "");
}

TLocalTime LocalNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm parts{};
  if (!localtime_r(&now.tv_sec, &parts)) return TLocalTime{1970, 1, 1, 0, 0, 0, 0};
  return TLocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                    parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}

void SleepMs(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace velmaro::platform
