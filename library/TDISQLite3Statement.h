// One prepared SQL statement of a connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  // Values for the statement's parameters (?1, ?2, ...), bound as text:
  // a value never becomes SQL, whatever it holds. A column's affinity
  // still turns a numeric text into a number.
  void BindText(int index, std::u16string_view text);
  void BindInt64(int index, std::int64_t value);
  void BindTexts(const std::vector<std::u16string>& texts);
  // Makes the statement ready to run again; its bindings stay.
  void Reset();
  int ColumnCount() const;
  std::u16string Column_Str16(int i) const;
  std::int64_t Column_Int64(int i) const;
  const std::string& SQL() const { return FSQL; }
  sqlite3_stmt* Handle() const { return FHandle; }
  // The connection, or null once it has closed.
  TDISQLite3Database* Database() const { return FDatabase; }
  // Binds UTF-8 bytes as they are (a value read from the file, bound back
  // to find the same rows).
  void BindTextUtf8(int index, std::string_view bytes);
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
