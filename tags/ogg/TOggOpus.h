// Stream properties of an Ogg Opus file: the channel count and pre-skip
// from the OpusHead packet, the play time from the granule position of the
// last page less the pre-skip (Opus granules count samples at 48 kHz,
// whatever rate the input had), and the average bit rate from the play
// time and the file size.
//
// One object per file: create, ReadFromFile, ask Valid, read the values,
// free. The file is only read: its first page and at most its last
// 12,060 bytes, which are searched for the last page.
#pragma once

#include <cstdint>
#include <string_view>

#include "tags/common/TStream.h"

namespace velmaro::tags {

class TOggOpus {
 public:
  // Opus always decodes at this rate.
  static constexpr std::int32_t OutputSampleRate = 48000;

  TOggOpus() = default;

  // True when the data (after an ID3v2 prefix) starts with an Ogg page
  // whose first packet is an OpusHead of version 0.x. A file that cannot
  // be opened gives false.
  bool ReadFromFile(std::u16string_view fileName);
  // The same from the start of any stream (tests, fuzzers, memory).
  bool ReadFromStream(TStream& stream);

  // 1 to 8 channels, more than 0.1 s and a bit rate.
  bool Valid() const;
  // (last granule position - pre-skip) / 48000; 0 when no page was found
  // near the end or its granule does not pass the pre-skip.
  double Duration() const;
  // The average bit rate in kbit/s over the file without its ID3v2 prefix,
  // rounded half to even; 0 without a duration. Kept whole: a short file
  // of a few megabytes comes to more than 16 bits of it.
  std::int64_t BitRate() const;

  std::int64_t FileSize() const { return FFileSize; }
  std::uint8_t ChannelCount() const { return FChannelCount; }
  std::uint16_t PreSkip() const { return FPreSkip; }
  // The rate the encoder was given; informative only.
  std::uint32_t InputSampleRate() const { return FInputSampleRate; }
  std::uint64_t Granule() const { return FGranule; }
  std::int64_t ID3v2Size() const { return FID3v2Size; }

 private:
  void Clear();
  bool Read(TStream& stream);

  std::int64_t FFileSize = 0;
  std::uint8_t FChannelCount = 0;
  std::uint16_t FPreSkip = 0;
  std::uint32_t FInputSampleRate = 0;
  std::uint64_t FGranule = 0;
  std::int64_t FID3v2Size = 0;
};

}  // namespace velmaro::tags
