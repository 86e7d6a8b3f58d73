#include "tags/mp4/TMP4AtomData.h"

#include <string_view>

#include "platform/Text.h"
#include "tags/common/TByteView.h"

namespace velmaro::tags {

std::u16string TMP4AtomData::GetAsText() const {
  if (DataType != TypeUtf8) return {};
  return platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(Data.data()), Data.size()));
}

std::uint64_t TMP4AtomData::BigEndian(std::size_t count) const {
  const TByteView view(Data);
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value << 8 | view.At(i);
  return value;
}

std::uint8_t TMP4AtomData::GetAsInteger8() const {
  return HoldsInteger() ? static_cast<std::uint8_t>(BigEndian(1)) : 0;
}

std::uint16_t TMP4AtomData::GetAsInteger16() const {
  return HoldsInteger() ? static_cast<std::uint16_t>(BigEndian(2)) : 0;
}

std::uint32_t TMP4AtomData::GetAsInteger32() const {
  return HoldsInteger() ? static_cast<std::uint32_t>(BigEndian(4)) : 0;
}

bool TMP4AtomData::GetAsInteger48(std::uint32_t& lowDWord, std::uint16_t& hiWord, std::uint64_t& value) const {
  lowDWord = 0;
  hiWord = 0;
  value = 0;
  if (!HoldsInteger()) return false;
  const std::uint64_t all = BigEndian(6);
  hiWord = static_cast<std::uint16_t>(all >> 32);
  lowDWord = static_cast<std::uint32_t>(all);
  value = all;
  return true;
}

bool TMP4AtomData::GetAsInteger64(std::uint64_t& value) const {
  value = HoldsInteger() ? BigEndian(8) : 0;
  return HoldsInteger();
}

bool TMP4AtomData::GetAsInteger(std::uint64_t& value) const {
  value = 0;
  switch (Data.size()) {
    case 1:
      value = GetAsInteger8();
      return true;
    case 2:
      value = GetAsInteger16();
      return true;
    case 4:
      value = GetAsInteger32();
      return true;
    case 6: {
      std::uint32_t low = 0;
      std::uint16_t high = 0;
      return GetAsInteger48(low, high, value);
    }
    case 8:
      return GetAsInteger64(value);
    default:
      return false;
  }
}

}  // namespace velmaro::tags
