#include "support/SystemSupport.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/TestFolder.h"

namespace velmaro::test {

bool CopyReportsProgress() {
  static const bool reports = [] {
    TTestFolder folder;
    folder.Write("probe", "x");
    bool called = false;
    platform::CopyFileWithProgress(folder.Path16("probe"), folder.Path16("probe.copy"),
                                   [&called](std::int64_t, std::int64_t) {
                                     called = true;
                                     return true;
                                   });
    return called;
  }();
  return reports;
}

}  // namespace velmaro::test

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>

namespace velmaro::test {

std::u16string MakePipeOrDevice(const std::string&) { return u"\\\\.\\NUL"; }

unsigned AnsiCodePage() { return ::GetACP(); }

std::string WineVersion() {
  // Wine's ntdll exports its version; Windows' does not.
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return {};
  using TWineGetVersion = const char*(__cdecl*)();
  const auto get = reinterpret_cast<TWineGetVersion>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
  return get && get() ? std::string(get()) : std::string();
}

void UnsetEnvironment(const char* name) { ::_putenv_s(name, ""); }

void SetEnvironment(const char* name, const std::string& value) { ::_putenv_s(name, value.c_str()); }

}  // namespace velmaro::test

#else

#include <sys/stat.h>

#include <cstdlib>

namespace velmaro::test {

std::u16string MakePipeOrDevice(const std::string& fifoPath) {
  if (::mkfifo(fifoPath.c_str(), 0600) != 0) return {};
  return platform::Utf8ToUtf16(fifoPath);
}

unsigned AnsiCodePage() { return 1252; }

std::string WineVersion() { return {}; }

void UnsetEnvironment(const char* name) { ::unsetenv(name); }

void SetEnvironment(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

}  // namespace velmaro::test

#endif
