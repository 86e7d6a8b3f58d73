#include "tags/ogg/TOGGStream.h"

#include <array>

namespace velmaro::tags {

TOGGStream::TOGGStream(TStream& source) : FStream(source) {
  const std::int64_t start = FStream.Position();
  std::array<std::uint8_t, TOggHeader::MaxSize> bytes{};
  FStream.ReadExact(bytes.data(), bytes.size());
  FFirstOGGHeader = ParseOggHeader(TByteView(bytes));
  FStream.SeekTo(start);
}

bool TOGGStream::GetNextPageData(std::vector<std::uint8_t>& target) {
  const std::int64_t start = FStream.Position();
  auto fail = [&] {
    FStream.SeekTo(start);
    return false;
  };
  std::array<std::uint8_t, TOggHeader::MaxSize> bytes{};
  if (!FStream.ReadExact(bytes.data(), TOggHeader::FixedSize)) return fail();
  const std::size_t segments = bytes[TOggHeader::FixedSize - 1];
  if (!FStream.ReadExact(bytes.data() + TOggHeader::FixedSize, segments)) return fail();
  const TOggHeader header = ParseOggHeader(TByteView(bytes));
  // Bytes that are not a page end the sequence rather than being taken
  // for page data.
  if (!header.HasOggID()) return fail();
  const std::uint32_t dataSize = header.DataSize();
  if (FStream.Remaining() < dataSize) return fail();
  const std::size_t oldSize = target.size();
  target.resize(oldSize + dataSize);
  if (dataSize != 0 && !FStream.ReadExact(target.data() + oldSize, dataSize)) {
    target.resize(oldSize);
    return fail();
  }
  ++FLastPageQueried;
  return true;
}

}  // namespace velmaro::tags
