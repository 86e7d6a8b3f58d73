// The memory the running program uses, on Windows.
#include "platform/Memory.h"

#include "platform/windows/WinApi.h"

// The K32 names of the process-status functions are kernel32's own (since
// Windows 7): no import of psapi.dll.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2
#endif
#include <psapi.h>

namespace velmaro::platform {

std::uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

}  // namespace velmaro::platform
