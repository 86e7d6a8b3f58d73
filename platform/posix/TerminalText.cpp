// Terminal column widths by ICU's character properties.
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "platform/Text.h"

namespace velmaro::platform {

std::size_t TerminalWidth(std::u16string_view units) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < units.size();) {
    UChar32 c;
    U16_NEXT(units.data(), i, units.size(), c);
    const auto category = u_charType(c);
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR) continue;
    const int eastAsian = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    width += eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH ? 2 : 1;
  }
  return width;
}

}  // namespace velmaro::platform
