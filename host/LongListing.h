// ls -l: the entries of a folder with the columns of the plug-in's default
// view, as a host's file list shows them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/THostHarness.h"

namespace velmaro::host {

// Prints a header line and one line per entry: its kind, its name and the
// value of every column of the default view, aligned. Folders and entries
// without a track show empty columns.
void PrintLongListing(THostHarness& host, const std::u16string& folder, const std::vector<TEntry>& entries,
                      std::ostream& out);

}  // namespace velmaro::host
