# Cross-compiles the 32-bit Windows build (PE32, i686) with Debian's
# mingw-w64 packages; its programs run under Wine in a 32-bit prefix.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
