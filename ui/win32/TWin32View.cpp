#include "ui/win32/TWin32View.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <exception>

#include "platform/Module.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "ui/StarPictures.h"
#include "ui/ViewSupport.h"
#include "ui/win32/DialogResources.h"

namespace velmaro::ui::win32 {

namespace {

using platform::windows::Wide;

constexpr int StarImages = 6;
constexpr int ProgressSteps = 1000;

std::wstring WideText(std::u16string_view text) { return std::wstring(Wide(text.data()), text.size()); }

// A label's or a message's text as the system draws it: every line break
// ("\r", "\n" or "\r\n") as "\r\n".
std::wstring DisplayText(std::u16string_view text) {
  std::wstring shown;
  shown.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      shown += L"\r\n";
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      shown += static_cast<wchar_t>(text[i]);
    }
  }
  return shown;
}

std::u16string WindowText(HWND window) {
  if (window == nullptr) return {};
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return std::u16string(platform::windows::Utf16(buffer.c_str()), buffer.size());
}

// Centres window over the window rectangle of another, inside the work
// area of the monitor that other lies on.
void CentreOver(HWND window, HWND over) {
  RECT outer{}, own{};
  if (!::GetWindowRect(over, &outer) || !::GetWindowRect(window, &own)) return;
  const int w = own.right - own.left, h = own.bottom - own.top;
  int x = outer.left + (outer.right - outer.left - w) / 2;
  int y = outer.top + (outer.bottom - outer.top - h) / 2;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (::GetMonitorInfoW(::MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - w));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - h));
  }
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The picture scaled to side x side pixels and laid over the background
// colour: 32-bit pixels for a DIB, rows from the top. Each pixel is the
// average of a 4 x 4 grid of samples of the picture, weighted by opacity.
std::vector<std::uint32_t> StarPixels(const std::vector<std::uint8_t>& rgba, int side, COLORREF background) {
  constexpr int grid = 4;
  constexpr int size = StarPictureSize;
  const double backR = GetRValue(background), backG = GetGValue(background), backB = GetBValue(background);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < grid; ++sy) {
        for (int sx = 0; sx < grid; ++sx) {
          const int px = std::min(size - 1, static_cast<int>((x + (sx + 0.5) / grid) * size / side));
          const int py = std::min(size - 1, static_cast<int>((y + (sy + 0.5) / grid) * size / side));
          const std::uint8_t* p = &rgba[(static_cast<std::size_t>(py) * size + px) * 4];
          const double alpha = p[3] / 255.0;
          r += p[0] * alpha;
          g += p[1] * alpha;
          b += p[2] * alpha;
          a += alpha;
        }
      }
      constexpr double samples = grid * grid;
      r /= samples, g /= samples, b /= samples, a /= samples;
      const auto channel = [](double value) { return static_cast<std::uint32_t>(std::clamp(value + 0.5, 0.0, 255.0)); };
      pixels[static_cast<std::size_t>(y) * side + x] = channel(b + backB * (1 - a)) |
                                                       (channel(g + backG * (1 - a)) << 8) |
                                                       (channel(r + backR * (1 - a)) << 16);
    }
  }
  return pixels;
}

}  // namespace

TWin32View::TWin32View(HWND owner, const TDialogLayout& layout, std::span<const TNamedControl> controls)
    : FOwner(owner), FLayout(layout), FControls(controls) {
  FStars.fill(TStar::None);
  FGold = StarPicture(TStar::Gold);
  FGray = StarPicture(TStar::Gray);
}

TWin32View::~TWin32View() = default;

// --- Controls

const TNamedControl* TWin32View::Find(std::string_view name) const {
  for (const TNamedControl& control : FControls)
    if (name == control.Name) return &control;
  return nullptr;
}

HWND TWin32View::Control(int id) const {
  HWND control = FDialog ? ::GetDlgItem(FDialog, id) : nullptr;
  if (control == nullptr && FPage != nullptr) control = ::GetDlgItem(FPage, id);
  return control;
}

int TWin32View::StarIndex(int id) const {
  const int index = id - IDC_IMAGE0;
  return index >= 0 && index < StarImages ? index : -1;
}

void TWin32View::SetText(std::string_view control, const std::u16string& text) {
  const TNamedControl* named = Find(control);
  if (named == nullptr) return;
  if (named->Kind == TControlKind::Label) {
    FLabels[named->Id] = text;
    if (HWND window = Control(named->Id)) ::SetWindowTextW(window, DisplayText(text).c_str());
  } else if (named->Kind == TControlKind::Edit) {
    if (HWND window = Control(named->Id)) ::SetWindowTextW(window, WideText(text).c_str());
  }
}

std::u16string TWin32View::Text(std::string_view control) const {
  const TNamedControl* named = Find(control);
  if (named == nullptr) return {};
  if (named->Kind == TControlKind::Label) {
    const auto label = FLabels.find(named->Id);
    return label != FLabels.end() ? label->second : WindowText(Control(named->Id));
  }
  return named->Kind == TControlKind::Edit ? WindowText(Control(named->Id)) : std::u16string();
}

void TWin32View::SetChecked(std::string_view control, bool checked) {
  const TNamedControl* named = Find(control);
  if (named == nullptr || named->Kind != TControlKind::Check) return;
  if (HWND window = Control(named->Id)) ::SendMessageW(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TWin32View::Checked(std::string_view control) const {
  const TNamedControl* named = Find(control);
  if (named == nullptr || named->Kind != TControlKind::Check) return false;
  HWND window = Control(named->Id);
  return window != nullptr && ::SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TWin32View::SetStar(int image, TStar star) {
  if (image < 0 || image >= StarImages) return;
  FStars[image] = star;
  if (HWND window = Control(IDC_IMAGE0 + image)) ::InvalidateRect(window, nullptr, FALSE);
}

// Each image draws its own part of the dotted frame around all six while
// Image0 has the focus.
void TWin32View::DrawStarFocus(const DRAWITEMSTRUCT& item) const {
  HWND first = Control(IDC_IMAGE0);
  if (first == nullptr || ::GetFocus() != first) return;
  RECT frame{};
  for (int i = 0; i < StarImages; ++i) {
    HWND image = Control(IDC_IMAGE0 + i);
    RECT own{};
    if (image == nullptr || !::GetWindowRect(image, &own)) continue;
    ::UnionRect(&frame, &frame, &own);
  }
  ::MapWindowPoints(nullptr, item.hwndItem, reinterpret_cast<POINT*>(&frame), 2);
  ::DrawFocusRect(item.hDC, &frame);
}

void TWin32View::DrawStar(const DRAWITEMSTRUCT& item) const {
  const RECT& area = item.rcItem;
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
  const TStar star = FStars[StarIndex(static_cast<int>(item.CtlID))];
  if (star == TStar::None) {
    ::FillRect(item.hDC, &area, ::GetSysColorBrush(COLOR_BTNFACE));
    DrawStarFocus(item);
    return;
  }
  // The whole image in one transfer: the background around the star and
  // the star scaled to the image's shorter side, centred.
  const int side = std::min(w, h);
  const std::vector<std::uint32_t> star32 = StarPixels(star == TStar::Gold ? FGold : FGray, side, background);
  const std::uint32_t back = GetBValue(background) | (GetGValue(background) << 8) | (GetRValue(background) << 16);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, back);
  const int left = (w - side) / 2, top = (h - side) / 2;
  for (int y = 0; y < side; ++y)
    std::copy_n(&star32[static_cast<std::size_t>(y) * side], side, &pixels[static_cast<std::size_t>(y + top) * w + left]);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::SetDIBitsToDevice(item.hDC, area.left, area.top, w, h, 0, 0, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
  DrawStarFocus(item);
}

void TWin32View::RedrawStars() const {
  for (int i = 0; i < StarImages; ++i)
    if (HWND image = Control(IDC_IMAGE0 + i)) ::InvalidateRect(image, nullptr, FALSE);
}

bool TWin32View::StarKey(UINT message, WPARAM key) {
  const auto send = [this](const std::function<void(int)>& handler, int value) {
    if (handler) Invoke([&handler, value] { handler(value); });
    return true;
  };
  if (message == WM_CHAR) {
    if (key >= L'0' && key <= L'5') return send(OnStarRating, static_cast<int>(key - L'0'));
    return false;
  }
  if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
  switch (key) {
    case VK_LEFT:
    case VK_DOWN: return send(OnStarStep, -1);
    case VK_RIGHT:
    case VK_UP: return send(OnStarStep, 1);
    case VK_HOME: return send(OnStarRating, 0);
    case VK_END: return send(OnStarRating, 5);
    default: return false;
  }
}

LRESULT CALLBACK TWin32View::StarKeysProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* view = reinterpret_cast<TWin32View*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (view == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC own = view->FStarProc;
  try {
    switch (message) {
      case WM_GETDLGCODE:
        // Arrows and digits come here; Tab, Enter and Esc stay the
        // dialog manager's.
        return ::CallWindowProcW(own, window, message, wParam, lParam) | DLGC_WANTARROWS | DLGC_WANTCHARS;
      case WM_KEYDOWN:
      case WM_CHAR:
        if (view->StarKey(message, wParam)) return 0;
        break;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        view->RedrawStars();
        break;
      case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
      default: break;
    }
  } catch (...) {
  }
  return ::CallWindowProcW(own, window, message, wParam, lParam);
}

// --- Message boxes, the file-open dialog

HWND TWin32View::MessageOwner() const { return FDialog != nullptr ? FDialog : FOwner; }

TAnswer TWin32View::AskUser(const std::u16string& text, TAskKind kind) {
  UINT flags = 0;
  switch (kind) {
    case TAskKind::Question: flags = MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2; break;
    case TAskKind::Warning: flags = MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2; break;
    case TAskKind::Information: flags = MB_OK | MB_ICONINFORMATION; break;
    case TAskKind::Error: flags = MB_OK | MB_ICONERROR; break;
  }
  const std::wstring body = DisplayText(text);
  const int pressed = ::MessageBoxW(MessageOwner(), body.c_str(), Wide(FLayout.Caption), flags);
  switch (pressed) {
    case IDYES: return TAnswer::Yes;
    case IDNO: return TAnswer::No;
    case IDOK: return TAnswer::Ok;
    default: return TAnswer::Cancel;
  }
}

std::optional<std::u16string> TWin32View::ChooseDatabaseFile(const std::u16string& folder, const std::u16string& name) {
  // "*.db|*.db|*.*|*.*": the text shown, then the pattern, for each choice.
  static constexpr wchar_t filter[] = L"*.db\0*.db\0*.*\0*.*\0";
  // Room for the longest path the system takes.
  std::vector<wchar_t> file(32768, L'\0');
  if (name.size() < file.size() && name.find(u'\0') == std::u16string::npos)
    std::copy(name.begin(), name.end(), file.begin());
  const std::wstring start = WideText(folder);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = MessageOwner();
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = start.empty() || start.find(L'\0') != std::wstring::npos ? nullptr : start.c_str();
  // The folder must exist, the file need not (it is created at the next
  // start); the host's current folder stays as it was.
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (::GetOpenFileNameW(&dialog)) return std::u16string(platform::windows::Utf16(file.data()));
    const DWORD error = ::CommDlgExtendedError();
    if (error == 0) return std::nullopt;  // cancelled
    // A proposed name the dialog refuses: it starts again without one.
    if (error != FNERR_INVALIDFILENAME || file[0] == L'\0') {
      AskUser(u"The file dialog could not be shown (error " + platform::IntToU16(error) + u").", TAskKind::Error);
      return std::nullopt;
    }
    file[0] = L'\0';
  }
  return std::nullopt;
}

// --- Busy cursor and progress

void TWin32View::SetBusy(bool busy) {
  FBusyDepth = std::max(0, FBusyDepth + (busy ? 1 : -1));
  if (FBusyDepth == 0) EndProgress();
  // Now, before the work: no message is handled while it runs. When it
  // ends the arrow comes back, and the next mouse move sets the cursor of
  // whatever lies under it.
  ::SetCursor(::LoadCursorW(nullptr, FBusyDepth > 0 ? IDC_WAIT : IDC_ARROW));
}

bool TWin32View::Progress(std::int64_t done, std::int64_t total) {
  if (FProgress == nullptr && FDialog != nullptr) {
    FCancelRequested = false;
    FProgress = ::CreateDialogParamW(static_cast<HINSTANCE>(platform::ModuleHandle()), MAKEINTRESOURCEW(IDD_PROGRESS),
                                     FDialog, ProgressProc, reinterpret_cast<LPARAM>(this));
    if (FProgress != nullptr) {
      ::SetWindowTextW(FProgress, Wide(FLayout.Caption));
      CentreOver(FProgress, FDialog);
      // The dialog takes no input meanwhile; the progress window's Cancel
      // (or Esc, or its close box) asks to stop.
      ::EnableWindow(FDialog, FALSE);
      ::ShowWindow(FProgress, SW_SHOW);
    }
  }
  if (FProgress != nullptr) {
    const double share = total > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0) : 0.0;
    ::SendDlgItemMessageW(FProgress, IDC_PROGRESSBAR, PBM_SETPOS, static_cast<WPARAM>(share * ProgressSteps), 0);
    const std::u16string count = platform::IntToU16(done) + u" of " + platform::IntToU16(total);
    ::SetDlgItemTextW(FProgress, IDC_PROGRESSCOUNT, Wide(count.c_str()));
  }
  // Everything waiting for this thread (painting, the Cancel button, the
  // host's own windows) is handled before the next chunk of work.
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the loop that waits for it; the work stops.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      FCancelRequested = true;
      break;
    }
    if (FProgress != nullptr && ::IsDialogMessageW(FProgress, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return !FCancelRequested;
}

void TWin32View::EndProgress() {
  if (FProgress == nullptr) return;
  // Enabled first, so that the dialog becomes the active window again.
  if (FDialog != nullptr) ::EnableWindow(FDialog, TRUE);
  ::DestroyWindow(FProgress);
  FProgress = nullptr;
}

INT_PTR CALLBACK TWin32View::ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    ::SendDlgItemMessageW(window, IDC_PROGRESSBAR, PBM_SETRANGE32, 0, ProgressSteps);
    return TRUE;
  }
  auto* view = reinterpret_cast<TWin32View*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (view == nullptr) return FALSE;
  if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
    view->FCancelRequested = true;
    ::SetDlgItemTextW(window, IDC_PROGRESSCOUNT, L"Cancelling...");
    return TRUE;
  }
  return FALSE;
}

// --- The dialog

void TWin32View::Close() {
  if (FDialog != nullptr) ::EndDialog(FDialog, IDOK);
}

void TWin32View::OnClick(int id, std::function<void()> handler) { FClicks[id] = std::move(handler); }

void TWin32View::Invoke(const std::function<void()>& handler) { RunHandler(FInHandler, *this, handler); }

void TWin32View::Command(int id, int code) {
  if (StarIndex(id) >= 0) {
    // A quick second click on a star arrives as a double click.
    if (code != STN_CLICKED && code != STN_DBLCLK) return;
    // The keyboard goes with the click to the stars.
    if (HWND first = Control(IDC_IMAGE0)) ::SetFocus(first);
  } else if (code != BN_CLICKED) {
    return;  // edits' notifications
  }
  if (const auto click = FClicks.find(id); click != FClicks.end())
    Invoke(click->second);
  else if (id == IDCANCEL)
    Invoke([this] { Close(); });
}

INT_PTR TWin32View::Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item == nullptr || StarIndex(static_cast<int>(item->CtlID)) < 0) return FALSE;
      DrawStar(*item);
      return TRUE;
    }
    case WM_SETCURSOR: {
      // The hourglass over the whole dialog while it works; the hand over
      // a star.
      const auto under = reinterpret_cast<HWND>(wParam);
      LPCWSTR cursor = nullptr;
      if (FBusyDepth > 0)
        cursor = IDC_WAIT;
      else if (LOWORD(lParam) == HTCLIENT && under != window && ::GetParent(under) == FPage &&
               StarIndex(::GetDlgCtrlID(under)) >= 0)
        cursor = IDC_HAND;
      if (cursor == nullptr) return FALSE;
      ::SetCursor(::LoadCursorW(nullptr, cursor));
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    default: return FALSE;
  }
}

void TWin32View::PlacePage() {
  HWND tabs = ::GetDlgItem(FDialog, FLayout.PageControl);
  RECT area{};
  ::GetWindowRect(tabs, &area);
  ::MapWindowPoints(nullptr, FDialog, reinterpret_cast<POINT*>(&area), 2);
  ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  // Just above the tab control: the tab control (which clips the windows
  // above it) leaves the page alone, and the keyboard reaches the page's
  // controls where the page control stands in the tab order.
  HWND above = ::GetWindow(tabs, GW_HWNDPREV);
  ::SetWindowPos(FPage, above != nullptr ? above : HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TWin32View::CentreOnOwner() {
  if (FOwner == nullptr) return;  // the template centres it on the screen
  HWND owner = ::GetAncestor(FOwner, GA_ROOT);
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) CentreOver(FDialog, owner);
}

bool TWin32View::Initialize(HWND dialog) {
  FDialog = dialog;
  HWND tabs = ::GetDlgItem(dialog, FLayout.PageControl);
  if (tabs == nullptr) {
    FFailure = u"No window can be shown: the dialog has no page control.";
    return false;
  }
  std::wstring pageCaption = WideText(FLayout.PageCaption);
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = pageCaption.data();
  ::SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
  FPage = ::CreateDialogParamW(static_cast<HINSTANCE>(platform::ModuleHandle()), MAKEINTRESOURCEW(FLayout.PageTemplate),
                               dialog, DialogProc, reinterpret_cast<LPARAM>(this));
  if (FPage == nullptr) {
    FFailure = u"No window can be shown: " + platform::SysErrorMessage(::GetLastError());
    return false;
  }
  PlacePage();
  if (HWND stars = Control(IDC_IMAGE0); stars != nullptr && FStarProc == nullptr) {
    ::SetWindowLongPtrW(stars, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FStarProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(stars, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32View::StarKeysProc)));
  }
  // A comment or a path longer than an edit's default limit must come
  // back whole from it, or saving would cut it.
  for (const TNamedControl& control : FControls)
    if (control.Kind == TControlKind::Edit)
      if (HWND edit = Control(control.Id)) ::SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
  CentreOnOwner();
  if (OnShow) {
    // What fails here fails the showing: the caller tells the user.
    try {
      OnShow();
    } catch (const std::exception& error) {
      FFailure = u"The dialog failed: " + platform::Utf8ToUtf16(error.what());
      return false;
    }
  }
  return true;
}

INT_PTR CALLBACK TWin32View::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nothing may be thrown through the system's code: whatever escapes a
  // handler ends here.
  try {
    if (message == WM_INITDIALOG) {
      auto* view = reinterpret_cast<TWin32View*>(lParam);
      ::SetWindowLongPtrW(window, DWLP_USER, lParam);
      if (view->FDialog != nullptr) return FALSE;  // the page: the dialog sets the focus
      if (!view->Initialize(window)) {
        ::EndDialog(window, -1);
        return TRUE;
      }
      if (HWND first = view->FLayout.InitialFocus ? view->Control(view->FLayout.InitialFocus) : nullptr) {
        ::SetFocus(first);
        return FALSE;
      }
      return TRUE;
    }
    auto* view = reinterpret_cast<TWin32View*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (view == nullptr) return FALSE;
    if (message == WM_DESTROY && window == view->FDialog) {
      // The progress window, owned by the dialog, goes with it.
      view->FProgress = nullptr;
      return FALSE;
    }
    return view->Message(window, message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

std::u16string TWin32View::Run() {
  if (FOwner != nullptr && !::IsWindow(FOwner)) FOwner = nullptr;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_PROGRESS_CLASS;
  if (!::InitCommonControlsEx(&controls)) return u"No window can be shown: the system's common controls are not available.";
  const auto module = static_cast<HINSTANCE>(platform::ModuleHandle());
  if (::FindResourceW(module, MAKEINTRESOURCEW(FLayout.Template), RT_DIALOG) == nullptr)
    return u"No window can be shown: the dialog's template is missing from the module.";
  ::SetLastError(0);
  const INT_PTR result = ::DialogBoxParamW(module, MAKEINTRESOURCEW(FLayout.Template), FOwner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  const DWORD error = ::GetLastError();
  const bool created = FDialog != nullptr;
  FDialog = FPage = FProgress = nullptr;
  FBusyDepth = 0;
  if (!FFailure.empty()) return FFailure;
  if (result == -1 || !created) {
    // Wine without a display, for one, creates no window and says nothing.
    return error != 0 ? u"No window can be shown: " + platform::SysErrorMessage(error)
                      : u"No window can be shown: the system created no window for the dialog.";
  }
  return {};
}

}  // namespace velmaro::ui::win32
