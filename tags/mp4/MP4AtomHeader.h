// The header of one MP4 atom: a 32-bit big-endian size (the whole atom,
// header included) and a 4-byte name; a size of 1 announces a 64-bit size
// after the name and a 16-byte header.
#pragma once

#include <cstdint>

#include "platform/Error.h"
#include "tags/common/TStream.h"
#include "tags/common/TagLimits.h"
#include "tags/mp4/MP4AtomName.h"

namespace velmaro::tags {

// Raised by a validated header that cannot describe an atom of the file.
class EMP4Error : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
};

struct TMP4AtomHeader {
  std::int64_t Start = 0;          // offset of the header in the stream
  std::uint64_t Size = 0;          // the whole atom, as declared
  std::uint32_t HeaderLength = 8;  // 16 with a 64-bit size
  TAtomName Name{};

  std::int64_t DataStart() const { return Start + HeaderLength; }
  // A size smaller than the header says nothing about where the next atom
  // starts; a walk that met one cannot go on from it.
  bool CoversHeader() const { return Size >= HeaderLength; }
};

// Reads the header at the stream's position. At or past the end of the
// stream nothing is read, header is left as it was and the result is
// false. Bytes missing at the end read as 0.
//
// With validate, the atom must cover its own header and fit into the
// stream from its start; otherwise EMP4Error("Corrupted MP4 file. Atom
// name: " + name) is raised.
bool ReadMP4AtomHeader(TStream& stream, bool validate, TMP4AtomHeader& header);

// The end of the atom (start + size), clamped to the end of the stream.
std::int64_t MP4AtomEnd(const TMP4AtomHeader& header, std::int64_t streamSize);

// Moves to the end of the atom: its start plus its size, clamped to the
// end of the stream, and never back into its header.
void SkipMP4Atom(TStream& stream, const TMP4AtomHeader& header);

// One walk over the atoms of a file: reads headers as ReadMP4AtomHeader
// does, and ends (Next gives false) after MaxWalkedUnits of them, as if
// the atoms ended there.
class TMP4AtomWalk {
 public:
  bool Next(TStream& stream, bool validate, TMP4AtomHeader& header) {
    if (FCount >= MaxWalkedUnits) return false;
    ++FCount;
    return ReadMP4AtomHeader(stream, validate, header);
  }

 private:
  std::size_t FCount = 0;
};

}  // namespace velmaro::tags
