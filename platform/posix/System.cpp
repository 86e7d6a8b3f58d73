// Last error, error texts, local time, sleep and the default application
// on POSIX.
#include "platform/System.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/Text.h"
#include "platform/posix/NativePath.h"

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

namespace {

// The opener's full path from PATH, or empty when there is none: looked up
// before the process forks, where looking up may still allocate.
std::string FindOpener(const char* name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

// Reads the error number a child reports through the pipe; 0 when the pipe
// closed without one (its program was started).
int ReadChildError(int fd) {
  int error = 0;
  ssize_t got;
  do got = ::read(fd, &error, sizeof error);
  while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? (error != 0 ? error : ECHILD) : (got < 0 ? errno : 0);
}

}  // namespace

bool OpenWithDefaultApplication(std::u16string_view path) {
  const std::optional<std::string> native = posix::NativePath(path);
  if (!native || native->empty()) return false;
  // The argument goes to the opener as one argv entry, never through a
  // shell; only a leading dash would be taken for an option.
  std::string argument = (*native)[0] == '-' ? "./" + *native : *native;
  std::string program = FindOpener("xdg-open");
  if (program.empty()) return false;
  char* const argv[] = {program.data(), argument.data(), nullptr};

  // The opener runs detached: a child starts it as a grandchild and ends at
  // once, so the host neither waits for the application nor keeps a
  // zombie. A close-on-exec pipe carries the error of a failed start back.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The host has other threads: only async-signal-safe calls from here.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
      }
      ::_exit(0);
    }
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0 && null != STDIN_FILENO) {
      ::dup2(null, STDIN_FILENO);
      ::close(null);
    }
    // What the host blocked or ignored is not the application's business.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGCHLD, SIG_DFL);
    ::execv(program.c_str(), argv);
    const int error = errno;
    (void)!::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  const int error = ReadChildError(report[0]);
  ::close(report[0]);
  // A host that ignores SIGCHLD has the child reaped already (ECHILD).
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return error == 0;
}

}  // namespace velmaro::platform
