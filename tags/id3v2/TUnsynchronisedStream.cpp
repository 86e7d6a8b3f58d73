#include "tags/id3v2/TUnsynchronisedStream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace velmaro::tags {

namespace {

constexpr std::size_t RawChunk = 65536;

}  // namespace

TUnsynchronisedStream::TUnsynchronisedStream(TStream& source, std::int64_t begin, std::int64_t end)
    : FSource(source),
      FBegin(std::clamp<std::int64_t>(begin, 0, source.Size())),
      FEnd(std::clamp<std::int64_t>(end, FBegin, source.Size())),
      FRaw(RawChunk) {
  FDecoded.reserve(RawChunk + HistoryBytes);
  Restart();
  while (Refill(INT64_MAX)) {
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

std::size_t TUnsynchronisedStream::Decode(std::span<const std::uint8_t> raw, bool keep) {
  // Runs up to and including the next 0xFF are taken whole; only the
  // byte after each 0xFF needs a look.
  std::size_t count = 0;
  auto at = raw.begin();
  const auto end = raw.end();
  if (FAfterFF && at != end && *at == 0x00) {
    ++at;
    FAfterFF = false;
  }
  while (at != end) {
    auto ff = std::find(at, end, std::uint8_t{0xFF});
    if (ff != end) ++ff;
    if (keep) FDecoded.insert(FDecoded.end(), at, ff);
    count += static_cast<std::size_t>(ff - at);
    FAfterFF = *(ff - 1) == 0xFF;
    at = ff;
    if (FAfterFF && at != end && *at == 0x00) {
      ++at;
      FAfterFF = false;
    }
  }
  return count;
}

bool TUnsynchronisedStream::Refill(std::int64_t keepFrom) {
  if (FRawPos >= FEnd) return false;
  // Callers stand at the end of the buffer: its last bytes stay for a
  // short step back.
  const std::size_t drop = FDecoded.size() - std::min(HistoryBytes, FDecoded.size());
  FDecoded.erase(FDecoded.begin(), FDecoded.begin() + static_cast<std::ptrdiff_t>(drop));
  FDecodedStart += static_cast<std::int64_t>(drop);

  FSource.SeekTo(FRawPos);
  std::size_t got = 0;
  while (got < FRaw.size() && FRawPos + static_cast<std::int64_t>(got) < FEnd) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(
        FEnd - FRawPos - static_cast<std::int64_t>(got), static_cast<std::int64_t>(FRaw.size() - got)));
    const std::size_t n = FSource.Read(FRaw.data() + got, want);
    if (n == 0) break;
    got += n;
  }
  if (got == 0) {
    FEnd = FRawPos;  // the data ended early
    return false;
  }
  FRawPos += static_cast<std::int64_t>(got);
  const std::span<const std::uint8_t> raw(FRaw.data(), got);
  // A chunk gives at most as many bytes as it holds: when all of them lie
  // before keepFrom, they are only counted.
  const std::int64_t bufferEnd = FDecodedStart + static_cast<std::int64_t>(FDecoded.size());
  if (keepFrom - bufferEnd > static_cast<std::int64_t>(got)) {
    FDecodedStart = bufferEnd + static_cast<std::int64_t>(Decode(raw, false));
    FDecoded.clear();
  } else {
    Decode(raw, true);
  }
  return true;
}

std::size_t TUnsynchronisedStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::int64_t bufferEnd = FDecodedStart + static_cast<std::int64_t>(FDecoded.size());
    if (FPos >= bufferEnd) {
      if (!Refill(FPos)) break;
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
    if (!Refill(target - static_cast<std::int64_t>(HistoryBytes))) break;
  }
  FPos = std::min(target, FDecodedStart + static_cast<std::int64_t>(FDecoded.size()));
  return FPos;
}

}  // namespace velmaro::tags
