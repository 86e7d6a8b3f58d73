#include "tags/ogg/TOggHeader.h"

namespace velmaro::tags {

namespace {
std::uint64_t LittleEndian(const TByteView& bytes, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes.At(offset + i);
  return value;
}
}  // namespace

std::uint32_t TOggHeader::DataSize() const {
  std::uint32_t size = 0;
  for (std::size_t i = 0; i < Segments; ++i) size += LacingValues[i];
  return size;
}

TOggHeader ParseOggHeader(const TByteView& bytes) {
  TOggHeader header;
  for (std::size_t i = 0; i < 4; ++i) header.ID[i] = static_cast<char>(bytes.At(i));
  header.StreamVersion = bytes.At(4);
  header.TypeFlag = bytes.At(5);
  header.AbsolutePosition = LittleEndian(bytes, 6, 8);
  header.Serial = static_cast<std::uint32_t>(LittleEndian(bytes, 14, 4));
  header.PageNumber = static_cast<std::uint32_t>(LittleEndian(bytes, 18, 4));
  header.Checksum = static_cast<std::uint32_t>(LittleEndian(bytes, 22, 4));
  header.Segments = bytes.At(26);
  for (std::size_t i = 0; i < header.LacingValues.size(); ++i)
    header.LacingValues[i] = bytes.At(TOggHeader::FixedSize + i);
  return header;
}

}  // namespace velmaro::tags
