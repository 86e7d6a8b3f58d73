#include "tags/flac/TFlacMetaData.h"

#include <algorithm>
#include <string_view>

#include "platform/Text.h"
#include "tags/common/TByteView.h"

namespace velmaro::tags {

namespace {

// Walks the fields of a body held in memory; nothing is read outside it.
class TFieldCursor {
 public:
  explicit TFieldCursor(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::uint32_t BE32() {
    const std::uint32_t value = TByteView(FBytes).BE32(FPos);
    Advance(4);
    return value;
  }
  // The next count bytes, fewer when the body ends first.
  std::span<const std::uint8_t> Take(std::uint32_t count) {
    const std::size_t start = std::min(FPos, FBytes.size());
    const std::span<const std::uint8_t> part =
        FBytes.subspan(start, std::min<std::size_t>(count, FBytes.size() - start));
    Advance(count);
    return part;
  }

 private:
  void Advance(std::size_t count) { FPos = std::min(FBytes.size(), FPos + std::min(count, FBytes.size())); }

  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
};

}  // namespace

TFlacTagCoverArtInfo ReadFlacPictureInfo(std::span<const std::uint8_t> body) {
  TFlacTagCoverArtInfo info;
  TFieldCursor cursor(body);
  info.PictureType = cursor.BE32();
  // Every byte becomes the character with its code, in one allocation.
  const std::span<const std::uint8_t> mimeType = cursor.Take(cursor.BE32());
  info.MIMEType.assign(mimeType.begin(), mimeType.end());
  const std::uint32_t descriptionLength = cursor.BE32();
  if (descriptionLength != 0) {
    const std::span<const std::uint8_t> description = cursor.Take(descriptionLength);
    info.Description =
        platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(description.data()), description.size()));
  }
  info.Width = cursor.BE32();
  info.Height = cursor.BE32();
  info.ColorDepth = cursor.BE32();
  info.NoOfColors = cursor.BE32();
  info.SizeOfPictureData = cursor.BE32();
  info.PictureData = cursor.Take(info.SizeOfPictureData);
  return info;
}

}  // namespace velmaro::tags
