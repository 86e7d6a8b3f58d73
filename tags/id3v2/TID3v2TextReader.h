// Reads the texts of one ID3v2 frame body in order: the text encoding
// byte, fixed-size fields, then zero-terminated strings in that encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tags/common/TByteView.h"

namespace velmaro::tags {

// Text encodings of ID3v2 frames.
inline constexpr std::uint8_t ID3EncodingLatin1 = 0;   // 8-bit text
inline constexpr std::uint8_t ID3EncodingUtf16 = 1;    // UTF-16, byte-order mark per string
inline constexpr std::uint8_t ID3EncodingUtf16BE = 2;  // UTF-16 big-endian, no mark
inline constexpr std::uint8_t ID3EncodingUtf8 = 3;

class TID3v2TextReader {
 public:
  // ansiText: 8-bit text is decoded with the system's code page; when
  // false every byte becomes the character with the same code.
  TID3v2TextReader(std::span<const std::uint8_t> body, bool ansiText);

  // The text encoding byte. A value above 3 names no encoding: the text
  // then starts right there, so the byte is left in place and 8-bit text
  // is assumed.
  std::uint8_t ReadEncoding();

  // Up to count bytes as 8-bit characters (fewer at the end of the body).
  std::string ReadBytes(std::size_t count);
  // The rest of the body.
  std::span<const std::uint8_t> Rest() const;

  struct TString {
    std::u16string Text;
    bool Terminated = false;  // false: the body ended first
  };
  // One string, up to and including its terminator (a zero byte, or a
  // zero unit for UTF-16) or up to the end of the body. A UTF-16 string
  // may start with a byte-order mark; without one the order of the last
  // mark read by this reader applies (little-endian at first).
  // utf8As8Bit decodes UTF-8 bytes as 8-bit text instead.
  TString ReadString(std::uint8_t encoding, bool utf8As8Bit = false);

  bool AtEnd() const { return FPos >= FBody.Size(); }

  // 8-bit text decoded as this reader decodes encoding 0.
  std::u16string Decode8Bit(std::string_view bytes) const;

 private:
  TByteView FBody;
  std::span<const std::uint8_t> FSpan;
  std::size_t FPos = 0;
  bool FLittleEndian = true;
  bool FAnsiText;
};

// Removes characters up to and including the space (control characters
// and spaces) from both ends.
std::u16string TrimID3Text(std::u16string_view text);

}  // namespace velmaro::tags
