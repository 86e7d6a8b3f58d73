#include "tags/common/TStream.h"

#include <algorithm>
#include <cstring>

namespace velmaro::tags {

std::int64_t ClampSeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t position,
                             std::int64_t size) {
  // Saturating arithmetic: a hostile 64-bit size must not overflow.
  auto add = [](std::int64_t a, std::int64_t b) -> std::int64_t {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : INT64_MIN;
    return r;
  };
  std::int64_t target = 0;
  switch (origin) {
    case TSeekOrigin::Begin: target = offset; break;
    case TSeekOrigin::Current: target = add(position, offset); break;
    case TSeekOrigin::End: target = add(size, offset == INT64_MIN ? INT64_MAX : -offset); break;
  }
  return std::clamp<std::int64_t>(target, 0, size);
}

std::vector<std::uint8_t> TStream::ReadBytes(std::size_t count) {
  const std::int64_t left = std::max<std::int64_t>(0, Remaining());
  count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), left));
  std::vector<std::uint8_t> bytes(count);
  bytes.resize(count ? Read(bytes.data(), count) : 0);
  return bytes;
}

bool TStream::ReadExact(void* buffer, std::size_t count) {
  const std::size_t got = count ? Read(buffer, count) : 0;
  if (got < count) std::memset(static_cast<std::uint8_t*>(buffer) + got, 0, count - got);
  return got == count;
}

std::uint8_t TStream::ReadU8() {
  std::uint8_t b = 0;
  ReadExact(&b, 1);
  return b;
}

namespace {
template <std::size_t N>
std::uint64_t ReadBig(TStream& s) {
  std::uint8_t b[N];
  s.ReadExact(b, N);
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < N; ++i) v = (v << 8) | b[i];
  return v;
}
template <std::size_t N>
std::uint64_t ReadLittle(TStream& s) {
  std::uint8_t b[N];
  s.ReadExact(b, N);
  std::uint64_t v = 0;
  for (std::size_t i = N; i-- > 0;) v = (v << 8) | b[i];
  return v;
}
}  // namespace

std::uint16_t TStream::ReadBE16() { return static_cast<std::uint16_t>(ReadBig<2>(*this)); }
std::uint32_t TStream::ReadBE24() { return static_cast<std::uint32_t>(ReadBig<3>(*this)); }
std::uint32_t TStream::ReadBE32() { return static_cast<std::uint32_t>(ReadBig<4>(*this)); }
std::uint64_t TStream::ReadBE64() { return ReadBig<8>(*this); }
std::uint16_t TStream::ReadLE16() { return static_cast<std::uint16_t>(ReadLittle<2>(*this)); }
std::uint32_t TStream::ReadLE32() { return static_cast<std::uint32_t>(ReadLittle<4>(*this)); }
std::uint64_t TStream::ReadLE64() { return ReadLittle<8>(*this); }

bool TStream::ReadMagic(std::string_view magic) {
  std::string got(magic.size(), '\0');
  return ReadExact(got.data(), got.size()) && got == magic;
}

TFileStream::TFileStream(std::u16string_view path) : FFile(path) {
  FSize = FFile.IsOpen() ? std::max<std::int64_t>(0, FFile.Size()) : 0;
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  return FFile.IsOpen() ? FFile.Read(buffer, count) : 0;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (!FFile.IsOpen()) return 0;
  return FFile.Seek(ClampSeekTarget(offset, origin, FFile.Position(), FSize));
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const std::int64_t left = Size() - FPos;
  if (left <= 0 || count == 0) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
  std::memcpy(buffer, FData.data() + FPos, n);
  FPos += static_cast<std::int64_t>(n);
  return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  FPos = ClampSeekTarget(offset, origin, FPos, Size());
  return FPos;
}

}  // namespace velmaro::tags
