// One prepared SQL statement of a connection.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3_stmt;

namespace velmaro {

class TDISQLite3Database;

class TDISQLite3Statement {
 public:
  // Takes over a prepared handle of the connection.
  TDISQLite3Statement(TDISQLite3Database& database, sqlite3_stmt* handle, std::string sqlUtf8);
  ~TDISQLite3Statement();
  TDISQLite3Statement(const TDISQLite3Statement&) = delete;
  TDISQLite3Statement& operator=(const TDISQLite3Statement&) = delete;

  // 100 for a row, 101 when done (with the busy retry).
  int Step();
  int ColumnCount() const;
  std::u16string Column_Str16(int i) const;
  std::int64_t Column_Int64(int i) const;
  const std::string& SQL() const { return FSQL; }
  sqlite3_stmt* Handle() const { return FHandle; }
  // Finalizes the handle; the statement stays attached until freed.
  void Close();

 private:
  friend class TDISQLite3Database;
  void DetachFromDatabase();

  TDISQLite3Database* FDatabase;
  sqlite3_stmt* FHandle;
  std::string FSQL;
};

}  // namespace velmaro
