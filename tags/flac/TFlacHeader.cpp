#include "tags/flac/TFlacHeader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tags/flac/FlacReadError.h"

namespace velmaro::tags {

bool TFlacHeader::HasMarker() const { return StreamMarker == std::array<std::uint8_t, 4>{'f', 'L', 'a', 'C'}; }

// STREAMINFO from its 11th byte: sample rate (20 bits), channels - 1 (3),
// bits per sample - 1 (5), total samples (36).
int TFlacHeader::SampleRate() const { return Info[10] * 4096 + Info[11] * 16 + (Info[12] >> 4); }

std::uint8_t TFlacHeader::Channels() const { return static_cast<std::uint8_t>(((Info[12] >> 1) & 7) + 1); }

std::uint8_t TFlacHeader::BitsPerSample() const {
  return static_cast<std::uint8_t>((Info[12] & 1) * 16 + (Info[13] >> 4) + 1);
}

std::int64_t TFlacHeader::Samples() const {
  std::int64_t samples = Info[13] & 0x0F;
  for (std::size_t i = 14; i < 18; ++i) samples = samples << 8 | Info[i];
  return samples;
}

TFlacHeader ReadFlacHeader(TStream& stream) {
  TFlacHeader header;
  stream.SeekTo(0);
  stream.ReadExact(header.StreamMarker.data(), header.StreamMarker.size());
  stream.ReadExact(header.MetaDataBlockHeader.data(), header.MetaDataBlockHeader.size());
  stream.ReadExact(header.Info.data(), header.Info.size());
  stream.ReadExact(header.MD5Sum.data(), header.MD5Sum.size());
  return header;
}

TFlacBlockHeader ReadFlacBlockHeader(TStream& stream) {
  TFlacBlockHeader header;
  if (!stream.ReadExact(header.Bytes.data(), header.Bytes.size())) throw EFlacReadError("Stream read error");
  header.Last = (header.Bytes[0] & 0x80) != 0;
  header.Type = header.Bytes[0] & 0x7F;
  header.Length = static_cast<std::uint32_t>(header.Bytes[1]) << 16 | header.Bytes[2] << 8 | header.Bytes[3];
  return header;
}

std::vector<std::uint8_t> ReadFlacBlockBody(TStream& stream, std::uint32_t length, TTagBudget& budget,
                                            std::uint32_t headBytes) {
  if (length > stream.Remaining()) throw EFlacReadError("Stream read error");
  if (budget.TakeBytes(length)) return stream.ReadBytes(length);
  const std::int64_t end = stream.Position() + length;
  std::vector<std::uint8_t> head;
  headBytes = std::min(headBytes, length);
  if (headBytes > 0 && budget.TakeBytes(headBytes)) head = stream.ReadBytes(headBytes);
  stream.SeekTo(end);
  return head;
}

void SkipFlacBlockBody(TStream& stream, std::uint32_t length) {
  if (length > stream.Remaining()) throw EFlacReadError("Stream read error");
  stream.Skip(length);
}

std::int32_t FlacKbitPerSecond(std::int64_t audioBytes, double seconds) {
  const double value = std::nearbyint(static_cast<double>(audioBytes) / 1000 * 8 / seconds);
  if (std::isnan(value)) return 0;
  if (value <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (value >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

std::u16string FlacChannelMode(bool valid, std::uint8_t channels) {
  if (!valid) return {};
  if (channels == 1) return u"Mono";
  if (channels == 2) return u"Stereo";
  return u"Multi Channel";
}

}  // namespace velmaro::tags
