// Terminal column widths by the system's character types.
#include <algorithm>
#include <iterator>
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
         (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0xFEFF ||
         // Outside the BMP: the musical symbols' combining marks, tags and
         // the variation selectors supplement.
         (c >= 0x1D167 && c <= 0x1D169) || (c >= 0x1D173 && c <= 0x1D182) || (c >= 0x1D185 && c <= 0x1D18B) ||
         (c >= 0x1D1AA && c <= 0x1D1AD) || c == 0xE0001 || (c >= 0xE0020 && c <= 0xE007F) ||
         (c >= 0xE0100 && c <= 0xE01EF);
}

// The characters outside the BMP that a terminal gives two columns: those
// of East Asian width Wide or Fullwidth in Unicode 15 (emoji, ideographs
// of the supplementary planes, kana and Tangut), the same as ICU gives the
// POSIX build. The system's character types are per UTF-16 unit and see
// only a surrogate in each half of a pair.
struct TRange {
  char32_t First, Last;
};
constexpr TRange WideOutsideBmp[] = {
    {0x16FE0, 0x16FE3}, {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5},
    {0x18D00, 0x18D08}, {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE},
    {0x1B000, 0x1B122}, {0x1B132, 0x1B132}, {0x1B150, 0x1B152}, {0x1B155, 0x1B155},
    {0x1B164, 0x1B167}, {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B},
    {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA},
    {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E},
    {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4},
    {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6D7}, {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC},
    {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945},
    {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FA7C}, {0x1FA80, 0x1FA88}, {0x1FA90, 0x1FABD},
    {0x1FABF, 0x1FAC5}, {0x1FACE, 0x1FADB}, {0x1FAE0, 0x1FAE8}, {0x1FAF0, 0x1FAF8},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

bool IsWideOutsideBmp(char32_t c) {
  // The first range that ends at or after c; c is in it if it starts before.
  const auto range = std::lower_bound(std::begin(WideOutsideBmp), std::end(WideOutsideBmp), c,
                                      [](const TRange& r, char32_t value) { return r.Last < value; });
  return range != std::end(WideOutsideBmp) && range->First <= c;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::size_t TerminalWidth(std::u16string_view units) {
  if (units.empty()) return 0;
  std::vector<WORD> types(units.size());
  if (!::GetStringTypeW(CT_CTYPE3, windows::Wide(units.data()), windows::ApiLength(units.size()), types.data()))
    return units.size();
  std::size_t width = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    // A surrogate pair is one character, measured by its code point.
    if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(units[i]) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
      if (!TakesNoColumn(c)) width += IsWideOutsideBmp(c) ? 2 : 1;
      continue;
    }
    const WORD type = types[i];
    if (TakesNoColumn(units[i])) continue;
    const bool wide = (type & (C3_FULLWIDTH | C3_IDEOGRAPH)) != 0 ||
                      ((type & (C3_HIRAGANA | C3_KATAKANA)) != 0 && (type & C3_HALFWIDTH) == 0);
    width += wide ? 2 : 1;
  }
  return width;
}

}  // namespace velmaro::platform
