// The memory the running program uses, on POSIX.
#include "platform/Memory.h"

#include <sys/resource.h>

namespace velmaro::platform {

std::uint64_t PeakMemoryBytes() {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss < 0) return 0;
  // Linux counts ru_maxrss in kibibytes.
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace velmaro::platform
