// What both FLTK dialogs share: opening the display without ever ending
// the host, the modal loop, message boxes, a progress window, and the
// few widgets FLTK lacks (a framed group with a caption, a label that
// shows its text as it is, a button that Enter presses when focused).
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>

#include <functional>
#include <string>
#include <vector>

#include "ui/TDialogView.h"

namespace velmaro::ui::fltk {

// The font size of every text; FLTK's default sans font at this size fits
// the controls laid out in pixels at 120 pixels per inch.
inline constexpr int FontSize = 14;

// Thrown by FLTK's fatal handler, which must not return: it unwinds every
// modal loop up to the dialog's opener. Not a std::exception, so that no
// handler on the way swallows it.
struct TDisplayLost {
  std::string Message;
};

// One showing of a dialog: while it lives, FLTK's fatal and error
// handlers are ours (they never end the process), and no other dialog
// can start. Open() opens the display; it returns why no window can be
// shown, or the empty text.
class TFltkSession {
 public:
  TFltkSession();
  ~TFltkSession();
  TFltkSession(const TFltkSession&) = delete;
  TFltkSession& operator=(const TFltkSession&) = delete;

  std::u16string Open();

 private:
  bool FOwnsTurn = false;
  void (*FOldFatal)(const char*, ...) = nullptr;
  void (*FOldError)(const char*, ...) = nullptr;
  void (*FOldWarning)(const char*, ...) = nullptr;
};

// True once the display connection broke; FLTK is not used again then.
// Every window is hidden at once, so that each modal loop ends; message
// boxes then answer as their close box does.
bool DisplayLost();

// UTF-8 for FLTK; and the text of a label, whose "\r\n" and "\r" line
// breaks become "\n".
std::string ToUtf8(const std::u16string& text);
std::string LabelText(const std::u16string& text);

// A label drawn as its text reads: FLTK's '@' symbols and '&' underlines
// are not interpreted (a path or a tag may hold either).
class TLabel : public Fl_Widget {
 public:
  TLabel(int x, int y, int w, int h, Fl_Align align = FL_ALIGN_TOP_LEFT);
  void Text(const std::u16string& text);
  const std::u16string& Text() const { return FText; }

 protected:
  void draw() override;

 private:
  std::u16string FText;
  std::string FLines;
  Fl_Align FAlign;
};

// A push button that Enter presses while it has the focus, as Space does;
// Tab follows its window's TabOrder.
class TButton : public Fl_Button {
 public:
  TButton(int x, int y, int w, int h, const char* label);
  int handle(int event) override;
};

// A frame with its caption on the top line; children are placed relative
// to its top-left corner.
class TGroupBox : public Fl_Group {
 public:
  TGroupBox(int x, int y, int w, int h, const char* caption);

 protected:
  void draw() override;
};

// Whether the event is Tab or Shift+Tab (no other modifier).
bool IsTabKey();

// For a Tab or Shift+Tab on control: moves the keyboard along its dialog
// window's TabOrder and answers true; false for any other event.
bool TabToNext(Fl_Widget& control);

// A control that hands Tab to its window's TabOrder before anything else
// sees it: an edit would otherwise spend a Tab on clearing its selection
// (which the Tab that brought the keyboard there made), and FLTK's own
// navigation moves only among one group's children.
template <typename TBase>
class TTabbing : public TBase {
 public:
  using TBase::TBase;
  int handle(int event) override {
    if (event == FL_KEYBOARD && TabToNext(*this)) return 1;
    return TBase::handle(event);
  }
};

// A dialog window: Esc and the close box call OnCancel, Enter presses the
// default button unless a focused button takes it. TabOrder, when given,
// is the circle that Tab and Shift+Tab walk (see TTabbing).
class TDialogWindow : public Fl_Double_Window {
 public:
  TDialogWindow(int w, int h, const char* caption);
  int handle(int event) override;

  // Moves the keyboard to the next control of TabOrder that can take it
  // (the previous one when backwards), wrapping round at either end.
  bool MoveFocus(bool backwards);

  std::vector<Fl_Widget*> TabOrder;

  std::function<void()> OnCancel;
  Fl_Button* DefaultButton = nullptr;
  // Takes the keyboard when the window first gets it (else FLTK gives it
  // to the first control that takes it).
  Fl_Widget* InitialFocus = nullptr;
};

// Shows the window modal, centred on the screen, and runs FLTK's loop on
// this thread until it is hidden (or the display is lost).
void RunModal(Fl_Window& window);
// The same, centred over owner where it is shown; false when the display
// was lost meanwhile.
bool RunModalOver(Fl_Window& window, const Fl_Window* owner);

// A message box titled caption, centred over owner when it is shown; the
// button pressed (Cancel, or OK for a box with only OK, when closed with
// Esc or the close box). "\r" and "\r\n" break lines.
TAnswer MessageBox(const std::string& caption, const Fl_Window* owner, const std::u16string& text, TAskKind kind);

// A small modal window with a progress bar and Cancel, shown while a long
// action reports progress; it keeps the dialog painted meanwhile.
class TProgressWindow {
 public:
  TProgressWindow(const std::string& caption, const Fl_Window* owner);
  ~TProgressWindow();
  TProgressWindow(const TProgressWindow&) = delete;
  TProgressWindow& operator=(const TProgressWindow&) = delete;

  // Shows done of total and lets FLTK handle what is pending; false once
  // the user cancelled.
  bool Update(long long done, long long total);

 private:
  struct TParts;
  TParts* FParts;
};

}  // namespace velmaro::ui::fltk
