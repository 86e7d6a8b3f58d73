#include "library/TWriteGate.h"

#include <algorithm>

namespace velmaro {

namespace {

// How long one wait lasts before the caller may give up.
constexpr auto WaitStep = std::chrono::milliseconds(50);

}  // namespace

std::u16string LibraryBusyText(const std::u16string& holder) {
  return u"The library is busy: " + (holder.empty() ? std::u16string(u"another operation") : holder) +
         u" is writing to it. Try again when it has finished.";
}

bool TWriteGate::FreeFor(std::uint64_t ticket) const {
  return FOwner == nullptr && !FWaiting.empty() && FWaiting.front() == ticket;
}

void TWriteGate::Take(TOwner owner, std::u16string_view what) {
  FOwner = owner;
  FLevels = 1;
  FThread = std::this_thread::get_id();
  FWhat = what;
}

bool TWriteGate::TryEnter(TOwner owner, std::u16string_view what) {
  std::lock_guard<std::mutex> guard(FMutex);
  if (FOwner == owner && owner != nullptr) {
    ++FLevels;
    return true;
  }
  if (FOwner != nullptr || !FWaiting.empty()) return false;
  Take(owner, what);
  return true;
}

bool TWriteGate::Enter(TOwner owner, std::u16string_view what, std::recursive_mutex& lock, int patienceMs,
                       const std::function<bool()>& keepWaiting) {
  std::uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> guard(FMutex);
    if (FOwner == owner && owner != nullptr) {
      ++FLevels;
      return true;
    }
    if (FOwner == nullptr && FWaiting.empty()) {
      Take(owner, what);
      return true;
    }
    if (FOwner != nullptr && FThread == std::this_thread::get_id()) return false;
    ticket = FNextTicket++;
    FWaiting.push_back(ticket);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(patienceMs, 0));
  for (;;) {
    bool had = false;
    lock.unlock();
    {
      std::unique_lock<std::mutex> guard(FMutex);
      const auto until = std::min(deadline, std::chrono::steady_clock::now() + WaitStep);
      had = FChanged.wait_until(guard, until, [&] { return FreeFor(ticket); });
      if (had) {
        FWaiting.pop_front();
        Take(owner, what);
      }
    }
    lock.lock();
    if (had) return true;
    const bool giveUp = std::chrono::steady_clock::now() >= deadline || (keepWaiting && !keepWaiting());
    if (giveUp) {
      std::lock_guard<std::mutex> guard(FMutex);
      // Taken between the last look and now: it is ours after all.
      if (FreeFor(ticket)) {
        FWaiting.pop_front();
        Take(owner, what);
        return true;
      }
      FWaiting.erase(std::remove(FWaiting.begin(), FWaiting.end(), ticket), FWaiting.end());
      FChanged.notify_all();
      return false;
    }
  }
}

void TWriteGate::Leave(TOwner owner) {
  std::lock_guard<std::mutex> guard(FMutex);
  if (FOwner != owner || owner == nullptr) return;
  if (--FLevels > 0) return;
  FOwner = nullptr;
  FWhat.clear();
  FThread = {};
  FChanged.notify_all();
}

bool TWriteGate::HeldBy(TOwner owner) const {
  std::lock_guard<std::mutex> guard(FMutex);
  return owner != nullptr && FOwner == owner;
}

bool TWriteGate::Wanted() const {
  std::lock_guard<std::mutex> guard(FMutex);
  return !FWaiting.empty();
}

std::u16string TWriteGate::Holder() const {
  std::lock_guard<std::mutex> guard(FMutex);
  return FWhat;
}

}  // namespace velmaro
