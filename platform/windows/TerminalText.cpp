// Terminal column widths by the system's character types.
#include <vector>

#include "platform/Text.h"
#include "platform/windows/WinApi.h"

namespace velmaro::platform {

namespace {

// Marks that combine with the character before them, and format
// characters: they take no column. (The system's character types mark
// accented letters such as "ó" as non-spacing too, so they cannot tell.)
bool TakesNoColumn(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) || (c >= 0x0591 && c <= 0x05BD) ||
         (c >= 0x0610 && c <= 0x061A) || (c >= 0x064B && c <= 0x065F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x2064) || (c >= 0x20D0 && c <= 0x20FF) || (c >= 0x3099 && c <= 0x309A) ||
         (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0xFEFF;
}

}  // namespace

std::size_t TerminalWidth(std::u16string_view units) {
  if (units.empty()) return 0;
  std::vector<WORD> types(units.size());
  if (!::GetStringTypeW(CT_CTYPE3, windows::Wide(units.data()), windows::ApiLength(units.size()), types.data()))
    return units.size();
  std::size_t width = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    // The second unit of a surrogate pair belongs to the first's column.
    if (units[i] >= 0xDC00 && units[i] <= 0xDFFF && i > 0 && units[i - 1] >= 0xD800 && units[i - 1] <= 0xDBFF)
      continue;
    const WORD type = types[i];
    if (TakesNoColumn(units[i])) continue;
    const bool wide = (type & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0 ||
                      ((type & (C3_HIRAGANA | C3_KATAKANA)) != 0 && (type & C3_HALFWIDTH) == 0);
    width += wide ? 2 : 1;
  }
  return width;
}

}  // namespace velmaro::platform
