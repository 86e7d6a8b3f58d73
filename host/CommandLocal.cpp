// velmaro local VPATH...: the real file behind each entry, one per line.
#include <iostream>

#include "host/Commands.h"
#include "host/VirtualEntry.h"

namespace velmaro::host {

int CommandLocal(THostHarness& host, const TArgs& args) {
  if (args.empty()) {
    std::cerr << "usage: velmaro local VPATH...\n";
    return 2;
  }
  int status = 0;
  for (const std::string& arg : args) {
    const std::u16string path = FromUtf8(arg);
    // A host asks only for entries it has just listed; the Latest view's
    // names resolve only then.
    FindEntry(host, path);
    if (const auto real = host.LocalName(path)) {
      std::cout << ToUtf8(*real) << "\n";
    } else {
      std::cerr << "velmaro: " << arg << " has no local file\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace velmaro::host
