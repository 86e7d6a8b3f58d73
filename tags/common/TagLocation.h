// Finding the start of an ID3v2 tag: at the start of the data, or inside
// the chunk structure of a RIFF or RF64 WAVE, AIFF or AIFC, DSF or DFF file.
#pragma once

#include <cstdint>

#include "tags/common/TStream.h"

namespace velmaro::tags {

// The kind of file a tag reader met. The location probe records the
// containers; the ID3v2 reader records MPEG audio found after a tag.
enum class TSourceFileType { sftUnknown, sftMPEG, sftWAVE, sftRF64, sftAIFF, sftDSF, sftDFF };

struct TID3v2Location {
  bool Found = false;
  TSourceFileType Container = TSourceFileType::sftUnknown;
};

// Looks for an ID3v2 tag from the stream's current position P. Tried in
// this order, the first probe that recognises its data deciding: a tag
// right at P, a WAVE ("RIFF"), RF64, AIFF/AIFC ("FORM"), DSF and DFF file
// with an ID3 chunk. A recognised container without a usable ID3 chunk
// means no tag. Otherwise, when searchLength is not 0, the first "ID3"
// that starts within searchLength bytes from P is taken.
//
// When found, the stream stands at the first byte of the "ID3" header;
// otherwise its position is unspecified. Chunk data is skipped by
// seeking, and sizes pointing past the end only end the walk.
TID3v2Location LocateID3v2Tag(TStream& stream, std::uint32_t searchLength = 0);

}  // namespace velmaro::tags
