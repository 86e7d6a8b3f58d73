// The 4-byte MPEG audio frame header: its validity test, its decoded
// fields and the per-frame values derived from them (ISO/IEC 11172-3 and
// 13818-3 tables).
#pragma once

#include <array>
#include <cstdint>

#include "tags/common/TByteView.h"

namespace velmaro::tags {

// Header codes as they stand in the header bits.
inline constexpr std::uint8_t MpegVersion25 = 0;
inline constexpr std::uint8_t MpegVersionReserved = 1;
inline constexpr std::uint8_t MpegVersion2 = 2;
inline constexpr std::uint8_t MpegVersion1 = 3;

inline constexpr std::uint8_t MpegLayerReserved = 0;
inline constexpr std::uint8_t MpegLayer3 = 1;
inline constexpr std::uint8_t MpegLayer2 = 2;
inline constexpr std::uint8_t MpegLayer1 = 3;

inline constexpr std::uint8_t MpegModeStereo = 0;
inline constexpr std::uint8_t MpegModeJointStereo = 1;
inline constexpr std::uint8_t MpegModeDualChannel = 2;
inline constexpr std::uint8_t MpegModeMono = 3;

// The longest frame the search has to step over: Layer II, 384 kbit/s,
// 32,000 Hz, padded.
inline constexpr int MpegMaxFrameLength = 1729;

// The decoded header of one frame. The reset values of version, sample
// rate, mode, mode extension and emphasis are the codes for "unknown".
struct FrameData {
  bool Found = false;
  std::int64_t Position = 0;  // byte offset of the frame
  std::uint16_t Size = 0;     // frame length in bytes
  bool Xing = false;          // the six bytes after the header are all zero
  std::array<std::uint8_t, 4> Data{};
  std::uint8_t VersionID = MpegVersionReserved;
  std::uint8_t LayerID = MpegLayerReserved;
  bool ProtectionBit = false;  // a CRC follows the header
  std::uint16_t BitRateID = 0;
  std::uint16_t SampleRateID = 3;
  bool PaddingBit = false;
  bool PrivateBit = false;
  std::uint8_t ModeID = 4;
  std::uint8_t ModeExtensionID = 4;
  bool CopyrightBit = false;
  bool OriginalBit = false;
  std::uint8_t EmphasisID = 2;
};

// True when the four bytes at offset lie inside the view and form a
// usable header: sync, no reserved version, layer, bit rate, sample
// rate or emphasis, and not the "free" bit rate.
bool IsMpegFrameHeader(const TByteView& bytes, std::size_t offset);

// Decodes the four bytes at offset (which passed the test) into a fresh
// record; Found, Position, Size and Xing are left for the caller.
FrameData DecodeMpegFrameHeader(const TByteView& bytes, std::size_t offset);

// Table values of a decoded header; 0 for reserved codes.
std::uint16_t MpegBitRate(const FrameData& frame);     // kbit/s
std::uint16_t MpegSampleRate(const FrameData& frame);  // Hz
// Samples per frame / 8: 48 (Layer I), 144 (Layer II, MPEG-1 Layer III), 72.
int MpegCoefficient(const FrameData& frame);
// The padding slot size when the padding bit is set, else 0.
int MpegPadding(const FrameData& frame);
// Frame length in bytes; 0 when the header names no rate.
std::uint16_t MpegFrameLength(const FrameData& frame);
// Where a Xing or VBRI header would start, counted from the frame start.
int MpegVbrHeaderOffset(const FrameData& frame);

}  // namespace velmaro::tags
