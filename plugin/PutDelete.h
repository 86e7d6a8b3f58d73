// Copying files into the panel records them; deleting entries removes
// their rows (never the files).
#pragma once

#include <string>
#include <string_view>

namespace velmaro {

// The path with its first character lower-cased by the user locale's
// rules (a Windows drive letter).
std::u16string LowerFirstChar(std::u16string_view path);

}  // namespace velmaro
