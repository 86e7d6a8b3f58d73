// The settings file on POSIX: our own reader and writer of Windows-style
// ini files, behaving as the Windows private-profile functions do.
//
// The file is handled as lines of bytes: only the line of the key written
// (and a new section header) is ours; every other line is written back
// byte for byte, whatever its encoding. Names and values are UTF-8.
#include "platform/IniFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

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

// Rewrites the file in place, as Windows does: its permissions, owner and
// links stay, and a file that may not be written is not replaced.
bool WriteWholeFile(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < content.size()) {
    ssize_t count = ::write(fd, content.data() + done, content.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(count);
  }
  ok = ok && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0;
  return ::close(fd) == 0 && ok;
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
  if (!WriteWholeFile(*path, content)) ThrowWriteError(fileName);
}

}  // namespace velmaro::platform
