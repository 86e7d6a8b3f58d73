// Stream properties of an MPEG audio file (MPEG-1, 2 and 2.5, Layers I to
// III): the first frame behind any ID3v2 tag, its Xing or VBRI header,
// and from them bit rate, sample rate, channel mode and play time.
//
// One object per file: create, ReadFromFileDataOnly, ask Valid, read the
// values, free. The file is only read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tags/common/TStream.h"
#include "tags/mpeg/MpegFrameHeader.h"

namespace velmaro::tags {

// What a Xing or VBRI header in the first frame says.
struct VBRData {
  bool Found = false;
  std::string ID;  // "Xing" or "VBRI"
  std::int32_t Frames = 0;
  std::int32_t Bytes = 0;
  std::uint8_t Scale = 0;
  std::string VendorID;  // 8 characters of a Xing header's encoder field
};

class TMPEGaudio {
 public:
  // Bytes read per search window: twice the longest frame.
  static constexpr std::size_t WindowSize = 2 * MpegMaxFrameLength;
  // How far past the ID3v2 tag (or the start) the first frame is looked
  // for. The tag is skipped by its size, so what real files hold before
  // their first frame is small: a few bytes of junk, a RIFF header, now
  // and then a second ID3v2 tag with a cover picture of up to a few
  // megabytes. 16 MiB leaves room for the largest such picture, and
  // scanning it takes a few tens of milliseconds, where scanning a huge
  // file that holds no audio (gigabytes of zeros) would keep the host
  // waiting for seconds.
  static constexpr std::int64_t MaxFrameSearch = std::int64_t{16} << 20;

  TMPEGaudio() = default;

  // Reads the stream properties; true when a frame was found. A file that
  // cannot be opened, or holds no frame within MaxFrameSearch bytes after
  // its ID3v2 tag, gives false and the reset state.
  bool ReadFromFileDataOnly(std::u16string_view fileName);
  // The same from any stream (tests, fuzzers, data in memory).
  bool ReadFromStreamDataOnly(TStream& stream);

  // A frame was found, 8 <= BitRate <= 448 and Duration >= 0.1 s.
  bool Valid() const;
  double Duration() const;          // seconds
  std::uint16_t BitRate() const;    // kbit/s; the VBR header's average when there is one
  std::uint16_t SampleRate() const; // Hz

  const FrameData& Frame() const { return FFrame; }
  const VBRData& VBR() const { return FVBR; }
  std::int64_t FileLength() const { return FFileLength; }
  std::int64_t MPEGStart() const { return FMPEGStart; }
  std::int64_t MPEGEnd() const { return FMPEGEnd; }
  // Size of the ID3v2 tag at the start of the file (0 when none).
  std::int64_t ID3v2Size() const { return FID3v2Size; }
  // Encoder signature found near the audio ("LAMEx.yz", "GOGO"), or empty.
  const std::string& VendorID() const { return FVendorID; }

 private:
  void Reset();
  bool Read(TStream& stream);

  std::int64_t FFileLength = 0;
  std::string FVendorID;
  VBRData FVBR;
  FrameData FFrame;
  std::int64_t FMPEGStart = 0;
  std::int64_t FMPEGEnd = 0;
  std::int64_t FID3v2Size = 0;
};

// The size of an ID3v2 tag at the start of the stream, header and footer
// included, read from its 10-byte header; 0 when there is none or when it
// claims more bytes than the stream holds. Leaves the position undefined.
std::int64_t ProbeID3v2TagSize(TStream& stream);

}  // namespace velmaro::tags
