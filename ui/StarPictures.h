// The two star pictures of the rating: a gold star and a grey one, drawn
// by our own code so that no picture file travels with the plug-in. Each
// platform's view turns the bytes into its own kind of image.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/TDialogView.h"

namespace velmaro::ui {

inline constexpr int StarPictureSize = 32;

// A StarPictureSize x StarPictureSize picture as RGBA bytes (not
// premultiplied), rows from top to bottom. TStar::None is fully
// transparent.
std::vector<std::uint8_t> StarPicture(TStar star);

}  // namespace velmaro::ui
