#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds a static Qt for 64-bit Windows from Debian's own source of the Qt
# that Debian ships (qt6-base), with the mingw-w64 cross compiler and Debian's
# host tools (moc, rcc, uic of qt6-base-dev-tools), and keeps it in a cache so
# that only the first run pays. Prints the Qt prefix (for CMAKE_PREFIX_PATH)
# as its last line.
#
#   packaging/windows/build-qt.sh            build once, then reuse
#   QUARTZEL_CACHE=/some/dir build-qt.sh     cache elsewhere (default ~/.cache/quartzel)
#
# A program builds against it with
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH=<prefix> \
#         -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
# and imports the plugins it wants besides the windows platform
# (qt_import_plugins: QOffscreenIntegrationPlugin, QWindowsVistaStylePlugin).
#
# Modules: Core, Gui, Widgets, Network, Test; platform plugins windows and
# offscreen; the Windows styles. Installs the Debian packages it needs
# through dev.sh.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${QUARTZEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quartzel}
jobs=${QUARTZEL_JOBS:-$(nproc)}

# Besides what dev.sh installs for the Linux build (cmake, ninja, Qt's host
# tools in qt6-base-dev and qt6-base-dev-tools): the cross compiler, and what
# apt-get source unpacks with.
packages=(g++-mingw-w64-x86-64-posix dpkg-dev xz-utils perl)

# apt-get source needs deb-src entries, which Debian's cloud images often
# lack. A list of our own, with its own state directory, needs no root and
# leaves the system's lists alone.
fetch_source() {
    local lists="$cache/apt"
    mkdir -p "$lists/lists/partial"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    printf 'deb-src [signed-by=%s] http://deb.debian.org/debian %s main\n' \
        "$keyring" bookworm "$keyring" bookworm-updates >"$lists/sources.list"
    printf 'deb-src [signed-by=%s] http://deb.debian.org/debian-security bookworm-security main\n' \
        "$keyring" >>"$lists/sources.list"
    local apt=(apt-get -qq -o "Dir::Etc::SourceList=$lists/sources.list"
               -o Dir::Etc::SourceParts=/nonexistent -o "Dir::State::Lists=$lists/lists"
               -o Debug::NoLocking=1)
    "${apt[@]}" update && (cd "$work" && "${apt[@]}" source "qt6-base=$debian_version")
}

# What `configure -static -no-opengl -skip ...` would choose, spelled out.
# - opengl: INPUT_opengl=no is what -no-opengl sets; FEATURE_opengl alone
#   leaves dynamicgl on, whose code in the windows plugin needs OpenGL.
# - tabletevent: the windows plugin's tablet support needs wintab.h, which
#   Debian's repacked source leaves out; the program has no use for a tablet.
# - The libraries that a Windows machine does not have come from Qt's own
#   copies (zlib, libpng, freetype for the offscreen plugin's fonts, harfbuzz,
#   pcre2, double-conversion); what the program does not use is off.
# - schannel: its TLS plugin is built even with ssl off, and then fails.
# - directwrite: its font engines are compiled only with direct2d, yet the
#   windows plugin and Gui's font database refer to them (an undefined
#   QWindowsDirectWriteFontDatabase when a program links); GDI draws the text.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=OFF
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF
    -DFEATURE_tabletevent=OFF
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_system_jpeg=OFF
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_system_zlib=OFF
    -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_doubleconversion=OFF
)

"$repo/dev.sh" install "${packages[@]}" >&2
# The host tools must be of exactly the Qt that is built.
debian_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
key=$( { echo "$debian_version"; printf '%s\n' "${qt_options[@]}"; cat "$toolchain"; } |
       sha256sum | cut -c1-12)
prefix="$cache/qt-${debian_version%%+*}-mingw64-static-$key"

if [ -f "$prefix/.complete" ]; then
    echo "build-qt.sh: Qt for Windows is cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

work="$cache/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
# The cached Qt keeps its own copy of the toolchain, so that it does not depend
# on this checkout.
mkdir -p "$prefix"
cp "$toolchain" "$prefix/mingw-w64-x86_64.cmake"

started=$(date +%s)
echo "build-qt.sh: fetching Debian's source of qt6-base $debian_version" >&2
fetch_source >"$work/source.log" 2>&1 || {
    tail -20 "$work/source.log" >&2
    exit 1
}
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)

log="$work/build.log"
echo "build-qt.sh: building Qt for Windows into $prefix (log: $log); this takes a while" >&2
if ! {
    cmake -S "$source_dir" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" &&
        nice -n 19 cmake --build "$work/build" --parallel "$jobs" &&
        cmake --install "$work/build"
} >"$log" 2>&1; then
    grep -m5 -B2 -A8 'error' "$log" >&2 || tail -40 "$log" >&2
    echo "build-qt.sh: the Qt build failed; the whole log is $log" >&2
    exit 1
fi
cp "$log" "$prefix/build.log"
rm -rf "$work"
touch "$prefix/.complete"
echo "build-qt.sh: built in $(( $(date +%s) - started )) s, $(du -sh "$prefix" | cut -f1)" >&2
echo "$prefix"
