// One operation's own write transaction on the library: the write gate
// held for it, and a transaction that took the file's write lock at once
// (BEGIN IMMEDIATE). Waiting for another operation of this process, or
// for another program's writer, lets the process-wide lock go.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "library/Library.h"

namespace velmaro {

// Sleeps for the pause with the lock (held once by the caller) let go.
void PauseUnlocked(std::recursive_mutex& lock, int milliseconds);

class TWriteTransaction {
 public:
  // what: the operation as a message names it ("a rebuild", ...). Raises
  // EDatabaseError with a clear text when the library is not open, when
  // another operation keeps the gate past patienceMs (or keepWaiting says
  // to stop), and ESQLite3 when another program keeps the file locked.
  TWriteTransaction(TLibraryState& library, std::recursive_mutex& lock, std::u16string_view what,
                    int patienceMs = BusyPatienceMs, const std::function<bool()>& keepWaiting = {});
  // Rolls back unless committed, and leaves the gate.
  ~TWriteTransaction();
  TWriteTransaction(const TWriteTransaction&) = delete;
  TWriteTransaction& operator=(const TWriteTransaction&) = delete;

  TDISQLite3Database& Database() { return *FDatabase; }
  // Commits, waiting for other programs' readers; on failure everything is
  // rolled back and the error raised.
  void Commit();
  void Rollback();

 private:
  TLibraryState& FLibrary;
  std::recursive_mutex& FLock;
  TDISQLite3Database* FDatabase = nullptr;
  bool FOpen = false;
};

}  // namespace velmaro
