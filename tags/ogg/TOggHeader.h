// The header of an Ogg page: the capture pattern "OggS", version, flags,
// granule position, serial and page numbers, checksum and the segment
// table whose lacing values add up to the length of the page's data.
#pragma once

#include <array>
#include <cstdint>

#include "tags/common/TByteView.h"
#include "tags/common/TStream.h"

namespace velmaro::tags {

struct TOggHeader {
  // The fixed part before the segment table, and the largest header.
  static constexpr std::size_t FixedSize = 27;
  static constexpr std::size_t MaxSize = FixedSize + 255;

  std::array<char, 4> ID{};
  std::uint8_t StreamVersion = 0;
  std::uint8_t TypeFlag = 0;
  std::uint64_t AbsolutePosition = 0;  // granule position
  std::uint32_t Serial = 0;
  std::uint32_t PageNumber = 0;
  std::uint32_t Checksum = 0;  // not verified
  std::uint8_t Segments = 0;
  std::array<std::uint8_t, 255> LacingValues{};

  bool HasOggID() const { return ID == std::array<char, 4>{'O', 'g', 'g', 'S'}; }
  // Bytes the header occupies in the file.
  std::size_t HeaderSize() const { return FixedSize + Segments; }
  // The sum of the first Segments lacing values.
  std::uint32_t DataSize() const;
};

// The header held in bytes read at a page's start; bytes beyond the view
// read as 0.
TOggHeader ParseOggHeader(const TByteView& bytes);

// The granule position of the last page that starts in the last 12,060
// bytes of the stream (the last "OggS" found there; the page need not be
// complete); false when there is none. Reads only that tail.
bool LastGranulePosition(TStream& stream, std::uint64_t& granule);

// The size of an ID3v2 tag in front of the Ogg data: the synchsafe size,
// the 10-byte header and a 10-byte footer when the header announces one;
// 0 when there is none or it claims more than the stream holds.
std::int64_t ID3v2PrefixSize(TStream& stream);

}  // namespace velmaro::tags
