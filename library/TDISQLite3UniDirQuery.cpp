#include "library/TDISQLite3UniDirQuery.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "library/Errors.h"
#include "library/SqlText.h"
#include "library/TDISQLite3Database.h"
#include "platform/Text.h"

namespace velmaro {

namespace {

bool ContainsNoCase(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t j = 0; j < word.size() && same; ++j) {
      char c = text[i + j];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == word[j];
    }
    if (same) return true;
  }
  return false;
}

TFieldKind KindOfDeclaredType(const char* declared, sqlite3_stmt* statement, int column, bool hasRow) {
  if (declared != nullptr) {
    if (ContainsNoCase(declared, "INT")) return TFieldKind::fkInteger;
    if (ContainsNoCase(declared, "CHAR") || ContainsNoCase(declared, "CLOB") || ContainsNoCase(declared, "TEXT"))
      return TFieldKind::fkText;
    if (ContainsNoCase(declared, "BLOB")) return TFieldKind::fkBlob;
    return TFieldKind::fkFloat;
  }
  // An expression: the type of its value in the first row.
  if (!hasRow) return TFieldKind::fkText;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: return TFieldKind::fkInteger;
    case SQLITE_FLOAT: return TFieldKind::fkFloat;
    case SQLITE_BLOB: return TFieldKind::fkBlob;
    default: return TFieldKind::fkText;
  }
}

std::u16string FloatText(double value) {
  char buffer[64];
  // 15 significant digits; the C locale of snprintf gives a full stop.
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return platform::ToU16(buffer);
}

bool SameNameNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TDISQLite3UniDirQuery::~TDISQLite3UniDirQuery() { Close(); }

void TDISQLite3UniDirQuery::SetDatabase(TDISQLite3Database* database) {
  Close();
  FDatabase = database;
}

void TDISQLite3UniDirQuery::SetSQL(std::u16string_view sql) {
  Close();
  FSQL = sql;
  FParams.clear();
  FUtf8Params.clear();
}

void TDISQLite3UniDirQuery::SetParams(std::vector<std::u16string> params) {
  Close();
  FParams = std::move(params);
}

void TDISQLite3UniDirQuery::SetUtf8Params(std::vector<std::string> params) {
  Close();
  FUtf8Params = std::move(params);
}

void TDISQLite3UniDirQuery::Open() {
  Close();
  if (FDatabase == nullptr) throw EDatabaseError("Missing dabatase");
  FStatement = FDatabase->TakePrepared(FSQL);
  FStatement->BindTexts(FParams);
  for (std::size_t i = 0; i < FUtf8Params.size(); ++i)
    FStatement->BindTextUtf8(static_cast<int>(FParams.size() + i + 1), FUtf8Params[i]);
  sqlite3_stmt* handle = FStatement->Handle();
  Fetch();
  const int count = sqlite3_column_count(handle);
  FFields.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto* name = static_cast<const char16_t*>(sqlite3_column_name16(handle, i));
    FFields.push_back(TDISQLite3Field(*this, i, name ? std::u16string(name) : std::u16string(),
                                      KindOfDeclaredType(sqlite3_column_decltype(handle, i), handle, i, !FEof)));
  }
}

void TDISQLite3UniDirQuery::Fetch() { FEof = FStatement->Step() != SQLITE_ROW; }

void TDISQLite3UniDirQuery::Next() {
  if (FStatement == nullptr || FEof) return;
  Fetch();
}

void TDISQLite3UniDirQuery::Close() {
  FFields.clear();
  FEof = true;
  if (!FStatement) return;
  // Reset, the statement holds no lock; its connection keeps it for reuse
  // (the statement knows whether that connection is still open).
  TDISQLite3Database* database = FStatement->Database();
  if (database != nullptr)
    database->Reuse(std::move(FStatement));
  else
    FStatement.reset();
}

const TDISQLite3Field* TDISQLite3UniDirQuery::FindField(std::u16string_view name) const {
  for (const TDISQLite3Field& field : FFields)
    if (SameNameNoCase(field.FieldName(), name)) return &field;
  return nullptr;
}

const TDISQLite3Field& TDISQLite3UniDirQuery::FieldByName(std::u16string_view name) const {
  if (const TDISQLite3Field* field = FindField(name)) return *field;
  throw EDatabaseError("Field '" + platform::Utf16ToUtf8(name) + "' not found");
}

// The cell of the current row is read from the statement when asked: the
// row stays current until Next, and columns nobody asks for cost nothing.

bool TDISQLite3Field::IsNull() const {
  sqlite3_stmt* handle = FQuery->FStatement ? FQuery->FStatement->Handle() : nullptr;
  return handle == nullptr || FQuery->FEof || sqlite3_column_type(handle, FIndex) == SQLITE_NULL;
}

std::int64_t TDISQLite3Field::AsInteger() const {
  if (IsNull()) return 0;
  sqlite3_stmt* handle = FQuery->FStatement->Handle();
  switch (sqlite3_column_type(handle, FIndex)) {
    case SQLITE_INTEGER: return sqlite3_column_int64(handle, FIndex);
    case SQLITE_FLOAT: {
      const double v = sqlite3_column_double(handle, FIndex);
      if (!std::isfinite(v) || v >= 9.2e18 || v <= -9.2e18) return 0;
      return static_cast<std::int64_t>(v);
    }
    case SQLITE_TEXT: {
      const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(handle, FIndex));
      long long value = 0;
      if (text && ParseDecimalInt64(std::u16string_view(text, static_cast<std::size_t>(
                                                                  sqlite3_column_bytes16(handle, FIndex)) / 2),
                                    value))
        return value;
      return 0;
    }
    default: return 0;
  }
}

double TDISQLite3Field::AsFloat() const {
  if (IsNull()) return 0;
  if (FKind == TFieldKind::fkInteger) return static_cast<double>(AsInteger());
  sqlite3_stmt* handle = FQuery->FStatement->Handle();
  if (sqlite3_column_type(handle, FIndex) == SQLITE_TEXT) {
    // Independent of the process's locale: the host may have set one.
    const std::string_view text(reinterpret_cast<const char*>(sqlite3_column_text(handle, FIndex)),
                                static_cast<std::size_t>(sqlite3_column_bytes(handle, FIndex)));
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    return (error == std::errc() && end == text.data() + text.size()) ? v : 0;
  }
  return sqlite3_column_double(handle, FIndex);
}

std::u16string TDISQLite3Field::AsString() const {
  if (IsNull()) return {};
  sqlite3_stmt* handle = FQuery->FStatement->Handle();
  switch (FKind) {
    case TFieldKind::fkInteger: return platform::IntToU16(AsInteger());
    case TFieldKind::fkFloat: return FloatText(AsFloat());
    default: break;
  }
  switch (sqlite3_column_type(handle, FIndex)) {
    case SQLITE_INTEGER: return platform::IntToU16(sqlite3_column_int64(handle, FIndex));
    case SQLITE_FLOAT: return FloatText(sqlite3_column_double(handle, FIndex));
    default: {
      const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(handle, FIndex));
      if (!text) return {};
      return std::u16string(text, static_cast<std::size_t>(sqlite3_column_bytes16(handle, FIndex)) / 2);
    }
  }
}

TFieldValue TDISQLite3Field::AsVariant() const {
  if (IsNull()) return std::monostate{};
  switch (FKind) {
    case TFieldKind::fkInteger: return AsInteger();
    case TFieldKind::fkFloat: return AsFloat();
    case TFieldKind::fkText: return AsString();
    case TFieldKind::fkBlob: {
      sqlite3_stmt* handle = FQuery->FStatement->Handle();
      const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(handle, FIndex));
      const int size = sqlite3_column_bytes(handle, FIndex);
      return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
    }
  }
  return std::monostate{};
}

}  // namespace velmaro
