// The settings file on POSIX: our own reader and writer of Windows-style
// ini files, behaving as the Windows private-profile functions do.
//
// The file is handled as lines of bytes: only the line of the key written
// (and a new section header) is ours; every other line is written back
// byte for byte, whatever its encoding. Names and values are UTF-8. A
// write replaces the whole file at once (see ReplaceWholeFile).
#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/posix/NativePath.h"

namespace velmaro::platform {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

struct TIniLines {
  std::vector<std::string> Lines;  // without their line ends
  std::string LineEnd = "\n";      // the file's own style, kept on writing
};

// The whole file, or nothing when it cannot be read (errno tells why).
std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[8192];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      int code = errno;
      ::close(fd);
      errno = code;
      return std::nullopt;
    }
    if (count == 0) break;
    content.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(fd);
  return content;
}

TIniLines SplitLines(std::string_view content) {
  TIniLines result;
  std::size_t firstEnd = content.find('\n');
  if (firstEnd != std::string_view::npos && firstEnd > 0 && content[firstEnd - 1] == '\r') result.LineEnd = "\r\n";
  while (!content.empty()) {
    std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    result.Lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    content.remove_prefix(end + 1);
  }
  return result;
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

enum class TLineKind { Other, Section, Key };

struct TIniLine {
  TLineKind Kind = TLineKind::Other;
  std::string_view Name;   // section or key name, trimmed
  std::string_view Value;  // key value, trimmed
};

TIniLine ParseLine(std::string_view line, bool first) {
  if (first && line.substr(0, Utf8Bom.size()) == Utf8Bom) line.remove_prefix(Utf8Bom.size());
  std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';' || text.front() == '#') return {};
  if (text.front() == '[') {
    std::string_view name = text.substr(1);
    return {TLineKind::Section, Trim(name.substr(0, name.find(']'))), {}};
  }
  std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {TLineKind::Key, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

// Names are compared with full Unicode case folding, as Windows ignores case.
bool SameName(std::string_view utf8, std::u16string_view name) {
  std::u16string text = Utf8ToUtf16(utf8);
  UErrorCode error = U_ZERO_ERROR;
  int result = u_strCaseCompare(text.data(), static_cast<std::int32_t>(text.size()), name.data(),
                                static_cast<std::int32_t>(name.size()), U_FOLD_CASE_DEFAULT, &error);
  return U_SUCCESS(error) && result == 0;
}

// Where a key is, or would go, in the first section of that name.
struct TKeyLocation {
  std::ptrdiff_t Section = -1;      // the section's header line
  std::ptrdiff_t LastContent = -1;  // its last line that is not blank
  std::ptrdiff_t Key = -1;          // the key's line
  std::string_view Value;
};

TKeyLocation FindKey(const TIniLines& ini, std::u16string_view section, std::u16string_view key) {
  TKeyLocation location;
  for (std::size_t i = 0; i < ini.Lines.size(); ++i) {
    const std::string& line = ini.Lines[i];
    TIniLine parsed = ParseLine(line, i == 0);
    auto index = static_cast<std::ptrdiff_t>(i);
    if (parsed.Kind == TLineKind::Section) {
      if (location.Section >= 0) break;
      if (SameName(parsed.Name, section)) location.Section = location.LastContent = index;
      continue;
    }
    if (location.Section < 0) continue;
    if (!Trim(line).empty()) location.LastContent = index;
    if (parsed.Kind == TLineKind::Key && location.Key < 0 && SameName(parsed.Name, key)) {
      location.Key = index;
      location.Value = parsed.Value;
    }
  }
  return location;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

[[noreturn]] void ThrowWriteError(std::u16string_view fileName) {
  throw EIniWriteError("Unable to write to " + Utf16ToUtf8(fileName));
}

bool HasLineBreak(std::u16string_view text) { return text.find_first_of(u"\r\n") != std::u16string_view::npos; }

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t count = ::write(fd, content.data() + done, content.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// The file a write reaches: the path with its chain of symbolic links
// followed, so that a link stays a link and its target gets the new text,
// as a write in place would. A link to a missing file names the file it
// would create.
std::optional<std::string> FollowLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(256, '\0');
    for (;;) {
      const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
      if (length < 0) return std::nullopt;
      if (static_cast<std::size_t>(length) < target.size()) {
        target.resize(static_cast<std::size_t>(length));
        break;
      }
      target.resize(target.size() * 2);
    }
    if (target.empty()) return std::nullopt;
    if (target.front() != '/') target = path.substr(0, path.rfind('/') + 1) + target;
    path = std::move(target);
  }
  errno = ELOOP;
  return std::nullopt;
}

// Rewrites the file in place, as Windows does: a write cut short leaves
// old and new bytes mixed, so this is only for what cannot be replaced.
bool WriteInPlace(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = WriteAll(fd, content);
  if (ok && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    ok = ::ftruncate(fd, static_cast<off_t>(content.size())) == 0;
  return ::close(fd) == 0 && ok;
}

// Replaces the file's whole text: the new text goes into a temporary file
// beside it, which is renamed over it once complete, so that a write cut
// short (a full disk) leaves the old file as it was rather than old and new
// bytes mixed. The file keeps its mode and, where the process may set it,
// its owner; a link stays a link to it. A file the process may not write
// is not replaced, and a folder it may not write takes no new file. A file
// it may write in a folder it may not is written in place, as Windows
// writes it: it was so before, and a setup may rely on it.
bool ReplaceWholeFile(const std::string& name, const std::string& content) {
  const std::optional<std::string> resolved = FollowLinks(name);
  if (!resolved) return false;
  const std::string& path = *resolved;
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return WriteInPlace(path, content);
  if (exists) {
    const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) return false;
    ::close(probe);
  }

  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string folder = path.substr(0, slash + 1);
  const std::string base = path.substr(slash + 1);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    // A new file gets the mode a write in place would have created it with.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, exists ? 0600 : 0666);
    if (fd < 0 && exists && (errno == EACCES || errno == EPERM)) return WriteInPlace(path, content);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = WriteAll(fd, content);
  if (ok && exists) {
    // The owner first: a change of owner clears the set-id bits of a mode.
    struct stat made {};
    if (::fstat(fd, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Only root gives a file away: it becomes the writer's, mode kept.
    }
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::u16string IniReadString(std::u16string_view fileName, std::u16string_view section, std::u16string_view key,
                             std::u16string_view defaultValue) {
  auto path = posix::NativePath(fileName);
  if (!path) return std::u16string(defaultValue);
  auto content = ReadWholeFile(*path);
  if (!content) return std::u16string(defaultValue);
  TIniLines ini = SplitLines(*content);
  TKeyLocation location = FindKey(ini, section, key);
  if (location.Key < 0) return std::u16string(defaultValue);
  return Utf8ToUtf16(Unquote(location.Value));
}

void IniWriteString(std::u16string_view fileName, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) {
  auto path = posix::NativePath(fileName);
  // A line break inside a name or value would plant lines of its own.
  if (!path || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) ThrowWriteError(fileName);

  TIniLines ini;
  if (auto content = ReadWholeFile(*path))
    ini = SplitLines(*content);
  else if (errno != ENOENT)
    ThrowWriteError(fileName);  // the other lines cannot be kept

  std::string keyText = Utf16ToUtf8(key);
  std::string valueText = Utf16ToUtf8(value);
  TKeyLocation location = FindKey(ini, section, key);
  if (location.Key >= 0) {
    // The key keeps its spelling and indentation; only the value changes.
    std::string& line = ini.Lines[static_cast<std::size_t>(location.Key)];
    std::string_view before = line;
    before = before.substr(0, before.find('='));
    before = before.substr(0, before.find_last_not_of(" \t") + 1);
    line = std::string(before) + "=" + valueText;
  } else if (location.Section >= 0) {
    ini.Lines.insert(ini.Lines.begin() + location.LastContent + 1, keyText + "=" + valueText);
  } else {
    if (!ini.Lines.empty() && !Trim(ini.Lines.back()).empty()) ini.Lines.emplace_back();
    ini.Lines.push_back("[" + Utf16ToUtf8(section) + "]");
    ini.Lines.push_back(keyText + "=" + valueText);
  }

  std::string content;
  for (const std::string& line : ini.Lines) content += line + ini.LineEnd;
  if (!ReplaceWholeFile(*path, content)) ThrowWriteError(fileName);
}

}  // namespace velmaro::platform
