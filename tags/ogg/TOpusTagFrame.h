// One comment of an Ogg comment header: its name (upper-cased) and the
// raw bytes of its value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmaro::tags {

enum class TOpusTagFrameFormat { otffUnknown, otffText, otffCoverArt, otffBinary };

struct TOpusTagFrame {
  std::u16string Name;  // upper-cased with ASCII rules
  TOpusTagFrameFormat Format = TOpusTagFrameFormat::otffUnknown;
  std::vector<std::uint8_t> Stream;  // the value's bytes as stored (UTF-8 for text)
  int Index = 0;                     // position in the tag's frame list

  // Text: the value decoded as UTF-8. A picture (its value is base64 of
  // the picture block) gives a short description with its size instead.
  std::u16string GetAsText() const;
};

}  // namespace velmaro::tags
