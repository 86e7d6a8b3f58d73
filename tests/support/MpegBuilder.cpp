#include "support/MpegBuilder.h"

#include <stdexcept>

namespace velmaro::testsupport {

namespace {

// The standard's tables, kbit/s by index 1..14.
constexpr int V1L1[] = {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr int V1L2[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int V1L3[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int V2L1[] = {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr int V2L23[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

const int* BitRateRow(const MpegFrameFormat& format) {
  if (format.version == MpegVersion::V1)
    return format.layer == MpegLayer::I ? V1L1 : format.layer == MpegLayer::II ? V1L2 : V1L3;
  return format.layer == MpegLayer::I ? V2L1 : V2L23;
}

int BitRateIndex(const MpegFrameFormat& format) {
  const int* row = BitRateRow(format);
  for (int i = 0; i < 14; ++i)
    if (row[i] == format.bitRate) return i + 1;
  throw std::invalid_argument("no such bit rate for this version and layer");
}

int SampleRateIndex(const MpegFrameFormat& format) {
  static constexpr int rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  const int* row = rates[static_cast<int>(format.version)];
  for (int i = 0; i < 3; ++i)
    if (row[i] == format.sampleRate) return i;
  throw std::invalid_argument("no such sample rate for this version");
}

void PutBE32(TBytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void PutText(TBytes& bytes, std::size_t at, const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) bytes.at(at + i) = static_cast<std::uint8_t>(text[i]);
}

}  // namespace

std::array<std::uint8_t, 4> MpegHeader(const MpegFrameFormat& format) {
  const int version = format.version == MpegVersion::V1 ? 3 : format.version == MpegVersion::V2 ? 2 : 0;
  const int layer = format.layer == MpegLayer::I ? 3 : format.layer == MpegLayer::II ? 2 : 1;
  std::array<std::uint8_t, 4> h{};
  h[0] = 0xFF;
  h[1] = static_cast<std::uint8_t>(0xE0 | version << 3 | layer << 1 | (format.crc ? 0 : 1));
  h[2] = static_cast<std::uint8_t>(BitRateIndex(format) << 4 | SampleRateIndex(format) << 2 | (format.padding ? 2 : 0));
  h[3] = static_cast<std::uint8_t>(static_cast<int>(format.mode) << 6 | (format.emphasis & 3));
  return h;
}

int MpegSamplesPerFrame(const MpegFrameFormat& format) {
  if (format.layer == MpegLayer::I) return 384;
  if (format.layer == MpegLayer::III && format.version != MpegVersion::V1) return 576;
  return 1152;
}

int MpegFrameLength(const MpegFrameFormat& format) {
  const int slot = format.layer == MpegLayer::I ? 4 : 1;
  const long long bitsPerSecond = 1000LL * format.bitRate;
  const long long slots = MpegSamplesPerFrame(format) / 8 * bitsPerSecond / format.sampleRate / slot;
  return static_cast<int>(slots * slot) + (format.padding ? slot : 0);
}

int MpegXingOffset(const MpegFrameFormat& format) {
  const bool mono = format.mode == MpegMode::Mono;
  return 4 + (format.version == MpegVersion::V1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

TBytes MpegFrame(const MpegFrameFormat& format, std::uint8_t fill) {
  TBytes frame(static_cast<std::size_t>(MpegFrameLength(format)), fill);
  const auto header = MpegHeader(format);
  std::copy(header.begin(), header.end(), frame.begin());
  return frame;
}

TBytes MpegFrames(const MpegFrameFormat& format, int count, std::uint8_t fill) {
  TBytes all;
  const TBytes frame = MpegFrame(format, fill);
  for (int i = 0; i < count; ++i) AppendBytes(all, frame);
  return all;
}

TBytes XingFrame(const MpegFrameFormat& format, const XingFields& xing) {
  TBytes frame = MpegFrame(format);
  const std::size_t at = static_cast<std::size_t>(xing.offset >= 0 ? xing.offset : MpegXingOffset(format));
  if (at + 120 + xing.vendor.size() > frame.size()) frame.resize(at + 120 + xing.vendor.size());
  PutText(frame, at, xing.id);
  PutBE32(frame, at + 4, xing.flags);
  PutBE32(frame, at + 8, xing.frames);
  PutBE32(frame, at + 12, xing.bytes);
  for (std::size_t i = 0; i < 100; ++i) frame.at(at + 16 + i) = static_cast<std::uint8_t>(i * 255 / 100);
  PutBE32(frame, at + 116, xing.scale);
  PutText(frame, at + 120, xing.vendor);
  return frame;
}

TBytes VbriFrame(const MpegFrameFormat& format, const VbriFields& vbri) {
  TBytes frame = MpegFrame(format);
  const std::size_t at = static_cast<std::size_t>(vbri.offset);
  if (at + 26 > frame.size()) frame.resize(at + 26);
  PutText(frame, at, "VBRI");
  frame.at(at + 4) = 0;  // version 1
  frame.at(at + 5) = 1;
  frame.at(at + 6) = 0;  // delay
  frame.at(at + 7) = 0;
  frame.at(at + 8) = static_cast<std::uint8_t>(vbri.quality >> 8);
  frame.at(at + 9) = static_cast<std::uint8_t>(vbri.quality);
  PutBE32(frame, at + 10, vbri.bytes);
  PutBE32(frame, at + 14, vbri.frames);
  return frame;
}

TBytes Id3v2Placeholder(std::uint32_t payloadSize, bool footer, std::uint8_t majorVersion) {
  const std::array<std::uint8_t, 4> size = {static_cast<std::uint8_t>(payloadSize >> 21 & 0x7F),
                                            static_cast<std::uint8_t>(payloadSize >> 14 & 0x7F),
                                            static_cast<std::uint8_t>(payloadSize >> 7 & 0x7F),
                                            static_cast<std::uint8_t>(payloadSize & 0x7F)};
  TBytes tag = Id3v2RawHeader(size, footer ? 0x10 : 0);
  tag[3] = majorVersion;
  // A text frame's worth of bytes that hold sync-like values, then padding.
  TBytes payload(payloadSize, 0);
  for (std::size_t i = 0; i < payload.size() && i < 64; ++i) payload[i] = static_cast<std::uint8_t>(0xF0 + i % 16);
  AppendBytes(tag, payload);
  if (footer) {
    TBytes foot = Id3v2RawHeader(size, 0x10);
    foot[0] = '3';
    foot[1] = 'D';
    foot[2] = 'I';
    foot[3] = majorVersion;
    AppendBytes(tag, foot);
  }
  return tag;
}

TBytes Id3v2RawHeader(std::array<std::uint8_t, 4> sizeBytes, std::uint8_t flags) {
  return TBytes{'I', 'D', '3', 4, 0, flags, sizeBytes[0], sizeBytes[1], sizeBytes[2], sizeBytes[3]};
}

TBytes NoSyncJunk(std::size_t count, std::uint8_t seed) {
  TBytes junk(count);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : junk) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>((state >> 24) % 255);  // never 0xFF
  }
  return junk;
}

}  // namespace velmaro::testsupport
