// What only the DLL form of the plug-in has: exports found by their
// undecorated names and called as a host calls them, and a library file that
// unloading the DLL lets go of.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <string>

#include "host/THostHarness.h"
#include "plugin/FsPluginApi.h"
#include "support/BuildPaths.h"
#include "support/TestFolder.h"

namespace velmaro::test {
namespace {

// The interface's records as the host's compiler lays them out from the
// system's own types, in the 32-bit and in the 64-bit build alike.
static_assert(sizeof(fsapi::TFindDataW) == sizeof(WIN32_FIND_DATAW));
static_assert(offsetof(fsapi::TFindDataW, ftLastWriteTime) == offsetof(WIN32_FIND_DATAW, ftLastWriteTime));
static_assert(offsetof(fsapi::TFindDataW, nFileSizeHigh) == offsetof(WIN32_FIND_DATAW, nFileSizeHigh));
static_assert(offsetof(fsapi::TFindDataW, nFileSizeLow) == offsetof(WIN32_FIND_DATAW, nFileSizeLow));
static_assert(offsetof(fsapi::TFindDataW, cFileName) == offsetof(WIN32_FIND_DATAW, cFileName));
static_assert(offsetof(fsapi::TFindDataW, cAlternateFileName) == offsetof(WIN32_FIND_DATAW, cAlternateFileName));
static_assert(sizeof(fsapi::THandle) == sizeof(HANDLE) && sizeof(fsapi::THwnd) == sizeof(HWND));
// FsDefaultParamStruct: three 32-bit numbers and a MAX_PATH file name.
static_assert(sizeof(fsapi::TDefaultParams) == 3 * sizeof(DWORD) + MAX_PATH);

TEST(PluginModule, ExportsAreUndecoratedAndCalledAsAHostCallsThem) {
  const std::u16string path = platform::Utf8ToUtf16(PluginPath());
  HMODULE module = ::LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
  ASSERT_NE(module, nullptr) << PluginPath();
  for (const char* name : {"FsInitW", "FsFindFirstW", "FsFindNextW", "FsFindClose", "FsGetDefRootName",
                           "FsSetDefaultParams", "FsExecuteFileW", "FsContentGetValueW", "FsMkDirW", "FsRemoveDirW"})
    EXPECT_NE(::GetProcAddress(module, name), nullptr) << name;
  EXPECT_EQ(::GetProcAddress(module, "_FsInitW@16"), nullptr);
  EXPECT_EQ(::GetProcAddress(module, "FsInitW@16"), nullptr);

  using TGetDefRootName = void(__stdcall*)(char*, int);
  const auto getRootName =
      reinterpret_cast<TGetDefRootName>(reinterpret_cast<void (*)()>(::GetProcAddress(module, "FsGetDefRootName")));
  ASSERT_NE(getRootName, nullptr);
  char name[32] = {};
#if defined(__i386__)
  // A callee that cleaned up the wrong number of bytes would move the
  // stack pointer: compare it around a call made the way a host makes it.
  // (64-bit Windows has one calling convention, in which the caller
  // cleans up: nothing to compare there.)
  void* before = nullptr;
  void* after = nullptr;
  asm volatile("movl %%esp, %0" : "=r"(before));
  getRootName(name, sizeof name);
  asm volatile("movl %%esp, %0" : "=r"(after));
  EXPECT_EQ(before, after);
#else
  getRootName(name, sizeof name);
#endif
  EXPECT_STREQ(name, "Velmaro");

  // A refused listing is the system's INVALID_HANDLE_VALUE, all bits of
  // the pointer-sized handle set.
  using TFindFirstW = HANDLE(__stdcall*)(WCHAR*, WIN32_FIND_DATAW*);
  const auto findFirst =
      reinterpret_cast<TFindFirstW>(reinterpret_cast<void (*)()>(::GetProcAddress(module, "FsFindFirstW")));
  WIN32_FIND_DATAW data = {};
  EXPECT_EQ(findFirst(nullptr, &data), INVALID_HANDLE_VALUE);
  ::FreeLibrary(module);
}

TEST(PluginModule, UnloadingTheDllClosesTheLibraryFile) {
  TTestFolder folder;
  const std::u16string name = folder.Path16("VORNAK.DB");
  const std::wstring library(name.begin(), name.end());
  {
    host::THostHarness host(PluginPath(), true);
    // Starting opens the library beside the settings file.
    host.Start(folder.Path("velmaro.ini"));
    ASSERT_NE(::GetFileAttributesW(library.c_str()), INVALID_FILE_ATTRIBUTES);
    // While the plug-in holds the library open, Windows keeps the file.
    EXPECT_FALSE(::DeleteFileW(library.c_str()));
  }
  // The harness unloaded the DLL: its detach closed the connection.
  EXPECT_TRUE(::DeleteFileW(library.c_str())) << ::GetLastError();
}

}  // namespace
}  // namespace velmaro::test
