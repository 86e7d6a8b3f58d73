#include "plugin/Preview.h"

#include <algorithm>
#include <string>

#include "plugin/ErrorTrap.h"
#include "plugin/TFolderTree.h"

namespace velmaro {

namespace {
constexpr std::size_t MaxPreviewPath = 258;
}  // namespace

int GetPreviewBitmap(TFolderTree& tree, char16_t* remoteName, fsapi::TBitmapHandle* returnedBitmap) {
  if (returnedBitmap != nullptr) *returnedBitmap = nullptr;
  if (remoteName == nullptr) return fsapi::FS_BITMAP_NONE;
  return Trapped("FsGetPreviewBitmapW", fsapi::FS_BITMAP_EXTRACT_YOURSELF, [&] {
    const std::u16string real = tree.ResolveVirtualPath(remoteName);
    if (!real.empty()) {
      const std::size_t n = std::min(real.size(), MaxPreviewPath);
      std::copy_n(real.data(), n, remoteName);
      remoteName[n] = 0;
    }
    return fsapi::FS_BITMAP_EXTRACT_YOURSELF;
  });
}

}  // namespace velmaro
