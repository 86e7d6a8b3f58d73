#include "tags/flac/TVorbisComment.h"

#include "platform/Text.h"

namespace velmaro::tags {

std::u16string TVorbisComment::GetAsText() const {
  if (Format != TVorbisCommentFormat::vcfText) return {};
  std::string bytes(Stream.begin(), Stream.end());
  for (char& c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 && byte != 13 && byte != 10) c = ' ';
  }
  return platform::Utf8ToUtf16(bytes);
}

}  // namespace velmaro::tags
