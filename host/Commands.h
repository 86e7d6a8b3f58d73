// The commands of velmaro, one file each. Each gets the started host and
// its own arguments, prints its results on standard output and returns
// the process's exit status.
#pragma once

#include <string>
#include <vector>

#include "host/THostHarness.h"

namespace velmaro::host {

using TArgs = std::vector<std::string>;

struct TCommand {
  const char* Name;
  const char* Synopsis;  // one usage line
  const char* Help;      // what it does, indented lines
  int (*Run)(THostHarness& host, const TArgs& args);
};

// Every command, in the order the usage text shows them.
const std::vector<TCommand>& Commands();

int CommandLs(THostHarness& host, const TArgs& args);
int CommandGet(THostHarness& host, const TArgs& args);
int CommandExec(THostHarness& host, const TArgs& args);
int CommandLocal(THostHarness& host, const TArgs& args);
int CommandPut(THostHarness& host, const TArgs& args);
int CommandRm(THostHarness& host, const TArgs& args);
int CommandRebuild(THostHarness& host, const TArgs& args);
int CommandVacuum(THostHarness& host, const TArgs& args);
int CommandEmpty(THostHarness& host, const TArgs& args);
int CommandInstallPlugin(THostHarness& host, const TArgs& args);
int CommandUninstallPlugin(THostHarness& host, const TArgs& args);

// A virtual path joined with one more component.
std::u16string JoinVirtual(const std::u16string& folder, const std::u16string& name);

}  // namespace velmaro::host
