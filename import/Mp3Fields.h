// The MP3 branch of the import: MPEG stream values, then ID3v2 texts,
// then ID3v1 values for whatever is still empty.
#pragma once

#include <string>
#include <string_view>

#include "import/TrackFields.h"

namespace velmaro::import {

// "(17)" and "(17)Rock" give the name of genre 17; anything else stays.
std::u16string ResolveGenreCode(std::u16string_view text);

// True when the file is MPEG audio; fills the fields it can.
bool ReadMp3Fields(std::u16string_view path, TTrackFields& fields, TSkipReason& why);

}  // namespace velmaro::import
