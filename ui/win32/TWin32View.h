// A dialog's Win32 window: a template from the plug-in's resources, shown
// modal on the calling thread and owned by the host's window, with its
// one page (a child dialog over a tab control), named controls, message
// boxes titled with the caption, the file-open dialog, the busy cursor,
// a progress window that keeps the dialog alive, and the star images.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/windows/WinApi.h"
#include "ui/TDialogView.h"

namespace velmaro::ui::win32 {

// What a dialog's window is built from.
struct TDialogLayout {
  int Template = 0;      // the dialog
  int PageTemplate = 0;  // its one page
  int PageControl = 0;   // the tab control the page lies in
  const char16_t* PageCaption = u"";
  const char16_t* Caption = u"";  // the dialog's caption, also its message boxes' title
  int InitialFocus = 0;           // the control that takes the keyboard first (0: the dialog manager's choice)
};

enum class TControlKind { Edit, Label, Check };

// A control as the dialog class names it.
struct TNamedControl {
  const char* Name;
  int Id;
  TControlKind Kind;
};

class TWin32View final : public TDialogView {
 public:
  // owner may be null; a handle that names no window counts as null.
  TWin32View(HWND owner, const TDialogLayout& layout, std::span<const TNamedControl> controls);
  ~TWin32View() override;
  TWin32View(const TWin32View&) = delete;
  TWin32View& operator=(const TWin32View&) = delete;

  void SetText(std::string_view control, const std::u16string& text) override;
  std::u16string Text(std::string_view control) const override;
  void SetChecked(std::string_view control, bool checked) override;
  bool Checked(std::string_view control) const override;
  void SetStar(int image, TStar star) override;
  TAnswer AskUser(const std::u16string& text, TAskKind kind) override;
  std::optional<std::u16string> ChooseDatabaseFile(const std::u16string& folder, const std::u16string& name) override;
  void SetBusy(bool busy) override;
  bool Progress(std::int64_t done, std::int64_t total) override;
  void Close() override;

  // The handler of a button, a star image or the check box, run when the
  // user uses it. IDCANCEL (Cancel, Esc, the close box) closes the dialog
  // unless a handler is given.
  void OnClick(int id, std::function<void()> handler);
  // Run once the window exists, before it is shown.
  std::function<void()> OnShow;
  // The keyboard on the stars (Image0 holds the focus for all six): a
  // step of the rating (-1 or +1), or a rating of 0 to 5.
  std::function<void(int)> OnStarStep;
  std::function<void(int)> OnStarRating;

  // Shows the dialog modal and returns once it is closed: the empty text,
  // or why it could not be shown.
  std::u16string Run();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The window procedure put in front of Image0's own: it asks the dialog
  // manager for the arrow and character keys and turns them into rating
  // changes.
  static LRESULT CALLBACK StarKeysProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool StarKey(UINT message, WPARAM key);
  void RedrawStars() const;
  // Messages of the dialog and of its page.
  INT_PTR Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // WM_INITDIALOG of the dialog: the page, placement, the handlers'
  // first run. False when the window cannot be completed.
  bool Initialize(HWND dialog);
  void PlacePage();
  void CentreOnOwner();

  const TNamedControl* Find(std::string_view name) const;
  HWND Control(int id) const;
  int StarIndex(int id) const;
  void DrawStar(const DRAWITEMSTRUCT& item) const;
  void DrawStarFocus(const DRAWITEMSTRUCT& item) const;
  // Runs a handler of the dialog for a user's action: one at a time (a
  // message box or the progress window lets messages in meanwhile), its
  // errors shown in a message box, never thrown into the system.
  void Invoke(const std::function<void()>& handler);
  void Command(int id, int code);
  void EndProgress();
  HWND MessageOwner() const;

  HWND FOwner;
  TDialogLayout FLayout;
  std::span<const TNamedControl> FControls;
  HWND FDialog = nullptr;
  HWND FPage = nullptr;
  std::u16string FFailure;
  std::map<int, std::function<void()>> FClicks;
  // What labels were given, as given (their windows show "\r" as "\r\n").
  std::map<int, std::u16string> FLabels;
  std::array<TStar, 6> FStars{};
  std::vector<std::uint8_t> FGold, FGray;
  WNDPROC FStarProc = nullptr;
  int FBusyDepth = 0;
  bool FInHandler = false;
  HWND FProgress = nullptr;
  bool FCancelRequested = false;
};

}  // namespace velmaro::ui::win32
