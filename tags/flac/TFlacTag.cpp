#include "tags/flac/TFlacTag.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tags/common/TBufferedStream.h"
#include "tags/flac/FlacReadError.h"

namespace velmaro::tags {

namespace {

constexpr int ResultUnset = 0xFFFF;
// What is kept of a picture block too large to keep whole: its fields
// (type, MIME type, description, dimensions) stand at its start.
constexpr std::uint32_t PictureHeadBytes = 4096;

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

std::u16string DecodeUtf8(const std::vector<std::uint8_t>& bytes) {
  return platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

void TFlacTag::Clear() { *this = TFlacTag(); }

int TFlacTag::LoadFromFile(std::u16string_view fileName, bool buffered) {
  Clear();
  if (!platform::FileExists(fileName)) return ResultFileError;
  TFileStream file(fileName);
  if (!file.IsOpen()) return ResultFileError;
  return LoadFromStream(file, buffered);
}

int TFlacTag::LoadFromStream(TStream& stream, bool buffered) {
  Clear();
  if (!buffered) return ReadFlacStream(stream);
  TBufferedStream reader(stream);
  return ReadFlacStream(reader);
}

int TFlacTag::ReadFlacStream(TStream& stream) {
  int result = ResultUnset;
  if (stream.Size() == 0) return ResultFileError;
  FFileSize = stream.Size();

  FHeader = ReadFlacHeader(stream);
  if (!FHeader.HasMarker()) return ResultNotFlac;
  FStreamType = TFlacStreamType::fstNativeFlac;
  FChannels = FHeader.Channels();
  FSampleRate = FHeader.SampleRate();
  FBitsPerSample = FHeader.BitsPerSample();
  FSamples = FHeader.Samples();

  // Comments and the other blocks are counted apart, so that countless
  // comments cannot hide a picture block.
  TTagBudget comments, blocks;
  if (FHeader.FirstBlockIsLast()) {
    result = ResultStreamInfoOnly;
  } else {
    // Every block moves the walk on by at least its 4-byte header, and a
    // header that cannot be read whole raises: the walk ends.
    for (std::int64_t count = 1;; ++count) {
      // Countless tiny blocks end the walk as a reserved type does.
      if (count > static_cast<std::int64_t>(MaxWalkedUnits)) {
        FSamples = 0;
        result = ResultSuccess;
        break;
      }
      const TFlacBlockHeader block = ReadFlacBlockHeader(stream);
      if (block.Length == 0) {
        FMetaBlocksSize += 4;
      } else if (block.Type == FlacBlockVorbisComment) {
        FVCOffset = stream.Position();
        FTagSize = block.Length;
        FVorbisIndex = static_cast<int>(count);
        // The comments are read within their block, and the walk goes on
        // at the block's end whatever the comments claim.
        if (block.Length > stream.Remaining()) throw EFlacReadError("Stream read error");
        const std::int64_t end = stream.Position() + block.Length;
        ReadVorbisComments(stream, end, comments);
        stream.SeekTo(end);
      } else if (block.Type == FlacBlockPadding && FPaddingIndex == 0) {
        FPadding = static_cast<int>(block.Length);
        FPaddingLast = block.Last;
        FPaddingIndex = static_cast<int>(count);
        stream.Skip(block.Length);
      } else if (block.Type <= FlacBlockPicture) {
        // Kept within the limits: a picture too large to keep keeps its
        // fields (they stand at the start of its body), and blocks past
        // the item limit are only walked over.
        if (block.Type == FlacBlockPadding) FPaddingFragments = true;
        if (!blocks.TakeItem())
          SkipFlacBlockBody(stream, block.Length);
        else if (block.Type == FlacBlockPicture)
          AddMetaDataCoverArt(ReadFlacBlockBody(stream, block.Length, blocks, PictureHeadBytes), block.Length);
        else
          AddMetaDataOther(block.Bytes, ReadFlacBlockBody(stream, block.Length, blocks), block.Type);
        FMetaBlocksSize += block.Length + 4;
      } else {
        // A reserved or invalid block type: the comments so far count, the
        // stream values do not.
        FSamples = 0;
        result = ResultSuccess;
        break;
      }
      // Also for an empty block: the block flagged last ends the metadata,
      // and what follows is audio.
      if (block.Last) {
        FLoaded = true;
        result = ResultSuccess;
        break;
      }
    }
  }

  if (GetValid()) {
    FAudioOffset = stream.Position();
    FAudioSize = FFileSize - FAudioOffset;
    FBitrate = FlacKbitPerSecond(FAudioSize, GetPlaytime());
  } else if (result == ResultUnset) {
    result = ResultNotFlac;
  }
  return result;
}

// Little-endian lengths: vendor, count, then each comment "NAME=value",
// all within the block that ends at end (bytes past it read as 0). A
// length running past the block ends the list; the comments before it
// stay. Comments past the item limit are not read, and a comment too long
// to keep is skipped whole (the pictures of a FLAC file are blocks of
// their own, not comments).
void TFlacTag::ReadVorbisComments(TStream& stream, std::int64_t end, TTagBudget& budget) {
  auto left = [&] { return end - stream.Position(); };
  auto le32 = [&] {
    std::array<std::uint8_t, 4> b{};
    stream.ReadExact(b.data(), static_cast<std::size_t>(std::clamp<std::int64_t>(left(), 0, 4)));
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
  };
  const std::int32_t vendorLength = le32();
  if (vendorLength > 0) {
    if (vendorLength > left()) return;
    if (budget.TakeBytes(static_cast<std::uint32_t>(vendorLength)))
      FVendorString = DecodeUtf8(stream.ReadBytes(static_cast<std::size_t>(vendorLength)));
    else
      stream.Skip(vendorLength);
  }
  const std::int32_t count = le32();
  FExists = count > 0;
  for (std::int32_t i = 0; i < count && left() > 0; ++i) {
    if (!budget.TakeItem()) return;
    const std::int32_t length = le32();
    if (length <= 0) continue;
    if (length > left()) return;
    if (!budget.TakeBytes(static_cast<std::uint32_t>(length))) {
      stream.Skip(length);
      continue;
    }
    const std::u16string text = DecodeUtf8(stream.ReadBytes(static_cast<std::size_t>(length)));
    const std::size_t equals = text.find(u'=');
    if (equals == std::u16string::npos) continue;
    TVorbisComment& comment = AddTag(std::u16string_view(text).substr(0, equals));
    const std::string value = platform::Utf16ToUtf8(std::u16string_view(text).substr(equals + 1));
    comment.Stream.assign(value.begin(), value.end());
    comment.Format = TVorbisCommentFormat::vcfText;
  }
}

TVorbisComment& TFlacTag::AddTag(std::u16string_view name) {
  TVorbisComment& comment = FTags.emplace_back();
  comment.Name = AsciiUpper(name);
  comment.Index = static_cast<int>(FTags.size()) - 1;
  return comment;
}

TFlacTag::TMetaData& TFlacTag::AddMetaDataCoverArt(std::vector<std::uint8_t> body, std::uint32_t length) {
  TMetaData& picture = FMetaBlocksCoverArts.emplace_back();
  picture.MetaDataBlockHeader = {FlacBlockPicture, static_cast<std::uint8_t>(length >> 16),
                                 static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
  picture.BlockType = FlacBlockPicture;
  picture.Data = std::move(body);
  picture.CoverArtInfo = ReadFlacPictureInfo(picture.Data);
  return picture;
}

TFlacTag::TMetaData& TFlacTag::AddMetaDataOther(const std::array<std::uint8_t, 4>& header,
                                                std::vector<std::uint8_t> body, int blockType) {
  TMetaData& other = aMetaBlockOther.emplace_back();
  other.MetaDataBlockHeader = header;
  other.BlockType = blockType;
  other.Data = std::move(body);
  return other;
}

std::u16string TFlacTag::ReadFrameByNameAsText(std::u16string_view name) const {
  const std::u16string wanted = AsciiUpper(name);
  for (const TVorbisComment& comment : FTags)
    if (AsciiUpper(comment.Name) == wanted) return comment.GetAsText();
  return {};
}

bool TFlacTag::GetCoverArtInfoPointer(int index, TFlacTagCoverArtInfo& info) const {
  info = {};
  if (index < 0 || static_cast<std::size_t>(index) >= FMetaBlocksCoverArts.size()) return false;
  info = ReadFlacPictureInfo(FMetaBlocksCoverArts[static_cast<std::size_t>(index)].Data);
  return true;
}

bool TFlacTag::GetCoverArtInfo(int index, TFlacTagCoverArtInfo& info, std::vector<std::uint8_t>* pictureBytes) const {
  if (!GetCoverArtInfoPointer(index, info)) return false;
  if (pictureBytes) pictureBytes->assign(info.PictureData.begin(), info.PictureData.end());
  info.PictureData = {};
  return true;
}

bool TFlacTag::GetValid() const {
  return FStreamType == TFlacStreamType::fstNativeFlac && FHeader.HasMarker() && FChannels > 0 && FSampleRate > 0 &&
         FBitsPerSample > 0 && FSamples > 0;
}

double TFlacTag::GetPlaytime() const {
  return GetValid() && FSampleRate > 0 ? static_cast<double>(FSamples) / FSampleRate : 0.0;
}

std::u16string TFlacTag::GetChannelMode() const { return FlacChannelMode(GetValid(), FChannels); }

}  // namespace velmaro::tags
