// The branches of the import after MP3, in the order they are tried:
// FLAC, WMA, Ogg Vorbis, MP4 audio, Ogg Opus, and .oga (Vorbis or Opus by
// the first packet). Each answers whether its reader takes the file and
// fills the fields it can; a branch that declines may say why in `why`
// (left alone, the file is "not audio the library takes").
#pragma once

#include <string_view>

#include "import/TrackFields.h"

namespace velmaro::import {

bool ReadFlacFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
bool ReadWmaFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
bool ReadOggFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
bool ReadMp4Fields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
bool ReadOpusFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);
bool ReadOgaFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);

}  // namespace velmaro::import
