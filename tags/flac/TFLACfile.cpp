#include "tags/flac/TFLACfile.h"

#include "platform/Text.h"
#include "tags/common/TBufferedStream.h"
#include "tags/flac/FlacReadError.h"

namespace velmaro::tags {

void TFLACfile::Reset() { *this = TFLACfile(); }

bool TFLACfile::ReadFromFile(std::u16string_view fileName) {
  Reset();
  TFileStream file(fileName);
  if (!file.IsOpen()) throw EFlacReadError("Cannot open file \"" + platform::Utf16ToUtf8(fileName) + "\"");
  const bool valid = ReadFromStream(file);
  FFileName = fileName;
  return valid;
}

bool TFLACfile::ReadFromStream(TStream& stream) {
  Reset();
  // The walk reads a 4-byte header per block; the read-ahead buffer turns
  // them into a few reads.
  TBufferedStream reader(stream);
  return Read(reader);
}

bool TFLACfile::Read(TStream& stream) {
  FFileLength = stream.Size();
  FHeader = ReadFlacHeader(stream);
  if (FHeader.HasMarker()) {
    FChannels = FHeader.Channels();
    FSampleRate = FHeader.SampleRate();
    FBitsPerSample = FHeader.BitsPerSample();
    FSamples = FHeader.Samples();

    // Every block moves the walk on by its header and a body of at least
    // one byte; a header that cannot be read whole raises.
    TTagBudget budget;
    for (std::int64_t count = 1; !FHeader.FirstBlockIsLast(); ++count) {
      // Countless tiny blocks: not a stream we can vouch for either.
      if (count > static_cast<std::int64_t>(MaxWalkedUnits)) {
        FSamples = 0;
        break;
      }
      const TFlacBlockHeader block = ReadFlacBlockHeader(stream);
      if (block.Length == 0) break;
      if (block.Type == FlacBlockVorbisComment) {
        FVCOffset = stream.Position();
        FTagSize = block.Length;
        FVorbisIndex = static_cast<int>(count);
        stream.Skip(block.Length);
      } else if (block.Type == FlacBlockPadding && FPaddingIndex == 0) {
        FPadding = static_cast<int>(block.Length);
        FPaddingLast = block.Last;
        FPaddingIndex = static_cast<int>(count);
        stream.Skip(block.Length);
      } else if (block.Type <= FlacBlockPicture) {
        if (block.Type == FlacBlockPadding) FPaddingFragments = true;
        if (!budget.TakeItem()) {
          SkipFlacBlockBody(stream, block.Length);
        } else {
          TMetaData& kept = aMetaBlockOther.emplace_back();
          kept.MetaDataBlockHeader = block.Bytes;
          kept.BlockType = block.Type;
          kept.Data = ReadFlacBlockBody(stream, block.Length, budget);
        }
      } else {
        // A reserved or invalid block type: not a stream we can vouch for.
        FSamples = 0;
        break;
      }
      if (block.Last) break;
    }
  }

  if (!GetValid()) return false;
  FAudioOffset = stream.Position();
  FBitrate = FlacKbitPerSecond(FFileLength - FAudioOffset, GetDuration());
  return true;
}

bool TFLACfile::GetValid() const {
  return FHeader.HasMarker() && FChannels > 0 && FSampleRate > 0 && FBitsPerSample > 0 && FSamples > 0;
}

double TFLACfile::GetDuration() const {
  return GetValid() && FSampleRate > 0 ? static_cast<double>(FSamples) / FSampleRate : 0.0;
}

std::u16string TFLACfile::GetChannelMode() const { return FlacChannelMode(GetValid(), FChannels); }

}  // namespace velmaro::tags
