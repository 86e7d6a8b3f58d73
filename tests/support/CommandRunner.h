// Running the velmaro command and filling a library file from outside, as
// a user does with a shell and the sqlite3 tool.
#pragma once

#include <string>

namespace velmaro::test {

// Runs a shell command line; returns its standard output and sets *status
// to its exit status (-1 when it did not exit normally).
std::string RunCommand(const std::string& command, int* status = nullptr);

// Quotes a text for the shell (single quotes).
std::string ShellQuoted(const std::string& text);

// Runs SQL on a database file through a connection of its own; false (and
// a test failure) when it fails.
bool ExecuteSql(const std::string& dbPath, const std::string& sql);

}  // namespace velmaro::test
