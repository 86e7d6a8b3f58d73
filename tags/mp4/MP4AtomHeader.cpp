#include "tags/mp4/MP4AtomHeader.h"

#include <algorithm>

#include "platform/Text.h"

namespace velmaro::tags {

bool ReadMP4AtomHeader(TStream& stream, bool validate, TMP4AtomHeader& header) {
  const std::int64_t start = stream.Position();
  const std::int64_t streamSize = stream.Size();
  if (start >= streamSize) return false;

  TMP4AtomHeader read;
  read.Start = start;
  read.Size = stream.ReadBE32();
  stream.ReadExact(read.Name.data(), read.Name.size());
  if (read.Size == 1) {
    read.Size = stream.ReadBE64();
    read.HeaderLength = 16;
  }
  header = read;

  // Counted from the atom's start, so that a header cut off by the end of
  // the stream cannot pass.
  if (validate && (!read.CoversHeader() || read.Size > static_cast<std::uint64_t>(streamSize - start))) {
    throw EMP4Error("Corrupted MP4 file. Atom name: " + platform::Utf16ToUtf8(AtomNameText(read.Name)));
  }
  return true;
}

std::int64_t MP4AtomEnd(const TMP4AtomHeader& header, std::int64_t streamSize) {
  const std::uint64_t room = header.Start < streamSize ? static_cast<std::uint64_t>(streamSize - header.Start) : 0;
  return header.Size >= room ? streamSize : header.Start + static_cast<std::int64_t>(header.Size);
}

void SkipMP4Atom(TStream& stream, const TMP4AtomHeader& header) {
  const std::int64_t streamSize = stream.Size();
  const std::uint64_t room = header.Start < streamSize ? static_cast<std::uint64_t>(streamSize - header.Start) : 0;
  const std::uint64_t step = std::max<std::uint64_t>(header.Size, header.HeaderLength);
  stream.SeekTo(step >= room ? streamSize : header.Start + static_cast<std::int64_t>(step));
}

}  // namespace velmaro::tags
