// How much heap memory a call holds at its peak, for tests that bound
// what a reader keeps.
//
// Under AddressSanitizer the sanitizer's allocation hooks count every
// allocation; otherwise this file replaces the global operator new and
// delete of the test program with counting ones. Either way the count
// covers C++ allocations (containers, strings) exactly.
#pragma once

#include <cstddef>
#include <functional>

namespace velmaro::testsupport {

// The most bytes held at once while call runs, above what was held when
// it started.
std::size_t PeakHeapDuring(const std::function<void()>& call);

}  // namespace velmaro::testsupport
