// Running the velmaro command and filling a library file from outside, as
// a user does with a shell and the sqlite3 tool.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmaro::test {

// What a program printed and how it ended.
struct TProgramResult {
  std::string Output;  // its standard output, line ends as "\n" unless asked for the bytes
  int Status = -1;     // its exit code; -1 when it did not exit normally
};

struct TProgramOptions {
  // Given on its standard input, which then ends (empty: an input that
  // ends at once).
  std::string Input;
  // Its standard error goes into Output as well; otherwise to ours.
  bool MergeErrors = false;
  // Variables set for it alone.
  std::vector<std::pair<std::string, std::string>> Environment;
  // The output byte for byte: a Windows program's text lines end in "\r\n",
  // which is otherwise read as "\n".
  bool OutputBytes = false;

  static TProgramOptions MergingErrors() {
    TProgramOptions options;
    options.MergeErrors = true;
    return options;
  }
  static TProgramOptions WithInput(std::string input) {
    TProgramOptions options;
    options.Input = std::move(input);
    return options;
  }
  static TProgramOptions AsBytes() {
    TProgramOptions options;
    options.OutputBytes = true;
    return options;
  }
  static TProgramOptions WithVariable(std::string name, std::string value) {
    TProgramOptions options;
    options.Environment.emplace_back(std::move(name), std::move(value));
    return options;
  }
};

// Runs a program with its arguments exactly as given (UTF-8; no shell in
// between) and waits for it.
TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const TProgramOptions& options = {});

// Runs a shell command line; returns its standard output and sets *status
// to its exit status (-1 when it did not exit normally).
std::string RunCommand(const std::string& command, int* status = nullptr);

// Quotes a text for the shell (single quotes).
std::string ShellQuoted(const std::string& text);

// Runs SQL on a database file through a connection of its own; false (and
// a test failure) when it fails.
bool ExecuteSql(const std::string& dbPath, const std::string& sql);

}  // namespace velmaro::test
