// Stream properties of an Ogg Vorbis file: channels, sample rate and
// nominal bit rate from the Vorbis identification header, the play time
// from the granule position of the last page, and the average bit rate
// from the play time and the file size.
//
// One object per file: create, ReadFromFile, ask Valid, read the values,
// free. The file is only read: its first page and at most its last
// 12,060 bytes, which are searched for the last page.
#pragma once

#include <cstdint>
#include <string_view>

#include "tags/common/TStream.h"

namespace velmaro::tags {

class TOggVorbis {
 public:
  TOggVorbis() = default;

  // True when the data (after an ID3v2 prefix) starts with an Ogg page
  // whose first packet is a Vorbis identification header. A file that
  // cannot be opened gives false.
  bool ReadFromFile(std::u16string_view fileName);
  // The same from the start of any stream (tests, fuzzers, memory).
  bool ReadFromStream(TStream& stream);

  // 1, 2 or 6 channels, a sample rate, more than 0.1 s and a bit rate.
  bool Valid() const;
  // Samples / sample rate from the last page's granule position; without
  // one, an estimate from the file size and the nominal bit rate.
  double Duration() const;
  // The average bit rate in kbit/s over the file without its ID3v2 prefix,
  // rounded half to even; 0 without a duration. Only its low 16 bits are
  // kept.
  std::uint16_t BitRate() const;

  std::int64_t FileSize() const { return FFileSize; }
  std::uint8_t ChannelModeID() const { return FChannelModeID; }  // the channel count
  std::int32_t SampleRate() const { return FSampleRate; }
  std::uint16_t BitRateNominal() const { return FBitRateNominal; }  // kbit/s
  // The low 32 bits of the last page's granule position; 0 when no page
  // was found near the end.
  std::int32_t Samples() const { return FSamples; }
  std::int64_t ID3v2Size() const { return FID3v2Size; }

 private:
  void Clear();
  bool Read(TStream& stream);
  void FindLastGranule(TStream& stream);

  std::int64_t FFileSize = 0;
  std::uint8_t FChannelModeID = 0;
  std::int32_t FSampleRate = 0;
  std::uint16_t FBitRateNominal = 0;
  std::int32_t FSamples = 0;
  std::int64_t FID3v2Size = 0;
};

}  // namespace velmaro::tags
