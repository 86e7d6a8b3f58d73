// What one tag may make a reader keep in memory.
//
// A plug-in runs inside the user's file manager, so a crafted file must
// not make it hold hundreds of megabytes. Real tags hold tens of items
// whose values are a few kilobytes; only pictures are large, and nobody
// reads their bytes (the import only asks whether there is one). So:
// - at most MaxTagItems items (frames, comments, attributes, atoms) per
//   tag; the reader stops there as if the tag ended;
// - a value longer than MaxKeptValueBytes is skipped, not kept: its item
//   stays where the format has a name for it, with an empty value;
// - the values of one tag together keep at most MaxKeptTagBytes; values
//   past that are skipped the same way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmaro::tags {

inline constexpr std::size_t MaxTagItems = 16384;
// Far above any title, comment or lyrics text; a text this long becomes
// several times its size on its way into the library row.
inline constexpr std::size_t MaxKeptValueBytes = std::size_t{1} << 20;
inline constexpr std::size_t MaxKeptTagBytes = std::size_t{8} << 20;

// The most structural units (metadata blocks, atoms, header objects) one
// walk over a file's layout visits. Real files have a few hundred at
// most; a file of countless tiny units would cost a read every few bytes,
// seconds per gigabyte. A walk that reaches the limit ends there.
inline constexpr std::size_t MaxWalkedUnits = 16384;

// Counts what one tag keeps against the item and byte limits above.
class TTagBudget {
 public:
  // True, with one more item counted, while fewer than MaxTagItems were.
  bool TakeItem() {
    if (FItems >= MaxTagItems) return false;
    ++FItems;
    return true;
  }
  // True, with the bytes counted, when a value of that size may be kept.
  bool TakeBytes(std::uint64_t count) {
    if (count > MaxKeptValueBytes || count > MaxKeptTagBytes - FBytes) return false;
    FBytes += static_cast<std::size_t>(count);
    return true;
  }

 private:
  std::size_t FItems = 0;
  std::size_t FBytes = 0;
};

}  // namespace velmaro::tags
