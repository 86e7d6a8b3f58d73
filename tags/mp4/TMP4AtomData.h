// One "data" sub-atom of an MP4 metadata item: its type code, its locale
// word and its payload, and the readings of the payload as text or as a
// big-endian number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmaro::tags {

class TMP4AtomData {
 public:
  // Type codes this reader interprets.
  static constexpr std::uint32_t TypeImplicit = 0;  // integer payload
  static constexpr std::uint32_t TypeUtf8 = 1;
  static constexpr std::uint32_t TypeSignedInteger = 21;  // big-endian

  std::vector<std::uint8_t> Data;  // the payload
  std::uint32_t DataType = 0;
  std::uint32_t Reserved = 0;  // the locale word, as stored
  int Index = 0;               // position in the item's list

  // The payload as UTF-8 text (malformed bytes become U+FFFD) when the
  // type is UTF-8 text; else empty.
  std::u16string GetAsText() const;

  // For the integer types (0 and 21) the first 1, 2, 4 payload bytes as a
  // big-endian unsigned number; 0 for any other type. Bytes beyond the
  // payload read as 0.
  std::uint8_t GetAsInteger8() const;
  std::uint16_t GetAsInteger16() const;
  std::uint32_t GetAsInteger32() const;
  // hiWord = first 2 bytes, lowDWord = next 4, value = hiWord * 2^32 +
  // lowDWord; false and all 0 for a type that is not an integer.
  bool GetAsInteger48(std::uint32_t& lowDWord, std::uint16_t& hiWord, std::uint64_t& value) const;
  // The first 8 bytes; false and 0 for a type that is not an integer.
  bool GetAsInteger64(std::uint64_t& value) const;
  // By payload length: 1, 2 and 4 bytes give the 8-, 16- and 32-bit
  // reading and true (even when that reading gave 0 for the type); 6 and
  // 8 bytes the 48- and 64-bit readings; any other length false.
  bool GetAsInteger(std::uint64_t& value) const;

 private:
  bool HoldsInteger() const { return DataType == TypeImplicit || DataType == TypeSignedInteger; }
  std::uint64_t BigEndian(std::size_t count) const;
};

}  // namespace velmaro::tags
