// Byte builders for ID3v2 tags and frames (versions 2.2, 2.3, 2.4), for
// the cases no tagging tool writes: unsynchronisation, extended headers,
// footers, hostile sizes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

// A 28-bit value as four bytes of 7 bits each.
TBytes Synchsafe(std::uint32_t v);

// Unsynchronisation as a writer applies it: a zero byte after every 0xFF
// that is followed by 0x00, by a byte of 0xE0 or above, or by nothing.
TBytes Unsynchronise(const TBytes& bytes);

// Text frame bodies: the encoding byte, then the text.
TBytes Latin1Text(std::string_view text);             // encoding 0, bytes as given
TBytes Utf8Text(std::string_view utf8);                // encoding 3
TBytes Utf16Text(std::u16string_view text, bool bom = true, bool bigEndian = false);  // encoding 1
TBytes Utf16BEText(std::u16string_view text);          // encoding 2
// UTF-16 units without encoding byte and terminator.
TBytes Utf16Units(std::u16string_view text, bool bigEndian);
// A comment body with encoding 0: language, description, zero, text.
TBytes Latin1Comment(std::string_view language, std::string_view description, std::string_view text);

// One frame: header for the version (2: 3-byte ID and 3-byte size; 3:
// 32-bit size and flags; 4: synchsafe size and flags) and body.
TBytes Frame(int majorVersion, std::string_view id, const TBytes& body, std::uint16_t flags = 0);
// A frame whose header declares `size` whatever the body holds.
TBytes FrameWithSize(int majorVersion, std::string_view id, std::uint32_t size, const TBytes& body,
                     std::uint16_t flags = 0);

// A whole tag: header, body, padding; the size field counts body and
// padding unless set. With UnsynchroniseAll the body and padding are
// unsynchronised as a whole after the sizes were taken, as the standard
// describes, and the flag is set.
class TId3v2Builder {
 public:
  explicit TId3v2Builder(int majorVersion) : FMajor(majorVersion) {}
  TId3v2Builder& Flags(std::uint8_t flags);
  TId3v2Builder& Add(const TBytes& bytes);  // a frame, an extended header, anything
  TId3v2Builder& Frame(std::string_view id, const TBytes& body, std::uint16_t flags = 0);
  TId3v2Builder& Text(std::string_view id, std::string_view latin1);
  TId3v2Builder& Padding(std::size_t count);
  TId3v2Builder& UnsynchroniseAll();
  TId3v2Builder& Footer();  // version 2.4: "3DI" footer, flag bit 4
  TId3v2Builder& SizeField(std::uint32_t size);
  TBytes Build() const;

 private:
  int FMajor;
  std::uint8_t FFlags = 0;
  TBytes FBody;
  std::size_t FPadding = 0;
  bool FUnsynchronise = false;
  bool FFooter = false;
  bool FSizeSet = false;
  std::uint32_t FSize = 0;
};

}  // namespace velmaro::testsupport
