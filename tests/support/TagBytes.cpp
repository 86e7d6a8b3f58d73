#include "support/TagBytes.h"

namespace velmaro::testsupport {

namespace {
TBytes BigEndian(std::uint64_t value, int count) {
  TBytes out;
  for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}
TBytes LittleEndian(std::uint64_t value, int count) {
  TBytes out;
  for (int i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}
}  // namespace

TBytes JoinBytes(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes& part : parts) AppendBytes(all, part);
  return all;
}

void AppendBytes(TBytes& target, const TBytes& more) { target.insert(target.end(), more.begin(), more.end()); }

TBytes AsciiBytes(std::string_view text) { return TBytes(text.begin(), text.end()); }

TBytes BE16(std::uint16_t value) { return BigEndian(value, 2); }
TBytes BE24(std::uint32_t value) { return BigEndian(value, 3); }
TBytes BE32(std::uint32_t value) { return BigEndian(value, 4); }
TBytes BE64(std::uint64_t value) { return BigEndian(value, 8); }
TBytes LE16(std::uint16_t value) { return LittleEndian(value, 2); }
TBytes LE32(std::uint32_t value) { return LittleEndian(value, 4); }
TBytes LE64(std::uint64_t value) { return LittleEndian(value, 8); }

std::u16string ToReaderPath(const std::filesystem::path& path) { return path.u16string(); }

}  // namespace velmaro::testsupport
