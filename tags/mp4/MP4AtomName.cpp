#include "tags/mp4/MP4AtomName.h"

namespace velmaro::tags {

TAtomName MakeAtomName(std::u16string_view text) {
  TAtomName name{};
  for (std::size_t i = 0; i < name.size() && i < text.size(); ++i) name[i] = static_cast<std::uint8_t>(text[i] & 0xFF);
  return name;
}

TAtomName MakeAtomName(std::string_view bytes) {
  TAtomName name{};
  for (std::size_t i = 0; i < name.size() && i < bytes.size(); ++i) name[i] = static_cast<std::uint8_t>(bytes[i]);
  return name;
}

bool AtomNameEquals(const TAtomName& name, std::u16string_view text) {
  if (text.size() > name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = i < text.size() ? text[i] : u'\0';
    if (c > 0xFF || name[i] != c) return false;
  }
  return true;
}

std::u16string AtomNameText(const TAtomName& name) { return std::u16string(name.begin(), name.end()); }

}  // namespace velmaro::tags
