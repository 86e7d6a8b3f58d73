#include "support/CommandRunner.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <optional>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/Text.h"

// The command interpreter (cmd.exe) runs the line; its exit code comes back
// as it is. Text mode: the programs' line ends read as "\n".
#define VELMARO_POPEN _popen
#define VELMARO_PCLOSE _pclose
#define VELMARO_EXIT_STATUS(rc) (rc)
#else
#include <sys/wait.h>
#define VELMARO_POPEN popen
#define VELMARO_PCLOSE pclose
#define VELMARO_EXIT_STATUS(rc) (WIFEXITED(rc) ? WEXITSTATUS(rc) : -1)
#endif

namespace velmaro::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = VELMARO_POPEN(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = VELMARO_PCLOSE(pipe);
  if (status) *status = rc == -1 ? -1 : VELMARO_EXIT_STATUS(rc);
  return output;
}

std::string ShellQuoted(const std::string& text) {
#if defined(_WIN32)
  // cmd.exe and the program's own argument parser: double quotes, an inner
  // one written as two.
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
#else
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

#if defined(_WIN32)

namespace {

// One argument as the C runtime's parser (CommandLineToArgvW) reads it
// back: quoted, with the backslashes before a quote doubled.
std::wstring QuotedArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == argument.size()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted.push_back(argument[i]);
  }
  return quoted + L"\"";
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = platform::Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// Closes a handle when it goes out of scope.
struct THandle {
  HANDLE Value = nullptr;
  ~THandle() {
    if (Value != nullptr && Value != INVALID_HANDLE_VALUE) ::CloseHandle(Value);
  }
};

// Sets variables for the lifetime of the object (the child inherits them).
class TEnvironment {
 public:
  explicit TEnvironment(const std::vector<std::pair<std::string, std::string>>& variables) {
    for (const auto& [name, value] : variables) {
      const std::wstring wideName = Wide(name);
      std::wstring old(32767, L'\0');
      const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), old.data(), static_cast<DWORD>(old.size()));
      FSaved.push_back({wideName, length > 0 ? std::optional<std::wstring>(old.substr(0, length)) : std::nullopt});
      ::SetEnvironmentVariableW(wideName.c_str(), Wide(value).c_str());
    }
  }
  ~TEnvironment() {
    for (const auto& [name, value] : FSaved) ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
  }
  TEnvironment(const TEnvironment&) = delete;
  TEnvironment& operator=(const TEnvironment&) = delete;

 private:
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> FSaved;
};

}  // namespace

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const TProgramOptions& options) {
  TProgramResult result;
  std::wstring commandLine = QuotedArgument(Wide(program));
  for (const std::string& argument : arguments) commandLine += L" " + QuotedArgument(Wide(argument));

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  THandle inputRead, inputWrite, outputRead, outputWrite, errors;
  if (!::CreatePipe(&inputRead.Value, &inputWrite.Value, &inherit, 0) ||
      !::CreatePipe(&outputRead.Value, &outputWrite.Value, &inherit, 0))
    return result;
  // Our ends stay ours.
  ::SetHandleInformation(inputWrite.Value, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outputRead.Value, HANDLE_FLAG_INHERIT, 0);
  HANDLE errorTarget = outputWrite.Value;
  if (!options.MergeErrors &&
      !::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_ERROR_HANDLE), ::GetCurrentProcess(),
                         &errors.Value, 0, TRUE, DUPLICATE_SAME_ACCESS))
    errors.Value = nullptr;
  if (!options.MergeErrors) errorTarget = errors.Value;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputRead.Value;
  startup.hStdOutput = outputWrite.Value;
  startup.hStdError = errorTarget;
  PROCESS_INFORMATION process{};
  {
    TEnvironment environment(options.Environment);
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process))
      return result;
  }
  THandle processHandle{process.hProcess}, threadHandle{process.hThread};
  // The child holds its own copies now: the pipes end when it does.
  ::CloseHandle(inputRead.Value);
  inputRead.Value = nullptr;
  ::CloseHandle(outputWrite.Value);
  outputWrite.Value = nullptr;

  // Input is small (an answer line): written before reading the output.
  DWORD written = 0;
  if (!options.Input.empty())
    ::WriteFile(inputWrite.Value, options.Input.data(), static_cast<DWORD>(options.Input.size()), &written, nullptr);
  ::CloseHandle(inputWrite.Value);
  inputWrite.Value = nullptr;

  std::string output;
  char buffer[4096];
  DWORD count = 0;
  while (::ReadFile(outputRead.Value, buffer, sizeof buffer, &count, nullptr) && count > 0) output.append(buffer, count);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  result.Status = ::GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
  if (options.OutputBytes) {
    result.Output = std::move(output);
    return result;
  }
  // Text lines as the program writes them in text mode: "\r\n".
  for (std::size_t i = 0; i < output.size(); ++i)
    if (!(output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n')) result.Output += output[i];
  return result;
}

#else

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const TProgramOptions& options) {
  std::string command;
  for (const auto& [name, value] : options.Environment) command += name + "=" + ShellQuoted(value) + " ";
  command += ShellQuoted(program);
  for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
  if (options.MergeErrors) command += " 2>&1";
  if (options.Input.empty())
    command += " </dev/null";
  else
    command = "printf '%s' " + ShellQuoted(options.Input) + " | " + command;
  TProgramResult result;
  result.Output = RunCommand(command, &result.Status);
  return result;
}

#endif

bool ExecuteSql(const std::string& dbPath, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(dbPath.c_str(), &db) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << dbPath;
    sqlite3_close(db);
    return false;
  }
  char* error = nullptr;
  const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
  if (!ok) ADD_FAILURE() << (error ? error : "SQL failed") << ": " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
  return ok;
}

}  // namespace velmaro::test
