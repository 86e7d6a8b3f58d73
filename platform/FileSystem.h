// Files: existence, size, reading, copying, the module's own path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velmaro::platform {

// True when a file (not a folder) of that name exists; links are followed.
bool FileExists(std::u16string_view path);
// True when a folder of that name exists; links are followed.
bool DirectoryExists(std::u16string_view path);
// Whether a file is there, known to be gone, or cannot be told. Gone only
// when the folder its path names is there, can be listed and holds
// something, and the file is not in it; a folder without permission, an
// I/O error, a drive that is not ready or not mounted (an empty mount
// point), a share that is down, a link whose target cannot be reached:
// not reachable.
enum class TFilePresence { Present, Gone, Unreachable };
TFilePresence FilePresence(std::u16string_view path);
// Size in bytes, or -1 when the file cannot be examined.
std::int64_t FileSize(std::u16string_view path);
// Deletes a file; false (and the last error set) when it cannot.
bool DeleteFile(std::u16string_view path);

// The full path of the loaded plug-in module (the shared object or DLL
// that contains this code).
std::u16string ModulePath();
// Keeps the shared library holding that address loaded for the rest of
// the process, also after the plug-in that brought it in is unloaded
// (a toolkit with state of its own must not be unmapped under it).
void KeepLibraryLoaded(const void* address);

// A file opened for reading only, denying writers where the platform can.
// Reads never go past the end; a failed open leaves IsOpen() false.
class TReadFile {
 public:
  explicit TReadFile(std::u16string_view path);
  ~TReadFile();
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;

  bool IsOpen() const;
  std::int64_t Size() const;
  // Reads up to count bytes at the current position; returns bytes read
  // (0 at the end or on error).
  std::size_t Read(void* buffer, std::size_t count);
  // Moves to an absolute position (clamped to 0..Size()); returns it.
  std::int64_t Seek(std::int64_t position);
  std::int64_t Position() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// Copies a file in chunks, calling progress(total, copied) after every
// chunk; progress returning false cancels the copy. A cancelled or failed
// copy removes the partial target. Keeps the source's modification time.
// Returns 0 on success, else the system error code (also set as the last
// error); a cancel gives the platform's "cancelled" code.
using TCopyProgress = std::function<bool(std::int64_t total, std::int64_t copied)>;
int CopyFileWithProgress(std::u16string_view source, std::u16string_view target,
                         const TCopyProgress& progress);

}  // namespace velmaro::platform
