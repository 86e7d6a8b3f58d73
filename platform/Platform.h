// The one place that knows which operating system the plug-in runs on.
//
// Everything the rest of the code needs from Windows (or its POSIX
// stand-in) is declared here and in the other headers of this folder:
// text conversion, locale-aware comparison, the settings file, files,
// the last error, time and sleep. No other folder includes a system
// header or tests the platform except through the constants below.
#pragma once

#include <cstdint>

namespace velmaro::platform {

#if defined(_WIN32)
inline constexpr bool IsWindows = true;
// Virtual paths of the host are separated by this character...
inline constexpr char16_t PathDelim = u'\\';
// ...and real paths shown inside one virtual name use this one instead.
inline constexpr char16_t AltDelim = u'/';
// Separator of real file paths (and the drive separator, Windows only).
inline constexpr char16_t DirDelim = u'\\';
inline constexpr bool HasDriveColon = true;
// Whether the file system treats paths that differ in letter case as the
// same file.
inline constexpr bool PathsIgnoreCase = true;
// Whether a file's own name may hold AltDelim (Windows forbids "/").
inline constexpr bool NamesMayHoldAltDelim = false;
// Boolean results handed to the host.
inline constexpr int HostTrue = -1;
#else
inline constexpr bool IsWindows = false;
inline constexpr char16_t PathDelim = u'/';
inline constexpr char16_t AltDelim = u'\\';
inline constexpr char16_t DirDelim = u'/';
inline constexpr bool HasDriveColon = false;
inline constexpr bool PathsIgnoreCase = false;
inline constexpr bool NamesMayHoldAltDelim = true;
// The Linux host declares some results as one-byte booleans: 1, not -1.
inline constexpr int HostTrue = 1;
#endif
inline constexpr int HostFalse = 0;

// The width of the platform's pointer, for texts such as "Velmaro 32-bit".
inline constexpr int PointerBits = static_cast<int>(sizeof(void*) * 8);

}  // namespace velmaro::platform

// Calling convention and visibility of the host exports.
#if defined(_WIN32)
#define VELMARO_CALL __stdcall
#define VELMARO_EXPORT
#else
#define VELMARO_CALL
#define VELMARO_EXPORT __attribute__((visibility("default")))
#endif
