// A library in a temporary folder, opened as the plug-in opens it, with
// helpers to fill it by SQL and to watch the SQL that reaches SQLite.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "library/Library.h"
#include "support/TestFolder.h"

namespace velmaro::test {

// One track row; an absent optional is stored as NULL.
struct TTrackRow {
  std::u16string Path;
  std::optional<std::u16string> Artist = u"";
  std::optional<std::u16string> Title = u"";
  std::optional<std::u16string> Album = u"";
  std::optional<std::u16string> Genre = u"";
  int Favorite = 0;
};

class TLibraryFixture {
 public:
  // Opens a fresh library (ini "v.ini", library "VORNAK.DB") unless told not to.
  explicit TLibraryFixture(bool open = true);

  bool Open();
  // Forgets the open library as a new process would start, settings file
  // included.
  void Restart() {
    State.LibraryDatabase.reset();
    State.DatabaseReady = false;
    State.IniFileName.clear();
  }
  TDISQLite3Database& Db() { return *State.LibraryDatabase; }
  // Inserts the row and returns its rowid.
  long long AddTrack(const TTrackRow& row);
  // The first column of the first row of a query, as text ("" when none).
  std::u16string Scalar(const std::u16string& sql);

  TTestFolder Folder;
  TLibraryState State;
  std::vector<std::u16string> Messages;
};

// Records every SQL statement that runs on a connection while alive.
class TStatementTrace {
 public:
  explicit TStatementTrace(TDISQLite3Database& db);
  ~TStatementTrace();
  std::vector<std::string> Statements;
  int Count(const std::string& prefix) const;

 private:
  TDISQLite3Database& FDb;
};

}  // namespace velmaro::test
