// One Vorbis comment of a FLAC file: a name (upper-cased) and a value
// kept as UTF-8 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmaro::tags {

enum class TVorbisCommentFormat { vcfUnknown, vcfText, vcfBinary };

class TVorbisComment {
 public:
  std::u16string Name;
  TVorbisCommentFormat Format = TVorbisCommentFormat::vcfUnknown;
  std::vector<std::uint8_t> Stream;  // the value, UTF-8
  int Index = 0;                     // position in the tag's list

  // The value of a text comment, every control byte other than CR and LF
  // turned into a space; empty for any other format.
  std::u16string GetAsText() const;
};

}  // namespace velmaro::tags
