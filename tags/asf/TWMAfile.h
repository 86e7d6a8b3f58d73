// Stream properties of a Windows Media Audio file, read from the objects
// of its ASF header: channels, sample rate, bit rate and an estimate of
// the play time.
//
// One object per file: create, ReadFromFile, ask Valid, read the values,
// free. The file is only read, and only its header objects: the reader
// jumps from object to object by their sizes and never reads the data
// packets.
#pragma once

#include <cstdint>
#include <string_view>

#include "tags/common/TStream.h"

namespace velmaro::tags {

// What the header objects said, whether or not it makes a valid track.
struct TWMAFileData {
  std::int64_t FileSize = 0;
  std::uint32_t MaxBitRate = 0;  // File Properties: Maximum Bitrate, bit/s
  std::uint16_t Channels = 0;    // Stream Properties (audio): channel count
  std::uint32_t SampleRate = 0;  // samples per second
  std::uint32_t ByteRate = 0;    // average bytes per second
};

class TWMAfile {
 public:
  TWMAfile() = default;

  // Reads the header. False only when the header could not be read (the
  // file cannot be opened, or the header ends early); a file that is not
  // ASF at all gives true with Valid false.
  bool ReadFromFile(std::u16string_view fileName);
  // The same from the start of any stream (tests, fuzzers, memory).
  bool ReadFromStream(TStream& stream);

  // The header describes a mono or stereo track: 0 < MaxBitRate < 320000,
  // 8000 <= SampleRate <= 96000, 0 < ByteRate < 40000. The values below are
  // 0 unless the track is valid.
  bool Valid() const { return FValid; }
  std::int64_t FileSize() const { return FFileSize; }
  // The channel count, 1 or 2.
  std::uint8_t ChannelModeID() const { return FChannelModeID; }
  std::int32_t SampleRate() const { return FSampleRate; }
  // An estimate from the whole file size and the maximum bit rate (the
  // header's play duration field is not used), in seconds.
  double Duration() const { return FDuration; }
  // The average bit rate in kbit/s (truncated).
  std::int32_t BitRate() const { return FBitRate; }

  const TWMAFileData& FileData() const { return FFileData; }

 private:
  void Clear();
  bool ReadHeader(TStream& stream);

  TWMAFileData FFileData;
  bool FValid = false;
  std::int64_t FFileSize = 0;
  std::uint8_t FChannelModeID = 0;
  std::int32_t FSampleRate = 0;
  double FDuration = 0;
  std::int32_t FBitRate = 0;
};

}  // namespace velmaro::tags
