#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows program under wine answers "IF;" on two COM ports at once: the
# panel's (--port COM5) and a further line (--also-port COM6@57600), each
# mapped to one end of a socat pty pair whose other end this script polls.
# With the Kenwood profile on, the further line speaks it too, and a dial it
# sets is what the panel's port reads. It refuses --pty with status 2. Uses the program of a Windows build
# (build-windows/quartzel.exe, or the path given) and the wine prefix of
# run-under-wine.sh, made here when missing.
#
#   tests/windows/lines-under-wine.sh [quartzel.exe]
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
program=${1:-$repo/build-windows/quartzel.exe}
cache=${QUARTZEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quartzel}
wine_home="$cache/wine-backend-tests"
source "$here/wine-ports.sh"

mkdir -p "$wine_home"
exec 9>"$wine_home/lock"
flock 9
export WINEPREFIX="$wine_home/prefix"
ports="$wine_home/ports"
mkdir -p "$ports"
run=$(mktemp -d)
trap 'stop_wine_and_ptys; rm -rf "$run"' EXIT
if [ ! -f "$WINEPREFIX/.quartzel-ports" ]; then
    make_prefix "$ports" 5 6 7 8
    touch "$WINEPREFIX/.quartzel-ports"
fi
build_modem_shim "$run/ptymodemshim.so"
start_wineserver "$run/ptymodemshim.so"
rm -f "$ports"/com*
for n in 5 6; do
    start_socat "pty,raw,echo=0,link=$ports/com$n" "pty,raw,echo=0,link=$run/poller$n"
done
await_links "$ports"/com{5,6} "$run"/poller{5,6}
mkdir "$run/program"
cp "$program" "$run/program/quartzel.exe"

failures=0
check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

# One query ("IF;" unless given) through a poller's end; the reply, or what
# came within 10 s.
ask() {
    local reply=""
    exec 5<>"$1"
    stty -F "$1" raw -echo
    printf '%s' "${2:-IF;}" >&5
    IFS= read -r -t 10 -d ';' reply <&5 || true
    exec 5>&-
    printf '%s;' "$reply"
}

(cd "$run/program" && WINEQT_QPA_PLATFORM=offscreen exec wine ./quartzel.exe \
    --port COM5 --also-port COM6@57600 --connect --kenwood on) >"$run/quartzel.log" 2>&1 &
quartzel=$!
reply_of_first_start='IF000035275000010+0000000000010000000;'
answered() { [ "$(ask "$run/poller$1")" = "$reply_of_first_start" ]; }
for _ in $(seq 60); do answered 5 && break; sleep 1; done
check "the panel's port COM5 answers" answered 5
check "the further line COM6 answers" answered 6
answers() { [ "$(ask "$run/poller$1" "$2")" = "$3" ]; }
check "the further line speaks the Kenwood profile" answers 6 'ID;' 'ID019;'
check "and sets the dial" answers 6 'FA00007074000;FA;' 'FA00007074000;'
for _ in $(seq 10); do answers 5 'FA;' 'FA00007074000;' && break; sleep 1; done
check "which the panel's port then reads" answers 5 'FA;' 'FA00007074000;'
wine taskkill /IM quartzel.exe >/dev/null 2>&1
timeout 60 tail --pid="$quartzel" -f /dev/null
check "it keeps the further line in its settings" \
    grep -q '^also_port=COM6@57600' <(tr -d '\r' <"$run/program/quartzel.ini")
(cd "$run/program" && WINEQT_QPA_PLATFORM=offscreen timeout 60 wine ./quartzel.exe \
    --pty 'C:\quartzel-cat') >"$run/pty.log" 2>&1
check "--pty is refused with status 2" test $? -eq 2
check "and says why" grep -q "Option 'pty' is for Linux" "$run/pty.log"
((failures == 0)) || cat "$run/quartzel.log" "$run/pty.log"
echo "lines-under-wine.sh: $( ((failures == 0)) && echo passed || echo FAILED)"
exit $((failures != 0))
