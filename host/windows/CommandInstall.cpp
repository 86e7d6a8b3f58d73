// velmaro install-plugin / uninstall-plugin on Windows: they write the
// configuration of the Linux Double Commander, so here they only say how a
// Windows host takes the plug-in.
#include <iostream>

#include "host/Commands.h"

namespace velmaro::host {

namespace {

int Unavailable(const char* command) {
  std::cerr << "velmaro: " << command
            << " sets up the Linux Double Commander. On Windows, install the plug-in from the host's own "
               "plug-in settings: add Melvanto.wfx as a file-system plug-in.\n";
  return 2;
}

}  // namespace

int CommandInstallPlugin(THostHarness&, const TArgs&) { return Unavailable("install-plugin"); }
int CommandUninstallPlugin(THostHarness&, const TArgs&) { return Unavailable("uninstall-plugin"); }

}  // namespace velmaro::host
