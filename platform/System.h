// The thread's last error, system error texts, local time, sleep, the
// user's configuration folder, and opening a file with the desktop's
// default application.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro::platform {

// Windows error codes the plug-in sets or tests.
inline constexpr std::uint32_t ErrorNoMoreFiles = 18;
inline constexpr std::uint32_t ErrorRequestAborted = 1235;

// The thread's last error: SetLastError on Windows; on POSIX a
// thread-local value, mirrored into errno for a host that reads it.
void SetLastError(std::uint32_t code);
std::uint32_t GetLastError();

// The system's message text for an error code (FormatMessage, strerror).
std::u16string SysErrorMessage(std::uint32_t code);

// Local wall-clock date and time, as the calendar shows it.
struct TLocalTime {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
TLocalTime LocalNow();

void SleepMs(unsigned milliseconds);

// Hands a file to the desktop's default application for its kind, without
// waiting for that application: `xdg-open` started detached, without a
// shell, on POSIX; ShellExecuteW "open" on Windows. False when no opener
// could be started (none installed, the system refused).
bool OpenWithDefaultApplication(std::u16string_view path);

}  // namespace velmaro::platform
