// Runs a check as an ordinary user. The tests may run as root, for whom
// file permissions do not forbid anything; a check that a read-only file
// or folder is refused must then run under another user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velmaro::test {

// The user and group the check runs as when the process is root ("nobody").
inline constexpr unsigned UnprivilegedId = 65534;

// Runs check and returns its verdict. As root, the check runs in a forked
// child that first drops to UnprivilegedId (groups included); the result is
// the child's verdict, false if it could not drop its rights, threw or died.
// Files the check touches must be reachable by that user. Elsewhere (and
// on Windows, which has no such user) the check runs in the process itself.
bool RunUnprivileged(const std::function<bool()>& check);

// True when the process is root.
bool IsPrivileged();

// Runs check in a forked child whose files cannot grow past `limit` bytes,
// as on a full disk: a write beyond it is cut short, then fails. The
// child's verdict; false if it threw or died, and on Windows, which has no
// such limit.
bool RunWithFileSizeLimit(std::uint64_t limit, const std::function<bool()>& check);

// A file's owner and group as "UID:GID" (the link itself for a link);
// empty when it cannot be read, and on Windows.
std::string OwnerOf(const std::string& path);

// Gives a file or folder (the link itself for a link) to UnprivilegedId,
// user and group; false when that fails, and on Windows.
bool GiveToUnprivileged(const std::string& path);

}  // namespace velmaro::test
