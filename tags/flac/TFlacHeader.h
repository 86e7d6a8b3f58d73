// The start of a native FLAC stream: the "fLaC" marker, the header of the
// first metadata block and the STREAMINFO body (42 bytes), the stream
// values decoded from it, and the 4-byte header of each metadata block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/common/TagLimits.h"

namespace velmaro::tags {

// Metadata block types.
enum : std::uint8_t {
  FlacBlockStreamInfo = 0,
  FlacBlockPadding = 1,
  FlacBlockApplication = 2,
  FlacBlockSeekTable = 3,
  FlacBlockVorbisComment = 4,
  FlacBlockCueSheet = 5,
  FlacBlockPicture = 6,
};

struct TFlacHeader {
  static constexpr std::size_t Length = 42;

  std::array<std::uint8_t, 4> StreamMarker{};
  std::array<std::uint8_t, 4> MetaDataBlockHeader{};  // of the first block, taken as STREAMINFO
  std::array<std::uint8_t, 18> Info{};                // the start of the STREAMINFO body
  std::array<std::uint8_t, 16> MD5Sum{};

  bool HasMarker() const;
  bool FirstBlockIsLast() const { return (MetaDataBlockHeader[0] & 0x80) != 0; }
  int SampleRate() const;
  std::uint8_t Channels() const;
  std::uint8_t BitsPerSample() const;
  // The 36-bit total sample count; 0 when the encoder did not know it.
  std::int64_t Samples() const;
};

// The 42 bytes from offset 0; bytes missing at the end read as 0.
TFlacHeader ReadFlacHeader(TStream& stream);

struct TFlacBlockHeader {
  std::array<std::uint8_t, 4> Bytes{};
  bool Last = false;
  std::uint8_t Type = 0;
  std::uint32_t Length = 0;  // of the body
};

// The 4-byte header at the stream's position. Raises EFlacReadError when
// fewer than 4 bytes are left: the metadata ended before the block
// flagged last.
TFlacBlockHeader ReadFlacBlockHeader(TStream& stream);

// The body of a block of length bytes from the stream's position, as far
// as the budget lets it be kept: whole, else its first headBytes (a
// picture's fields stand there), else nothing; the rest is skipped.
// Raises EFlacReadError when the block runs past the end of the stream.
std::vector<std::uint8_t> ReadFlacBlockBody(TStream& stream, std::uint32_t length, TTagBudget& budget,
                                            std::uint32_t headBytes = 0);
// Moves past the body of a block that is not kept; raises as above.
void SkipFlacBlockBody(TStream& stream, std::uint32_t length);

// The audio bytes in kbit/s over the play time, rounded to the nearest
// integer with halves to even, kept within the int range.
std::int32_t FlacKbitPerSecond(std::int64_t audioBytes, double seconds);

// "Mono", "Stereo", "Multi Channel"; empty for an invalid stream.
std::u16string FlacChannelMode(bool valid, std::uint8_t channels);

}  // namespace velmaro::tags
