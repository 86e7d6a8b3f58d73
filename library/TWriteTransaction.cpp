#include "library/TWriteTransaction.h"

#include "library/Errors.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace velmaro {

void PauseUnlocked(std::recursive_mutex& lock, int milliseconds) {
  lock.unlock();
  platform::SleepMs(static_cast<unsigned>(milliseconds));
  lock.lock();
}

TWriteTransaction::TWriteTransaction(TLibraryState& library, std::recursive_mutex& lock, std::u16string_view what,
                                     int patienceMs, const std::function<bool()>& keepWaiting)
    : FLibrary(library), FLock(lock) {
  FDatabase = library.LibraryDatabase.get();
  if (FDatabase == nullptr || !FDatabase->Connected() || !library.DatabaseReady)
    throw EDatabaseError("Cannot perform this operation on a closed database");
  if (!library.WriteGate.Enter(this, what, lock, patienceMs, keepWaiting))
    throw EDatabaseError(platform::Utf16ToUtf8(LibraryBusyText(library.WriteGate.Holder())));
  try {
    // The connection may have been closed while we waited.
    if (!FDatabase->Connected()) throw EDatabaseError("Cannot perform this operation on a closed database");
    FDatabase->StartWriteTransaction(patienceMs, [this](int ms) { PauseUnlocked(FLock, ms); });
    FOpen = true;
  } catch (...) {
    library.WriteGate.Leave(this);
    throw;
  }
}

TWriteTransaction::~TWriteTransaction() {
  try {
    Rollback();
  } catch (...) {
  }
  FLibrary.WriteGate.Leave(this);
}

void TWriteTransaction::Commit() {
  if (!FOpen) return;
  FOpen = false;
  FDatabase->CommitOrRollback(BusyPatienceMs, [this](int ms) { PauseUnlocked(FLock, ms); });
}

void TWriteTransaction::Rollback() {
  if (!FOpen) return;
  FOpen = false;
  if (FDatabase->Connected()) FDatabase->Rollback();
}

}  // namespace velmaro
