// Files on POSIX: existence, size, reading, copying, the module's path.

// 64-bit file offsets also where off_t would otherwise be 32 bits wide.
#define _FILE_OFFSET_BITS 64

#include "platform/FileSystem.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/System.h"
#include "platform/Text.h"
#include "platform/posix/NativePath.h"

namespace velmaro::platform {

namespace {

// Closes a file descriptor when it goes out of scope.
class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : FFd(fd) {}
  ~TFileDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return FFd; }
  bool IsValid() const { return FFd >= 0; }
  // Closes now, reporting the error a delayed write may surface only here.
  int Close() {
    int result = ::close(FFd);
    FFd = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int FFd;
};

bool StatPath(std::u16string_view path, struct stat& info) {
  auto native = posix::NativePath(path);
  if (!native) {
    errno = ENOENT;
    return false;
  }
  return ::stat(native->c_str(), &info) == 0;
}

// Writes all bytes; 0 or the error code.
int WriteAll(int fd, const char* data, std::size_t count) {
  while (count > 0) {
    ssize_t written = ::write(fd, data, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    data += written;
    count -= static_cast<std::size_t>(written);
  }
  return 0;
}

constexpr std::size_t CopyChunkSize = 256 * 1024;

// The copy itself; 0 or the error code. A failure after the target was
// opened for writing removes it.
int CopyFileChunked(std::u16string_view sourcePath, std::u16string_view targetPath, const TCopyProgress& progress) {
  auto source = posix::NativePath(sourcePath);
  auto target = posix::NativePath(targetPath);
  if (!source || !target || source->empty() || target->empty()) return ENOENT;

  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  TFileDescriptor in(::open(source->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!in.IsValid()) return errno;
  struct stat sourceInfo {};
  if (::fstat(in.Get(), &sourceInfo) != 0) return errno;
  if (S_ISDIR(sourceInfo.st_mode)) return EISDIR;
  if (!S_ISREG(sourceInfo.st_mode)) return EINVAL;

  // Not truncated on opening: the target may turn out to be the source itself.
  TFileDescriptor out(::open(target->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
  if (!out.IsValid()) return errno;
  struct stat targetInfo {};
  if (::fstat(out.Get(), &targetInfo) != 0) return errno;
  if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) return EINVAL;
  if (!S_ISREG(targetInfo.st_mode)) return EINVAL;

  auto fail = [&](int code) {
    out.Close();
    ::unlink(target->c_str());
    return code;
  };

  if (::ftruncate(out.Get(), 0) != 0) return fail(errno);

  // The caller's routine may throw: the partial target goes all the same.
  auto report = [&](std::int64_t total, std::int64_t done) {
    try {
      return progress(total, done);
    } catch (...) {
      fail(ECANCELED);
      throw;
    }
  };

  const std::int64_t expected = sourceInfo.st_size;
  std::vector<char> buffer(CopyChunkSize);
  std::int64_t copied = 0;
  bool reported = false;
  for (;;) {
    ssize_t count = ::read(in.Get(), buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (count == 0) break;
    if (int code = WriteAll(out.Get(), buffer.data(), static_cast<std::size_t>(count))) return fail(code);
    copied += count;
    reported = true;
    // A file that grew while copied never reports more copied than total.
    if (progress && !report(std::max(expected, copied), copied)) return fail(ECANCELED);
  }
  // An empty file still gets its one progress call.
  if (!reported && progress && !report(expected, copied)) return fail(ECANCELED);

  // Permissions and times are kept where the target's file system can hold
  // them; one that cannot (a FAT stick) still gets the data.
  ::fchmod(out.Get(), sourceInfo.st_mode & 0777);
  const timespec times[2] = {{0, UTIME_OMIT}, sourceInfo.st_mtim};
  ::futimens(out.Get(), times);

  if (int code = out.Close()) {
    ::unlink(target->c_str());
    return code;
  }
  return 0;
}

// An object inside this module, for asking the loader which module we are.
const char ModuleAnchor = 0;

}  // namespace

bool FileExists(std::u16string_view path) {
  struct stat info {};
  return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(std::u16string_view path) {
  struct stat info {};
  return StatPath(path, info) && S_ISDIR(info.st_mode);
}

TFilePresence FilePresence(std::u16string_view path) {
  const auto native = posix::NativePath(path);
  if (!native || native->empty()) return TFilePresence::Unreachable;
  struct stat info {};
  if (::stat(native->c_str(), &info) == 0) return TFilePresence::Present;
  if (errno != ENOENT) return TFilePresence::Unreachable;
  // A link whose target is missing may lead onto a drive that is away.
  if (::lstat(native->c_str(), &info) == 0) return TFilePresence::Unreachable;
  const std::size_t slash = native->find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : native->substr(0, slash));
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return TFilePresence::Unreachable;
  bool holdsSomething = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      holdsSomething = true;
      break;
    }
  }
  ::closedir(dir);
  return holdsSomething ? TFilePresence::Gone : TFilePresence::Unreachable;
}

std::int64_t FileSize(std::u16string_view path) {
  struct stat info {};
  if (!StatPath(path, info)) return -1;
  return S_ISDIR(info.st_mode) ? 0 : static_cast<std::int64_t>(info.st_size);
}

bool DeleteFile(std::u16string_view path) {
  auto native = posix::NativePath(path);
  if (!native) {
    SetLastError(ENOENT);
    return false;
  }
  if (::unlink(native->c_str()) != 0) {
    SetLastError(static_cast<std::uint32_t>(errno));
    return false;
  }
  return true;
}

std::u16string ModulePath() {
  std::string path;
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(&ModuleAnchor, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 && map && map->l_name)
    path = map->l_name;
  if (path.empty()) {
    // The main program's entry carries no name; the kernel knows it.
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length > 0) path.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  // A module loaded by a relative name: make it absolute (best effort, the
  // current folder may have changed since).
  if (!path.empty() && path.front() != '/') {
    if (char* folder = ::getcwd(nullptr, 0)) {
      path = (std::filesystem::path(folder) / path).lexically_normal().string();
      std::free(folder);
    }
  }
  return Utf8ToUtf16(path);
}

// ---- TReadFile --------------------------------------------------------------

struct TReadFile::TImpl {
  int Fd = -1;
  std::int64_t Size = 0;
  std::int64_t Position = 0;
};

TReadFile::TReadFile(std::u16string_view path) : FImpl(std::make_unique<TImpl>()) {
  auto native = posix::NativePath(path);
  if (!native) {
    SetLastError(ENOENT);
    return;
  }
  // O_NONBLOCK: a FIFO must not block the open; only regular files are read.
  int fd = ::open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    SetLastError(static_cast<std::uint32_t>(errno));
    return;
  }
  struct stat info {};
  int code = 0;
  if (::fstat(fd, &info) != 0)
    code = errno;
  else if (S_ISDIR(info.st_mode))
    code = EISDIR;
  else if (!S_ISREG(info.st_mode))
    code = EINVAL;
  if (code != 0) {
    ::close(fd);
    SetLastError(static_cast<std::uint32_t>(code));
    return;
  }
  FImpl->Fd = fd;
  FImpl->Size = info.st_size;
}

TReadFile::~TReadFile() {
  if (FImpl->Fd >= 0) ::close(FImpl->Fd);
}

bool TReadFile::IsOpen() const { return FImpl->Fd >= 0; }

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
    std::size_t chunk = std::min<std::size_t>(count - done, std::size_t{1} << 30);
    ssize_t got = ::pread(FImpl->Fd, out + done, chunk, static_cast<off_t>(FImpl->Position));
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    FImpl->Position += got;
  }
  return done;
}

// ---- copy -------------------------------------------------------------------

int CopyFileWithProgress(std::u16string_view source, std::u16string_view target, const TCopyProgress& progress) {
  int code = CopyFileChunked(source, target, progress);
  if (code != 0) SetLastError(static_cast<std::uint32_t>(code));
  return code;
}

void KeepLibraryLoaded(const void* address) {
  Dl_info info{};
  if (address == nullptr || ::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return;
  // Taken once more, never to be let go: the reference keeps it mapped.
  ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace velmaro::platform
