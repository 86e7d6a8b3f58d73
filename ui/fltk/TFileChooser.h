// The file chooser of the Settings dialog. FLTK's own chooser (what
// Fl_Native_File_Chooser shows when GTK is not to be loaded) completes a
// name while it is typed and changes folder at each separator, which
// garbles a typed path; this one leaves the name box as it is typed.
#pragma once

#include <FL/Fl_Window.H>

#include <optional>
#include <string>

namespace velmaro::ui::fltk {

// A modal chooser titled caption over owner, showing folder (an absolute
// path) with name proposed in its name box. Returns the path chosen: a
// typed absolute path as typed, a typed name (or relative path) in the
// folder shown; nothing when cancelled. The file need not exist; its
// folder must, or the user is told and the chooser stays open.
std::optional<std::string> ChooseFile(const std::string& caption, const Fl_Window* owner, const std::string& folder,
                                      const std::string& name);

// The path a name typed in the chooser names while folder is shown.
std::string ChosenPath(const std::string& folder, const std::string& typed);

}  // namespace velmaro::ui::fltk
