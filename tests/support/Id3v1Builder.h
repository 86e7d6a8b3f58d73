// Byte builders for ID3v1 / ID3v1.1 tags and Lyrics3 version 2 blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/TagBytes.h"

namespace velmaro::testsupport {

// Texts are written byte for byte and cut at their field's width; shorter
// texts are padded with zero bytes (or with padByte).
struct Id3v1Fields {
  std::string title{}, artist{}, album{}, year{}, comment{};
  int track = -1;  // 0..255 writes an ID3v1.1 tag (zero byte, track byte)
  std::uint8_t genre = 255;
  std::uint8_t padByte = 0;
};
// The 128-byte tag.
TBytes Id3v1Tag(const Id3v1Fields& fields);

// One Lyrics3 v2 field: 3-character ID, 5-digit length, data.
std::string Lyrics3Field(std::string_view id, std::string_view data);
// "LYRICSBEGIN", the fields, the 6-digit block size (or sizeText as
// given), "LYRICS200".
TBytes Lyrics3v2Block(std::string_view fields, std::string_view sizeText = {});

}  // namespace velmaro::testsupport
