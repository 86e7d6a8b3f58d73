// A bounds-checked view of bytes already read through a TStream.
//
// Readers that read a block at once (a 128-byte tag, a search window)
// look at its fields through this view instead of indexing raw memory:
// every byte outside the view reads as 0, as a stream's missing bytes do.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmaro::tags {

class TByteView {
 public:
  TByteView() = default;
  explicit TByteView(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::size_t Size() const { return FBytes.size(); }
  // True when count bytes from offset all lie inside the view.
  bool Holds(std::size_t offset, std::size_t count) const {
    return offset <= FBytes.size() && count <= FBytes.size() - offset;
  }

  std::uint8_t At(std::size_t offset) const { return offset < FBytes.size() ? FBytes[offset] : 0; }
  std::uint32_t BE32(std::size_t offset) const {
    return static_cast<std::uint32_t>(At(offset)) << 24 | static_cast<std::uint32_t>(At(offset + 1)) << 16 |
           static_cast<std::uint32_t>(At(offset + 2)) << 8 | At(offset + 3);
  }
  // True when the bytes at offset equal the text and lie inside the view.
  bool Matches(std::size_t offset, std::string_view text) const {
    if (!Holds(offset, text.size())) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (FBytes[offset + i] != static_cast<std::uint8_t>(text[i])) return false;
    return true;
  }
  // The offset of the first byte equal to value at or after from, or
  // Size() when there is none.
  std::size_t Find(std::uint8_t value, std::size_t from) const {
    if (from >= FBytes.size()) return FBytes.size();
    const auto it = std::find(FBytes.begin() + static_cast<std::ptrdiff_t>(from), FBytes.end(), value);
    return static_cast<std::size_t>(it - FBytes.begin());
  }
  // The part of the view from offset, at most count bytes (empty past the end).
  TByteView Slice(std::size_t offset, std::size_t count) const {
    if (offset >= FBytes.size()) return {};
    return TByteView(FBytes.subspan(offset, std::min(count, FBytes.size() - offset)));
  }
  // The bytes as 8-bit characters (zero bytes included).
  std::string ToString() const { return std::string(FBytes.begin(), FBytes.end()); }

 private:
  std::span<const std::uint8_t> FBytes;
};

}  // namespace velmaro::tags
