// What a dialog asks of its window. The dialog classes hold the state and
// the handlers; a view per platform (FLTK on POSIX, Win32 on Windows) and
// a scripted one for tests put it on the screen.
//
// Controls are named as the dialogs name them ("edTitle", "lblRating",
// "cbFavorite", ...). A view calls the dialog's handlers when the user
// acts, and never touches the library itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmaro::ui {

// The kinds of message box a dialog shows: their buttons and icon.
enum class TAskKind {
  Question,     // Yes, No, Cancel; question icon; No is the default
  Warning,      // Yes, No, Cancel; warning icon; No is the default
  Information,  // OK; information icon
  Error,        // OK; error icon
};

enum class TAnswer { Yes, No, Cancel, Ok };

// The pictures a star image shows.
enum class TStar { None, Gold, Gray };

class TDialogView {
 public:
  virtual ~TDialogView() = default;

  // Texts of edits and labels (a label's text may hold "\r" or "\r\n"
  // line breaks).
  virtual void SetText(std::string_view control, const std::u16string& text) = 0;
  virtual std::u16string Text(std::string_view control) const = 0;
  // The state of a check box; setting it does not run its click handler.
  virtual void SetChecked(std::string_view control, bool checked) = 0;
  virtual bool Checked(std::string_view control) const = 0;
  // The picture of the star image "Image0" to "Image5".
  virtual void SetStar(int image, TStar star) = 0;

  // A message box owned by the dialog, titled with its caption; the
  // button pressed (Cancel when it was closed otherwise).
  virtual TAnswer AskUser(const std::u16string& text, TAskKind kind) = 0;
  // The file-open dialog for database files, starting in folder with name
  // proposed; the full name of the file chosen, or nothing.
  virtual std::optional<std::u16string> ChooseDatabaseFile(const std::u16string& folder,
                                                          const std::u16string& name) = 0;
  // The busy cursor while a long action runs.
  virtual void SetBusy(bool busy) = 0;
  // Progress of a long action (done of total steps); keeps the window
  // alive. False when the user asked to cancel.
  virtual bool Progress(std::int64_t done, std::int64_t total) = 0;
  // Ends the modal showing.
  virtual void Close() = 0;
};

// Shows the busy cursor for as long as it lives, also when an error
// leaves the handler.
class TBusyCursor {
 public:
  explicit TBusyCursor(TDialogView& view) : FView(view) { FView.SetBusy(true); }
  ~TBusyCursor() { FView.SetBusy(false); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  TDialogView& FView;
};

}  // namespace velmaro::ui
