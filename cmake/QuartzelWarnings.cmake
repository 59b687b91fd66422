# SPDX-License-Identifier: GPL-3.0-or-later

# Warnings, Qt strictness and the optional instrumentation for every target of
# the project, set per target.
#
# QUARTZEL_SANITIZE lists sanitizers to build with ("address;undefined" or
# "thread"); every finding aborts the program, so a test that trips one fails.
# QUARTZEL_FUZZ adds libFuzzer's coverage instrumentation (clang only); the
# fuzz targets themselves link the fuzzer's main.
set(QUARTZEL_SANITIZE "" CACHE STRING
    "Sanitizers to build with, e.g. address;undefined or thread")
option(QUARTZEL_FUZZ "Build the libFuzzer targets in tests/fuzz (clang)" OFF)

if(QUARTZEL_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QUARTZEL_FUZZ needs clang++ (libFuzzer); configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

set(quartzel_instrumentation "")
if(QUARTZEL_SANITIZE)
  list(JOIN QUARTZEL_SANITIZE "," quartzel_sanitizers)
  list(APPEND quartzel_instrumentation
    -fsanitize=${quartzel_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(QUARTZEL_FUZZ)
  list(APPEND quartzel_instrumentation -fsanitize=fuzzer-no-link)
endif()

# NO_THREAD_SANITIZER leaves a target uninstrumented in a ThreadSanitizer
# build (see tests/CMakeLists.txt for the one that needs it). NO_QT leaves out
# Qt's strictness switches, for a target that must build without Qt.
function(quartzel_target_defaults target)
  cmake_parse_arguments(D "NO_THREAD_SANITIZER;NO_QT" "" "" ${ARGN})
  set(instrumentation ${quartzel_instrumentation})
  if(D_NO_THREAD_SANITIZER AND "thread" IN_LIST QUARTZEL_SANITIZE)
    set(instrumentation "")
  endif()
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Woverloaded-virtual -Wimplicit-fallthrough ${instrumentation})
  target_link_options(${target} PRIVATE ${instrumentation})
  if(QUARTZEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(NOT D_NO_QT)
    target_compile_definitions(${target} PRIVATE
      QT_NO_FOREACH QT_NO_JAVA_STYLE_ITERATORS QT_NO_URL_CAST_FROM_STRING)
  endif()
endfunction()
