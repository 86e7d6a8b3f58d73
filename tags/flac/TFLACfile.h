// Stream properties of a native FLAC file, and the test whether it is a
// usable FLAC stream: the STREAMINFO values and a walk over the metadata
// blocks up to the one flagged last, which finds where the audio starts.
//
// One object per file: create, ReadFromFile, ask Valid, read the values,
// free. The file is only read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/common/TStream.h"
#include "tags/flac/TFlacHeader.h"
#include "tags/flac/TFlacMetaData.h"

namespace velmaro::tags {

class TFLACfile {
 public:
  using TMetaData = TFlacMetaData;

  TFLACfile() = default;

  // Reads the file's header and metadata blocks; true when the stream is
  // valid. Raises EFlacReadError when the file cannot be opened, when the
  // metadata ends before the block flagged last, or when a block that is
  // kept in memory runs past the end of the file.
  bool ReadFromFile(std::u16string_view fileName);
  // The same from any stream (tests, fuzzers, data in memory).
  bool ReadFromStream(TStream& stream);

  // Marker "fLaC", channels, sample rate, bits per sample and samples all
  // above 0.
  bool GetValid() const;
  double GetDuration() const;             // seconds; 0 when invalid
  std::u16string GetChannelMode() const;  // "Mono", "Stereo", "Multi Channel"; empty when invalid

  bool Valid() const { return GetValid(); }
  double Duration() const { return GetDuration(); }
  std::u16string ChannelMode() const { return GetChannelMode(); }
  std::uint8_t Channels() const { return FChannels; }
  int SampleRate() const { return FSampleRate; }
  std::uint8_t BitsPerSample() const { return FBitsPerSample; }
  std::int64_t FileLength() const { return FFileLength; }
  std::int64_t Samples() const { return FSamples; }
  int Bitrate() const { return FBitrate; }  // kbit/s of the audio after the metadata
  std::int64_t AudioOffset() const { return FAudioOffset; }
  const std::u16string& FileName() const { return FFileName; }

  const TFlacHeader& Header() const { return FHeader; }
  int PaddingIndex() const { return FPaddingIndex; }
  bool PaddingLast() const { return FPaddingLast; }
  bool PaddingFragments() const { return FPaddingFragments; }
  int VorbisIndex() const { return FVorbisIndex; }
  int Padding() const { return FPadding; }
  std::int64_t VCOffset() const { return FVCOffset; }
  std::int64_t TagSize() const { return FTagSize; }
  // Blocks other than VORBIS_COMMENT and the first PADDING, in file order,
  // as far as the tag limits keep them (see TagLimits.h).
  const std::vector<TMetaData>& MetaBlockOther() const { return aMetaBlockOther; }

 private:
  void Reset();
  bool Read(TStream& stream);

  TFlacHeader FHeader;
  std::u16string FFileName;
  int FPaddingIndex = 0;
  bool FPaddingLast = false;
  bool FPaddingFragments = false;
  int FVorbisIndex = 0;
  int FPadding = 0;
  std::int64_t FVCOffset = 0;
  std::int64_t FAudioOffset = 0;
  std::uint8_t FChannels = 0;
  int FSampleRate = 0;
  std::uint8_t FBitsPerSample = 0;
  int FBitrate = 0;
  std::int64_t FFileLength = 0;
  std::int64_t FSamples = 0;
  std::vector<TMetaData> aMetaBlockOther;
  std::int64_t FTagSize = 0;
};

}  // namespace velmaro::tags
