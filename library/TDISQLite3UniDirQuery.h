// A forward-only result set over one select statement.
//
// Each result column becomes a field whose kind comes from the column's
// declared type (INT: integer; CHAR, CLOB, TEXT: text; BLOB: blob; any
// other declared type: float; none: the kind of the first row's value).
// A field converts the current row's cell to what the caller asks for;
// an integer field reads a stored text that is not a whole decimal number
// as 0, whichever way it is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "library/TDISQLite3Statement.h"

namespace velmaro {

class TDISQLite3Database;

enum class TFieldKind { fkInteger, fkText, fkBlob, fkFloat };

// A value as the caller sees it; monostate stands for SQL NULL.
using TFieldValue = std::variant<std::monostate, std::int64_t, double, std::u16string, std::vector<std::uint8_t>>;

class TDISQLite3UniDirQuery;

class TDISQLite3Field {
 public:
  const std::u16string& FieldName() const { return FName; }
  TFieldKind Kind() const { return FKind; }
  bool IsNull() const;
  std::u16string AsString() const;
  std::int64_t AsInteger() const;
  double AsFloat() const;
  TFieldValue AsVariant() const;

 private:
  friend class TDISQLite3UniDirQuery;
  TDISQLite3Field(const TDISQLite3UniDirQuery& query, int index, std::u16string name, TFieldKind kind)
      : FQuery(&query), FIndex(index), FName(std::move(name)), FKind(kind) {}
  const TDISQLite3UniDirQuery* FQuery;
  int FIndex;
  std::u16string FName;
  TFieldKind FKind;
};

class TDISQLite3UniDirQuery {
 public:
  explicit TDISQLite3UniDirQuery(TDISQLite3Database* database = nullptr) : FDatabase(database) {}
  ~TDISQLite3UniDirQuery();
  TDISQLite3UniDirQuery(const TDISQLite3UniDirQuery&) = delete;
  TDISQLite3UniDirQuery& operator=(const TDISQLite3UniDirQuery&) = delete;

  void SetDatabase(TDISQLite3Database* database);
  void SetSQL(std::u16string_view sql);
  const std::u16string& SQL() const { return FSQL; }
  // Texts bound to the SQL's parameters ?1, ?2, ... when it opens.
  void SetParams(std::vector<std::u16string> params);
  // UTF-8 bytes bound as they are to the parameters after those.
  void SetUtf8Params(std::vector<std::string> params);

  // Prepares the statement (opening the connection when needed; the
  // connection keeps it for the next query of the same text), reads the
  // column descriptions and fetches the first row.
  void Open();
  bool Active() const { return FStatement != nullptr; }
  bool Eof() const { return FEof; }
  void Next();
  void Close();

  int FieldCount() const { return static_cast<int>(FFields.size()); }
  const TDISQLite3Field& Fields(int index) const { return FFields.at(static_cast<std::size_t>(index)); }
  // "Field '%s' not found" when no column has that name (case ignored).
  const TDISQLite3Field& FieldByName(std::u16string_view name) const;
  const TDISQLite3Field* FindField(std::u16string_view name) const;

 private:
  friend class TDISQLite3Field;
  void Fetch();

  TDISQLite3Database* FDatabase;
  std::u16string FSQL;
  std::vector<std::u16string> FParams;
  std::vector<std::string> FUtf8Params;
  std::unique_ptr<TDISQLite3Statement> FStatement;
  std::vector<TDISQLite3Field> FFields;
  bool FEof = true;
};

}  // namespace velmaro
