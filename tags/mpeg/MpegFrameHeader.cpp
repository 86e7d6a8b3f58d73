#include "tags/mpeg/MpegFrameHeader.h"

namespace velmaro::tags {

namespace {

// kbit/s by bit-rate index, per version family and layer.
constexpr std::uint16_t BitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // MPEG-1 Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // MPEG-1 Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // MPEG-1 Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},     // MPEG-2/2.5 Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},          // MPEG-2/2.5 Layer II, III
};

// Hz by sample-rate index, indexed by version code.
constexpr std::uint16_t SampleRates[4][4] = {
    {11025, 12000, 8000, 0},   // MPEG-2.5
    {0, 0, 0, 0},              // reserved
    {22050, 24000, 16000, 0},  // MPEG-2
    {44100, 48000, 32000, 0},  // MPEG-1
};

}  // namespace

bool IsMpegFrameHeader(const TByteView& bytes, std::size_t offset) {
  if (!bytes.Holds(offset, 4)) return false;
  const std::uint8_t b0 = bytes.At(offset), b1 = bytes.At(offset + 1), b2 = bytes.At(offset + 2),
                     b3 = bytes.At(offset + 3);
  if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) return false;
  if (((b1 >> 3) & 3) == MpegVersionReserved) return false;
  if (((b1 >> 1) & 3) == MpegLayerReserved) return false;
  const int bitRateIndex = b2 >> 4;
  if (bitRateIndex == 0 || bitRateIndex == 15) return false;
  if (((b2 >> 2) & 3) == 3) return false;
  return (b3 & 3) != 2;
}

FrameData DecodeMpegFrameHeader(const TByteView& bytes, std::size_t offset) {
  FrameData f;
  for (std::size_t i = 0; i < 4; ++i) f.Data[i] = bytes.At(offset + i);
  const std::uint8_t b1 = f.Data[1], b2 = f.Data[2], b3 = f.Data[3];
  f.VersionID = (b1 >> 3) & 3;
  f.LayerID = (b1 >> 1) & 3;
  f.ProtectionBit = (b1 & 1) == 0;
  f.BitRateID = b2 >> 4;
  f.SampleRateID = (b2 >> 2) & 3;
  f.PaddingBit = (b2 & 2) != 0;
  f.PrivateBit = (b2 & 1) != 0;
  f.ModeID = b3 >> 6;
  f.ModeExtensionID = (b3 >> 4) & 3;
  f.CopyrightBit = (b3 & 8) != 0;
  f.OriginalBit = (b3 & 4) != 0;
  f.EmphasisID = b3 & 3;
  return f;
}

std::uint16_t MpegBitRate(const FrameData& frame) {
  if (frame.VersionID > 3 || frame.VersionID == MpegVersionReserved) return 0;
  if (frame.LayerID > 3 || frame.LayerID == MpegLayerReserved || frame.BitRateID > 15) return 0;
  int row;
  if (frame.VersionID == MpegVersion1)
    row = frame.LayerID == MpegLayer1 ? 0 : frame.LayerID == MpegLayer2 ? 1 : 2;
  else
    row = frame.LayerID == MpegLayer1 ? 3 : 4;
  return BitRates[row][frame.BitRateID];
}

std::uint16_t MpegSampleRate(const FrameData& frame) {
  if (frame.VersionID > 3 || frame.SampleRateID > 3) return 0;
  return SampleRates[frame.VersionID][frame.SampleRateID];
}

int MpegCoefficient(const FrameData& frame) {
  // Layer I frames hold 384 samples in every version.
  if (frame.LayerID == MpegLayer1) return 48;
  if (frame.LayerID == MpegLayer3 && frame.VersionID != MpegVersion1) return 72;
  return 144;
}

int MpegPadding(const FrameData& frame) {
  if (!frame.PaddingBit) return 0;
  return frame.LayerID == MpegLayer1 ? 4 : 1;
}

std::uint16_t MpegFrameLength(const FrameData& frame) {
  const int sampleRate = MpegSampleRate(frame);
  if (sampleRate == 0) return 0;
  // Layer I frames are made of 4-byte slots, the other layers of bytes.
  const std::int64_t slot = frame.LayerID == MpegLayer1 ? 4 : 1;
  const std::int64_t bytes = std::int64_t{MpegCoefficient(frame)} * MpegBitRate(frame) * 1000 / sampleRate;
  return static_cast<std::uint16_t>(bytes / slot * slot + MpegPadding(frame));
}

int MpegVbrHeaderOffset(const FrameData& frame) {
  const bool mono = frame.ModeID == MpegModeMono;
  if (frame.VersionID == MpegVersion1) return mono ? 21 : 36;
  return mono ? 13 : 21;
}

}  // namespace velmaro::tags
