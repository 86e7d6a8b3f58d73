// The dialogs' Win32 windows belong to the host: a dialog shown for the
// host's main window is owned by it (it stays above it, and the host
// takes no input meanwhile), and the host is usable again afterwards.
#include <gtest/gtest.h>

#include <cwchar>
#include <mutex>

#include "library/Library.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "platform/windows/WinApi.h"
#include "ui/Dialogs.h"
#include "ui/win32/DialogResources.h"

namespace {

using velmaro::ui::TDialogContext;

// What the timer saw of the dialog while it was shown.
struct TSeen {
  HWND Dialog = nullptr;
  HWND Owner = nullptr;
  bool HostEnabled = true;
  HWND Host = nullptr;
  int Ticks = 0;
};
TSeen Seen;

constexpr UINT TickMs = 50;
constexpr int GiveUpTicks = 200;  // 10 seconds

BOOL CALLBACK FindSettings(HWND window, LPARAM) {
  wchar_t title[64] = {}, kind[64] = {};
  ::GetWindowTextW(window, title, 64);
  ::GetClassNameW(window, kind, 64);
  if (::IsWindowVisible(window) && std::wcscmp(kind, L"#32770") == 0 && std::wcscmp(title, L"Settings") == 0) {
    Seen.Dialog = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  wchar_t kind[64] = {};
  ::GetClassNameW(window, kind, 64);
  if (std::wcscmp(kind, L"#32770") == 0) ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// Runs inside the dialog's modal loop: notes the dialog's owner, then
// closes it as Esc would. Should no dialog appear, whatever window of
// this thread is up is cancelled, so the test cannot hang.
void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
  ++Seen.Ticks;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindSettings, 0);
  if (Seen.Dialog != nullptr) {
    Seen.Owner = ::GetWindow(Seen.Dialog, GW_OWNER);
    Seen.HostEnabled = ::IsWindowEnabled(Seen.Host) != FALSE;
    ::KillTimer(nullptr, timer);
    ::PostMessageW(Seen.Dialog, WM_COMMAND, IDCANCEL, 0);
  } else if (Seen.Ticks >= GiveUpTicks) {
    ::KillTimer(nullptr, timer);
    ::EnumThreadWindows(::GetCurrentThreadId(), CancelDialog, 0);
  }
}

TEST(DialogOwner, SettingsIsOwnedByTheHostWindowWhichIsUsableAfterwards) {
  const auto module = static_cast<HMODULE>(velmaro::platform::ModuleHandle());
  ASSERT_NE(::FindResourceW(module, MAKEINTRESOURCEW(IDD_SETTINGS), RT_DIALOG), nullptr)
      << "the dialogs' templates are not in this test program: link ui/win32/Dialogs.rc into it";

  HWND host = ::CreateWindowExW(0, L"STATIC", L"Velmaro test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 900,
                                700, nullptr, nullptr, nullptr, nullptr);
  if (host == nullptr) GTEST_SKIP() << "no window can be created here (Wine without a display)";
  ::SetForegroundWindow(host);
  ::SetActiveWindow(host);

  velmaro::TLibraryState library;  // not opened: Settings shows an empty path and no records
  std::recursive_mutex lock;
  TDialogContext context;
  context.Library = &library;
  context.Lock = &lock;
  context.MainWin = host;

  Seen = {};
  Seen.Host = host;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, TickMs, Tick);
  ASSERT_NE(timer, 0u);
  const std::u16string failure = velmaro::ui::ShowSettingsDialog(context);
  ::KillTimer(nullptr, timer);

  EXPECT_TRUE(failure.empty()) << velmaro::platform::Utf16ToUtf8(failure);
  ASSERT_NE(Seen.Dialog, nullptr) << "the Settings dialog did not appear within 10 seconds";
  EXPECT_EQ(Seen.Owner, host);
  EXPECT_FALSE(Seen.HostEnabled) << "the host took input while its modal dialog was shown";
  EXPECT_FALSE(::IsWindow(Seen.Dialog));
  EXPECT_TRUE(::IsWindowEnabled(host)) << "the host stays disabled after its dialog closed";
  ::DestroyWindow(host);
}

}  // namespace
