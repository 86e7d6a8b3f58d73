#include "ui/fltk/TFileChooser.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/filename.H>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "ui/fltk/FltkSupport.h"

namespace velmaro::ui::fltk {

namespace {

constexpr int ClientW = 560, ClientH = 420;
constexpr int Margin = 12, LabelW = 104, RowH = 26;

// The folder that holds path ("/" for a name directly below the root).
std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

struct TFilter {
  const char* Label;
  const char* Pattern;
};
// Names are matched by case here: "*.db" alone would hide VORNAK.DB.
constexpr TFilter Filters[] = {{"Database files (*.db)", "*.[dD][bB]"}, {"All files (*)", "*"}};

class TChooser {
 public:
  TChooser(const std::string& caption, const std::string& folder, const std::string& name)
      : FCaption(caption), FWindow(ClientW, ClientH, caption.c_str()) {
    // Raised edges: it stands out from the dialog also where no window
    // manager frames it.
    FWindow.box(FL_UP_BOX);
    auto* lookIn = new Fl_Box(Margin, Margin, LabelW, RowH, "Look in:");
    lookIn->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    lookIn->labelsize(FontSize);
    FFolderLabel = new TLabel(Margin + LabelW, Margin, ClientW - 2 * Margin - LabelW, RowH, FL_ALIGN_LEFT);

    FList = new TTabbing<Fl_File_Browser>(Margin, Margin + RowH + 6, ClientW - 2 * Margin, 250);
    FList->type(FL_HOLD_BROWSER);
    FList->textsize(FontSize);
    FList->callback([](Fl_Widget*, void* data) { static_cast<TChooser*>(data)->ListClicked(); }, this);

    const int nameY = FList->y() + FList->h() + 10;
    auto* nameLabel = new Fl_Box(Margin, nameY, LabelW, RowH, "File name:");
    nameLabel->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    nameLabel->labelsize(FontSize);
    FName = new TTabbing<Fl_Input>(Margin + LabelW, nameY, ClientW - 2 * Margin - LabelW, RowH);
    FName->textsize(FontSize);
    FName->maximum_size(1 << 20);
    FName->value(name.c_str());

    const int typeY = nameY + RowH + 8;
    auto* typeLabel = new Fl_Box(Margin, typeY, LabelW, RowH, "Files of type:");
    typeLabel->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    typeLabel->labelsize(FontSize);
    FFilter = new TTabbing<Fl_Choice>(Margin + LabelW, typeY, 240, RowH);
    FFilter->textsize(FontSize);
    for (const TFilter& filter : Filters) FFilter->add(filter.Label);
    FFilter->value(0);
    FFilter->callback([](Fl_Widget*, void* data) { static_cast<TChooser*>(data)->Reload(); }, this);

    constexpr int buttonW = 88, buttonH = 30;
    const int buttonY = ClientH - Margin - buttonH;
    FOk = new TButton(ClientW - Margin - 2 * buttonW - 8, buttonY, buttonW, buttonH, "OK");
    FOk->callback([](Fl_Widget*, void* data) { static_cast<TChooser*>(data)->Accept(); }, this);
    auto* cancel = new TButton(ClientW - Margin - buttonW, buttonY, buttonW, buttonH, "Cancel");
    cancel->callback([](Fl_Widget* widget, void*) { widget->window()->hide(); });
    FWindow.end();
    FWindow.DefaultButton = FOk;
    FWindow.OnCancel = [this] { FWindow.hide(); };
    FWindow.TabOrder = {FName, FList, FFilter, FOk, cancel};
    // The name box first, its proposal selected: what is typed replaces it.
    FWindow.InitialFocus = FName;
    Load(folder.empty() ? std::string("/") : folder);
  }

  std::optional<std::string> Run(const Fl_Window* owner) {
    FName->position(FName->size(), 0);
    if (!RunModalOver(FWindow, owner)) return std::nullopt;
    return FResult;
  }

 private:
  void Load(const std::string& folder) {
    FFolder = folder;
    FFolderLabel->Text(platform::Utf8ToUtf16(folder));
    FList->filter(Filters[FFilter->value() < 0 ? 0 : FFilter->value()].Pattern);
    FList->load(folder.c_str(), fl_casenumericsort);
  }
  void Reload() { Load(FFolder); }

  // A click puts a file's name into the name box; a double click opens a
  // folder, or chooses a file.
  void ListClicked() {
    const int line = FList->value();
    if (line <= 0) return;
    const std::string entry = FList->text(line);
    const bool doubleClick = Fl::event_clicks() != 0;
    if (!entry.empty() && entry.back() == '/') {
      if (!doubleClick) return;
      const std::string child = entry.substr(0, entry.size() - 1);
      Load(child == ".." ? (ParentOf(FFolder).empty() ? FFolder : ParentOf(FFolder)) : ChosenPath(FFolder, child));
      return;
    }
    FName->value(entry.c_str());
    if (doubleClick) Accept();
  }

  // OK or Enter: a folder is opened, anything else chosen once its folder
  // is there.
  void Accept() {
    const std::string typed = FName->value();
    if (typed.empty()) return;
    const std::string path = ChosenPath(FFolder, typed);
    if (fl_filename_isdir(path.c_str())) {
      Load(path);
      FName->value("");
      return;
    }
    const std::string parent = ParentOf(path);
    if (!parent.empty() && !platform::DirectoryExists(platform::Utf8ToUtf16(parent))) {
      MessageBox(FCaption, &FWindow, u"The folder " + platform::Utf8ToUtf16(parent) + u" does not exist.",
                 TAskKind::Error);
      return;
    }
    FResult = path;
    FWindow.hide();
  }

  std::string FCaption;
  TDialogWindow FWindow;
  TLabel* FFolderLabel = nullptr;
  Fl_File_Browser* FList = nullptr;
  Fl_Input* FName = nullptr;
  Fl_Choice* FFilter = nullptr;
  TButton* FOk = nullptr;
  std::string FFolder;
  std::optional<std::string> FResult;
};

}  // namespace

std::string ChosenPath(const std::string& folder, const std::string& typed) {
  if (!typed.empty() && typed.front() == '/') return typed;
  if (folder.empty() || folder.back() == '/') return folder + typed;
  return folder + "/" + typed;
}

std::optional<std::string> ChooseFile(const std::string& caption, const Fl_Window* owner, const std::string& folder,
                                      const std::string& name) {
  if (DisplayLost()) return std::nullopt;
  TChooser chooser(caption, folder, name);
  return chooser.Run(owner);
}

}  // namespace velmaro::ui::fltk
