#include "ui/fltk/TFltkView.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>

#include <exception>

#include "library/Library.h"
#include "platform/Text.h"
#include "ui/ViewSupport.h"
#include "ui/fltk/TFileChooser.h"

namespace velmaro::ui::fltk {

TFltkView::TFltkView(int w, int h, const std::u16string& caption)
    : FCaption(ToUtf8(caption)), FWindow(std::make_unique<TDialogWindow>(w, h, FCaption.c_str())) {
  FWindow->OnCancel = [this] { Invoke([this] { Close(); }); };
}

TFltkView::~TFltkView() {
  FProgress.reset();
  FWindow.reset();
}

void TFltkView::Name(const char* name, Fl_Input_* edit) {
  // A comment or a path longer than FLTK's default limit must come back
  // whole from the edit, or saving would cut it.
  edit->maximum_size(1 << 30);
  edit->textsize(FontSize);
  edit->labelsize(FontSize);
  FEdits.emplace(name, edit);
}

void TFltkView::Name(const char* name, TLabel* label) { FLabels.emplace(name, label); }

void TFltkView::Name(const char* name, Fl_Check_Button* check) {
  check->labelsize(FontSize);
  FChecks.emplace(name, check);
}

void TFltkView::LabelBefore(const Fl_Widget& control, int left, const char* text) {
  constexpr int gap = 6;
  auto* label = new Fl_Box(left, control.y(), control.x() - gap - left, control.h(), text);
  label->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
  label->labelsize(FontSize);
}

void TFltkView::SetText(std::string_view control, const std::u16string& text) {
  if (const auto edit = FEdits.find(control); edit != FEdits.end()) {
    const std::string value = ToUtf8(text);
    edit->second->value(value.data(), static_cast<int>(value.size()));
  } else if (const auto label = FLabels.find(control); label != FLabels.end()) {
    label->second->Text(text);
  }
}

std::u16string TFltkView::Text(std::string_view control) const {
  if (const auto edit = FEdits.find(control); edit != FEdits.end())
    return platform::Utf8ToUtf16(std::string_view(edit->second->value(), static_cast<std::size_t>(edit->second->size())));
  if (const auto label = FLabels.find(control); label != FLabels.end()) return label->second->Text();
  return {};
}

void TFltkView::SetChecked(std::string_view control, bool checked) {
  if (const auto check = FChecks.find(control); check != FChecks.end()) check->second->value(checked ? 1 : 0);
}

bool TFltkView::Checked(std::string_view control) const {
  const auto check = FChecks.find(control);
  return check != FChecks.end() && check->second->value() != 0;
}

TAnswer TFltkView::AskUser(const std::u16string& text, TAskKind kind) {
  return MessageBox(FCaption, FWindow.get(), text, kind);
}

std::optional<std::u16string> TFltkView::ChooseDatabaseFile(const std::u16string& folder,
                                                           const std::u16string& name) {
  // A file that does not exist yet may be named: it is created at the
  // next start.
  std::string start = ToUtf8(folder);
  // The folder without its last separator, unless it is the root.
  while (start.size() > 1 && start.back() == '/') start.pop_back();
  const std::optional<std::string> chosen = ChooseFile("Open", FWindow.get(), start, ToUtf8(name));
  if (!chosen || chosen->empty()) return std::nullopt;
  return platform::Utf8ToUtf16(*chosen);
}

void TFltkView::SetBusy(bool busy) {
  FBusyDepth += busy ? 1 : -1;
  if (FBusyDepth < 0) FBusyDepth = 0;
  if (FBusyDepth == 0) FProgress.reset();
  if (DisplayLost()) return;
  FWindow->cursor(FBusyDepth > 0 ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  // The cursor changes now, before the work, not when FLTK next waits.
  Fl::flush();
}

bool TFltkView::Progress(std::int64_t done, std::int64_t total) {
  if (!FProgress) FProgress = std::make_unique<TProgressWindow>(FCaption, FWindow.get());
  return FProgress->Update(done, total);
}

void TFltkView::Close() {
  if (!DisplayLost()) FWindow->hide();
}

void TFltkView::Run() { RunModal(*FWindow); }

// A lost display ends the whole dialog: it goes on to the showing.
void TFltkView::Invoke(const std::function<void()>& handler) {
  RunHandler<TDisplayLost>(FInHandler, *this, handler);
}

void TFltkView::OnClick(Fl_Widget& widget, std::function<void()> handler) {
  FClicks[&widget] = std::move(handler);
  widget.callback([](Fl_Widget* sender, void* data) {
    auto* view = static_cast<TFltkView*>(data);
    const auto click = view->FClicks.find(sender);
    if (click != view->FClicks.end()) view->Invoke(click->second);
  }, this);
}

}  // namespace velmaro::ui::fltk
