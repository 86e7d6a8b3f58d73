#include "tags/id3v2/TUnsynchronisedStream.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velmaro::tags {

namespace {

constexpr std::size_t RawChunk = 65536;

}  // namespace

TUnsynchronisedStream::TUnsynchronisedStream(TStream& source, std::int64_t begin, std::int64_t end)
    : FSource(source), FBegin(std::clamp<std::int64_t>(begin, 0, source.Size())),
      FEnd(std::clamp<std::int64_t>(end, FBegin, source.Size())) {
  FDecoded.reserve(RawChunk + HistoryBytes);
  Restart();
  while (Refill()) {
  }
  FSize = FDecodedStart + static_cast<std::int64_t>(FDecoded.size());
  Restart();
}

void TUnsynchronisedStream::Restart() {
  FRawPos = FBegin;
  FAfterFF = false;
  FDecoded.clear();
  FDecodedStart = 0;
  FPos = 0;
}

bool TUnsynchronisedStream::Refill() {
  if (FRawPos >= FEnd) return false;
  // Callers stand at the end of the buffer: its last bytes stay for a
  // short step back.
  const std::size_t drop = FDecoded.size() - std::min(HistoryBytes, FDecoded.size());
  FDecoded.erase(FDecoded.begin(), FDecoded.begin() + static_cast<std::ptrdiff_t>(drop));
  FDecodedStart += static_cast<std::int64_t>(drop);

  std::array<std::uint8_t, 4096> raw;
  std::size_t budget = RawChunk;
  FSource.SeekTo(FRawPos);
  while (budget > 0 && FRawPos < FEnd) {
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::int64_t>({FEnd - FRawPos, static_cast<std::int64_t>(raw.size()), static_cast<std::int64_t>(budget)}));
    const std::size_t got = FSource.Read(raw.data(), want);
    if (got == 0) {
      FEnd = FRawPos;  // the data ended early
      break;
    }
    FRawPos += static_cast<std::int64_t>(got);
    budget -= got;
    // Runs up to and including the next 0xFF are copied whole; only the
    // byte after each 0xFF needs a look.
    const auto end = raw.begin() + static_cast<std::ptrdiff_t>(got);
    auto at = raw.begin();
    if (FAfterFF && at != end && *at == 0x00) {
      ++at;
      FAfterFF = false;
    }
    while (at != end) {
      auto ff = std::find(at, end, std::uint8_t{0xFF});
      if (ff != end) ++ff;
      FDecoded.insert(FDecoded.end(), at, ff);
      at = ff;
      FAfterFF = ff != raw.begin() && *(ff - 1) == 0xFF;
      if (FAfterFF && at != end && *at == 0x00) {
        ++at;
        FAfterFF = false;
      }
    }
  }
  return true;
}

std::size_t TUnsynchronisedStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::int64_t bufferEnd = FDecodedStart + static_cast<std::int64_t>(FDecoded.size());
    if (FPos >= bufferEnd) {
      if (!Refill()) break;
      continue;
    }
    const std::size_t at = static_cast<std::size_t>(FPos - FDecodedStart);
    const std::size_t n = std::min(count - done, FDecoded.size() - at);
    std::memcpy(out + done, FDecoded.data() + at, n);
    done += n;
    FPos += static_cast<std::int64_t>(n);
  }
  return done;
}

std::int64_t TUnsynchronisedStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t target = ClampSeekTarget(offset, origin, FPos, FSize);
  if (target < FDecodedStart) Restart();
  // Decode forward until the buffer holds the target.
  while (target > FDecodedStart + static_cast<std::int64_t>(FDecoded.size())) {
    FPos = FDecodedStart + static_cast<std::int64_t>(FDecoded.size());
    if (!Refill()) break;
  }
  FPos = std::min(target, FDecodedStart + static_cast<std::int64_t>(FDecoded.size()));
  return FPos;
}

}  // namespace velmaro::tags
