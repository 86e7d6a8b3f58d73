// The settings file on Windows: the system's private-profile functions.
#include "platform/IniFile.h"

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/windows/WinApi.h"

namespace velmaro::platform {

namespace {

using windows::WidePath;

[[noreturn]] void ThrowWriteError(std::u16string_view fileName) {
  throw EIniWriteError("Unable to write to " + Utf16ToUtf8(fileName));
}

bool HasLineBreak(std::u16string_view text) { return text.find_first_of(u"\r\n") != std::u16string_view::npos; }

// Whether the ANSI code page holds every character of the text.
bool FitsAnsiCodePage(std::u16string_view text) {
  if (text.empty()) return true;
  BOOL usedDefault = FALSE;
  const int length = windows::ApiLength(text.size());
  return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, windows::Wide(text.data()), length, nullptr, 0, nullptr,
                               &usedDefault) > 0 &&
         !usedDefault;
}

constexpr unsigned char Utf16Bom[] = {0xFF, 0xFE};

// The system writes an ini file in the ANSI code page unless the file
// starts with a UTF-16 byte-order mark. Text the code page cannot hold
// needs such a file: a new one is created with the mark; an existing
// 8-bit file is refused rather than given '?' in place of the characters.
bool PrepareForUnicode(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
  bool ok = false;
  DWORD count = 0;
  if (created) {
    ok = ::WriteFile(file, Utf16Bom, sizeof Utf16Bom, &count, nullptr) && count == sizeof Utf16Bom;
  } else {
    LARGE_INTEGER size{};
    unsigned char head[2] = {};
    if (::GetFileSizeEx(file, &size) && size.QuadPart == 0)
      ok = ::WriteFile(file, Utf16Bom, sizeof Utf16Bom, &count, nullptr) && count == sizeof Utf16Bom;
    else
      ok = ::ReadFile(file, head, sizeof head, &count, nullptr) && count == sizeof head && head[0] == Utf16Bom[0] &&
           head[1] == Utf16Bom[1];
  }
  ok = ::CloseHandle(file) && ok;
  // A file this call created and could not prepare does not stay behind.
  if (!ok && created) ::DeleteFileW(path.c_str());
  return ok;
}

}  // namespace

std::u16string IniReadString(std::u16string_view fileName, std::u16string_view section, std::u16string_view key,
                             std::u16string_view defaultValue) {
  auto path = WidePath(fileName);
  auto sectionName = WidePath(section);
  auto keyName = WidePath(key);
  auto fallback = WidePath(defaultValue);
  if (!path || !sectionName || !keyName || !fallback) return std::u16string(defaultValue);
  // The function reports a value cut short to fit by filling the buffer up
  // to its last character: grow until the value has room to spare.
  std::wstring buffer(256, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetPrivateProfileStringW(sectionName->c_str(), keyName->c_str(), fallback->c_str(),
                                                    buffer.data(), size, path->c_str());
    if (length + 1 < size || buffer.size() >= (std::size_t{1} << 24)) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::u16string(windows::Utf16(buffer.data()), buffer.size());
}

void IniWriteString(std::u16string_view fileName, std::u16string_view section, std::u16string_view key,
                    std::u16string_view value) {
  auto path = WidePath(fileName);
  auto sectionName = WidePath(section);
  auto keyName = WidePath(key);
  auto text = WidePath(value);
  // A line break inside a name or value would plant lines of its own.
  if (!path || path->empty() || !sectionName || !keyName || !text || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value))
    ThrowWriteError(fileName);
  if (!(FitsAnsiCodePage(section) && FitsAnsiCodePage(key) && FitsAnsiCodePage(value)) && !PrepareForUnicode(*path))
    ThrowWriteError(fileName);
  if (!::WritePrivateProfileStringW(sectionName->c_str(), keyName->c_str(), text->c_str(), path->c_str()))
    ThrowWriteError(fileName);
  // The system may keep the change in a cache for a while; it must be on
  // disk before the caller goes on (the next process reads the file).
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path->c_str());
}

}  // namespace velmaro::platform
