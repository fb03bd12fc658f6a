# Cross-building the Windows programs with MinGW-w64 (the posix-threads
# compilers, which GoogleTest's std::mutex needs), run under wine:
#
#   cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
#
# Debian: g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev and wine64. FreeType,
# libpng and brotli are built from Debian's sources at the first configure
# (cmake/WindowsDeps.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Appended, so that a root given on the command line (a prefix of libraries
# built for Windows) is searched as well. The toolchain file is read again for
# every check CMake compiles, hence the guard.
# (list(FIND), not IN_LIST: projects of old CMake versions read this too).
list(FIND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 fontgraft_mingw_root)
if(fontgraft_mingw_root EQUAL -1)
  list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(FONTGRAFT_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
if(FONTGRAFT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FONTGRAFT_WINE})
endif()
