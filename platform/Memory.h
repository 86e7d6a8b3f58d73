// The memory the running program uses, for the benchmarks' reports.
#pragma once

#include <cstdint>

namespace velmaro::platform {

// The most physical memory the process has held at once, in bytes: its
// peak resident set (getrusage) or peak working set (Windows); 0 when the
// system does not say.
std::uint64_t PeakMemoryBytes();

}  // namespace velmaro::platform
