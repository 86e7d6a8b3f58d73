// Last error, error texts, local time, sleep and the default application
// on Windows.
#include "platform/System.h"

#include "platform/Text.h"
#include "platform/windows/WinApi.h"

#include <shellapi.h>

namespace velmaro::platform {

void SetLastError(std::uint32_t code) { ::SetLastError(code); }

std::uint32_t GetLastError() { return ::GetLastError(); }

std::u16string SysErrorMessage(std::uint32_t code) {
  // Formatting the text must not change the error the caller still holds.
  const DWORD saved = ::GetLastError();
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length > 0 && buffer != nullptr) text.assign(windows::Utf16(buffer), length);
  if (buffer != nullptr) ::LocalFree(buffer);
  // The system's texts end in a line break.
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  // A code the system has no text for still gets one.
  if (text.empty()) text = u"Unknown error " + IntToU16(code);
  ::SetLastError(saved);
  return text;
}

TLocalTime LocalNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return TLocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

void SleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

bool OpenWithDefaultApplication(std::u16string_view path) {
  const std::optional<std::wstring> wide = windows::WidePath(path);
  if (!wide || wide->empty()) return false;
  // The shell answers a value above 32 once the application was started
  // (or handed the file); no association, a missing file or a refusal
  // give a smaller one.
  const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", wide->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace velmaro::platform
