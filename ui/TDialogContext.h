// What a dialog needs of the plug-in: the library connection, the lock
// that guards it, and the two services of the folder tree and the columns.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "library/Library.h"

namespace velmaro::ui {

struct TDialogContext {
  // The process's library; the dialogs use its one connection.
  TLibraryState* Library = nullptr;
  // The process-wide lock: taken for each database action, never while
  // the dialog waits for the user (the host's worker thread asks column
  // values meanwhile).
  std::recursive_mutex* Lock = nullptr;
  // The real file behind a virtual path (called with the lock held).
  std::function<std::u16string(std::u16string_view)> ResolveVirtualPath;
  // Closes the custom columns' cached query before a dialog writes (called
  // with the lock held).
  std::function<void()> CloseColumnQuery;
  // The host's main window, which owns the dialog on Windows. On POSIX it
  // is a pointer of the host's own toolkit and is never touched.
  void* MainWin = nullptr;
};

}  // namespace velmaro::ui
