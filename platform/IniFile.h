// The settings file: a Windows-style ini file ([section] lines and
// key=value lines), read and written with the behaviour of the Windows
// private-profile functions.
#pragma once

#include <string>
#include <string_view>

namespace velmaro::platform {

// The value of Key in Section, or Default when the file, the section or
// the key is missing. Section and key names are compared without regard
// to case; surrounding blanks of the value are dropped, and one pair of
// matching quotes around it is removed.
std::u16string IniReadString(std::u16string_view fileName, std::u16string_view section,
                             std::u16string_view key, std::u16string_view defaultValue);

// Sets Key in Section to Value, creating the file and the section when
// needed and keeping every other line. Throws velmaro::EIniWriteError (platform/Error.h)
// ("Unable to write to %s") when the file cannot be written.
void IniWriteString(std::u16string_view fileName, std::u16string_view section,
                    std::u16string_view key, std::u16string_view value);

}  // namespace velmaro::platform
