#include "tags/asf/TWMAfile.h"

#include <algorithm>

#include "tags/asf/AsfGuid.h"
#include "tags/common/TBufferedStream.h"
#include "tags/common/TagLimits.h"

namespace velmaro::tags {

namespace {

// Offsets from the start of an object.
constexpr std::int64_t MaxBitRateOffset = 100;  // File Properties: Maximum Bitrate
constexpr std::int64_t FilePropertiesSize = 104;
constexpr std::int64_t StreamTypeOffset = 24;   // Stream Properties: stream type GUID
constexpr std::int64_t AudioFormatOffset = 80;  // WAVEFORMATEX: nChannels, nSamplesPerSec, nAvgBytesPerSec
constexpr std::int64_t AudioFormatEnd = AudioFormatOffset + 10;

}  // namespace

void TWMAfile::Clear() {
  FFileData = {};
  FValid = false;
  FFileSize = 0;
  FChannelModeID = 0;
  FSampleRate = 0;
  FDuration = 0;
  FBitRate = 0;
}

bool TWMAfile::ReadFromFile(std::u16string_view fileName) {
  Clear();
  TFileStream file(fileName);
  if (!file.IsOpen()) return false;
  return ReadFromStream(file);
}

bool TWMAfile::ReadFromStream(TStream& stream) {
  Clear();
  stream.SeekTo(0);
  TBufferedStream in(stream);
  if (!ReadHeader(in)) return false;

  const TWMAFileData& d = FFileData;
  if (d.MaxBitRate > 0 && d.MaxBitRate < 320000 && (d.Channels == 1 || d.Channels == 2) && d.SampleRate >= 8000 &&
      d.SampleRate <= 96000 && d.ByteRate > 0 && d.ByteRate < 40000) {
    FValid = true;
    FFileSize = d.FileSize;
    FChannelModeID = static_cast<std::uint8_t>(d.Channels);
    FSampleRate = static_cast<std::int32_t>(d.SampleRate);
    FDuration = static_cast<double>(d.FileSize) * 8 / d.MaxBitRate;
    FBitRate = static_cast<std::int32_t>(d.ByteRate * 8 / 1000);
  }
  return true;
}

// False when a read runs past the end of the data: the header is then
// truncated. True otherwise, whatever was found.
bool TWMAfile::ReadHeader(TStream& in) {
  FFileData.FileSize = in.Size();
  TAsfGuid guid{};
  if (!ReadAsfGuid(in, guid)) return false;
  if (guid != AsfHeaderObject) return true;
  in.Skip(8);  // the header's size: the walk follows the object count
  if (in.Remaining() < 4) return false;
  const std::uint32_t count = in.ReadLE32();
  in.Skip(2);

  std::int64_t start = in.Position();
  // Real headers hold a dozen objects; the walk ends at the limit.
  const std::uint32_t walked = static_cast<std::uint32_t>(std::min<std::size_t>(count, MaxWalkedUnits));
  for (std::uint32_t i = 0; i < walked; ++i) {
    in.SeekTo(start);
    if (in.Remaining() < AsfObjectHeaderSize) return false;
    ReadAsfGuid(in, guid);
    // Only the low 32 bits of the size count.
    const std::int64_t size = static_cast<std::uint32_t>(in.ReadLE64());
    // An object smaller than its own 24-byte header would lead the walk
    // back onto itself or into its own fields: the walk ends there.
    if (size < AsfObjectHeaderSize) break;

    // Fields are only read inside their object, never from its neighbour.
    if (guid == AsfFilePropertiesObject && size >= FilePropertiesSize) {
      in.SeekTo(start + MaxBitRateOffset);
      if (in.Remaining() < 4) return false;
      FFileData.MaxBitRate = in.ReadLE32();
    } else if (guid == AsfStreamPropertiesObject && size >= AudioFormatEnd) {
      // Only an audio stream describes the sound; a later one replaces an
      // earlier one.
      in.SeekTo(start + StreamTypeOffset);
      TAsfGuid streamType{};
      if (!ReadAsfGuid(in, streamType)) return false;
      if (streamType == AsfAudioMedia) {
        in.SeekTo(start + AudioFormatOffset);
        if (in.Remaining() < AudioFormatEnd - AudioFormatOffset) return false;
        FFileData.Channels = in.ReadLE16();
        FFileData.SampleRate = in.ReadLE32();
        FFileData.ByteRate = in.ReadLE32();
      }
    }
    start += size;
  }
  return true;
}

}  // namespace velmaro::tags
