// Modules and the running program on Windows.
#include "platform/Module.h"

#include "platform/FileSystem.h"
#include "platform/System.h"

#include "platform/Text.h"
#include "platform/windows/WinApi.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <shellapi.h>

namespace velmaro::platform {

namespace {

HMODULE RecordedModule = nullptr;

// An object inside this module, for asking the loader which module we are
// when no entry point recorded it (a program rather than the plug-in).
const char ModuleAnchor = 0;

std::u16string ModuleFileName(HMODULE module) {
  // A path cut short to the buffer fills it completely: grow and ask again.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetModuleFileNameW(module, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      buffer.resize(length);
      break;
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::u16string(windows::Utf16(buffer.data()), buffer.size());
}

}  // namespace

void* ModuleHandle() {
  if (RecordedModule != nullptr) return RecordedModule;
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<const wchar_t*>(&ModuleAnchor), &module))
    module = ::GetModuleHandleW(nullptr);
  return module;
}

void SetModuleHandle(void* module) { RecordedModule = static_cast<HMODULE>(module); }

void* OpenModule(std::u16string_view path, std::u16string& error) {
  auto native = windows::WidePath(path);
  if (!native) {
    error = u"the path holds a NUL character";
    return nullptr;
  }
  HMODULE module = ::LoadLibraryW(native->c_str());
  if (module == nullptr) error = SysErrorMessage(::GetLastError());
  return module;
}

void* ModuleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) {
  if (module != nullptr) ::FreeLibrary(static_cast<HMODULE>(module));
}

// The file the module was loaded from, by the handle its entry point
// recorded.
std::u16string ModulePath() { return ModuleFileName(static_cast<HMODULE>(ModuleHandle())); }

std::u16string ExecutablePath() { return ModuleFileName(nullptr); }

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

bool IsTerminal(int stream) { return _isatty(stream) != 0; }

void WriteStandardStreamsAsBytes() {
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf16ToUtf8(windows::Utf16(wide[i])));
  ::LocalFree(wide);
  return arguments;
}

namespace {

void (*InterruptHandler)() = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT || InterruptHandler == nullptr) return FALSE;
  InterruptHandler();
  return TRUE;
}

}  // namespace

void CatchInterrupt(void (*handler)()) {
  InterruptHandler = handler;
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void ReleaseInterrupt() {
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  InterruptHandler = nullptr;
}

std::u16string EnvironmentVariable(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return std::u16string(windows::Utf16(value.data()), value.size());
}

}  // namespace velmaro::platform
