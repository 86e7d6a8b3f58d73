# Cross-compiles the 64-bit Windows build (PE32+, x86-64) with Debian's
# mingw-w64 packages; its programs run under Wine in a 64-bit prefix. The
# plug-in is Melvanto.wfx64, the name 64-bit hosts look for beside the
# 32-bit Melvanto.wfx.
#   cmake -S . -B build/windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
