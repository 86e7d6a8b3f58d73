// Which operation may write to the library now.
//
// The process has one connection to the library, shared by the host's
// threads and the dialogs. Every operation that writes (a copy into the
// panel, a delete, a rebuild, emptying, a Properties save, re-index and
// vacuum) holds the gate for as long as its transaction is open: no other
// operation's statements join that transaction, and no other operation
// can end it. A second operation waits for the first to leave, in the
// order they came, or is refused.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velmaro {

class TWriteGate {
 public:
  // An operation, by any address that stays its own while it holds the gate.
  using TOwner = const void*;

  // Holds the gate for owner when nobody holds it or waits for it, or when
  // owner holds it already (levels are counted). Never waits.
  bool TryEnter(TOwner owner, std::u16string_view what);
  // Waits for the gate up to patienceMs, with `lock` (the process-wide
  // lock, which the caller holds once) let go meanwhile so that the holder
  // can finish; keepWaiting, when given, is asked between waits and may
  // end the wait. False when the gate was not had: patience ran out, the
  // caller gave up, or the holder runs further down this very thread (a
  // message loop inside it called us) and cannot leave while we wait.
  bool Enter(TOwner owner, std::u16string_view what, std::recursive_mutex& lock, int patienceMs,
             const std::function<bool()>& keepWaiting = {});
  // Ends one level of owner's hold.
  void Leave(TOwner owner);

  bool HeldBy(TOwner owner) const;
  // Another operation waits: the holder ends its transaction at its next
  // chance.
  bool Wanted() const;
  // What holds the gate ("a copy into the panel", ...), empty when free.
  std::u16string Holder() const;

 private:
  bool FreeFor(std::uint64_t ticket) const;
  void Take(TOwner owner, std::u16string_view what);

  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  TOwner FOwner = nullptr;
  int FLevels = 0;
  std::thread::id FThread;
  std::u16string FWhat;
  std::deque<std::uint64_t> FWaiting;  // tickets, first come first served
  std::uint64_t FNextTicket = 1;
};

// What a refused writer says: the operation that holds the library.
std::u16string LibraryBusyText(const std::u16string& holder);

}  // namespace velmaro
