// The exports that work with the entries of a listing: local names and
// copying out, previews, custom columns. Each hands over to the module
// that owns the behaviour.
#include "plugin/Preview.h"
#include "plugin/TPlugin.h"

namespace velmaro {

int TPlugin::FsGetLocalNameW(char16_t* remoteName, int maxlen) { return FCopyOut.FsGetLocalNameW(remoteName, maxlen); }

int TPlugin::FsGetFileW(const char16_t* remoteName, const char16_t* localName, int copyFlags) {
  THostCallbacks host;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    host = THostCallbacks{FPluginNr, FProgressProc, FRequestProc};
  }
  // Takes the lock itself, and lets it go while the file is copied.
  return FCopyOut.FsGetFileW(remoteName, localName, copyFlags, host, FLock);
}

int TPlugin::FsGetPreviewBitmapW(char16_t* remoteName, int, int, fsapi::TBitmapHandle* returnedBitmap) {
  // The host sizes the thumbnail itself.
  return GetPreviewBitmap(FTree, remoteName, returnedBitmap);
}

int TPlugin::FsContentGetSupportedField(int fieldIndex, char* fieldName, char* units, int maxlen) const {
  return FColumns.FsContentGetSupportedField(fieldIndex, fieldName, units, maxlen);
}

int TPlugin::FsContentGetValueW(const char16_t* fileName, int fieldIndex, int, void* fieldValue, int maxlen, int) {
  // Every value is delivered at once: the unit and the host's flags change nothing.
  return FColumns.FsContentGetValueW(fileName, fieldIndex, fieldValue, maxlen);
}

int TPlugin::FsContentGetDefaultViewW(char16_t* viewContents, char16_t* viewHeaders, char16_t* viewWidths,
                                      char16_t* viewOptions, int maxlen) const {
  return FColumns.FsContentGetDefaultViewW(viewContents, viewHeaders, viewWidths, viewOptions, maxlen);
}

}  // namespace velmaro
