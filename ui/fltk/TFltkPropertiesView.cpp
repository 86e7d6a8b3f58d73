#include "ui/fltk/TFltkPropertiesView.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Tabs.H>

#include <functional>
#include <string>

#include "ui/StarPictures.h"

namespace velmaro::ui::fltk {

// A star picture that acts on a click (when the button is let go over it)
// and shows the hand cursor while the mouse is over it.
class TStarImage : public Fl_Box {
 public:
  TStarImage(int x, int y) : Fl_Box(x, y, StarPictureSize, StarPictureSize) {}

  int handle(int event) override {
    switch (event) {
      case FL_ENTER:
        window()->cursor(FL_CURSOR_HAND);
        return 1;
      case FL_LEAVE:
        window()->cursor(FL_CURSOR_DEFAULT);
        return 1;
      case FL_PUSH:
        return 1;
      case FL_RELEASE:
        if (Fl::event_inside(this)) {
          // The keyboard goes with the click to the stars.
          parent()->take_focus();
          do_callback();
        }
        return 1;
      default:
        return Fl_Box::handle(event);
    }
  }
};

// panRatingStars: the six star images as one control that takes the
// keyboard. Left and Right (Down and Up) step the rating by one, Home and
// End set 0 and 5, the digits 0 to 5 set it; a dotted frame shows the focus.
class TStarPanel : public Fl_Group {
 public:
  TStarPanel(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
    box(FL_NO_BOX);
    set_visible_focus();
  }

  std::function<void(int)> OnStep;   // -1 or +1
  std::function<void(int)> OnRating;  // 0 to 5

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS:
      case FL_UNFOCUS:
        // The frame has no box of its own to clear it: all is drawn again.
        if (window() != nullptr) window()->redraw();
        return 1;
      case FL_KEYBOARD:
        return TabToNext(*this) || Key() ? 1 : 0;
      default:
        return Fl_Group::handle(event);
    }
  }

 protected:
  void draw() override {
    Fl_Group::draw();
    if (Fl::focus() == this) draw_focus(FL_NO_BOX, x(), y(), w(), h());
  }

 private:
  // True when the key was one of the rating's.
  bool Key() {
    if (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) return false;
    const int key = Fl::event_key();
    if (key == FL_Left || key == FL_Down) return Send(OnStep, -1);
    if (key == FL_Right || key == FL_Up) return Send(OnStep, 1);
    if (key == FL_Home) return Send(OnRating, 0);
    if (key == FL_End) return Send(OnRating, 5);
    const char* text = Fl::event_text();
    if (Fl::event_length() == 1 && text[0] >= '0' && text[0] <= '5') return Send(OnRating, text[0] - '0');
    return false;
  }
  static bool Send(const std::function<void(int)>& handler, int value) {
    if (handler) handler(value);
    return true;
  }
};

namespace {

// The client area and the page control's page, whose children are placed
// relative to its top-left corner as the layout gives them.
constexpr int ClientW = 556, ClientH = 614;
constexpr int TabH = 26, PageInset = 4;
constexpr int PageX = 8 + PageInset, PageY = 64 + TabH + PageInset;
constexpr int EditH = 26;

}  // namespace

TFltkPropertiesView::TFltkPropertiesView() : TFltkView(ClientW, ClientH, PropertiesCaption) {
  FGoldBytes = StarPicture(TStar::Gold);
  FGrayBytes = StarPicture(TStar::Gray);
  FGold = std::make_unique<Fl_RGB_Image>(FGoldBytes.data(), StarPictureSize, StarPictureSize, 4);
  FGray = std::make_unique<Fl_RGB_Image>(FGrayBytes.data(), StarPictureSize, StarPictureSize, 4);

  TDialogWindow& window = Window();
  window.begin();
  auto* fileName = new TTabbing<Fl_Output>(8, 16, 538, EditH);
  fileName->color(FL_BACKGROUND_COLOR);
  Name("edFileName", fileName);

  auto* pages = new Fl_Tabs(8, 64, 539, 493);
  pages->clear_visible_focus();
  auto* page = new Fl_Group(8, 64 + TabH, 539, 493 - TabH, "Track Info");
  page->labelsize(FontSize);
  {
    const int gx = PageX + 11, gy = PageY + 11;
    auto* info = new TGroupBox(gx, gy, 510, 202, " Track Information ");
    struct TEdit {
      const char* Name;
      const char* Label;
      int X, Y, W;
    };
    const TEdit edits[] = {{"edTitle", "Title", 89, 31, 400},   {"edArtist", "Artist", 89, 64, 400},
                           {"edAlbum", "Album", 89, 97, 400},   {"edYear", "Year", 89, 130, 90},
                           {"edGenre", "Genre", 233, 130, 256}, {"edComment", "Comment", 89, 163, 400}};
    for (const TEdit& e : edits) {
      auto* edit = new TTabbing<Fl_Input>(gx + e.X, gy + e.Y, e.W, EditH);
      Name(e.Name, edit);
      // Labels end against their edits; "Genre" stands between the year
      // and its edit.
      LabelBefore(*edit, e.X == 233 ? gx + 180 : gx + 8, e.Label);
      if (FFirstEdit == nullptr) FFirstEdit = edit;
      window.TabOrder.push_back(edit);
    }
    info->end();
  }
  {
    const int gx = PageX + 11, gy = PageY + 218;
    auto* mpeg = new TGroupBox(gx, gy, 510, 129, " MPEG Info ");
    auto* text = new TLabel(gx + 22, gy + 25, 480, 98);
    Name("lblMPEGInfo", text);
    mpeg->end();
  }
  {
    const int gx = PageX + 11, gy = PageY + 354;
    auto* rating = new TGroupBox(gx, gy, 510, 98, " Rating ");
    auto* number = new TLabel(gx + 90, gy + 45, 16, 24, FL_ALIGN_LEFT);
    Name("lblRating", number);
    // panRatingStars: the six images, 3 pixels in from its edges.
    const int px = gx + 107, py = gy + 40;
    FStarPanel = new TStarPanel(px, py, 196, 38);
    const int lefts[] = {3, 33, 65, 97, 129, 161};
    for (int i = 0; i < 6; ++i) {
      FStars[i] = new TStarImage(px + lefts[i], py + 3);
      FStars[i]->align(FL_ALIGN_INSIDE | FL_ALIGN_CENTER);
    }
    FStarPanel->end();
    FFavorite = new TTabbing<Fl_Check_Button>(gx + 341, gy + 48, 112, 22, "Favorite");
    Name("cbFavorite", FFavorite);
    rating->end();
    window.TabOrder.push_back(FStarPanel);
    window.TabOrder.push_back(FFavorite);
  }
  page->end();
  pages->end();

  // Panel1, 51 high at the bottom.
  const int panelY = ClientH - 51;
  FOk = new TButton(151, panelY + 8, 124, 35, "OK");
  FCancel = new TButton(281, panelY + 8, 124, 35, "Cancel");
  window.end();
  // The track's fields first, where the keyboard starts; the path, which
  // can only be selected and copied, after them.
  window.TabOrder.insert(window.TabOrder.end(), {fileName, FOk, FCancel});
  window.DefaultButton = FOk;
  OnClick(*FCancel, [this] { Close(); });
}

TFltkPropertiesView::~TFltkPropertiesView() = default;

void TFltkPropertiesView::Bind(TfmProperties& dialog) {
  for (int i = 0; i < static_cast<int>(FStars.size()); ++i) {
    const std::string name = "Image" + std::to_string(i);
    OnClick(*FStars[i], [&dialog, name] { dialog.Image0Click(name); });
  }
  FStarPanel->OnStep = [this, &dialog](int delta) { Invoke([&dialog, delta] { dialog.StepRating(delta); }); };
  FStarPanel->OnRating = [this, &dialog](int n) {
    Invoke([&dialog, n] { dialog.Image0Click("Image" + std::to_string(n)); });
  };
  OnClick(*FFavorite, [&dialog] { dialog.cbFavoriteClick(); });
  OnClick(*FOk, [&dialog] { dialog.btOkClick(); });
}

void TFltkPropertiesView::SetStar(int image, TStar star) {
  if (image < 0 || image >= static_cast<int>(FStars.size())) return;
  FStars[image]->image(star == TStar::Gold ? FGold.get() : star == TStar::Gray ? FGray.get() : nullptr);
  // The image has no background of its own: what is behind it is drawn
  // again, or the old star would show through the new one's edges.
  if (FStars[image]->window() != nullptr) FStars[image]->window()->redraw();
}

void TFltkPropertiesView::FocusFirstEdit() { Window().InitialFocus = FFirstEdit; }

}  // namespace velmaro::ui::fltk
