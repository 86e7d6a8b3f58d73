#include "tags/ogg/TOpusTag.h"

#include <algorithm>
#include <array>
#include <exception>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tags/common/TBufferedStream.h"
#include "tags/common/TByteView.h"
#include "tags/common/TagLimits.h"
#include "tags/ogg/TOGGStream.h"
#include "tags/ogg/TOggHeader.h"

namespace velmaro::tags {

namespace {

// What is read of a comment too long to keep: enough for any real name.
constexpr std::uint32_t NameHeadBytes = 256;

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

std::u16string Utf8Text(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  return platform::Utf8ToUtf16(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)));
}

}  // namespace

// A packet assembled from pages as far as its reader needs it.
class TOpusTag::TPacket {
 public:
  TPacket(TOGGStream& pages, std::vector<std::uint8_t> bytes, std::size_t position)
      : FPages(pages), FBytes(std::move(bytes)), FPos(position) {}

  // Makes sure count bytes follow the position, appending the next pages'
  // data as needed. False when the pages run out first; a count that the
  // rest of the stream cannot hold fails at once, before anything is read.
  bool Ensure(std::uint64_t count) {
    if (count <= Available()) return true;
    if (count > Available() + static_cast<std::uint64_t>(std::max<std::int64_t>(0, FPages.BytesLeft())))
      return false;
    while (Available() < count) {
      Compact();
      if (!FPages.GetNextPageData(FBytes)) return false;
    }
    return true;
  }
  // Call only after Ensure.
  std::uint32_t LE32() {
    const TByteView view(FBytes);
    const std::uint32_t value = static_cast<std::uint32_t>(view.At(FPos) | view.At(FPos + 1) << 8 |
                                                           view.At(FPos + 2) << 16) |
                                static_cast<std::uint32_t>(view.At(FPos + 3)) << 24;
    FPos += 4;
    return value;
  }
  std::vector<std::uint8_t> Take(std::size_t count) {
    const auto from = FBytes.begin() + static_cast<std::ptrdiff_t>(FPos);
    std::vector<std::uint8_t> bytes(from, from + static_cast<std::ptrdiff_t>(count));
    FPos += count;
    return bytes;
  }
  // Moves past count bytes without keeping them: the pages they span are
  // read one at a time and dropped. False when the pages run out first.
  bool Skip(std::uint64_t count) {
    if (count > Available() + static_cast<std::uint64_t>(std::max<std::int64_t>(0, FPages.BytesLeft())))
      return false;
    while (count > Available()) {
      count -= Available();
      FBytes.clear();
      FPos = 0;
      if (!FPages.GetNextPageData(FBytes)) return false;
    }
    FPos += static_cast<std::size_t>(count);
    return true;
  }

 private:
  std::uint64_t Available() const { return FBytes.size() - FPos; }
  // Drops the bytes already read once they make up most of the buffer, so
  // that a long header does not stay in memory page after page.
  void Compact() {
    if (FPos < 65536 || FPos < FBytes.size() / 2) return;
    FBytes.erase(FBytes.begin(), FBytes.begin() + static_cast<std::ptrdiff_t>(FPos));
    FPos = 0;
  }

  TOGGStream& FPages;
  std::vector<std::uint8_t> FBytes;
  std::size_t FPos;
};

void TOpusTag::Clear() {
  FLoaded = false;
  FFormat = TOggFormat::ofUnknown;
  FVendorString.clear();
  FCommentCount = 0;
  FFirstOGGPage.clear();
  FFrames.clear();
}

int TOpusTag::LoadFromFile(std::u16string_view fileName) {
  Clear();
  FFileName = fileName;
  if (!platform::FileExists(fileName)) return ResultFileError;
  TFileStream file(fileName);
  if (!file.IsOpen()) return ResultFileError;
  return LoadFromStream(file);
}

int TOpusTag::LoadFromStream(TStream& stream) {
  Clear();
  FFileSize = stream.Size();
  const std::int64_t position = stream.Position();
  bool loaded = false;
  try {
    stream.SeekTo(0);
    TBufferedStream in(stream);
    loaded = GetInfo(in);
  } catch (const std::exception&) {
    loaded = false;
  }
  stream.SeekTo(position);
  if (!loaded) {
    Clear();
    return ResultNoTag;
  }
  FLoaded = true;
  return ResultOk;
}

bool TOpusTag::GetInfo(TStream& stream) {
  stream.SeekTo(ID3v2PrefixSize(stream));
  TOGGStream pages(stream);
  if (!pages.FirstOGGHeader().HasOggID()) return false;
  if (!pages.GetNextPageData(FFirstOGGPage)) return false;
  std::vector<std::uint8_t> second;
  if (!pages.GetNextPageData(second)) return false;

  const TByteView start(second);
  if (start.At(0) == 0x03 && start.Matches(1, "vorbis")) {
    FFormat = TOggFormat::ofVorbis;
    TPacket packet(pages, std::move(second), 7);
    return ReadTag(packet);
  }
  if (start.Matches(0, "OpusTags")) {
    FFormat = TOggFormat::ofOpus;
    TPacket packet(pages, std::move(second), 8);
    return ReadTag(packet);
  }
  return false;
}

bool TOpusTag::ReadTag(TPacket& packet) {
  TTagBudget budget;
  // The vendor string and the count may also continue on the next page.
  if (!packet.Ensure(4)) return false;
  const std::int32_t vendorLength = static_cast<std::int32_t>(packet.LE32());
  if (vendorLength < 0) return false;
  if (budget.TakeBytes(static_cast<std::uint32_t>(vendorLength))) {
    if (!packet.Ensure(static_cast<std::uint64_t>(vendorLength))) return false;
    const std::vector<std::uint8_t> vendor = packet.Take(static_cast<std::size_t>(vendorLength));
    FVendorString = Utf8Text(vendor, vendor.size());
  } else if (!packet.Skip(static_cast<std::uint64_t>(vendorLength))) {
    return false;
  }

  if (!packet.Ensure(4)) return false;
  FCommentCount = static_cast<std::int32_t>(packet.LE32());
  // Comments past the item limit are not read: the header ends there.
  for (std::int32_t i = 0; i < FCommentCount && budget.TakeItem(); ++i) {
    if (!packet.Ensure(4)) return false;
    const std::uint32_t length = packet.LE32();
    if (budget.TakeBytes(length)) {
      if (!packet.Ensure(length)) return false;
      SetTagItem(packet.Take(length), true);
      continue;
    }
    // Too long to keep (a picture, as a rule): the name is kept, so that
    // the comment still counts as present, and the value is skipped.
    const std::uint32_t head = std::min(length, NameHeadBytes);
    if (!packet.Ensure(head)) return false;
    std::vector<std::uint8_t> start = packet.Take(head);
    if (!packet.Skip(length - head)) return false;
    if (budget.TakeBytes(head)) SetTagItem(std::move(start), false);
  }
  return true;
}

void TOpusTag::SetTagItem(std::vector<std::uint8_t> comment, bool whole) {
  // The name ends at the first "=" byte; in UTF-8 that byte is always the
  // character itself, so the value starts right after it whatever
  // characters the name holds.
  const auto equals = std::find(comment.begin(), comment.end(), std::uint8_t{'='});
  if (equals == comment.end()) return;
  const std::size_t nameBytes = static_cast<std::size_t>(equals - comment.begin());
  TOpusTagFrame& frame = AddFrame(AsciiUpper(Utf8Text(comment, nameBytes)));
  if (whole) {
    comment.erase(comment.begin(), comment.begin() + static_cast<std::ptrdiff_t>(nameBytes + 1));
    frame.Stream = std::move(comment);
  }
  frame.Format = frame.Name == u"METADATA_BLOCK_PICTURE" ? TOpusTagFrameFormat::otffCoverArt
                                                         : TOpusTagFrameFormat::otffText;
}

TOpusTagFrame& TOpusTag::AddFrame(std::u16string_view name) {
  TOpusTagFrame& frame = FFrames.emplace_back();
  frame.Name = AsciiUpper(name);
  frame.Format = TOpusTagFrameFormat::otffText;
  frame.Index = static_cast<int>(FFrames.size()) - 1;
  return frame;
}

int TOpusTag::FrameExists(std::u16string_view name) const {
  const std::u16string wanted = AsciiUpper(name);
  for (std::size_t i = 0; i < FFrames.size(); ++i)
    if (FFrames[i].Name == wanted) return static_cast<int>(i);
  return -1;
}

std::u16string TOpusTag::ReadFrameByNameAsText(std::u16string_view name) const {
  const int index = FrameExists(name);
  return index < 0 ? std::u16string() : FFrames[static_cast<std::size_t>(index)].GetAsText();
}

}  // namespace velmaro::tags
