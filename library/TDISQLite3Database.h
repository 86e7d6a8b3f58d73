// The connection to one SQLite database file.
//
// Turns SQLite result codes into exceptions with fixed texts, retries a
// busy step, and nests transactions by a counter: only the outermost
// StartTransaction and Commit reach SQLite as BEGIN and COMMIT. Inner
// levels are savepoints, so that an inner Rollback undoes exactly its own
// statements instead of leaving them to the outer commit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace velmaro {

class TDISQLite3Statement;

enum class TTransactionType { ttDeferred, ttImmediate, ttExclusive };

// What a user of the connection keeps about the file's contents for as long
// as the connection is open (an index of its own, say). The connection
// drops it when it closes and when a rollback undoes writes the state may
// have seen.
class TConnectionCache {
 public:
  virtual ~TConnectionCache() = default;
};

// How long a statement waits while another connection (of this process or
// another program) holds the lock it needs: as long as a commit waits for
// readers.
inline constexpr int BusyPatienceMs = 3000;

// Called between attempts while waiting for another connection; the
// argument is the pause in milliseconds. The default sleeps; a caller that
// holds a lock others need lets it go meanwhile.
using TBusyPause = std::function<void(int milliseconds)>;

class TDISQLite3Database {
 public:
  TDISQLite3Database();
  ~TDISQLite3Database();
  TDISQLite3Database(const TDISQLite3Database&) = delete;
  TDISQLite3Database& operator=(const TDISQLite3Database&) = delete;

  const std::u16string& DatabaseName() const { return FDatabaseName; }
  // "Cannot perform this operation on an open database" while open.
  void SetDatabaseName(std::u16string_view name);

  bool Connected() const { return FHandle != nullptr; }
  sqlite3* Handle() const { return FHandle; }

  // Opens an existing database file; EFOpenError when SQLite cannot open
  // it, "Invalid DatabaseName" for a blank name.
  void Open();
  // Creates a new database file (an existing file of that name is deleted
  // first) and opens it.
  void CreateDatabase();
  // Closes every attached statement, then the connection.
  void Close();

  // Runs every statement of the SQL text in turn.
  void Execute(std::string_view sqlUtf8);
  void Execute16(std::u16string_view sql);
  // Runs one statement with texts bound to its parameters ?1, ?2, ...
  void Execute16(std::u16string_view sql, const std::vector<std::u16string>& params);
  // A new open statement for the first statement of the text.
  std::unique_ptr<TDISQLite3Statement> Prepare16(std::u16string_view sql);
  // A statement for the text, prepared once per connection: one kept from
  // an earlier use when there is one, else a new one. Give it back with
  // Reuse when done, so that the next use of the same text skips the
  // compiling. A statement taken twice at once is simply prepared twice.
  std::unique_ptr<TDISQLite3Statement> TakePrepared(std::u16string_view sql);
  // Resets the statement, clears its bindings and keeps it for the next
  // TakePrepared of its text (a statement of a closed connection is freed).
  void Reuse(std::unique_ptr<TDISQLite3Statement> statement);
  // A stamp that moves whenever the file may have changed: another
  // connection's commit (PRAGMA data_version) or a row this one changed.
  std::pair<std::int64_t, std::int64_t> ChangeStamp();

  void StartTransaction(TTransactionType type);
  // Opens a write transaction (BEGIN IMMEDIATE: the file's write lock is
  // taken at once, so the transaction never holds a read lock while it
  // waits for another writer) or, inside a transaction, a savepoint. Waits
  // up to patienceMs for another connection's write lock, with pause
  // called between attempts.
  void StartWriteTransaction(int patienceMs, const TBusyPause& pause = {});
  void Commit();
  void Rollback();
  // Commits one level. The outermost ends with COMMIT, waiting up to patienceMs
  // for other connections that still read the file. When that fails the
  // whole transaction is rolled back, so that no transaction (and no write
  // lock) is left open, and the error is raised.
  void CommitOrRollback(int patienceMs, const TBusyPause& pause = {});
  void Vacuum();
  bool InTransaction() const { return FTransactionCount > 0; }
  // Rows changed by the most recent INSERT, UPDATE or DELETE.
  std::int64_t Changes() const;
  int TransactionCount() const { return FTransactionCount; }

  // The rowid of the row the most recent successful INSERT added.
  std::int64_t LastInsertRowId() const;
  // Rows changed by every INSERT, UPDATE or DELETE since the connection
  // opened (rolled back ones included).
  std::int64_t TotalChanges() const;

  // The state kept with this connection, or null; see TConnectionCache.
  TConnectionCache* ConnectionCache() const { return FConnectionCache.get(); }
  void SetConnectionCache(std::unique_ptr<TConnectionCache> cache) { FConnectionCache = std::move(cache); }

  // Raises ESQLite3 for the code, with the connection's message.
  [[noreturn]] void RaiseError(int code) const;
  // Prepares one statement of UTF-8 text for this connection; the tail is
  // the text after it. Opens the connection when closed.
  sqlite3_stmt* PrepareRaw(std::string_view sqlUtf8, std::size_t* consumed);

 private:
  friend class TDISQLite3Statement;
  void Attach(TDISQLite3Statement* statement);
  void Detach(TDISQLite3Statement* statement);
  void CheckOpen() const;
  void RunSingle(const char* sql, int patienceMs = BusyPatienceMs);
  void AfterOpen();

  std::u16string FDatabaseName;
  sqlite3* FHandle = nullptr;
  int FTransactionCount = 0;
  std::mutex FStatementsLock;
  std::vector<TDISQLite3Statement*> FStatements;
  // Statements kept for reuse, by their UTF-8 text.
  std::mutex FPreparedLock;
  std::unordered_map<std::string, std::unique_ptr<TDISQLite3Statement>> FPrepared;
  std::unique_ptr<TConnectionCache> FConnectionCache;
};

// Steps a statement with the busy retry: attempts 10 ms apart, for up to
// patienceMs, while SQLite answers busy or locked. Returns 0, 100 (a row)
// or 101 (done); raises ESQLite3 for anything else.
int StepWithRetry(sqlite3* db, sqlite3_stmt* statement, int patienceMs = BusyPatienceMs);

// Whether an error is SQLite's busy or locked: another connection holds
// the lock that was needed.
bool IsBusyError(const std::exception& error);

}  // namespace velmaro
