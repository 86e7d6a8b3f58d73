// Reading what follows the 10-byte ID3v2 header: the extended header and
// the frames, up to the end of the tag, the padding or the end of the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/common/TagLimits.h"
#include "tags/id3v2/TID3v2Frame.h"

namespace velmaro::tags {

struct TID3v2ExtendedHeader3 {
  std::uint32_t Size = 0;
  std::uint16_t Flags = 0;
  bool CRCPresent = false;
  std::vector<std::uint8_t> Data;  // the bytes after the flags
};

struct TID3v2ExtendedHeader4 {
  std::uint32_t Size = 0;
  std::uint8_t FlagBytes = 0;
  std::uint8_t Flags = 0;
  bool TagIsAnUpdate = false;
  bool CRCPresent = false;
  bool TagRestrictions = false;
  std::vector<std::uint8_t> ExtendedFlagsData;  // the data of the set flags, in order
};

// What the header says about the bytes that follow it.
struct TID3v2BodyLayout {
  std::uint8_t MajorVersion = 3;
  std::uint32_t TagSize = 0;    // the tag's size field + 10: no frame may declare more
  std::int64_t End = 0;         // stream offset where the frames end
  bool ExtendedHeader = false;  // the header flag
  // The bytes are unsynchronised as a whole (version 2.2 and 2.3 flag):
  // frames inherit the flag and the extended header's data is decoded.
  bool Unsynchronised = false;
  // Version 2.4 frame sizes read as plain 32-bit numbers, as some writers
  // store them, instead of synchsafe ones.
  bool PlainFrameSizes = false;
  bool AnsiText = false;  // for the description of converted PIC frames
};

// The most frames one tag gives; the walk ends there with the error flag.
inline constexpr std::size_t MaxID3v2Frames = MaxTagItems;

struct TID3v2TagBody {
  std::vector<TID3v2Frame> Frames;
  bool ExtendedHeader = false;  // cleared when a frame ID stands where the flag promised one
  TID3v2ExtendedHeader3 ExtendedHeader3;
  TID3v2ExtendedHeader4 ExtendedHeader4;
  bool Error = false;  // a frame declared a size larger than the tag
  // The frames ended where a well-formed tag ends theirs: at the end of
  // the tag, at zero padding that runs to the end of the tag, or at the end
  // of the data. False after a frame that was too large or a frame ID that
  // is neither padding nor valid: the sizes did not lead from frame to frame.
  bool LinedUp = true;
  // The frames ended at padding: a zero byte where a frame ID should
  // start (what follows it may still hold stray non-zero bytes).
  bool EndedAtPadding = false;
  // A version 2.4 frame size that reads differently as a plain number.
  bool AmbiguousSizes = false;
};

// Reads the extended header (when flagged) and the frames from the
// stream's position, the first frame ID that is not three letters or
// digits ending the list. Sizes are checked against the tag; bodies are
// read only as far as the data goes, and kept only within the limits of
// TagLimits.h (a frame whose body is not kept has an empty Stream).
TID3v2TagBody ReadID3v2TagBody(TStream& stream, const TID3v2BodyLayout& layout);

// The low 7 bits of each byte, most significant first.
std::uint32_t SynchsafeValue(std::uint32_t stored);

}  // namespace velmaro::tags
