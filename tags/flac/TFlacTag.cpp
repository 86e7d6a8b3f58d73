#include "tags/flac/TFlacTag.h"

#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "tags/common/TBufferedStream.h"

namespace velmaro::tags {

namespace {

constexpr int ResultUnset = 0xFFFF;

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

void TFlacTag::DeleteAllFrames() { FTags.clear(); }

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

  if (FHeader.FirstBlockIsLast()) {
    result = ResultStreamInfoOnly;
  } else {
    // Every block moves the walk on by at least its 4-byte header, and a
    // header that cannot be read whole raises: the walk ends.
    for (std::int64_t count = 1;; ++count) {
      const TFlacBlockHeader block = ReadFlacBlockHeader(stream);
      if (block.Length == 0) {
        FMetaBlocksSize += 4;
      } else if (block.Type == FlacBlockVorbisComment) {
        FVCOffset = stream.Position();
        FTagSize = block.Length;
        FVorbisIndex = static_cast<int>(count);
        // The comments are read within their block, and the walk goes on
        // at the block's end whatever the comments claim.
        TMemoryStream body(ReadFlacBlockBody(stream, block.Length));
        ReadVorbisComments(body);
      } else if (block.Type == FlacBlockPadding && FPaddingIndex == 0) {
        FPadding = static_cast<int>(block.Length);
        FPaddingLast = block.Last;
        FPaddingIndex = static_cast<int>(count);
        stream.Skip(block.Length);
      } else if (block.Type == FlacBlockPicture) {
        AddMetaDataCoverArt(ReadFlacBlockBody(stream, block.Length));
        FMetaBlocksSize += block.Length + 4;
      } else if (block.Type < FlacBlockPicture) {
        if (block.Type == FlacBlockPadding) FPaddingFragments = true;
        AddMetaDataOther(block.Bytes, ReadFlacBlockBody(stream, block.Length), block.Type);
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

// Little-endian lengths: vendor, count, then each comment "NAME=value".
// A length running past the block ends the list; the comments before it
// stay.
void TFlacTag::ReadVorbisComments(TStream& body) {
  const auto vendorLength = static_cast<std::int32_t>(body.ReadLE32());
  if (vendorLength > 0) {
    if (vendorLength > body.Remaining()) return;
    FVendorString = DecodeUtf8(body.ReadBytes(static_cast<std::size_t>(vendorLength)));
  }
  const auto count = static_cast<std::int32_t>(body.ReadLE32());
  FExists = count > 0;
  for (std::int32_t i = 0; i < count && body.Remaining() > 0; ++i) {
    const auto length = static_cast<std::int32_t>(body.ReadLE32());
    if (length <= 0) continue;
    if (length > body.Remaining()) return;
    const std::u16string text = DecodeUtf8(body.ReadBytes(static_cast<std::size_t>(length)));
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

TFlacTag::TMetaData& TFlacTag::AddMetaDataCoverArt(std::vector<std::uint8_t> body) {
  TMetaData& picture = FMetaBlocksCoverArts.emplace_back();
  const auto length = static_cast<std::uint32_t>(body.size());
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
