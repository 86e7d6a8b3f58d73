// ASF object identifiers.
//
// A GUID is written in its usual text form (75B22630-668E-11CF-...) but
// stored in the file with its first three groups little-endian; the
// readers compare the 16 stored bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tags/common/TStream.h"

namespace velmaro::tags {

using TAsfGuid = std::array<std::uint8_t, 16>;

namespace asfguid_detail {
constexpr std::uint8_t HexDigit(char c) {
  return static_cast<std::uint8_t>(c >= '0' && c <= '9'   ? c - '0'
                                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                          : c - 'A' + 10);
}
constexpr std::uint8_t HexByte(std::string_view text, std::size_t at) {
  return static_cast<std::uint8_t>(HexDigit(text[at]) << 4 | HexDigit(text[at + 1]));
}
}  // namespace asfguid_detail

// The stored bytes of a GUID given in its text form.
constexpr TAsfGuid AsfGuidFromText(std::string_view text) {
  using asfguid_detail::HexByte;
  // Character offsets of the 16 bytes in stored order.
  constexpr std::size_t Offsets[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
  TAsfGuid guid{};
  for (std::size_t i = 0; i < 16; ++i) guid[i] = HexByte(text, Offsets[i]);
  return guid;
}

inline constexpr TAsfGuid AsfHeaderObject = AsfGuidFromText("75B22630-668E-11CF-A6D9-00AA0062CE6C");
inline constexpr TAsfGuid AsfFilePropertiesObject = AsfGuidFromText("8CABDCA1-A947-11CF-8EE4-00C00C205365");
inline constexpr TAsfGuid AsfStreamPropertiesObject = AsfGuidFromText("B7DC0791-A9B7-11CF-8EE6-00C00C205365");
inline constexpr TAsfGuid AsfContentDescriptionObject = AsfGuidFromText("75B22633-668E-11CF-A6D9-00AA0062CE6C");
inline constexpr TAsfGuid AsfExtendedContentDescriptionObject =
    AsfGuidFromText("D2D0A440-E307-11D2-97F0-00A0C95EA850");
inline constexpr TAsfGuid AsfHeaderExtensionObject = AsfGuidFromText("5FBF03B5-A92E-11CF-8EE3-00C00C205365");
inline constexpr TAsfGuid AsfMetadataObject = AsfGuidFromText("C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA");
inline constexpr TAsfGuid AsfMetadataLibraryObject = AsfGuidFromText("44231C94-9498-49D1-A141-1D134E457054");
// The stream type of an audio stream in a Stream Properties object.
inline constexpr TAsfGuid AsfAudioMedia = AsfGuidFromText("F8699E40-5B4D-11CF-A8FD-00805F5C442B");

// Every ASF object starts with its GUID and a 64-bit size that counts the
// whole object, these 24 bytes included.
inline constexpr std::int64_t AsfObjectHeaderSize = 24;

// Reads 16 bytes; false when the data ends first (the GUID is then zeroed
// where bytes are missing).
inline bool ReadAsfGuid(TStream& stream, TAsfGuid& guid) { return stream.ReadExact(guid.data(), guid.size()); }

}  // namespace velmaro::tags
