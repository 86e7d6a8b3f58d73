// The changes a rebuild has worked out, kept apart from the library until
// they are saved all at once: rows of files that are gone, and the fresh
// values of files read again. They live in a private temporary database
// of their own (SQLite keeps a small one in memory and a large one in a
// temporary file), so that a rebuild of a million rows needs little
// memory, holds no lock on the library while it reads the files, and a
// cancelled rebuild leaves nothing behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "import/TrackFields.h"
#include "library/TDISQLite3Database.h"
#include "library/TDISQLite3Statement.h"

namespace velmaro::import {

class TRebuildStage {
 public:
  TRebuildStage();
  ~TRebuildStage();
  TRebuildStage(const TRebuildStage&) = delete;
  TRebuildStage& operator=(const TRebuildStage&) = delete;

  // The row rowid, read with path, goes: its file is gone.
  void AddDelete(std::int64_t rowid, const std::u16string& path);
  // The row rowid, read with path, takes these values.
  void AddUpdate(std::int64_t rowid, const std::u16string& path, const TTrackFields& fields);
  std::int64_t Count();

  struct TApplied {
    std::int64_t Deleted = 0, Refreshed = 0;
  };
  // Applies the staged changes of rows after `after` in rowid order, at
  // most limit of them, inside the caller's transaction on the library.
  // A change is made only to a row that still holds the path it was read
  // with: a row written anew meanwhile (the same file copied in again)
  // keeps what was written. Returns the last rowid handled, or 0 when
  // nothing was left.
  std::int64_t ApplyChunk(TDISQLite3Database& library, std::int64_t after, int limit, TApplied& applied);

 private:
  std::unique_ptr<TDISQLite3Database> FStore;
  std::unique_ptr<TDISQLite3Statement> FInsert;
};

}  // namespace velmaro::import
