// Byte builders for MPEG audio test streams: frame headers of every
// version, layer and mode, whole frames, Xing/Info and VBRI header
// frames, ID3v2 tag headers and junk without sync bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

enum class MpegVersion { V1, V2, V25 };
enum class MpegLayer { I, II, III };
enum class MpegMode { Stereo, JointStereo, DualChannel, Mono };

// One frame, named by its rates in kbit/s and Hz (looked up in the
// standard's tables; a rate that the version and layer do not have is a
// test error and throws).
struct MpegFrameFormat {
  MpegVersion version = MpegVersion::V1;
  MpegLayer layer = MpegLayer::III;
  int bitRate = 128;
  int sampleRate = 44100;
  MpegMode mode = MpegMode::JointStereo;
  bool padding = false;
  bool crc = false;
  int emphasis = 0;
};

std::array<std::uint8_t, 4> MpegHeader(const MpegFrameFormat& format);
// Frame length in bytes, header included.
int MpegFrameLength(const MpegFrameFormat& format);
// Samples per frame: 384, 1152 or 576.
int MpegSamplesPerFrame(const MpegFrameFormat& format);
// Where the side information ends and a Xing header stands.
int MpegXingOffset(const MpegFrameFormat& format);

// A whole frame: the header, then fill up to the frame length.
TBytes MpegFrame(const MpegFrameFormat& format, std::uint8_t fill = 0x00);
// count frames in a row.
TBytes MpegFrames(const MpegFrameFormat& format, int count, std::uint8_t fill = 0x00);

// A Xing (or "Info") header frame as LAME writes it: flags, frame count,
// byte count, a 100-byte table, quality, then the encoder string.
struct XingFields {
  std::string id = "Xing";
  std::uint32_t flags = 0x0F;
  std::uint32_t frames = 0;
  std::uint32_t bytes = 0;
  std::uint8_t scale = 0;
  std::string vendor = "LAME3.100";
  int offset = -1;  // from the frame start; -1: MpegXingOffset
};
TBytes XingFrame(const MpegFrameFormat& format, const XingFields& xing);

// A Fraunhofer VBRI header frame (32 bytes behind the header, whatever
// the mode or version), offset overridable as for Xing.
struct VbriFields {
  std::uint32_t frames = 0;
  std::uint32_t bytes = 0;
  std::uint16_t quality = 75;
  int offset = 36;
};
TBytes VbriFrame(const MpegFrameFormat& format, const VbriFields& vbri);

// An ID3v2 tag of payloadSize bytes after the header (plus a 10-byte
// footer when footer is set): the size is written syncsafe.
TBytes Id3v2Placeholder(std::uint32_t payloadSize, bool footer = false, std::uint8_t majorVersion = 4);
// An ID3v2 header with size bytes exactly as given (hostile values).
TBytes Id3v2RawHeader(std::array<std::uint8_t, 4> sizeBytes, std::uint8_t flags = 0);

// TBytes that never hold 0xFF and so can never look like a frame sync.
TBytes NoSyncJunk(std::size_t count, std::uint8_t seed = 1);

}  // namespace velmaro::testsupport
