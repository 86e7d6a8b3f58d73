#include "tags/ogg/TOggHeader.h"

#include <algorithm>
#include <array>
#include <vector>

namespace velmaro::tags {

namespace {
// The end of the stream is searched in 50 windows of 251 bytes, each 241
// bytes further back, for the last "OggS" that starts at offset 0..241 of
// a window.
constexpr std::int64_t TailWindows = 50;
constexpr std::int64_t TailStep = 241;
constexpr std::int64_t TailBack = 10;

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

bool LastGranulePosition(TStream& stream, std::uint64_t& granule) {
  const std::int64_t size = stream.Size();
  // One read covers every window; the search then goes window by window.
  const std::int64_t tailStart = std::max<std::int64_t>(0, size - TailWindows * TailStep - TailBack);
  stream.SeekTo(tailStart);
  const std::vector<std::uint8_t> tail = stream.ReadBytes(static_cast<std::size_t>(size - tailStart));
  const TByteView view(tail);
  // Consecutive windows overlap by one offset, and the windows that would
  // start before the data all start at 0 and cover offsets already
  // searched. So the search is one backward scan, from the last offset of
  // the first window down to the start of the last one; each offset is
  // looked at once, however small the stream.
  const std::int64_t top = std::max<std::int64_t>(0, size - TailStep - TailBack) + TailStep;
  for (std::int64_t offset = top; offset >= tailStart; --offset) {
    const std::size_t at = static_cast<std::size_t>(offset - tailStart);
    if (view.At(at) == 'O' && view.Matches(at, "OggS")) {
      granule = ParseOggHeader(view.Slice(at, TOggHeader::MaxSize)).AbsolutePosition;
      return true;
    }
  }
  return false;
}

std::int64_t ID3v2PrefixSize(TStream& stream) {
  std::array<std::uint8_t, 10> header{};
  stream.SeekTo(0);
  if (!stream.ReadExact(header.data(), header.size())) return 0;
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
  std::int64_t size = (std::int64_t{header[6]} & 0x7F) << 21 | (std::int64_t{header[7]} & 0x7F) << 14 |
                      (std::int64_t{header[8]} & 0x7F) << 7 | (header[9] & 0x7F);
  size += 10;
  if (header[5] & 0x10) size += 10;
  return size > stream.Size() ? 0 : size;
}

}  // namespace velmaro::tags
