// Which ICU locale stands for the user's (and the system's) locale on POSIX.
#pragma once

#include <string>

namespace velmaro::platform::posix {

// The locale named by the first non-empty of LC_ALL, LC_COLLATE and LANG,
// without its code set (".UTF-8") and modifier ("@euro") parts: "de_DE".
// "C", "POSIX" or no name at all give "" (ICU's root locale).
std::string CollationLocaleName(const char* lcAll, const char* lcCollate, const char* lang);

// The same for this process's environment, read once.
const std::string& UserLocaleName();

}  // namespace velmaro::platform::posix
