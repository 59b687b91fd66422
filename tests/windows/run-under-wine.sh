#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Cross-builds the Windows serial backend's tests and runs them under wine,
# with pseudo-terminals mapped to COM ports:
#   COM5 <-> COM6  the two ends of one line (socat joins two ptys)
#   COM7           hangs up after it has received six bytes
#   COM8           a sink that nobody drains, for the write time-out
#   COM40          mapped to nothing
# Needs no Qt. Installs what it needs through dev.sh (root or sudo). The wine
# prefix, with its port mapping, is kept in ~/.cache/quartzel (QUARTZEL_CACHE)
# and made anew when it is missing.
#
#   tests/windows/run-under-wine.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build="$repo/build-windows/backend-tests"
cache=${QUARTZEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quartzel}
wine_home="$cache/wine-backend-tests"
started=$(date +%s)

"$repo/dev.sh" install g++-mingw-w64-x86-64-posix wine64 wine socat gcc libc6-dev

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARTZEL_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build"
source "$here/wine-ports.sh"
build_modem_shim "$build/ptymodemshim.so"

mkdir -p "$wine_home"
# One run at a time on the prefix and its ports.
exec 9>"$wine_home/lock"
flock 9

export WINEPREFIX="$wine_home/prefix"
ports="$wine_home/ports" # socat's links to the ptys; the registry maps the ports to them
mkdir -p "$ports"
run=$(mktemp -d)
trap 'stop_wine_and_ptys; rm -rf "$run"' EXIT

if [ ! -f "$WINEPREFIX/.quartzel-ports" ]; then
    echo "run-under-wine.sh: making the wine prefix $WINEPREFIX"
    make_prefix "$ports" 5 6 7 8
    touch "$WINEPREFIX/.quartzel-ports"
fi
start_wineserver "$build/ptymodemshim.so"

pty="pty,raw,echo=0,link"
rm -f "$ports"/com*
start_socat "$pty=$ports/com5" "$pty=$ports/com6"
# Ends after six bytes from the port, closing the pty's master: a hang-up.
start_socat -u "$pty=$ports/com7,readbytes=6" OPEN:/dev/null
# Only writes to the port (from a pipe nobody writes to): what the port
# sends stays in the pty until it is full.
start_socat -u PIPE "$pty=$ports/com8"
await_links "$ports"/com{5,6,7,8}

status=0
timeout 300 wine "$build/tst_serialmapping_windows.exe" || status=1
timeout 300 wine "$build/tst_serial_windows.exe" \
    port=COM5 peer=COM6 hangup=COM7 sink=COM8 missing=COM40 || status=1
echo "run-under-wine.sh: $( ((status == 0)) && echo passed || echo FAILED) in $(( $(date +%s) - started )) s"
exit $status
