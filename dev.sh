#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Sets up a Debian 12 machine for Quartzel, builds it, and either starts the
# front panel or runs the test suite.
#
#   ./dev.sh start [program options]   build the program and start the front panel
#   ./dev.sh test                      build everything and run every test through ctest
#   ./dev.sh install [package ...]     install the packages of the tests and these
#   ./dev.sh windows                   cross-build the Windows program and its installer
#                                      into build-windows/ (the first run builds Qt for
#                                      Windows, 20-35 minutes, then keeps it in ~/.cache)
#   ./dev.sh windows test              the same, then the Windows tests under wine
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$here/build"

# What building the program and running it need. qt6-tools-dev brings CMake's
# LinguistTools (lupdate, lrelease) for the translations; qt6-translations-l10n
# Qt's own texts in Russian; dpkg-dev Debian's hardening flags
# (dpkg-buildflags) and the package's dependencies (cpack).
build_packages=(cmake ninja-build g++ qt6-base-dev libxkbcommon-dev fonts-liberation2
                qt6-tools-dev qt6-l10n-tools qt6-translations-l10n dpkg-dev)
# What the tests run besides: the checks of the desktop files, the package,
# the manual page and the service; a virtual X display; Hamlib's client;
# socat, whose links come and go as an adapter does; clang-format for the
# formatting check of .ci/run; and a session bus with the desktop's
# accessibility bus and its Python client, for what a screen reader finds.
test_packages=(desktop-file-utils appstream lintian man-db systemd xvfb xauth xdotool x11-utils
               libhamlib-utils socat clang-format dbus-daemon at-spi2-core python3-pyatspi)

# What the Windows build and its tests under wine need besides: the mingw-w64
# cross compiler of the posix thread model, NSIS for the installer, wine, and
# socat for the pseudo-terminals that stand in for COM ports, and Qt's
# Russian translation to compile in. Qt for Windows is built by
# packaging/windows/build-qt.sh from Debian's source.
windows_packages=(g++-mingw-w64-x86-64-posix nsis wine64 wine socat gcc libc6-dev
                  qt6-translations-l10n)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "dev.sh: these packages are missing and I am not root (and sudo is not installed):" >&2
        echo "  ${missing[*]}" >&2
        echo "Install them as root with: apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

# Installs those of the named packages that are missing, without what they
# only recommend (desktop themes, D-Bus, GnuPG, ...): the lists above name
# everything that building, running and testing need.
install_packages() {
    missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "dev.sh: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Warnings are errors, as CI has them, in `start` too: with the same compiler
# flags in both, `test` after `start` builds the tests and nothing again.
configure_and_build() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARTZEL_WERROR=ON "$@"
    cmake --build "$build" --parallel
}

has_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]
}

# Whether the options ask for the program's help or its version, which it
# gives without a display.
asks_for_answer() {
    local option
    for option in "$@"; do
        case $option in -h | -\? | --help | --help-all | -v | --version) return 0 ;; esac
    done
    return 1
}

start() {
    install_packages "${build_packages[@]}"
    # The program alone: the tests need tools that only `test` installs.
    configure_and_build -DBUILD_TESTING=OFF
    if ! has_display && ! asks_for_answer "$@"; then
        cat >&2 <<MSG
dev.sh: Quartzel is built, but there is no display to show its window on
(neither DISPLAY nor WAYLAND_DISPLAY is set). Start it in one of these ways:
  - from a terminal of a desktop session:      ./dev.sh start
  - from another machine, with X forwarding:   ssh -X this-machine, then ./dev.sh start
  - on a virtual display (package xvfb):        xvfb-run -a $build/app/quartzel
  - with no window at all (a serial responder): QT_QPA_PLATFORM=offscreen $build/app/quartzel --port /dev/ttyUSB0 --connect
README.md, "Try it without hardware", shows the responder at work on a pty pair.
MSG
        exit 2
    fi
    exec "$build/app/quartzel" "$@"
}

run_tests() {
    install_packages "${build_packages[@]}" "${test_packages[@]}"
    configure_and_build -DBUILD_TESTING=ON
    ctest --test-dir "$build" --output-on-failure --timeout 600
}

# The Windows program and its installer, cross-built against the cached Qt.
build_windows() {
    install_packages "${build_packages[@]}" "${windows_packages[@]}"
    local qt
    qt=$("$here/packaging/windows/build-qt.sh" | tail -1)
    cmake -S "$here" -B "$here/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DBUILD_TESTING=OFF -DQUARTZEL_WERROR=ON
    cmake --build "$here/build-windows" --parallel --target installer
    echo "dev.sh: the installer is $(ls "$here"/build-windows/Quartzel-*-setup.exe)"
}

windows() {
    build_windows
    [ "${1:-}" = test ] || return 0
    "$here/tests/windows/run-under-wine.sh"
    "$here/tests/windows/lines-under-wine.sh"
    "$here/tests/windows/test-installer.sh" "$here"/build-windows/Quartzel-*-setup.exe
}

case "${1:-}" in
    start) shift; start "$@" ;;
    test) run_tests ;;
    install) shift; install_packages "${build_packages[@]}" "${test_packages[@]}" "$@" ;;
    windows) shift; windows "$@" ;;
    *) echo "usage: ./dev.sh start [options] | ./dev.sh test | ./dev.sh install [package ...] | ./dev.sh windows [test]" >&2; exit 64 ;;
esac
