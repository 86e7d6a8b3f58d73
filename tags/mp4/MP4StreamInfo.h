// The stream values of an MP4 file, found by walks over its atoms that
// are independent of the metadata walk: the first "mdat" (for the bit
// rate), the movie duration from "mvhd", and per track the picture size
// from "tkhd" and the audio values from the sample description.
#pragma once

#include <cstdint>

#include "tags/common/TStream.h"

namespace velmaro::tags {

enum class TMP4AudioFormat { mp4afUnknown = 0, mp4afAAC = 1, mp4afALAC = 2, mpfafAC3 = 3 };

struct TMP4MdatInfo {
  std::int64_t Position = -1;  // offset of its header; -1 when there is none
  std::int64_t Size = 0;       // header included; 0 when there is none
};

struct TMP4TrackValues {
  std::uint16_t AudioChannelCount = 0;
  std::int32_t AudioResolution = 0;  // sample size in bits
  std::uint32_t AudioSampleRate = 0;
  TMP4AudioFormat AudioFormat = TMP4AudioFormat::mp4afUnknown;
  std::int32_t VideoWidth = 0;
  std::int32_t VideoHeight = 0;
};

// The first top-level "mdat", looked for from offset 0. Headers are taken
// as they are; the walk ends at a size that does not cover its header or a
// name of four zero bytes. The stream's position is restored.
TMP4MdatInfo FindMP4MdatAtom(TStream& stream);

// Seconds from the first "mvhd" inside a top-level "moov" (duration over
// time scale), when the file starts with "ftyp"; 0 when there is none,
// when time scale or duration is 0, or when a header on the way is
// corrupt. The stream's position is restored.
double ReadMP4MovieDuration(TStream& stream);

// From the stream's position (after "ftyp"), visits each "trak" of each
// top-level "moov": keeps the largest "tkhd" picture size, and takes the
// audio values of the first "mp4a", "alac" or "ac-3" sample entry of a
// track whose "stsd" holds exactly one entry; a later track's values
// overwrite an earlier one's. A corrupt header ends the walk; the values
// found before it stay. The stream is left anywhere.
void ReadMP4TrackInfo(TStream& stream, TMP4TrackValues& values);

}  // namespace velmaro::tags
