// Terminal column widths by the system's character types.
#include <vector>

#include "platform/Text.h"
#include "platform/windows/WinApi.h"

namespace velmaro::platform {

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
    if (type & C3_NONSPACING) continue;
    const bool wide = (type & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0 ||
                      ((type & (C3_HIRAGANA | C3_KATAKANA)) != 0 && (type & C3_HALFWIDTH) == 0);
    width += wide ? 2 : 1;
  }
  return width;
}

}  // namespace velmaro::platform
