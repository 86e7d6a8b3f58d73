// The branches of the import after MP3, in the order they are tried:
// FLAC, WMA, Ogg Vorbis, MP4 audio. Each answers whether its reader takes
// the file and fills the fields it can.
#pragma once

#include <string_view>

#include "import/TrackFields.h"

namespace velmaro::import {

bool ReadFlacFields(std::u16string_view path, TTrackFields& fields);
bool ReadWmaFields(std::u16string_view path, TTrackFields& fields);
bool ReadOggFields(std::u16string_view path, TTrackFields& fields);
bool ReadMp4Fields(std::u16string_view path, TTrackFields& fields);

}  // namespace velmaro::import
