#include "ui/fltk/FltkSupport.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Progress.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/Text.h"

namespace velmaro::ui::fltk {

namespace {

// One dialog at a time in the whole process: FLTK is not made for more
// than one thread, and a second dialog could only come from another one.
std::atomic<bool> TurnTaken{false};
bool DisplayOpened = false;
bool Lost = false;

// The X error handlers that were in place when the session began (the
// host's toolkit may have its own): restored when it ends, and called for
// errors on any display but ours meanwhile.
XErrorHandler HostErrorHandler = nullptr;
XIOErrorHandler HostIoErrorHandler = nullptr;
bool XHandlersInstalled = false;

std::string Formatted(const char* format, va_list args) {
  char buffer[1024];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

// FLTK's own fatal handler calls exit(): ours unwinds to the opener
// instead. Once the display is gone nothing is thrown any more (windows
// being destroyed on the way out may report again).
void FatalHandler(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = Formatted(format, args);
  va_end(args);
  if (Lost) return;
  Lost = true;
  throw TDisplayLost{message};
}

void ErrorHandler(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = Formatted(format, args);
  va_end(args);
  std::fprintf(stderr, "Velmaro dialog: %s\n", message.c_str());
}

void WarningHandler(const char*, ...) {}

// A protocol error on our display (a window already gone, say) is not
// worth a word; Xlib's default handler would end the process.
int XErrorOnDisplay(Display* display, XErrorEvent* event) {
  if (display != fl_display && HostErrorHandler) return HostErrorHandler(display, event);
  return 0;
}

// Xlib may hold its display lock here: nothing is thrown through it.
// The display is marked lost, and HideAllWhenLost ends every modal loop.
int XIoErrorOnDisplay(Display* display) {
  if (display != fl_display && HostIoErrorHandler) return HostIoErrorHandler(display);
  Lost = true;
  return 0;
}

// After the I/O error handler, Xlib ends the process unless this returns;
// the display then stays marked as broken and its calls do nothing.
void XIoErrorExit(Display*, void*) { Lost = true; }

// Runs each time FLTK waits, in its own loops too (the file chooser's):
// once the display is gone every window hides, so that each loop ends.
void HideAllWhenLost(void*) {
  if (!Lost) return;
  while (Fl_Window* window = Fl::first_window()) window->hide();
}

void CentreIn(Fl_Window& window, int x, int y, int w, int h) {
  window.position(x + (w - window.w()) / 2, y + (h - window.h()) / 2);
}

// Centred over owner where it is on the screen, else on the screen.
void Place(Fl_Window& window, const Fl_Window* owner) {
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, 0);
  if (owner != nullptr && const_cast<Fl_Window*>(owner)->shown()) {
    CentreIn(window, owner->x(), owner->y(), owner->w(), owner->h());
    window.position(std::clamp(window.x(), sx, std::max(sx, sx + sw - window.w())),
                    std::clamp(window.y(), sy, std::max(sy, sy + sh - window.h())));
  } else {
    CentreIn(window, sx, sy, sw, sh);
  }
}

void ShowModal(Fl_Window& window, const Fl_Window* owner) {
  window.set_modal();
  Place(window, owner);
  window.show();
}

// False when the display went away meanwhile.
bool RunUntilHidden(Fl_Window& window) {
  while (window.shown() && !Lost) Fl::wait();
  return !Lost;
}

}  // namespace

TFltkSession::TFltkSession() {
  bool expected = false;
  FOwnsTurn = TurnTaken.compare_exchange_strong(expected, true);
  if (!FOwnsTurn) return;
  // Before FLTK is asked anything: its default handlers end the process.
  FOldFatal = Fl::fatal;
  FOldError = Fl::error;
  FOldWarning = Fl::warning;
  Fl::fatal = FatalHandler;
  Fl::error = ErrorHandler;
  Fl::warning = WarningHandler;
}

TFltkSession::~TFltkSession() {
  if (!FOwnsTurn) return;
  // The windows of the showing are hidden and gone by now, but Xlib keeps
  // requests until it flushes: without this the dialog stays on the screen
  // over the host, which never runs FLTK's loop, until the next dialog.
  if (DisplayOpened && !Lost && fl_display != nullptr) XSync(fl_display, False);
  if (XHandlersInstalled) {
    Fl::remove_check(HideAllWhenLost);
    XSetErrorHandler(HostErrorHandler);
    XSetIOErrorHandler(HostIoErrorHandler);
    if (fl_display != nullptr) XSetIOErrorExitHandler(fl_display, nullptr, nullptr);
    XHandlersInstalled = false;
  }
  Fl::fatal = FOldFatal;
  Fl::error = FOldError;
  Fl::warning = FOldWarning;
  TurnTaken = false;
}

std::u16string TFltkSession::Open() {
  if (!FOwnsTurn) return u"No window can be shown: another Velmaro dialog is open.";
  if (Lost) return u"No window can be shown: the connection to the display was lost.";
  if (!DisplayOpened) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
      return u"No window can be shown: no display is available (DISPLAY is not set).";
    // Opened here, where a failure is an answer: FLTK's own opening calls
    // its fatal handler.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
      return u"No window can be shown: the display \"" + platform::Utf8ToUtf16(name) + u"\" cannot be opened.";
    // FLTK replaces the process's X error handlers when it takes the
    // display; the host's are put back at once and only lent while a
    // dialog runs.
    const XErrorHandler hostError = XSetErrorHandler(nullptr);
    const XIOErrorHandler hostIoError = XSetIOErrorHandler(nullptr);
    fl_open_display(display);
    XSetErrorHandler(hostError);
    XSetIOErrorHandler(hostIoError);
    DisplayOpened = true;
  }
  HostErrorHandler = XSetErrorHandler(XErrorOnDisplay);
  HostIoErrorHandler = XSetIOErrorHandler(XIoErrorOnDisplay);
  XSetIOErrorExitHandler(fl_display, XIoErrorExit, nullptr);
  Fl::add_check(HideAllWhenLost);
  XHandlersInstalled = true;
  // FLTK's file chooser would otherwise load GTK into a host that may be
  // a GTK or Qt program of another version.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  // FLTK's look closest to the GTK desktops around the hosts; drawn by
  // FLTK itself, it loads nothing.
  Fl::scheme("gtk+");
  return {};
}

bool DisplayLost() { return Lost; }

std::string ToUtf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string LabelText(const std::u16string& text) {
  std::string lines = platform::Utf16ToUtf8(text);
  std::string result;
  result.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == '\r') {
      result += '\n';
      if (i + 1 < lines.size() && lines[i + 1] == '\n') ++i;
    } else {
      result += lines[i];
    }
  }
  return result;
}

// --- TLabel

TLabel::TLabel(int x, int y, int w, int h, Fl_Align align) : Fl_Widget(x, y, w, h), FAlign(align) {
  box(FL_NO_BOX);
  labelsize(FontSize);
  clear_visible_focus();
}

void TLabel::Text(const std::u16string& text) {
  FText = text;
  FLines = LabelText(text);
  // Without a box of its own, the old text goes only when what lies
  // behind it is drawn again.
  if (window() != nullptr) window()->redraw();
}

void TLabel::draw() {
  fl_font(labelfont(), labelsize());
  fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
  fl_push_clip(x(), y(), w(), h());
  fl_draw(FLines.c_str(), x(), y(), w(), h(), FAlign | FL_ALIGN_INSIDE, nullptr, 0);
  fl_pop_clip();
}

// --- TButton

TButton::TButton(int x, int y, int w, int h, const char* label) : Fl_Button(x, y, w, h, label) {
  labelsize(FontSize);
}

int TButton::handle(int event) {
  if (event == FL_KEYBOARD && TabToNext(*this)) return 1;
  if (event == FL_KEYBOARD && Fl::focus() == this &&
      (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
      !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META))) {
    do_callback();
    return 1;
  }
  return Fl_Button::handle(event);
}

// --- TGroupBox

TGroupBox::TGroupBox(int x, int y, int w, int h, const char* caption) : Fl_Group(x, y, w, h) {
  copy_label(caption);
  labelsize(FontSize);
  box(FL_NO_BOX);
  // The caption is drawn by draw(), not by the parent outside the frame.
  align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);
}

void TGroupBox::draw() {
  if (damage() & ~FL_DAMAGE_CHILD) {
    fl_font(labelfont(), labelsize());
    const int line = y() + fl_height() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), line, w(), h() - (line - y()), color());
    if (label() != nullptr && *label() != '\0') {
      const int width = static_cast<int>(fl_width(label()));
      fl_color(parent() ? parent()->color() : color());
      fl_rectf(x() + 8, y(), width, fl_height());
      fl_color(labelcolor());
      fl_draw(label(), x() + 8, y(), width, fl_height(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE, nullptr, 0);
    }
  }
  draw_children();
}

// --- TDialogWindow

TDialogWindow::TDialogWindow(int w, int h, const char* caption) : Fl_Double_Window(w, h) {
  copy_label(caption);
  // A fixed dialog border: the size is the layout's.
  size_range(w, h, w, h);
  callback([](Fl_Widget* widget, void*) {
    auto* window = static_cast<TDialogWindow*>(widget);
    if (window->OnCancel)
      window->OnCancel();
    else
      window->hide();
  });
}

bool IsTabKey() {
  // Shift+Tab may come as X's ISO_Left_Tab.
  constexpr int IsoLeftTab = 0xfe20;
  return (Fl::event_key() == FL_Tab || Fl::event_key() == IsoLeftTab) &&
         !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META));
}

bool TDialogWindow::MoveFocus(bool backwards) {
  const int count = static_cast<int>(TabOrder.size());
  if (count == 0) return false;
  // Where the keyboard is now: the control itself or the one holding it.
  int current = -1;
  for (int i = 0; i < count && current < 0; ++i)
    if (TabOrder[i] == Fl::focus() || (Fl::focus() != nullptr && TabOrder[i]->contains(Fl::focus()))) current = i;
  if (current < 0) current = backwards ? 0 : count - 1;
  for (int step = 1; step <= count; ++step) {
    Fl_Widget* next = TabOrder[((current + (backwards ? -step : step)) % count + count) % count];
    if (next->visible_r() && next->active_r() && next->take_focus()) return true;
  }
  return false;
}

bool TabToNext(Fl_Widget& control) {
  if (Fl::event() != FL_KEYBOARD || !IsTabKey()) return false;
  auto* window = dynamic_cast<TDialogWindow*>(control.window());
  if (window == nullptr || window->TabOrder.empty()) return false;
  window->MoveFocus((Fl::event_state() & FL_SHIFT) != 0);
  return true;
}

int TDialogWindow::handle(int event) {
  if (event == FL_FOCUS && InitialFocus != nullptr) {
    Fl_Widget* first = InitialFocus;
    InitialFocus = nullptr;
    if (first->take_focus()) {
      // Its text selected, as a Tab selects it: typing replaces it.
      if (auto* input = dynamic_cast<Fl_Input_*>(first)) input->position(input->size(), 0);
      return 1;
    }
  }
  // An Enter the focused control did not take comes up through its
  // parents to here; taken now, before FLTK offers it as a shortcut, when
  // any group would use it to move to the next control.
  if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && DefaultButton != nullptr && DefaultButton->active_r() &&
      (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
    DefaultButton->do_callback();
    return 1;
  }
  return Fl_Double_Window::handle(event);
}

void RunModal(Fl_Window& window) {
  ShowModal(window, nullptr);
  RunUntilHidden(window);
}

bool RunModalOver(Fl_Window& window, const Fl_Window* owner) {
  ShowModal(window, owner);
  return RunUntilHidden(window);
}

// --- Message boxes

namespace {

struct TIconLook {
  const char* Glyph;
  Fl_Color Back, Fore;
};

TIconLook IconLook(TAskKind kind) {
  switch (kind) {
    case TAskKind::Question: return {"?", fl_rgb_color(52, 101, 164), FL_WHITE};
    case TAskKind::Warning: return {"!", fl_rgb_color(237, 180, 0), FL_BLACK};
    case TAskKind::Information: return {"i", fl_rgb_color(52, 101, 164), FL_WHITE};
    case TAskKind::Error: break;
  }
  return {"X", fl_rgb_color(204, 0, 0), FL_WHITE};
}

}  // namespace

TAnswer MessageBox(const std::string& caption, const Fl_Window* owner, const std::u16string& text, TAskKind kind) {
  const bool choice = kind == TAskKind::Question || kind == TAskKind::Warning;
  const TAnswer closed = choice ? TAnswer::Cancel : TAnswer::Ok;
  if (Lost) return closed;

  constexpr int margin = 16, icon = 36, gap = 14, buttonW = 88, buttonH = 30, buttonGap = 8;
  constexpr int maxTextW = 520, maxTextH = 560;
  const std::string body = LabelText(text);
  fl_font(FL_HELVETICA, FontSize);
  int textW = 0, textH = 0;
  fl_measure(body.c_str(), textW, textH, 0);
  Fl_Align align = FL_ALIGN_TOP_LEFT;
  if (textW > maxTextW) {
    // Too wide for one line: wrapped at the widest the box allows.
    textW = maxTextW;
    textH = 0;
    fl_measure(body.c_str(), textW, textH, 0);
    align |= FL_ALIGN_WRAP;
  }
  textH = std::min(textH, maxTextH);
  const int buttons = choice ? 3 : 1;
  const int buttonsW = buttons * buttonW + (buttons - 1) * buttonGap;
  const int contentH = std::max(textH, icon);
  const int w = std::max({margin + icon + gap + textW + margin, buttonsW + 2 * margin, 260});
  const int h = margin + contentH + 20 + buttonH + 14;

  TAnswer answer = closed;
  TDialogWindow box(w, h, caption.c_str());
  // Raised edges: it stands out from the dialog also where no window
  // manager frames it.
  box.box(FL_UP_BOX);
  const TIconLook look = IconLook(kind);
  auto* badge = new Fl_Box(FL_OVAL_BOX, margin, margin, icon, icon, look.Glyph);
  badge->color(look.Back);
  badge->labelcolor(look.Fore);
  badge->labelfont(FL_HELVETICA_BOLD);
  badge->labelsize(22);
  auto* message = new TLabel(margin + icon + gap, margin + (contentH - textH) / 2, textW, textH, align);
  message->Text(text);

  struct TChoice {
    const char* Label;
    TAnswer Answer;
  };
  const TChoice yesNoCancel[] = {{"&Yes", TAnswer::Yes}, {"&No", TAnswer::No}, {"Cancel", TAnswer::Cancel}};
  const TChoice ok[] = {{"OK", TAnswer::Ok}};
  const TChoice* choices = choice ? yesNoCancel : ok;
  // What each button answers; they point here while the box runs.
  struct TTarget {
    TAnswer* Result;
    TAnswer Value;
  };
  TTarget targets[3];
  int x = (w - buttonsW) / 2;
  const int y = h - 14 - buttonH;
  Fl_Button* initial = nullptr;
  for (int i = 0; i < buttons; ++i, x += buttonW + buttonGap) {
    targets[i] = {&answer, choices[i].Answer};
    auto* button = new TButton(x, y, buttonW, buttonH, choices[i].Label);
    button->callback([](Fl_Widget* widget, void* data) {
      const auto* target = static_cast<TTarget*>(data);
      *target->Result = target->Value;
      widget->window()->hide();
    }, &targets[i]);
    // No for a question (a slip of Enter changes nothing), else OK.
    if (choices[i].Answer == (choice ? TAnswer::No : TAnswer::Ok)) initial = button;
  }
  box.end();
  box.DefaultButton = initial;
  box.OnCancel = [&] {
    answer = closed;
    box.hide();
  };

  ShowModal(box, owner);
  if (initial != nullptr) initial->take_focus();
  // A display gone away answers as the close box does: nothing goes ahead.
  if (!RunUntilHidden(box)) return closed;
  return answer;
}

// --- Progress

struct TProgressWindow::TParts {
  TDialogWindow Window;
  Fl_Progress* Bar = nullptr;
  TButton* Cancel = nullptr;
  const Fl_Window* Owner = nullptr;
  bool Cancelled = false;

  TParts(const std::string& caption, const Fl_Window* owner) : Window(360, 130, caption.c_str()), Owner(owner) {
    Window.box(FL_UP_BOX);
    auto* text = new TLabel(16, 14, 328, 22, FL_ALIGN_LEFT);
    text->Text(u"Working, please wait...");
    Bar = new Fl_Progress(16, 42, 328, 24);
    Bar->selection_color(fl_rgb_color(52, 101, 164));
    Bar->labelsize(FontSize);
    Cancel = new TButton(136, 84, 88, 30, "Cancel");
    Cancel->callback([](Fl_Widget*, void* data) { static_cast<TParts*>(data)->Cancelled = true; }, this);
    Window.end();
    Window.OnCancel = [this] { Cancelled = true; };
  }
};

TProgressWindow::TProgressWindow(const std::string& caption, const Fl_Window* owner)
    : FParts(new TParts(caption, owner)) {}

TProgressWindow::~TProgressWindow() { delete FParts; }

bool TProgressWindow::Update(long long done, long long total) {
  if (Lost) return false;
  TParts& parts = *FParts;
  if (!parts.Window.shown()) {
    ShowModal(parts.Window, parts.Owner);
    parts.Cancel->take_focus();
  }
  parts.Bar->maximum(static_cast<float>(std::max(total, 1LL)));
  parts.Bar->value(static_cast<float>(std::clamp(done, 0LL, std::max(total, 1LL))));
  parts.Bar->copy_label((std::to_string(done) + " of " + std::to_string(total)).c_str());
  Fl::check();
  // Without a display nobody can watch or cancel: the work stops.
  return !parts.Cancelled && !Lost;
}

}  // namespace velmaro::ui::fltk
