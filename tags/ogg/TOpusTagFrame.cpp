#include "tags/ogg/TOpusTagFrame.h"

#include <string_view>

#include "platform/Text.h"

namespace velmaro::tags {

std::u16string TOpusTagFrame::GetAsText() const {
  if (Format == TOpusTagFrameFormat::otffCoverArt)
    return u"Cover art (" + platform::IntToU16(static_cast<long long>(Stream.size())) + u" bytes)";
  if (Format != TOpusTagFrameFormat::otffText) return {};
  return platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(Stream.data()), Stream.size()));
}

}  // namespace velmaro::tags
