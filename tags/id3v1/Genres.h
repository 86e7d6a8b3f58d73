// The numbered genre list of ID3v1 (0 Blues ... 191 Psybient): the one
// table of numbered genres, used by the ID3v1 reader, by the import for
// "(17)"-style genre references and by the MP4 reader for "gnre".
#pragma once

#include <array>
#include <string_view>

namespace velmaro::tags {

inline constexpr int GenreCount = 192;

// All names, index = genre number.
const std::array<std::u16string_view, GenreCount>& GenreNames();

// The name of genre number 0..GenreCount-1; empty for any other number.
std::u16string_view GenreName(int number);

}  // namespace velmaro::tags
