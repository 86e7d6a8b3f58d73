#include "tags/ogg/TOggVorbis.h"

#include <array>
#include <cmath>

#include "tags/common/TByteView.h"
#include "tags/ogg/TOggHeader.h"

namespace velmaro::tags {

namespace {

constexpr std::size_t VorbisIdSize = 30;

// The size of an ID3v2 tag in front of the Ogg data: the four size bytes
// weighted by 2^21, 2^14, 2^7, 1 (as stored), plus the 10-byte header and
// a 10-byte footer when the header announces one; 0 when there is no tag
// or it claims more than the file holds.
std::int64_t ID3v2PrefixSize(TStream& stream, std::int64_t fileSize) {
  std::array<std::uint8_t, 10> header{};
  stream.SeekTo(0);
  if (!stream.ReadExact(header.data(), header.size())) return 0;
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
  std::int64_t size = std::int64_t{header[6]} * (1 << 21) + std::int64_t{header[7]} * (1 << 14) +
                      std::int64_t{header[8]} * (1 << 7) + header[9] + 10;
  if (header[5] & 0x10) size += 10;
  return size > fileSize ? 0 : size;
}

}  // namespace

void TOggVorbis::Clear() {
  FFileSize = 0;
  FChannelModeID = 0;
  FSampleRate = 0;
  FBitRateNominal = 0;
  FSamples = 0;
  FID3v2Size = 0;
}

bool TOggVorbis::ReadFromFile(std::u16string_view fileName) {
  Clear();
  TFileStream file(fileName);
  if (!file.IsOpen()) return false;
  return ReadFromStream(file);
}

bool TOggVorbis::ReadFromStream(TStream& stream) {
  Clear();
  return Read(stream);
}

bool TOggVorbis::Read(TStream& stream) {
  FFileSize = stream.Size();
  FID3v2Size = ID3v2PrefixSize(stream, FFileSize);

  std::array<std::uint8_t, TOggHeader::MaxSize> pageBytes{};
  stream.SeekTo(FID3v2Size);
  stream.ReadExact(pageBytes.data(), pageBytes.size());
  const TOggHeader page = ParseOggHeader(TByteView(pageBytes));
  if (!page.HasOggID()) return false;

  std::array<std::uint8_t, VorbisIdSize> id{};
  stream.SeekTo(FID3v2Size + static_cast<std::int64_t>(page.HeaderSize()));
  stream.ReadExact(id.data(), id.size());
  const TByteView idView(id);
  if (idView.At(0) != 0x01 || !idView.Matches(1, "vorbis")) return false;

  // 7 bytes signature, 4 bytes version, then the fields.
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(idView.At(at) | idView.At(at + 1) << 8 | idView.At(at + 2) << 16) |
           static_cast<std::uint32_t>(idView.At(at + 3)) << 24;
  };
  FChannelModeID = idView.At(11);
  FSampleRate = static_cast<std::int32_t>(le32(12));
  const std::int32_t nominal = static_cast<std::int32_t>(le32(20));
  FBitRateNominal = static_cast<std::uint16_t>(nominal / 1000);

  FindLastGranule(stream);
  return true;
}

void TOggVorbis::FindLastGranule(TStream& stream) {
  std::uint64_t granule = 0;
  FSamples = LastGranulePosition(stream, granule)
                 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(granule))
                 : 0;
}

double TOggVorbis::Duration() const {
  if (FSamples > 0) return FSampleRate > 0 ? static_cast<double>(FSamples) / FSampleRate : 0;
  if (FBitRateNominal > 0 && FChannelModeID > 0)
    return static_cast<double>(FFileSize - FID3v2Size) / FBitRateNominal / FChannelModeID / 125 * 2;
  return 0;
}

std::uint16_t TOggVorbis::BitRate() const {
  const double duration = Duration();
  if (duration <= 0) return 0;
  // Rounding half to even, as the default floating-point mode does.
  const double rate = std::nearbyint(static_cast<double>(FFileSize - FID3v2Size) / duration / 125);
  // A rate beyond any integer (a hostile, vanishing duration) is no rate.
  if (!(rate > -9.0e18 && rate < 9.0e18)) return 0;
  return static_cast<std::uint16_t>(static_cast<std::int64_t>(rate));
}

bool TOggVorbis::Valid() const {
  return (FChannelModeID == 1 || FChannelModeID == 2 || FChannelModeID == 6) && FSampleRate >= 1 &&
         Duration() > 0.1 && BitRate() != 0;
}

}  // namespace velmaro::tags
