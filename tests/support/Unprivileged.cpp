#include "support/Unprivileged.h"

#if defined(_WIN32)

namespace velmaro::test {

// Windows has no root for whom permissions do not count: the check runs
// as the current user.
bool IsPrivileged() { return false; }

bool RunUnprivileged(const std::function<bool()>& check) { return check(); }

}  // namespace velmaro::test

#else

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace velmaro::test {

bool IsPrivileged() { return ::geteuid() == 0; }

bool RunUnprivileged(const std::function<bool()>& check) {
  if (!IsPrivileged()) return check();
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // In the child: only async-signal-safe exits, no atexit handlers or
    // test framework teardown of the parent's state.
    if (::setgroups(0, nullptr) != 0 || ::setgid(UnprivilegedId) != 0 || ::setuid(UnprivilegedId) != 0 ||
        ::geteuid() == 0)
      ::_exit(2);
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

}  // namespace velmaro::test

#endif
