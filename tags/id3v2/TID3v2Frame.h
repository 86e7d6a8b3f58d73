// One frame of an ID3v2 tag: its ID, its header flags and its body bytes
// as stored in the file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmaro::tags {

// A frame ID of four bytes. A version 2.2 ID without a four-character
// equivalent keeps its three bytes and a zero fourth byte.
using TFrameID = std::array<char, 4>;

// The first four characters of the text as a frame ID, missing ones as 0.
TFrameID MakeFrameID(std::string_view text);
// The ID as text, without zero bytes at its end.
std::string FrameIDText(const TFrameID& id);

struct TID3v2Frame {
  TFrameID ID{};
  // Body bytes as declared, less the bytes the flags announce before the
  // body; a frame that declared more than the tag holds keeps its declared
  // size and has no body.
  std::int64_t Size = 0;
  // The body as stored: compressed and encrypted bodies are not decoded.
  std::vector<std::uint8_t> Stream;
  // The two stored flag bytes, the first one high (versions 2.3 and 2.4).
  std::uint16_t Flags = 0;
  bool TagAlterPreservation = false;
  bool FileAlterPreservation = false;
  bool ReadOnly = false;
  bool Compressed = false;
  bool Encrypted = false;
  bool GroupingIdentity = false;
  bool Unsynchronised = false;  // the body still holds unsynchronisation
  bool DataLengthIndicator = false;
  std::uint8_t GroupIdentifier = 0;
  std::uint8_t EncryptionMethod = 0;
  std::uint32_t DataLengthIndicatorValue = 0;

  // Undoes the unsynchronisation of the body when it holds one.
  void RemoveUnsynchronisation();
};

// Unsynchronisation inserts a zero byte after every 0xFF that a reader
// could take for an MPEG sync; this drops every 0x00 that directly follows
// a 0xFF. The byte after a dropped zero is judged afresh, so FF 00 00
// becomes FF 00.
std::vector<std::uint8_t> DecodeUnsynchronisation(std::span<const std::uint8_t> bytes);

// The ID3v2.3 equivalent of a version 2.2 frame ID (three characters);
// an ID without one keeps its three bytes and a zero fourth byte.
TFrameID ConvertID3v22FrameID(std::string_view id);

// Rewrites the body of a version 2.2 PIC frame (encoding, 3-character
// image format, picture type, description, data) in the layout of an
// APIC frame: UTF-16 encoding, MIME type, picture type, description in
// UTF-16LE with a byte-order mark, data. ansiText decodes 8-bit
// descriptions with the system's code page.
std::vector<std::uint8_t> ConvertID3v22Picture(std::span<const std::uint8_t> body, bool ansiText);

}  // namespace velmaro::tags
