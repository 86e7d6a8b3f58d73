#include "support/CommandRunner.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>

namespace velmaro::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return output;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

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
