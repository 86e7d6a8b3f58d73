// FLTK stays in the host once the plug-in has brought it in: it keeps
// objects of its own from its start (its display device) and may hold a
// connection to the display, none of which may be unmapped under it when
// the host unloads the plug-in.
#include <FL/Fl.H>

#include "platform/FileSystem.h"
#include "ui/Dialogs.h"

namespace velmaro::ui {

void KeepToolkitLoaded() {
  int (*run)() = &Fl::run;
  platform::KeepLibraryLoaded(reinterpret_cast<const void*>(run));
}

}  // namespace velmaro::ui
