// Modules and the running program on POSIX.
#include "platform/Module.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/Text.h"

namespace velmaro::platform {

namespace {

void* RecordedModule = nullptr;

}  // namespace

void* ModuleHandle() { return RecordedModule; }

void SetModuleHandle(void* module) { RecordedModule = module; }

void* OpenModule(std::u16string_view path, std::u16string& error) {
  const std::string native = Utf16ToUtf8(path);
  if (native.find('\0') != std::string::npos) {
    error = u"the path holds a NUL character";
    return nullptr;
  }
  void* module = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    error = Utf8ToUtf16(why ? why : "unknown error");
  }
  return module;
}

void* ModuleSymbol(void* module, const char* name) { return ::dlsym(module, name); }

void CloseModule(void* module) {
  if (module != nullptr) ::dlclose(module);
}

std::u16string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return {};
  buffer.resize(static_cast<std::size_t>(length));
  return Utf8ToUtf16(buffer);
}

int ProcessId() { return static_cast<int>(::getpid()); }

bool IsTerminal(int stream) { return ::isatty(stream) == 1; }

// POSIX streams never translate line ends.
void WriteStandardStreamsAsBytes() {}

// POSIX programs receive their arguments as the bytes typed: UTF-8 here.
std::vector<std::string> CommandLineArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

namespace {

void (*InterruptHandler)() = nullptr;
struct sigaction PreviousInterrupt {};

void OnInterruptSignal(int) {
  if (InterruptHandler != nullptr) InterruptHandler();
}

}  // namespace

void CatchInterrupt(void (*handler)()) {
  InterruptHandler = handler;
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a question waiting for its answer gives up at once.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &PreviousInterrupt);
}

void ReleaseInterrupt() {
  sigaction(SIGINT, &PreviousInterrupt, nullptr);
  InterruptHandler = nullptr;
}

std::u16string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value ? Utf8ToUtf16(value) : std::u16string();
}

}  // namespace velmaro::platform
