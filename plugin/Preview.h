// Thumbnails: the plug-in draws none; it names the real audio file and
// lets the host extract the picture from it.
#pragma once

#include "plugin/FsPluginApi.h"

namespace velmaro {

class TFolderTree;

// Sets *returnedBitmap to none and, when the entry has a real file behind
// it, overwrites remoteName with that file's path (at most 258 characters
// and a zero). Returns FS_BITMAP_EXTRACT_YOURSELF. Never throws.
int GetPreviewBitmap(TFolderTree& tree, char16_t* remoteName, fsapi::TBitmapHandle* returnedBitmap);

}  // namespace velmaro
