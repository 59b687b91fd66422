# SPDX-License-Identifier: GPL-3.0-or-later

# Debian's hardening flags for every target of a Linux build, as
# dpkg-buildflags gives them to Debian's own packages: fortified libc calls,
# the strong stack protector, format checks, and relocations made read-only
# and bound at start (relro, now). The tests thus run the code as the package
# ships it. Only the flags of the "hardening" feature area are taken (those
# that hardening=+all adds to hardening=-all), so the build type keeps its own
# optimisation and debug information. The sanitizer and fuzzing builds go
# without: they instrument the same calls in their own way.
option(QUARTZEL_HARDENING "Build with Debian's hardening flags (dpkg-buildflags, Linux)" ON)

# The flags of `kind` (CPPFLAGS, CXXFLAGS, LDFLAGS) that hardening=+all adds.
function(quartzel_hardening_flags kind out)
  foreach(setting +all -all)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${setting}
              ${QUARTZEL_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(flags${setting} ${flags})
  endforeach()
  list(REMOVE_ITEM flags+all ${flags-all})
  set(${out} ${flags+all} PARENT_SCOPE)
endfunction()

if(QUARTZEL_HARDENING AND CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT QUARTZEL_SANITIZE
   AND NOT QUARTZEL_FUZZ)
  find_program(QUARTZEL_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT QUARTZEL_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "dpkg-buildflags (package dpkg-dev) gives the hardening flags; "
                        "install it, or configure with -DQUARTZEL_HARDENING=OFF")
  endif()
  quartzel_hardening_flags(CPPFLAGS hardening_cppflags)
  quartzel_hardening_flags(CXXFLAGS hardening_cxxflags)
  quartzel_hardening_flags(LDFLAGS hardening_ldflags)
  # Fortified calls need an optimised build; glibc warns without one.
  add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${hardening_cppflags}>"
                      ${hardening_cxxflags})
  add_link_options(${hardening_ldflags})
  list(JOIN hardening_cppflags " " cppflags)
  list(JOIN hardening_cxxflags " " cxxflags)
  list(JOIN hardening_ldflags " " ldflags)
  message(STATUS "Debian's hardening flags: ${cppflags} ${cxxflags} ${ldflags}")
  set(QUARTZEL_HARDENED ON)
endif()
