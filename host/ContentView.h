// The plug-in's default column view as a host reads it: which field each
// column shows, under which header, aligned to which side.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/THostHarness.h"

namespace velmaro::host {

struct TViewColumn {
  std::u16string Header;
  std::string Field;  // the field's name, "" when the item names no field
  bool RightAligned = false;
};

// The items of a view text, separated by the host's "\n" (a backslash and
// an n, not a line feed).
std::vector<std::u16string> SplitViewItems(std::u16string_view text);

// The field named by an item "[=<fs>.Name]" or "[=<fs>.Name.Unit]"; "" when
// the item is no such reference.
std::string ViewItemField(std::u16string_view item);

// One column per item of the view's contents, with the header of the same
// position; the widths list sizes the name and extension columns first,
// then the fields in order, a negative width aligning right.
std::vector<TViewColumn> ParseDefaultView(const TDefaultView& view);

}  // namespace velmaro::host
