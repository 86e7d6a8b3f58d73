// Names of MP4 atoms: four bytes, written in code as text whose characters
// each stand for one byte ("©nam" is A9 6E 61 6D).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro::tags {

using TAtomName = std::array<std::uint8_t, 4>;

// The low 8 bits of each of the first four characters; missing ones give 0.
TAtomName MakeAtomName(std::u16string_view text);
// The same for text whose bytes are the name's bytes ("\xA9nam").
TAtomName MakeAtomName(std::string_view bytes);

// True when each byte equals the code of the corresponding character
// (missing characters count as 0). A character above 255 never matches,
// nor does a text longer than four characters.
bool AtomNameEquals(const TAtomName& name, std::u16string_view text);

// The four bytes as characters of the same codes.
std::u16string AtomNameText(const TAtomName& name);

}  // namespace velmaro::tags
