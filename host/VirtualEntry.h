// Finding one entry of the panel as a host does: by listing its folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/THostHarness.h"

namespace velmaro::host {

// The folder and the name of a virtual path (one trailing delimiter
// ignored); the folder of a root entry is the root.
struct TVirtualSplit {
  std::u16string Folder;
  std::u16string Name;
};
TVirtualSplit SplitVirtual(std::u16string_view path);

// Lists the entry's folder and returns the entry of that name, or nullopt
// when the folder does not list it. The listing also makes names that only
// the latest listing knows (the Latest view) resolvable.
std::optional<TEntry> FindEntry(THostHarness& host, std::u16string_view path);

}  // namespace velmaro::host
