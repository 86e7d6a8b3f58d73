#include "library/TDISQLite3Statement.h"

#include <sqlite3.h>

#include "library/Errors.h"
#include "library/TDISQLite3Database.h"

namespace velmaro {

TDISQLite3Statement::TDISQLite3Statement(TDISQLite3Database& database, sqlite3_stmt* handle,
                                         std::string sqlUtf8)
    : FDatabase(&database), FHandle(handle), FSQL(std::move(sqlUtf8)) {
  FDatabase->Attach(this);
}

TDISQLite3Statement::~TDISQLite3Statement() {
  Close();
  if (FDatabase) FDatabase->Detach(this);
}

void TDISQLite3Statement::Close() {
  if (FHandle) {
    sqlite3_finalize(FHandle);
    FHandle = nullptr;
  }
}

void TDISQLite3Statement::DetachFromDatabase() {
  Close();
  FDatabase = nullptr;
}

int TDISQLite3Statement::Step() {
  if (FDatabase == nullptr) throw EDatabaseError("Missing dabatase");
  if (FHandle == nullptr) throw EDatabaseError("Cannot perform this operation on a closed database");
  return StepWithRetry(FDatabase->Handle(), FHandle);
}

void TDISQLite3Statement::BindText(int index, std::u16string_view text) {
  if (FHandle == nullptr) throw EDatabaseError("Cannot perform this operation on a closed database");
  const int rc = sqlite3_bind_text16(FHandle, index, text.data(), static_cast<int>(text.size() * sizeof(char16_t)),
                                     SQLITE_TRANSIENT);
  if (rc != SQLITE_OK && FDatabase != nullptr) FDatabase->RaiseError(rc);
}

void TDISQLite3Statement::BindTextUtf8(int index, std::string_view bytes) {
  if (FHandle == nullptr) throw EDatabaseError("Cannot perform this operation on a closed database");
  const int rc = sqlite3_bind_text(FHandle, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK && FDatabase != nullptr) FDatabase->RaiseError(rc);
}

void TDISQLite3Statement::BindInt64(int index, std::int64_t value) {
  if (FHandle == nullptr) throw EDatabaseError("Cannot perform this operation on a closed database");
  const int rc = sqlite3_bind_int64(FHandle, index, value);
  if (rc != SQLITE_OK && FDatabase != nullptr) FDatabase->RaiseError(rc);
}

void TDISQLite3Statement::BindTexts(const std::vector<std::u16string>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) BindText(static_cast<int>(i + 1), texts[i]);
}

void TDISQLite3Statement::Reset() {
  if (FHandle != nullptr) sqlite3_reset(FHandle);
}

int TDISQLite3Statement::ColumnCount() const { return FHandle ? sqlite3_column_count(FHandle) : 0; }

std::u16string TDISQLite3Statement::Column_Str16(int i) const {
  if (!FHandle) return {};
  const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(FHandle, i));
  if (!text) return {};
  return std::u16string(text, static_cast<std::size_t>(sqlite3_column_bytes16(FHandle, i)) / 2);
}

std::int64_t TDISQLite3Statement::Column_Int64(int i) const {
  return FHandle ? sqlite3_column_int64(FHandle, i) : 0;
}

}  // namespace velmaro
