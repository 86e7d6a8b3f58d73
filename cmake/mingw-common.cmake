# What both Windows toolchain files share (mingw-i686.cmake for 32-bit,
# mingw-x86_64.cmake for 64-bit): they set _triple and the processor, then
# include this file.
set(CMAKE_SYSTEM_NAME Windows)

# The "-posix" compilers: the default "win32" thread model of GCC 12 has no
# std::thread or std::mutex.
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR /usr/bin/${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${_triple}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No runtime DLLs beside the binaries: libgcc, libstdc++ and winpthread are
# linked in (without -static the posix compilers import libwinpthread-1.dll).
set(_static "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_static}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_static}")

# ctest and gtest_discover_tests run the programs through Wine; wine-run
# picks the prefix's width (WINEARCH) from the program it runs.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
