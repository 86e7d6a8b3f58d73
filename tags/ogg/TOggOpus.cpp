#include "tags/ogg/TOggOpus.h"

#include <array>
#include <cmath>

#include "tags/common/TByteView.h"
#include "tags/ogg/TOggHeader.h"

namespace velmaro::tags {

namespace {

// "OpusHead", version, channels, pre-skip, input rate, gain, mapping family.
constexpr std::size_t OpusHeadSize = 19;

}  // namespace

void TOggOpus::Clear() { *this = TOggOpus(); }

bool TOggOpus::ReadFromFile(std::u16string_view fileName) {
  Clear();
  TFileStream file(fileName);
  if (!file.IsOpen()) return false;
  return ReadFromStream(file);
}

bool TOggOpus::ReadFromStream(TStream& stream) {
  Clear();
  if (Read(stream)) return true;
  // A stream that is not Opus leaves nothing behind but its size.
  const std::int64_t size = FFileSize;
  Clear();
  FFileSize = size;
  return false;
}

bool TOggOpus::Read(TStream& stream) {
  FFileSize = stream.Size();
  FID3v2Size = ID3v2PrefixSize(stream);

  std::array<std::uint8_t, TOggHeader::MaxSize> pageBytes{};
  stream.SeekTo(FID3v2Size);
  stream.ReadExact(pageBytes.data(), pageBytes.size());
  const TOggHeader page = ParseOggHeader(TByteView(pageBytes));
  if (!page.HasOggID()) return false;

  std::array<std::uint8_t, OpusHeadSize> head{};
  stream.SeekTo(FID3v2Size + static_cast<std::int64_t>(page.HeaderSize()));
  if (!stream.ReadExact(head.data(), head.size())) return false;
  const TByteView view(head);
  // Versions 0.x share this layout; a new major version may not.
  if (!view.Matches(0, "OpusHead") || (view.At(8) & 0xF0) != 0) return false;
  FChannelCount = view.At(9);
  FPreSkip = static_cast<std::uint16_t>(view.At(10) | view.At(11) << 8);
  FInputSampleRate = static_cast<std::uint32_t>(view.At(12) | view.At(13) << 8 | view.At(14) << 16) |
                     static_cast<std::uint32_t>(view.At(15)) << 24;

  if (!LastGranulePosition(stream, FGranule)) FGranule = 0;
  return true;
}

double TOggOpus::Duration() const {
  // A granule of -1 (no packet ends on that page) is above every real one
  // and would give a length of millions of years: it is no length.
  if (FGranule <= FPreSkip || FGranule >= (std::uint64_t{1} << 63)) return 0;
  return static_cast<double>(FGranule - FPreSkip) / OutputSampleRate;
}

std::int64_t TOggOpus::BitRate() const {
  const double duration = Duration();
  if (duration <= 0) return 0;
  // Rounding half to even, as the default floating-point mode does.
  const double rate = std::nearbyint(static_cast<double>(FFileSize - FID3v2Size) / duration / 125);
  if (!(rate > -9.0e18 && rate < 9.0e18)) return 0;
  return static_cast<std::int64_t>(rate);
}

bool TOggOpus::Valid() const {
  return FChannelCount >= 1 && FChannelCount <= 8 && Duration() > 0.1 && BitRate() != 0;
}

}  // namespace velmaro::tags
