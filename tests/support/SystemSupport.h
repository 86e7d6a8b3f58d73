// What the tests need to know of, or make on, the system they run on.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace velmaro::test {

// Something a reader must refuse to read: on POSIX a named pipe created at
// fifoPath (opening it would wait for a writer), on Windows the null device
// (a character device, not a file on a disk). Empty when it cannot be made.
std::u16string MakePipeOrDevice(const std::string& fifoPath);

// The system's 8-bit code page: GetACP() on Windows; on POSIX the platform
// layer always uses Windows-1252.
unsigned AnsiCodePage();

// Wine's version when the tests run under Wine, else empty.
std::string WineVersion();

// Removes a variable from this process's environment.
void UnsetEnvironment(const char* name);
// Sets a variable of this process's environment.
void SetEnvironment(const char* name, const std::string& value);

// The 8-bit text a host passes for a path given as UTF-8 (the default ini
// name): UTF-8 on POSIX, the ANSI code page on Windows.
inline std::string HostText(const std::string& utf8) {
  return platform::IsWindows ? platform::Utf16ToAnsi(platform::Utf8ToUtf16(utf8)) : utf8;
}

// Whether the system's file copy calls its progress routine at all (found
// out once, on a file of its own).
bool CopyReportsProgress();

}  // namespace velmaro::test

// For a test whose 8-bit texts are Windows-1252, which the POSIX stand-in
// always uses and Windows has as its ANSI code page under C.UTF-8 (Wine)
// or an English or Western European locale.
#define SKIP_UNLESS_WINDOWS_1252()           \
  if (velmaro::test::AnsiCodePage() != 1252) \
  GTEST_SKIP() << "the system's 8-bit code page is " << velmaro::test::AnsiCodePage() << ", not Windows-1252"

// For a test of the copy's progress, cancel or what happens meanwhile:
// Wine 8's CopyFileExW copies in one go and never calls the routine.
// Anywhere else a silent routine is a fault the test must show.
#define SKIP_UNLESS_COPY_REPORTS_PROGRESS()                                  \
  if (!velmaro::test::CopyReportsProgress() && !velmaro::test::WineVersion().empty()) \
  GTEST_SKIP() << "Wine " << velmaro::test::WineVersion() << "'s CopyFileExW never calls the progress routine"

// For a test that makes its files with the Linux encoders (ffmpeg, lame,
// oggenc, mutagen) through a POSIX shell: there are none on Windows, which
// reads the files they made through the test-audio corpus instead.
#define SKIP_WITHOUT_LINUX_ENCODERS() \
  if (velmaro::platform::IsWindows) GTEST_SKIP() << "runs the Linux encoders through a POSIX shell"
