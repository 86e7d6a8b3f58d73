#include "tags/common/TagLocation.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace velmaro::tags {

namespace {

constexpr std::int64_t MaxOffset = INT64_MAX;

// from + by, saturating: a hostile 64-bit size lands on the end of the
// stream through the seek's clamping instead of wrapping around.
std::int64_t Advance(std::int64_t from, std::uint64_t by) {
  if (from < 0) from = 0;
  if (by > static_cast<std::uint64_t>(MaxOffset - from)) return MaxOffset;
  return from + static_cast<std::int64_t>(by);
}

std::string ReadChunkID(TStream& stream) {
  std::string id(4, '\0');
  stream.ReadExact(id.data(), id.size());
  return id;
}

bool MagicAt(TStream& stream, std::int64_t position, std::string_view magic) {
  return stream.SeekTo(position) == position && stream.ReadMagic(magic);
}

// The tag counts only when its header really starts where the container
// points; the stream is left on that header.
TID3v2Location TagAt(TStream& stream, std::int64_t position, TSourceFileType container) {
  const bool found = MagicAt(stream, position, "ID3");
  stream.SeekTo(position);
  return {found, container};
}

// Moves to the chunk after one of `size` data bytes starting at dataStart.
// RIFF and IFF chunks of odd size are followed by a zero pad byte, which
// some writers leave out: a zero byte where the next chunk ID should start
// can only be that pad (chunk IDs are printable), so it is stepped over
// when present and not assumed when absent.
void SkipChunk(TStream& stream, std::int64_t dataStart, std::uint64_t size) {
  const std::int64_t next = Advance(dataStart, size);
  if (stream.SeekTo(next) != next || (size & 1) == 0 || stream.Remaining() <= 0) return;
  if (stream.ReadU8() != 0) stream.SeekTo(next);
}

// RIFF WAVE and RF64 WAVE: little-endian chunk sizes.
TID3v2Location ProbeWave(TStream& stream, std::int64_t start, bool rf64) {
  if (!MagicAt(stream, start + 8, "WAVE")) return {};
  const TSourceFileType container = rf64 ? TSourceFileType::sftRF64 : TSourceFileType::sftWAVE;
  std::uint64_t dataSize64 = 0;  // from the ds64 chunk of an RF64 file
  while (stream.Remaining() >= 8) {
    const std::string id = ReadChunkID(stream);
    const std::uint32_t size = stream.ReadLE32();
    const std::int64_t dataStart = stream.Position();
    if ((id == "id3 " || id == "ID32") && size != 0) return TagAt(stream, dataStart, container);
    if (rf64 && id == "ds64") {
      // The 64-bit RIFF size comes first, then the 64-bit data size.
      if (size >= 16) {
        stream.Skip(8);
        dataSize64 = stream.ReadLE64();
      }
      SkipChunk(stream, dataStart, size);
    } else if (rf64 && id == "data" && size == 0xFFFFFFFFu) {
      SkipChunk(stream, dataStart, dataSize64);
    } else {
      SkipChunk(stream, dataStart, size);
    }
  }
  return {false, container};
}

// AIFF and AIFC: big-endian chunk sizes.
TID3v2Location ProbeAiff(TStream& stream, std::int64_t start) {
  stream.SeekTo(start + 8);
  const std::string form = ReadChunkID(stream);
  if (form != "AIFF" && form != "AIFC") return {};
  while (stream.Remaining() >= 8) {
    const std::string id = ReadChunkID(stream);
    const std::uint32_t size = stream.ReadBE32();
    const std::int64_t dataStart = stream.Position();
    if (id == "ID3 " && size != 0) return TagAt(stream, dataStart, TSourceFileType::sftAIFF);
    SkipChunk(stream, dataStart, size);
  }
  return {false, TSourceFileType::sftAIFF};
}

// DSF: the file header holds the offset of the metadata (the ID3v2 tag).
TID3v2Location ProbeDsf(TStream& stream, std::int64_t start) {
  stream.SeekTo(start + 20);
  const std::uint64_t metadataOffset = stream.ReadLE64();
  const std::int64_t position = Advance(start, metadataOffset);
  if (metadataOffset == 0 || position >= stream.Size()) return {false, TSourceFileType::sftDSF};
  return TagAt(stream, position, TSourceFileType::sftDSF);
}

// DFF (DSDIFF): 64-bit big-endian chunk sizes, chunks padded to even sizes.
TID3v2Location ProbeDff(TStream& stream, std::int64_t start) {
  stream.SeekTo(start + 4);
  const std::uint64_t formSize = stream.ReadBE64();
  const std::int64_t walkEnd = Advance(start + 12, formSize);
  stream.SeekTo(start + 16);
  while (stream.Position() < walkEnd && stream.Remaining() >= 12) {
    const std::string id = ReadChunkID(stream);
    const std::uint64_t size = stream.ReadBE64();
    const std::int64_t dataStart = stream.Position();
    if (id == "ID3 ") return TagAt(stream, dataStart, TSourceFileType::sftDFF);
    const std::int64_t next = Advance(Advance(dataStart, size), size & 1);
    if (stream.SeekTo(next) != next) break;
  }
  return {false, TSourceFileType::sftDFF};
}

// The first "ID3" starting within length bytes from start.
TID3v2Location SearchTag(TStream& stream, std::int64_t start, std::uint32_t length) {
  stream.SeekTo(start);
  const std::vector<std::uint8_t> window = stream.ReadBytes(static_cast<std::size_t>(length) + 2);
  static constexpr std::uint8_t magic[] = {'I', 'D', '3'};
  const auto hit = std::search(window.begin(), window.end(), std::begin(magic), std::end(magic));
  const std::int64_t offset = hit - window.begin();
  if (hit == window.end() || offset >= static_cast<std::int64_t>(length)) return {};
  const std::int64_t position = start + offset;
  stream.SeekTo(position);
  return {true, TSourceFileType::sftUnknown};
}

}  // namespace

TID3v2Location LocateID3v2Tag(TStream& stream, std::uint32_t searchLength) {
  const std::int64_t start = stream.Position();
  if (MagicAt(stream, start, "ID3")) {
    stream.SeekTo(start);
    return {true, TSourceFileType::sftUnknown};
  }
  if (MagicAt(stream, start, "RIFF")) return ProbeWave(stream, start, false);
  if (MagicAt(stream, start, "RF64")) return ProbeWave(stream, start, true);
  if (MagicAt(stream, start, "FORM")) return ProbeAiff(stream, start);
  if (MagicAt(stream, start, "DSD ")) return ProbeDsf(stream, start);
  if (MagicAt(stream, start, "FRM8") && MagicAt(stream, start + 12, "DSD ")) return ProbeDff(stream, start);
  if (searchLength != 0) return SearchTag(stream, start, searchLength);
  return {};
}

}  // namespace velmaro::tags
