#include "ui/fltk/TFltkSettingsView.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Tabs.H>

namespace velmaro::ui::fltk {

namespace {

// The client area and the page control's page, whose children are placed
// relative to its top-left corner as the layout gives them.
constexpr int ClientW = 669, ClientH = 456;
constexpr int TabH = 26, PageInset = 4;
constexpr int PageX = PageInset, PageY = TabH + PageInset;

}  // namespace

TFltkSettingsView::TFltkSettingsView() : TFltkView(ClientW, ClientH, SettingsCaption) {
  TDialogWindow& window = Window();
  window.begin();
  auto* pages = new Fl_Tabs(0, 0, ClientW, 405);
  pages->clear_visible_focus();
  auto* page = new Fl_Group(0, TabH, ClientW, 405 - TabH, "Main");
  page->labelsize(FontSize);

  Name("lblDBPath", new TLabel(PageX + 16, PageY + 8, 630, 44));
  Name("lblRecordsCount", new TLabel(PageX + 16, PageY + 64, 630, 22));

  const int gx = PageX + 16, gy = PageY + 152;
  auto* maintenance = new TGroupBox(gx, gy, 629, 177, " Database Maintance ");
  auto* fileLabel = new Fl_Box(gx + 18, gy + 36, 300, 22, "Database File:");
  fileLabel->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  fileLabel->labelsize(FontSize);
  auto* path = new TTabbing<Fl_Output>(gx + 18, gy + 62, 479, 26);
  // Read-only and looking it: Select... is the way to choose the file.
  path->color(FL_BACKGROUND_COLOR);
  Name("edPath", path);
  // As high as the path beside it.
  FSelect = new TButton(gx + 520, path->y(), 89, path->h(), "Select...");
  FRebuild = new TButton(gx + 18, gy + 120, 185, 35, "Rebuild Database");
  FReindex = new TButton(gx + 215, gy + 120, 193, 35, "ReIndex and Vacuum");
  FEmpty = new TButton(gx + 419, gy + 120, 193, 35, "Empty Database");
  maintenance->end();
  page->end();
  pages->end();

  // Panel1, 51 high at the bottom.
  const int panelY = ClientH - 51;
  FOk = new TButton(395, panelY + 8, 124, 35, "OK");
  FCancel = new TButton(525, panelY + 8, 124, 35, "Cancel");
  window.end();
  window.TabOrder = {path, FSelect, FRebuild, FReindex, FEmpty, FOk, FCancel};
  window.DefaultButton = FOk;
  OnClick(*FCancel, [this] { Close(); });
}

void TFltkSettingsView::Bind(TfmMainSettings& dialog) {
  OnClick(*FSelect, [&dialog] { dialog.btSelectDBpathClick(); });
  OnClick(*FRebuild, [&dialog] { dialog.btRebuildDatabaseClick(); });
  OnClick(*FReindex, [&dialog] { dialog.btReindexVacuumClick(); });
  OnClick(*FEmpty, [&dialog] { dialog.btEmptyDatabaseClick(); });
  OnClick(*FOk, [&dialog] { dialog.btOKClick(); });
}

}  // namespace velmaro::ui::fltk
