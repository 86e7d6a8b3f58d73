// Modules: the one this code is in, and loading another one the way a
// host loads a plug-in. Also the few facts about the running program that
// a command-line host needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmaro::platform {

// The handle of the module this code is in (its HINSTANCE on Windows),
// for the dialogs' resources. The module's entry point records it.
void* ModuleHandle();
void SetModuleHandle(void* module);

// Loads a module (LoadLibraryW, dlopen); nullptr and a reason on failure.
void* OpenModule(std::u16string_view path, std::u16string& error);
// The address of an exported function, or nullptr.
void* ModuleSymbol(void* module, const char* name);
// Unloads a module loaded by OpenModule.
void CloseModule(void* module);

// The full path of the running program.
std::u16string ExecutablePath();
int ProcessId();
// Whether standard input (0), output (1) or error (2) is a terminal.
bool IsTerminal(int stream);
// Standard output and error pass bytes through unchanged: Windows would
// otherwise turn each line feed into CR LF, also inside a name printed
// as it is.
void WriteStandardStreamsAsBytes();
// The program's arguments as UTF-8 texts, whatever the system's 8-bit
// code page (Windows hands main() its arguments in the ANSI code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace velmaro::platform

namespace velmaro::platform {

// Ctrl-C calls handler instead of ending the program, until
// ReleaseInterrupt. The handler runs in a signal handler or on another
// thread: it may only set a flag. A read from the terminal waiting at the
// time gives up.
void CatchInterrupt(void (*handler)());
void ReleaseInterrupt();

// The value of an environment variable, or the empty text when unset.
std::u16string EnvironmentVariable(const char* name);

}  // namespace velmaro::platform
