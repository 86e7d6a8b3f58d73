#include "support/PeakHeap.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define VELMARO_COUNT_WITH_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMARO_COUNT_WITH_SANITIZER 1
#endif
#endif

#ifdef VELMARO_COUNT_WITH_SANITIZER
// The sanitizer runtime's allocator interface (GCC ships no header for it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                              void (*freeHook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* block);
}
#endif

namespace {

std::atomic<std::int64_t> Held{0};
std::atomic<std::int64_t> Peak{0};

void Count(std::int64_t bytes) {
  const std::int64_t now = Held.fetch_add(bytes) + bytes;
  std::int64_t peak = Peak.load();
  while (now > peak && !Peak.compare_exchange_weak(peak, now)) {
  }
}

#ifdef VELMARO_COUNT_WITH_SANITIZER
void OnMalloc(const volatile void*, std::size_t size) { Count(static_cast<std::int64_t>(size)); }
// Called before the block is freed, while its size is still known.
void OnFree(const volatile void* block) { Count(-static_cast<std::int64_t>(__sanitizer_get_allocated_size(block))); }
#endif

void StartCounting() {
#ifdef VELMARO_COUNT_WITH_SANITIZER
  static const bool installed = (__sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree), true);
  (void)installed;
#endif
}

}  // namespace

#ifndef VELMARO_COUNT_WITH_SANITIZER
// Each block carries its size in front of it, so that delete can count it
// whichever form of delete is called. The header keeps the default
// alignment of new.
namespace {
constexpr std::size_t Header = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

void* Allocate(std::size_t size) {
  void* raw = std::malloc(size + Header);
  if (!raw) return nullptr;
  *static_cast<std::size_t*>(raw) = size;
  Count(static_cast<std::int64_t>(size));
  return static_cast<char*>(raw) + Header;
}

void Release(void* block) {
  if (!block) return;
  void* raw = static_cast<char*>(block) - Header;
  Count(-static_cast<std::int64_t>(*static_cast<std::size_t*>(raw)));
  std::free(raw);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
#endif

namespace velmaro::testsupport {

std::size_t PeakHeapDuring(const std::function<void()>& call) {
  StartCounting();
  const std::int64_t start = Held.load();
  Peak.store(start);
  call();
  const std::int64_t peak = Peak.load() - start;
  return peak > 0 ? static_cast<std::size_t>(peak) : 0;
}

}  // namespace velmaro::testsupport
