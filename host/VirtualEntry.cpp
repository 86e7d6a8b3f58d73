#include "host/VirtualEntry.h"

#include "platform/Platform.h"

namespace velmaro::host {

TVirtualSplit SplitVirtual(std::u16string_view path) {
  const char16_t delim = platform::PathDelim;
  if (path.size() > 1 && path.back() == delim) path.remove_suffix(1);
  const std::size_t split = path.find_last_of(delim);
  if (split == std::u16string_view::npos) return {std::u16string(1, delim), std::u16string(path)};
  return {split == 0 ? std::u16string(1, delim) : std::u16string(path.substr(0, split)),
          std::u16string(path.substr(split + 1))};
}

std::optional<TEntry> FindEntry(THostHarness& host, std::u16string_view path) {
  const TVirtualSplit split = SplitVirtual(path);
  if (split.Name.empty()) return std::nullopt;
  const TListing listing = host.List(split.Folder);
  for (const TEntry& entry : listing.Entries)
    if (entry.Name == split.Name) return entry;
  return std::nullopt;
}

}  // namespace velmaro::host
