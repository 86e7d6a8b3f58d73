// Files on Windows: existence, size, reading, copying, the module's path.
#include "platform/FileSystem.h"

#include <algorithm>
#include <exception>

#include "platform/System.h"
#include "platform/Text.h"
#include "platform/windows/WinApi.h"

namespace velmaro::platform {

namespace {

using windows::WidePath;

// Closes a handle when it goes out of scope.
class THandle {
 public:
  explicit THandle(HANDLE handle) : FHandle(handle) {}
  ~THandle() {
    if (IsValid()) ::CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  HANDLE Get() const { return FHandle; }
  bool IsValid() const { return FHandle != INVALID_HANDLE_VALUE && FHandle != nullptr; }

 private:
  HANDLE FHandle;
};

struct TFileInfo {
  DWORD Attributes = 0;
  std::int64_t Size = 0;
};

// What the name stands for, links followed: the attributes of a symbolic
// link or junction are its own, so those are asked of the file it leads to.
// False (and the last error set) when there is no such file.
bool QueryFile(std::u16string_view path, TFileInfo& info) {
  auto native = WidePath(path);
  if (!native || native->empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExW(native->c_str(), GetFileExInfoStandard, &data)) {
    info.Attributes = data.dwFileAttributes;
    info.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  } else if (::GetLastError() != ERROR_SHARING_VIOLATION) {
    return false;
  }
  // A link, or a file the system keeps locked (which the attribute query
  // cannot open): asked through a handle that needs no access rights.
  // A dangling link fails to open.
  THandle file(::CreateFileW(native->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION details{};
  if (file.IsValid() && ::GetFileInformationByHandle(file.Get(), &details)) {
    info.Attributes = details.dwFileAttributes;
    info.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(details.nFileSizeHigh) << 32) |
                                          details.nFileSizeLow);
    return true;
  }
  // The locked file is still there: FindFirstFileW reads the folder's entry.
  // Wildcards would match other names, so only a plain name is looked up.
  if (native->find_first_of(L"*?") != std::wstring::npos) return false;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(native->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  info.Attributes = found.dwFileAttributes;
  info.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsFolder(const TFileInfo& info) { return (info.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// What CopyFileExW needs to call the caller's progress routine.
struct TCopyContext {
  const TCopyProgress* Progress = nullptr;
  // An exception of the caller's routine, held until the system copy has
  // returned: it must not unwind through the system's frames.
  std::exception_ptr Failure;
};

DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER totalSize, LARGE_INTEGER copied, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                   DWORD, HANDLE, HANDLE, LPVOID data) {
  auto* context = static_cast<TCopyContext*>(data);
  try {
    return (*context->Progress)(totalSize.QuadPart, copied.QuadPart) ? PROGRESS_CONTINUE : PROGRESS_CANCEL;
  } catch (...) {
    context->Failure = std::current_exception();
    return PROGRESS_CANCEL;
  }
}

}  // namespace

bool FileExists(std::u16string_view path) {
  TFileInfo info;
  return QueryFile(path, info) && !IsFolder(info);
}

bool DirectoryExists(std::u16string_view path) {
  TFileInfo info;
  return QueryFile(path, info) && IsFolder(info);
}

TFilePresence FilePresence(std::u16string_view path) {
  TFileInfo info;
  if (QueryFile(path, info)) return TFilePresence::Present;
  const auto native = WidePath(path);
  if (!native || native->empty()) return TFilePresence::Unreachable;
  // The name is there but cannot be followed: a link to a drive that is away.
  if (::GetFileAttributesW(native->c_str()) != INVALID_FILE_ATTRIBUTES) return TFilePresence::Unreachable;
  if (::GetLastError() != ERROR_FILE_NOT_FOUND) return TFilePresence::Unreachable;
  const std::size_t split = native->find_last_of(L"\\/");
  std::wstring pattern = split == std::wstring::npos ? std::wstring(L".") : native->substr(0, split);
  pattern += L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return TFilePresence::Unreachable;
  bool holdsSomething = false;
  do {
    const std::wstring_view name = found.cFileName;
    holdsSomething = name != L"." && name != L"..";
  } while (!holdsSomething && ::FindNextFileW(search, &found));
  ::FindClose(search);
  return holdsSomething ? TFilePresence::Gone : TFilePresence::Unreachable;
}

std::int64_t FileSize(std::u16string_view path) {
  TFileInfo info;
  if (!QueryFile(path, info)) return -1;
  return IsFolder(info) ? 0 : info.Size;
}

bool DeleteFile(std::u16string_view path) {
  auto native = WidePath(path);
  if (!native) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return ::DeleteFileW(native->c_str()) != 0;
}

void KeepLibraryLoaded(const void* address) {
  if (address == nullptr) return;
  HMODULE module = nullptr;
  // Pinned: the loader keeps the module until the process ends.
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       static_cast<const wchar_t*>(address), &module);
}

// ---- TReadFile --------------------------------------------------------------

struct TReadFile::TImpl {
  HANDLE File = INVALID_HANDLE_VALUE;
  std::int64_t Size = 0;
  std::int64_t Position = 0;
};

TReadFile::TReadFile(std::u16string_view path) : FImpl(std::make_unique<TImpl>()) {
  auto native = WidePath(path);
  if (!native || native->empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return;
  }
  // Others may read the file meanwhile, but not write it.
  HANDLE file = ::CreateFileW(native->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;  // the last error says why
  // Only files on a disk: a device ("CON", "COM1") or a pipe could block a
  // read or never end.
  LARGE_INTEGER size{};
  DWORD code = ERROR_SUCCESS;
  if (::GetFileType(file) != FILE_TYPE_DISK)
    code = ERROR_INVALID_FUNCTION;
  else if (!::GetFileSizeEx(file, &size))
    code = ::GetLastError();
  if (code != ERROR_SUCCESS) {
    ::CloseHandle(file);
    ::SetLastError(code);
    return;
  }
  FImpl->File = file;
  FImpl->Size = size.QuadPart;
}

TReadFile::~TReadFile() {
  if (FImpl->File != INVALID_HANDLE_VALUE) ::CloseHandle(FImpl->File);
}

bool TReadFile::IsOpen() const { return FImpl->File != INVALID_HANDLE_VALUE; }

std::int64_t TReadFile::Size() const { return FImpl->Size; }

std::int64_t TReadFile::Position() const { return FImpl->Position; }

std::int64_t TReadFile::Seek(std::int64_t position) {
  FImpl->Position = std::clamp<std::int64_t>(position, 0, FImpl->Size);
  return FImpl->Position;
}

std::size_t TReadFile::Read(void* buffer, std::size_t count) {
  if (!IsOpen()) return 0;
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, std::size_t{1} << 30));
    // Each read names its own offset, as pread does.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(FImpl->Position) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(FImpl->Position) >> 32);
    DWORD got = 0;
    if (!::ReadFile(FImpl->File, out + done, chunk, &got, &at) || got == 0) break;
    done += got;
    FImpl->Position += got;
  }
  return done;
}

// ---- copy -------------------------------------------------------------------

int CopyFileWithProgress(std::u16string_view source, std::u16string_view target, const TCopyProgress& progress) {
  auto from = WidePath(source);
  auto to = WidePath(target);
  if (!from || !to) {
    ::SetLastError(ERROR_INVALID_NAME);
    return ERROR_INVALID_NAME;
  }
  TCopyContext context;
  context.Progress = &progress;
  // Restartable: a copy broken off midway can be taken up again; a cancel
  // from the routine makes the system remove the partial target.
  const BOOL copied = ::CopyFileExW(from->c_str(), to->c_str(), progress ? CopyProgressRoutine : nullptr,
                                    progress ? &context : nullptr, nullptr, COPY_FILE_RESTARTABLE);
  if (context.Failure) std::rethrow_exception(context.Failure);
  if (copied) return 0;
  const DWORD code = ::GetLastError();
  // A failure must never read as success.
  const int result = code == ERROR_SUCCESS ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(code);
  ::SetLastError(static_cast<DWORD>(result));
  return result;
}

}  // namespace velmaro::platform
