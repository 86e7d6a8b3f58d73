#include "support/Unprivileged.h"

#if defined(_WIN32)

namespace velmaro::test {

// Windows has no root for whom permissions do not count: the check runs
// as the current user.
bool IsPrivileged() { return false; }

bool RunUnprivileged(const std::function<bool()>& check) { return check(); }

bool RunWithFileSizeLimit(std::uint64_t, const std::function<bool()>&) { return false; }

std::string OwnerOf(const std::string&) { return {}; }

bool GiveToUnprivileged(const std::string&) { return false; }

}  // namespace velmaro::test

#else

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace velmaro::test {

bool IsPrivileged() { return ::geteuid() == 0; }

namespace {

// Runs check in a forked child after `prepare` has readied it (false:
// the child gives up at once); the child's verdict.
bool RunInChild(const std::function<bool()>& prepare, const std::function<bool()>& check) {
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // In the child: only async-signal-safe exits, no atexit handlers or
    // test framework teardown of the parent's state.
    if (!prepare()) ::_exit(2);
    bool verdict = false;
    try {
      verdict = check();
    } catch (...) {
      verdict = false;
    }
    ::_exit(verdict ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool RunUnprivileged(const std::function<bool()>& check) {
  if (!IsPrivileged()) return check();
  return RunInChild(
      [] {
        return ::setgroups(0, nullptr) == 0 && ::setgid(UnprivilegedId) == 0 && ::setuid(UnprivilegedId) == 0 &&
               ::geteuid() != 0;
      },
      check);
}

bool RunWithFileSizeLimit(std::uint64_t limit, const std::function<bool()>& check) {
  return RunInChild(
      [limit] {
        // A write past the limit then fails with EFBIG instead of ending the process.
        const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &size) == 0;
      },
      check);
}

std::string OwnerOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return {};
  return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid);
}

bool GiveToUnprivileged(const std::string& path) {
  return ::lchown(path.c_str(), UnprivilegedId, UnprivilegedId) == 0;
}

}  // namespace velmaro::test

#endif
