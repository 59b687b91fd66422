# SPDX-License-Identifier: GPL-3.0-or-later

# Cross-builds 64-bit Windows programs with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix thread model is the one whose GCC 12 has std::thread, std::jthread
# and std::mutex; the win32 model does not compile them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(quartzel_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${quartzel_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quartzel_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${quartzel_mingw}-windres)
# The gcc- wrappers of the same model, so that archives of LTO objects work too.
set(CMAKE_AR ${quartzel_mingw}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${quartzel_mingw}-gcc-ranlib-posix CACHE FILEPATH "Ranlib")

# Programs (moc, rcc, the compilers) come from the host; libraries, headers
# and CMake packages only from the target's root and the prefixes given in
# CMAKE_PREFIX_PATH (a Qt built for Windows, which is no part of the root).
set(CMAKE_FIND_ROOT_PATH /usr/${quartzel_mingw} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests built with this toolchain run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the built programs")
