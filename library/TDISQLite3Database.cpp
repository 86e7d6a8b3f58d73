#include "library/TDISQLite3Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "library/Errors.h"
#include "library/TDISQLite3Statement.h"
#include "platform/FileSystem.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace velmaro {

namespace {

constexpr const char* ClosedDatabase = "Cannot perform this operation on a closed database";
constexpr const char* OpenDatabase = "Cannot perform this operation on an open database";

std::string FullPathUtf8(const std::u16string& name) {
  std::error_code ec;
  const std::filesystem::path full =
      std::filesystem::absolute(std::filesystem::path(platform::Utf16ToUtf8(name)), ec);
  return ec ? platform::Utf16ToUtf8(name) : full.string();
}

bool IsBlankName(const std::u16string& name) {
  return std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= u' '; });
}

}  // namespace

ESQLite3::ESQLite3(int code, const std::string& message) : EVelmaroError(message), FErrorCode(code) {}

bool IsBusyError(const std::exception& error) {
  const auto* sqliteError = dynamic_cast<const ESQLite3*>(&error);
  return sqliteError != nullptr &&
         (sqliteError->ErrorCode() == SQLITE_BUSY || sqliteError->ErrorCode() == SQLITE_LOCKED);
}

int StepWithRetry(sqlite3* db, sqlite3_stmt* statement, int patienceMs) {
  // Another program's commit holds the file for a moment; a writer that
  // holds it for a whole batch lets go at least once a second.
  constexpr int Pause = 10;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    const bool busy = rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
    if (!busy || std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(patienceMs)) {
      if (db == nullptr) throw ESQLite3(rc, "SQLite3 Error " + std::to_string(rc));
      throw ESQLite3(rc, "SQLite3 Error " + std::to_string(rc) + " - " + sqlite3_errmsg(db));
    }
    platform::SleepMs(Pause);
  }
}

TDISQLite3Database::TDISQLite3Database() = default;

TDISQLite3Database::~TDISQLite3Database() { Close(); }

void TDISQLite3Database::RaiseError(int code) const {
  if (FHandle == nullptr) throw ESQLite3(code, "SQLite3 Error " + std::to_string(code));
  throw ESQLite3(code, "SQLite3 Error " + std::to_string(code) + " - " + sqlite3_errmsg(FHandle));
}

void TDISQLite3Database::SetDatabaseName(std::u16string_view name) {
  if (Connected()) throw EDatabaseError(OpenDatabase);
  FDatabaseName = name;
}

void TDISQLite3Database::CheckOpen() const {
  if (!Connected()) throw EDatabaseError(ClosedDatabase);
}

void TDISQLite3Database::AfterOpen() {
  FTransactionCount = 0;
  // A double-quoted text in a statement is an identifier only: were it
  // taken for a string where no column has its name, a value that happens
  // to name a column would silently be read as that column. Values reach
  // SQL as bound parameters or single-quoted literals. The schema of a
  // library file written by another program may still hold double-quoted
  // strings, so they stay accepted there.
  sqlite3_db_config(FHandle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(FHandle, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
}

void TDISQLite3Database::Open() {
  if (Connected()) return;
  if (!FDatabaseName.empty() && IsBlankName(FDatabaseName)) throw EDatabaseError("Invalid DatabaseName");
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(platform::Utf16ToUtf8(FDatabaseName).c_str(), &db,
                                 SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "";
    sqlite3_close(db);
    if (rc == SQLITE_CANTOPEN) throw EFOpenError("Cannot open file " + FullPathUtf8(FDatabaseName));
    throw ESQLite3(rc, message.empty() ? "SQLite3 Error " + std::to_string(rc)
                                       : "SQLite3 Error " + std::to_string(rc) + " - " + message);
  }
  FHandle = db;
  AfterOpen();
}

void TDISQLite3Database::CreateDatabase() {
  if (Connected()) throw EDatabaseError(OpenDatabase);
  if (FDatabaseName != u":memory:" && platform::FileExists(FDatabaseName)) {
    if (!platform::DeleteFile(FDatabaseName))
      throw EFCreateError("Cannot create file " + FullPathUtf8(FDatabaseName));
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(platform::Utf16ToUtf8(FDatabaseName).c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "";
    sqlite3_close(db);
    throw ESQLite3(rc, message.empty() ? "SQLite3 Error " + std::to_string(rc)
                                       : "SQLite3 Error " + std::to_string(rc) + " - " + message);
  }
  FHandle = db;
  AfterOpen();
}

void TDISQLite3Database::Close() {
  FConnectionCache.reset();
  {
    std::lock_guard<std::mutex> guard(FStatementsLock);
    for (TDISQLite3Statement* statement : FStatements) statement->DetachFromDatabase();
    FStatements.clear();
  }
  {
    std::lock_guard<std::mutex> guard(FPreparedLock);
    FPrepared.clear();
  }
  if (FHandle != nullptr) {
    sqlite3_close_v2(FHandle);
    FHandle = nullptr;
  }
  FTransactionCount = 0;
}

void TDISQLite3Database::Attach(TDISQLite3Statement* statement) {
  std::lock_guard<std::mutex> guard(FStatementsLock);
  FStatements.push_back(statement);
}

void TDISQLite3Database::Detach(TDISQLite3Statement* statement) {
  std::lock_guard<std::mutex> guard(FStatementsLock);
  FStatements.erase(std::remove(FStatements.begin(), FStatements.end(), statement), FStatements.end());
}

sqlite3_stmt* TDISQLite3Database::PrepareRaw(std::string_view sqlUtf8, std::size_t* consumed) {
  if (!Connected()) Open();
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  // Reading the schema waits, like a step, while another program commits.
  const auto start = std::chrono::steady_clock::now();
  int rc;
  while ((rc = sqlite3_prepare_v2(FHandle, sqlUtf8.data(), static_cast<int>(sqlUtf8.size()), &statement, &tail)) ==
             SQLITE_BUSY ||
         rc == SQLITE_LOCKED) {
    sqlite3_finalize(statement);
    statement = nullptr;
    if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(BusyPatienceMs)) break;
    platform::SleepMs(10);
  }
  if (rc != SQLITE_OK) {
    sqlite3_finalize(statement);
    RaiseError(rc);
  }
  if (consumed) *consumed = tail ? static_cast<std::size_t>(tail - sqlUtf8.data()) : sqlUtf8.size();
  return statement;
}

void TDISQLite3Database::Execute(std::string_view sqlUtf8) {
  CheckOpen();
  while (!sqlUtf8.empty()) {
    std::size_t consumed = 0;
    sqlite3_stmt* statement = PrepareRaw(sqlUtf8, &consumed);
    sqlUtf8.remove_prefix(std::min(consumed, sqlUtf8.size()));
    if (statement == nullptr) {
      // Only blanks or comments were left, or an empty statement (";").
      if (consumed == 0) break;
      continue;
    }
    try {
      StepWithRetry(FHandle, statement);
    } catch (...) {
      sqlite3_finalize(statement);
      throw;
    }
    const int rc = sqlite3_finalize(statement);
    if (rc != SQLITE_OK) RaiseError(rc);
  }
}

void TDISQLite3Database::Execute16(std::u16string_view sql) { Execute(platform::Utf16ToUtf8(sql)); }

void TDISQLite3Database::Execute16(std::u16string_view sql, const std::vector<std::u16string>& params) {
  CheckOpen();
  auto statement = TakePrepared(sql);
  try {
    statement->BindTexts(params);
    statement->Step();
  } catch (...) {
    Reuse(std::move(statement));
    throw;
  }
  Reuse(std::move(statement));
}

std::unique_ptr<TDISQLite3Statement> TDISQLite3Database::Prepare16(std::u16string_view sql) {
  std::string utf8 = platform::Utf16ToUtf8(sql);
  sqlite3_stmt* handle = PrepareRaw(utf8, nullptr);
  if (handle == nullptr) throw EDatabaseError("Empty SQL Statement");
  return std::make_unique<TDISQLite3Statement>(*this, handle, std::move(utf8));
}

std::unique_ptr<TDISQLite3Statement> TDISQLite3Database::TakePrepared(std::u16string_view sql) {
  std::string utf8 = platform::Utf16ToUtf8(sql);
  std::unique_ptr<TDISQLite3Statement> kept;
  {
    std::lock_guard<std::mutex> guard(FPreparedLock);
    const auto it = FPrepared.find(utf8);
    if (it != FPrepared.end()) {
      kept = std::move(it->second);
      FPrepared.erase(it);
    }
  }
  if (kept && kept->Handle() != nullptr) return kept;
  kept.reset();
  sqlite3_stmt* handle = PrepareRaw(utf8, nullptr);
  if (handle == nullptr) throw EDatabaseError("Empty SQL Statement");
  return std::make_unique<TDISQLite3Statement>(*this, handle, std::move(utf8));
}

void TDISQLite3Database::Reuse(std::unique_ptr<TDISQLite3Statement> statement) {
  if (!statement || statement->Handle() == nullptr || FHandle == nullptr) return;
  sqlite3_reset(statement->Handle());
  sqlite3_clear_bindings(statement->Handle());
  // A handful of texts recur (a file's import, a column's row, a folder's
  // query); texts that carry a value in them would pile up without bound.
  constexpr std::size_t MaxKept = 48;
  std::unique_ptr<TDISQLite3Statement> dropped;
  std::lock_guard<std::mutex> guard(FPreparedLock);
  auto it = FPrepared.find(statement->SQL());
  if (it != FPrepared.end()) {
    // The same text was taken twice at once: one of them is enough.
    dropped = std::move(statement);
    return;
  }
  if (FPrepared.size() >= MaxKept) {
    it = FPrepared.begin();
    dropped = std::move(it->second);
    FPrepared.erase(it);
  }
  const std::string key = statement->SQL();
  FPrepared.emplace(key, std::move(statement));
}

void TDISQLite3Database::RunSingle(const char* sql, int patienceMs) {
  CheckOpen();
  sqlite3_stmt* statement = PrepareRaw(sql, nullptr);
  if (statement == nullptr) throw EDatabaseError("Empty SQL Statement");
  int rc;
  try {
    rc = StepWithRetry(FHandle, statement, patienceMs);
  } catch (...) {
    sqlite3_finalize(statement);
    throw;
  }
  const int finalizeRc = sqlite3_finalize(statement);
  if (finalizeRc != SQLITE_OK) RaiseError(finalizeRc);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_OK) RaiseError(rc);
}

void TDISQLite3Database::StartTransaction(TTransactionType type) {
  CheckOpen();
  if (FTransactionCount == 0) {
    switch (type) {
      case TTransactionType::ttDeferred: RunSingle("BEGIN DEFERRED TRANSACTION;"); break;
      case TTransactionType::ttImmediate: RunSingle("BEGIN IMMEDIATE TRANSACTION;"); break;
      case TTransactionType::ttExclusive: RunSingle("BEGIN EXCLUSIVE TRANSACTION;"); break;
    }
  } else {
    // An inner level: a savepoint lets its own rollback undo just its work.
    RunSingle(("SAVEPOINT vk_level" + std::to_string(FTransactionCount) + ";").c_str());
  }
  ++FTransactionCount;
}

void TDISQLite3Database::StartWriteTransaction(int patienceMs, const TBusyPause& pause) {
  CheckOpen();
  if (FTransactionCount > 0) {
    StartTransaction(TTransactionType::ttImmediate);
    return;
  }
  // Tried often: another writer lets the file go only for a moment between
  // the parts of its batch.
  constexpr int Pause = 5;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    try {
      RunSingle("BEGIN IMMEDIATE TRANSACTION;", 0);
      ++FTransactionCount;
      return;
    } catch (const ESQLite3& error) {
      if (!IsBusyError(error) ||
          std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(patienceMs))
        throw;
    }
    // The wait happens here, between attempts, where the caller may let
    // others go on.
    if (pause)
      pause(Pause);
    else
      platform::SleepMs(Pause);
  }
}

void TDISQLite3Database::Commit() {
  CheckOpen();
  if (!InTransaction()) return;
  if (FTransactionCount == 1) {
    RunSingle("COMMIT TRANSACTION;");
  } else {
    RunSingle(("RELEASE vk_level" + std::to_string(FTransactionCount - 1) + ";").c_str());
  }
  --FTransactionCount;
}

void TDISQLite3Database::Rollback() {
  CheckOpen();
  if (!InTransaction()) return;
  // Rows that were deleted come back: what was kept about the file's
  // contents may miss them.
  FConnectionCache.reset();
  if (FTransactionCount == 1) {
    // A failed ROLLBACK still ends our level: SQLite may already have
    // rolled the transaction back on its own (a full disk, an I/O error).
    --FTransactionCount;
    if (sqlite3_get_autocommit(FHandle)) return;
    RunSingle("ROLLBACK TRANSACTION;");
    return;
  }
  const std::string name = "vk_level" + std::to_string(FTransactionCount - 1);
  --FTransactionCount;
  RunSingle(("ROLLBACK TO " + name + ";").c_str());
  RunSingle(("RELEASE " + name + ";").c_str());
}

void TDISQLite3Database::CommitOrRollback(int patienceMs, const TBusyPause& pause) {
  CheckOpen();
  // An inner level only ends its savepoint: the outer level commits.
  if (FTransactionCount != 1) {
    Commit();
    return;
  }
  constexpr int Pause = 50;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    try {
      RunSingle("COMMIT TRANSACTION;", Pause);
      --FTransactionCount;
      return;
    } catch (const ESQLite3& error) {
      const bool busy = error.ErrorCode() == SQLITE_BUSY || error.ErrorCode() == SQLITE_LOCKED;
      const auto waited = std::chrono::steady_clock::now() - start;
      if (busy && waited < std::chrono::milliseconds(patienceMs)) {
        if (pause)
          pause(Pause);
        else
          platform::SleepMs(Pause);
        continue;
      }
      // Nothing of the transaction reached the file: undo it here rather
      // than leave it (and its lock) open for whatever comes next.
      FTransactionCount = 0;
      FConnectionCache.reset();
      if (!sqlite3_get_autocommit(FHandle)) {
        const int rc = sqlite3_exec(FHandle, "ROLLBACK TRANSACTION;", nullptr, nullptr, nullptr);
        // A rollback that fails too (an I/O error) ends with the connection:
        // closing it undoes what it had not committed.
        if (rc != SQLITE_OK && !sqlite3_get_autocommit(FHandle)) Close();
      }
      throw;
    }
  }
}

std::int64_t TDISQLite3Database::Changes() const { return FHandle ? sqlite3_changes64(FHandle) : 0; }

std::int64_t TDISQLite3Database::LastInsertRowId() const {
  return FHandle ? sqlite3_last_insert_rowid(FHandle) : 0;
}

std::pair<std::int64_t, std::int64_t> TDISQLite3Database::ChangeStamp() {
  std::int64_t dataVersion = -1;
  auto statement = TakePrepared(u"PRAGMA data_version");
  try {
    if (statement->Step() == SQLITE_ROW) dataVersion = statement->Column_Int64(0);
  } catch (...) {
    Reuse(std::move(statement));
    throw;
  }
  Reuse(std::move(statement));
  return {dataVersion, TotalChanges()};
}

std::int64_t TDISQLite3Database::TotalChanges() const { return FHandle ? sqlite3_total_changes64(FHandle) : 0; }

void TDISQLite3Database::Vacuum() { RunSingle("VACUUM;"); }

}  // namespace velmaro
