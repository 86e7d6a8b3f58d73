#include "tags/id3v2/ID3v2TagBody.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "tags/common/TagLimits.h"

namespace velmaro::tags {

std::uint32_t SynchsafeValue(std::uint32_t stored) {
  return (stored & 0x7F) | (stored >> 8 & 0x7F) << 7 | (stored >> 16 & 0x7F) << 14 | (stored >> 24 & 0x7F) << 21;
}

namespace {

bool IsFrameIDChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Bytes of the tag left from the stream's position, never below 0.
std::int64_t LeftInTag(const TStream& stream, std::int64_t end) {
  return std::max<std::int64_t>(0, end - stream.Position());
}

// True when every byte from the position up to end (or the end of the
// data) is zero: the padding of a tag.
bool OnlyZerosUntil(TStream& stream, std::int64_t end) {
  std::array<std::uint8_t, 4096> chunk;
  std::int64_t left = LeftInTag(stream, end);
  while (left > 0) {
    const std::size_t got = stream.Read(chunk.data(), static_cast<std::size_t>(std::min<std::int64_t>(left, chunk.size())));
    if (got == 0) break;
    if (std::any_of(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got), [](std::uint8_t b) { return b != 0; }))
      return false;
    left -= static_cast<std::int64_t>(got);
  }
  return true;
}

void ReadExtendedHeader3(TStream& stream, const TID3v2BodyLayout& layout, TID3v2ExtendedHeader3& header,
                         TTagBudget& budget) {
  header.Size = SynchsafeValue(stream.ReadBE32());
  header.Flags = stream.ReadBE16();
  header.CRCPresent = (header.Flags & 0x8000) != 0;
  const std::int64_t dataSize = std::min<std::int64_t>(static_cast<std::int64_t>(header.Size) - 2, LeftInTag(stream, layout.End));
  if (dataSize > 0 && budget.TakeBytes(static_cast<std::uint64_t>(dataSize)))
    header.Data = stream.ReadBytes(static_cast<std::size_t>(dataSize));
  else if (dataSize > 0)
    stream.Skip(dataSize);
  if (layout.Unsynchronised) header.Data = DecodeUnsynchronisation(header.Data);
}

void ReadExtendedHeader4(TStream& stream, TID3v2ExtendedHeader4& header) {
  header.Size = SynchsafeValue(stream.ReadBE32());
  header.FlagBytes = stream.ReadU8();
  if (!stream.ReadExact(&header.Flags, 1)) return;
  header.TagIsAnUpdate = (header.Flags & 0x40) != 0;
  header.CRCPresent = (header.Flags & 0x20) != 0;
  header.TagRestrictions = (header.Flags & 0x10) != 0;
  for (const bool present : {header.TagIsAnUpdate, header.CRCPresent, header.TagRestrictions}) {
    if (!present) continue;
    std::uint8_t length = 0;
    if (!stream.ReadExact(&length, 1)) return;
    const std::vector<std::uint8_t> data = stream.ReadBytes(length);
    header.ExtendedFlagsData.insert(header.ExtendedFlagsData.end(), data.begin(), data.end());
    if (data.size() < length) return;
  }
}

void ReadExtendedHeader(TStream& stream, const TID3v2BodyLayout& layout, TID3v2TagBody& body, TTagBudget& budget) {
  // Some writers set the flag without writing the header: a frame ID
  // standing where the header should be means there is none.
  const std::int64_t start = stream.Position();
  std::array<char, 4> peek{};
  stream.ReadExact(peek.data(), peek.size());
  stream.SeekTo(start);
  if (std::all_of(peek.begin(), peek.end(), IsFrameIDChar)) {
    body.ExtendedHeader = false;
    return;
  }
  if (layout.MajorVersion == 3)
    ReadExtendedHeader3(stream, layout, body.ExtendedHeader3, budget);
  else
    ReadExtendedHeader4(stream, body.ExtendedHeader4);
}

enum class TFrameEnd { Next, DataEnded, NotAFrame, TooLarge };

// Where one walk over the frames stands: the layout, what the walk keeps
// so far, and the frame in hand.
struct TWalk {
  TStream& Stream;
  const TID3v2BodyLayout& Layout;
  TTagBudget Budget;
  bool SizeAmbiguous = false;  // the last frame's size reads differently as a plain number
};

// The body bytes after the header fields; as many as the data holds, and
// none when the budget does not keep them (the frame stays, its Size
// says how large it was). Fields that the flags announce but the declared
// size does not hold are not part of this frame: the next frame starts
// where the size says.
void ReadFrameBody(TWalk& walk, TID3v2Frame& frame, std::int64_t size) {
  frame.Size = std::max<std::int64_t>(0, size);
  if (size > 0 && walk.Budget.TakeBytes(static_cast<std::uint64_t>(size)))
    frame.Stream = walk.Stream.ReadBytes(static_cast<std::size_t>(size));
  else if (size != 0)
    walk.Stream.Skip(size);
}

TFrameEnd ReadFrame22(TWalk& walk, TID3v2Frame& frame, std::string_view id) {
  TStream& stream = walk.Stream;
  const TID3v2BodyLayout& layout = walk.Layout;
  const std::uint32_t size = stream.ReadBE24();
  frame.ID = ConvertID3v22FrameID(id);
  const bool picture = id == "PIC";
  if (size > layout.TagSize) {
    frame.Size = size;
    return TFrameEnd::TooLarge;
  }
  if (size != 0) {
    frame.Unsynchronised = layout.Unsynchronised;
    ReadFrameBody(walk, frame, size);
  }
  if (picture && !frame.Stream.empty()) {
    // The picture's fields must be found in the decoded bytes.
    frame.RemoveUnsynchronisation();
    frame.Stream = ConvertID3v22Picture(frame.Stream, layout.AnsiText);
    frame.Size = static_cast<std::int64_t>(frame.Stream.size());
  }
  return TFrameEnd::Next;
}

TFrameEnd ReadFrame23(TWalk& walk, TID3v2Frame& frame) {
  TStream& stream = walk.Stream;
  const TID3v2BodyLayout& layout = walk.Layout;
  const std::uint32_t size = stream.ReadBE32();
  frame.Flags = stream.ReadBE16();
  if (size > layout.TagSize) {
    frame.Size = size;
    return TFrameEnd::TooLarge;
  }
  if (size == 0) return TFrameEnd::Next;
  frame.TagAlterPreservation = (frame.Flags & 0x8000) != 0;
  frame.FileAlterPreservation = (frame.Flags & 0x4000) != 0;
  frame.ReadOnly = (frame.Flags & 0x2000) != 0;
  frame.Compressed = (frame.Flags & 0x0080) != 0;
  frame.Encrypted = (frame.Flags & 0x0040) != 0;
  frame.GroupingIdentity = (frame.Flags & 0x0020) != 0;
  frame.Unsynchronised = layout.Unsynchronised;
  std::int64_t left = size;
  if (frame.Compressed) {
    frame.DataLengthIndicatorValue = SynchsafeValue(stream.ReadBE32());
    frame.DataLengthIndicator = true;
    left -= 4;
  }
  if (frame.Encrypted) {
    frame.EncryptionMethod = stream.ReadU8();
    left -= 1;
  }
  if (frame.GroupingIdentity) {
    frame.GroupIdentifier = stream.ReadU8();
    left -= 1;
  }
  ReadFrameBody(walk, frame, left);
  return TFrameEnd::Next;
}

TFrameEnd ReadFrame24(TWalk& walk, TID3v2Frame& frame) {
  TStream& stream = walk.Stream;
  const TID3v2BodyLayout& layout = walk.Layout;
  const std::uint32_t stored = stream.ReadBE32();
  walk.SizeAmbiguous = SynchsafeValue(stored) != stored;
  const std::uint32_t size = layout.PlainFrameSizes ? stored : SynchsafeValue(stored);
  frame.Flags = stream.ReadBE16();
  if (size > layout.TagSize) {
    frame.Size = size;
    return TFrameEnd::TooLarge;
  }
  if (size == 0) return TFrameEnd::Next;
  frame.TagAlterPreservation = (frame.Flags & 0x4000) != 0;
  frame.FileAlterPreservation = (frame.Flags & 0x2000) != 0;
  frame.ReadOnly = (frame.Flags & 0x1000) != 0;
  frame.GroupingIdentity = (frame.Flags & 0x0040) != 0;
  frame.Compressed = (frame.Flags & 0x0008) != 0;
  frame.Encrypted = (frame.Flags & 0x0004) != 0;
  frame.Unsynchronised = (frame.Flags & 0x0002) != 0;
  frame.DataLengthIndicator = (frame.Flags & 0x0001) != 0;
  std::int64_t left = size;
  if (frame.GroupingIdentity) {
    frame.GroupIdentifier = stream.ReadU8();
    left -= 1;
  }
  if (frame.Encrypted) {
    frame.EncryptionMethod = stream.ReadU8();
    left -= 1;
  }
  if (frame.DataLengthIndicator) {
    frame.DataLengthIndicatorValue = SynchsafeValue(stream.ReadBE32());
    left -= 4;
  }
  ReadFrameBody(walk, frame, left);
  return TFrameEnd::Next;
}

TFrameEnd ReadFrame(TWalk& walk, TID3v2TagBody& body) {
  std::array<char, 4> id{};
  const std::size_t idLength = walk.Layout.MajorVersion == 2 ? 3 : 4;
  const bool complete = walk.Stream.ReadExact(id.data(), idLength);
  if (!IsFrameIDChar(id[0]) || !IsFrameIDChar(id[1]) || !IsFrameIDChar(id[2]))
    return complete ? TFrameEnd::NotAFrame : TFrameEnd::DataEnded;

  // The frame stays in the list whatever its header says next.
  TID3v2Frame& frame = body.Frames.emplace_back();
  frame.ID = id;
  walk.SizeAmbiguous = false;
  switch (walk.Layout.MajorVersion) {
    case 2: return ReadFrame22(walk, frame, std::string_view(id.data(), 3));
    case 3: return ReadFrame23(walk, frame);
    default: return ReadFrame24(walk, frame);
  }
}

}  // namespace

TID3v2TagBody ReadID3v2TagBody(TStream& stream, const TID3v2BodyLayout& layout) {
  TID3v2TagBody body;
  TWalk walk{stream, layout, {}};
  body.ExtendedHeader = layout.ExtendedHeader && layout.MajorVersion >= 3;
  if (body.ExtendedHeader) ReadExtendedHeader(stream, layout, body, walk.Budget);

  while (stream.Position() < layout.End) {
    // Real tags hold tens of frames; a tag of countless empty frames would
    // otherwise cost many times its size in memory.
    if (body.Frames.size() >= MaxID3v2Frames) {
      body.Error = true;
      break;
    }
    const std::int64_t frameStart = stream.Position();
    const TFrameEnd end = ReadFrame(walk, body);
    body.AmbiguousSizes = body.AmbiguousSizes || walk.SizeAmbiguous;
    if (end == TFrameEnd::Next) continue;
    if (end == TFrameEnd::TooLarge) {
      body.Error = true;
      body.LinedUp = false;
    } else if (end == TFrameEnd::NotAFrame) {
      stream.SeekTo(frameStart);
      body.EndedAtPadding = stream.ReadU8() == 0;
      stream.SeekTo(frameStart);
      body.LinedUp = OnlyZerosUntil(stream, layout.End);
    }
    break;
  }
  return body;
}

}  // namespace velmaro::tags
