#include "plugin/PutDelete.h"

#include <optional>

#include "import/ImportTrack.h"
#include "library/SqlText.h"
#include "library/TWriteTransaction.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "plugin/ErrorTrap.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"

namespace velmaro {

std::u16string LowerFirstChar(std::u16string_view path) {
  if (path.empty()) return {};
  const std::u16string lower = platform::LowerCase(path);
  std::u16string result(path);
  // Only a one-unit lower case may replace the first unit.
  if (!lower.empty() && !(lower[0] >= 0xD800 && lower[0] <= 0xDFFF) && !(result[0] >= 0xD800 && result[0] <= 0xDFFF))
    result[0] = lower[0];
  return result;
}

void TPlugin::LogSkipped(std::u16string_view localName, import::TSkipReason why) {
  if (why == import::TSkipReason::None) why = import::TSkipReason::NotAudio;
  LogDetail(u"Skipped " + std::u16string(localName) + u": " + import::SkipReasonText(why));
}

bool TPlugin::OpenWrite(TBatch* batch, std::optional<TWriteTransaction>& own, std::u16string_view what) {
  if (batch != nullptr) return OpenBatchTransaction(*batch);
  try {
    own.emplace(FLibrary, FLock, what);
    return true;
  } catch (const std::exception& error) {
    ReportWriteRefusal(nullptr, error);
    return false;
  }
}

namespace {

// Tells the host which file is being put and how far; true when the user
// asked to stop. Called without the lock: the host's callback may wait for
// its own main thread, which may be waiting for the lock.
bool PutProgress(fsapi::tProgressProcW progressProc, int pluginNr, const char16_t* localName,
                 const char16_t* remoteName, int percent) {
  if (progressProc == nullptr) return false;
  std::u16string source = localName ? localName : u"", target = remoteName ? remoteName : u"";
  return progressProc(pluginNr, source.data(), target.data(), percent) != 0;
}

}  // namespace

int TPlugin::FsPutFileW(const char16_t* localName, const char16_t* remoteName, int copyFlags) {
  if (localName == nullptr) return fsapi::FS_FILE_OK;
  fsapi::tProgressProcW progressProc;
  int pluginNr;
  {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    progressProc = FProgressProc;
    pluginNr = FPluginNr;
  }
  // The host's cancel: this file is not recorded, and what the batch
  // recorded so far is kept.
  bool cancelled = false;
  try {
    cancelled = PutProgress(progressProc, pluginNr, localName, remoteName, 0);
  } catch (...) {
  }
  int result = fsapi::FS_FILE_USERABORT;
  {
    TCallScope scope(*this);
    if (cancelled) {
      Trapped("FsPutFileW", 0, [&] {
        if (TBatch* batch = ThisBatch()) CommitBatch(*batch);
        return 0;
      });
    } else {
      result = PutFile(localName, remoteName, copyFlags);
    }
  }
  if (result == fsapi::FS_FILE_OK) {
    try {
      PutProgress(progressProc, pluginNr, localName, remoteName, 100);
    } catch (...) {
    }
  }
  return result;
}

int TPlugin::PutFile(const char16_t* localName, const char16_t* remoteName, int) {
  return Trapped("FsPutFileW", fsapi::FS_FILE_OK, [&] {
    if (!platform::FileExists(localName)) {
      LogSkipped(localName, import::TSkipReason::NoFile);
      return fsapi::FS_FILE_OK;
    }
    const std::u16string_view remote = remoteName ? std::u16string_view(remoteName) : std::u16string_view();
    const bool favorite = StartsWith(remote, VPath(u"\\Favorites"));
    if (!EnsureLibrary()) return fsapi::FS_FILE_WRITEERROR;
    // A file no reader accepts is skipped without failing the copy (a
    // folder of music also holds pictures and playlists), and only the
    // host's log says why; a library that cannot be written is a failure
    // the host must hear of.
    const std::u16string path = LowerFirstChar(localName);
    import::TTrackFields fields;
    import::TSkipReason why = import::TSkipReason::None;
    bool accepted = false;
    try {
      accepted = import::ReadTrackFields(path, fields, &why);
    } catch (...) {
      why = import::TSkipReason::ReadError;
    }
    if (!accepted) {
      LogSkipped(localName, why);
      return fsapi::FS_FILE_OK;
    }
    // The file's row is written in the batch's transaction, or in one of
    // its own.
    TBatch* batch = ThisBatch();
    std::optional<TWriteTransaction> own;
    if (!OpenWrite(batch, own, u"a copy into the panel")) return fsapi::FS_FILE_WRITEERROR;
    switch (import::RecordTrack(*FLibrary.LibraryDatabase, path, fields, favorite, &why)) {
      case import::TImportResult::Imported: break;
      case import::TImportResult::NotAccepted: LogSkipped(localName, why); return fsapi::FS_FILE_OK;
      case import::TImportResult::Failed: return fsapi::FS_FILE_WRITEERROR;
    }
    if (own) {
      try {
        own->Commit();
      } catch (const std::exception& error) {
        ReportWriteRefusal(nullptr, error);
        return fsapi::FS_FILE_WRITEERROR;
      }
      return fsapi::FS_FILE_OK;
    }
    ++batch->Recorded;
    return MaybeCommitBatch(*batch) ? fsapi::FS_FILE_OK : fsapi::FS_FILE_WRITEERROR;
  });
}

int TPlugin::FsMkDirW(const char16_t* path) const {
  return path != nullptr && path[0] == PathDelim ? platform::HostTrue : platform::HostFalse;
}

int TPlugin::FsRemoveDirW(const char16_t* remoteName) const {
  return remoteName != nullptr && remoteName[0] == PathDelim ? platform::HostTrue : platform::HostFalse;
}

int TPlugin::FsDeleteFileW(const char16_t* remoteName) {
  return Trapped("FsDeleteFileW", platform::HostFalse, [&] {
    if (remoteName == nullptr) return platform::HostFalse;
    const std::u16string path = FTree.ResolveVirtualPath(remoteName);
    // A name that leads to no file, or to no row, deleted nothing.
    if (path.empty() || !FLibrary.LibraryDatabase || !FLibrary.DatabaseReady) return platform::HostFalse;
    TBatch* batch = ThisBatch();
    std::optional<TWriteTransaction> own;
    if (!OpenWrite(batch, own, u"a delete")) return platform::HostFalse;
    const bool removed = import::DeleteTrackRow(*FLibrary.LibraryDatabase, path) > 0;
    if (own) {
      own->Commit();
      return removed ? platform::HostTrue : platform::HostFalse;
    }
    if (removed) ++batch->Removed;
    if (!MaybeCommitBatch(*batch)) return platform::HostFalse;
    return removed ? platform::HostTrue : platform::HostFalse;
  });
}

}  // namespace velmaro
