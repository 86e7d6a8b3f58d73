// What only the DLL form of the plug-in has: exports found by their
// undecorated names and called as __stdcall, and a library file that
// unloading the DLL lets go of.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host/THostHarness.h"
#include "support/BuildPaths.h"
#include "support/TestFolder.h"

namespace velmaro::test {
namespace {

TEST(PluginModule, ExportsAreUndecoratedAndKeepTheCallersStack) {
  const std::u16string path = platform::Utf8ToUtf16(PluginPath());
  HMODULE module = ::LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
  ASSERT_NE(module, nullptr) << PluginPath();
  for (const char* name : {"FsInitW", "FsFindFirstW", "FsFindNextW", "FsFindClose", "FsGetDefRootName",
                           "FsSetDefaultParams", "FsExecuteFileW", "FsContentGetValueW", "FsMkDirW", "FsRemoveDirW"})
    EXPECT_NE(::GetProcAddress(module, name), nullptr) << name;
  EXPECT_EQ(::GetProcAddress(module, "_FsInitW@16"), nullptr);
  EXPECT_EQ(::GetProcAddress(module, "FsInitW@16"), nullptr);

  // A callee that cleaned up the wrong number of bytes would move the
  // stack pointer: compare it around a call made the way a host makes it.
  using TGetDefRootName = void(__stdcall*)(char*, int);
  const auto getRootName =
      reinterpret_cast<TGetDefRootName>(reinterpret_cast<void (*)()>(::GetProcAddress(module, "FsGetDefRootName")));
  ASSERT_NE(getRootName, nullptr);
  char name[32] = {};
  void* before = nullptr;
  void* after = nullptr;
  asm volatile("movl %%esp, %0" : "=r"(before));
  getRootName(name, sizeof name);
  asm volatile("movl %%esp, %0" : "=r"(after));
  EXPECT_EQ(before, after);
  EXPECT_STREQ(name, "Velmaro");
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
