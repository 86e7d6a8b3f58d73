// velmaro exec [--verb VERB] VPATH: executes an entry as a host does when
// the user opens it ("open", the default) or asks for its properties
// ("properties"). Dialogs the plug-in shows return when they are closed.
// When the plug-in asks the host to open the entry itself, the real file
// it would open is printed.
#include <iostream>

#include "host/Commands.h"
#include "host/VirtualEntry.h"

namespace velmaro::host {

int CommandExec(THostHarness& host, const TArgs& args) {
  std::string verb = "open";
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--verb" && i + 1 < args.size())
      verb = args[++i];
    else
      paths.push_back(args[i]);
  }
  if (paths.size() != 1) {
    std::cerr << "usage: velmaro exec [--verb VERB] VPATH\n";
    return 2;
  }
  const std::u16string path = FromUtf8(paths[0]);
  // A host executes only entries it has listed (Latest names resolve only then).
  FindEntry(host, path);
  const int result = host.Execute(path, FromUtf8(verb));
  if (result == fsapi::FS_EXEC_YOURSELF) {
    if (const auto real = host.LocalName(path)) {
      std::cout << ToUtf8(*real) << "\n";
      return 0;
    }
    std::cerr << "velmaro: " << paths[0] << " has no local file to open\n";
    return 1;
  }
  if (result != fsapi::FS_EXEC_OK) {
    std::cerr << "velmaro: the plug-in could not execute " << paths[0] << "\n";
    return 1;
  }
  return 0;
}

}  // namespace velmaro::host
