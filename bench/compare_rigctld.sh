#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Sends the same command lines to Hamlib's rigctld with its dummy rig
# (model 1) and to Quartzel (--rigctld), each case on a connection of its own
# after both have been set to 14 070 000 Hz, USB 2400 Hz, and lists the cases
# that are answered differently, with both answers (line ends shown as \n).
# README.md ("What stays different from rigctld") gives the reason for each.
#
#   bench/compare_rigctld.sh [--program PATH] [--rigctld PATH]
#
# PATH defaults: build/app/quartzel beside this tree, and rigctld on the PATH.
# Exits 0 whatever the differences; 1 when a server cannot be started.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(dirname "$here")/build/app/quartzel
rigctld=rigctld
while [ $# -gt 0 ]; do
    case $1 in
    --program) program=$2; shift 2 ;;
    --rigctld) rigctld=$2; shift 2 ;;
    *) echo "usage: $0 [--program PATH] [--rigctld PATH]" >&2; exit 1 ;;
    esac
done

# Each case: what is sent, with printf's escapes.
cases=(
    'f\n' '\\get_freq\n' '+f\n' ';\\get_freq\n' 'F 7074000\nf\n' '\\set_freq 7074000.000000\nf\n'
    'F 7.074e6\nf\n' 'F 7074000.0\nf\n' 'F 7074000.5\nf\n' 'F 7074000.9\nf\n' 'F 7074001.5\nf\n'
    'F +7074000\nf\n' 'F .5e7\nf\n' 'F 299999999.9\nf\n' 'F 0\nf\n' 'F -0.4\nf\n'
    'F 300000000\nf\n' 'F -7074000\nf\n' 'F 1e9\nf\n' 'F nan\nf\n' 'F inf\nf\n' 'F abc\nf\n'
    'F 7074000Hz\nf\n' 'F 7O74000\nf\n' 'F 0x6BF0A0\nf\n' 'F 7074000,5\nf\n'
    'M PKTUSB -1\nm\n' 'M USB -1\nm\n' 'M LSB 1800\nm\n' 'M CW 0\nm\n' 'M FM 0\nm\n'
    'M DSB 0\nm\n' 'M PKTLSB 3000\n+m\n' 'M PKTFM 0\nm\n' 'M USB 1e3\nm\n' 'M USB 2400.7\nm\n'
    'M USB -5\nm\n' 'M bogus 0\nm\n' 'M usb 2400\nm\n' 'M CW wide\nm\n' '+M DSB 0\n'
    'f f\n' 'f\\get_freq\n' 'ff\n' 'v f\n' 'f;f\n' '+f f\n' 'f +f\n' 'F\n7074000\nf\n'
    'F\n\n7074000\nf\n' 'M\nUSB\n2400\nm\n' 'M USB\n2400\nm\n' '+\nf\n' '+ f\n' 'F 7074000 f\n'
    'F7074000\nf\n' 'F 7074000 1\nf\n' 'f # comment\n' '# comment\nf\n' 'q f\n' 'x f\n'
    '\\foo f\n' '\\foo 1 2\nf\n'
    'v\n' 'V VFOA\n' 'V VFOB\n' 's\n' 'S 0 VFOA\n' 'S 1 VFOB\n' 't\n' 'T 0\n' 'T 1\n'
    '\\chk_vfo\n' '+\\chk_vfo\n' '\\get_powerstat\n' '\\get_lock_mode\n' 'q\n'
    '\\dump_state\n' '\\chk_vfo\n\\dump_state\n'
)

fail() {
    echo "compare_rigctld: $*" >&2
    exit 1
}

free_port() {
    local port
    for port in $(seq 4540 4599); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    fail "no free port in 4540..4599"
}

wait_until_listening() {
    local port=$1
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return
        sleep 0.1
    done
    fail "nothing listens on port $port"
}

# What the server on port $1 answers to the bytes $2 (printf escapes), read
# until it has been quiet for 0.3 s (the dummy rig takes some 20 ms a set).
answer() {
    local line text=
    exec 3<>"/dev/tcp/127.0.0.1/$1" || return
    printf '%b' "$2" >&3
    while IFS= read -r -t 0.3 -u 3 line; do
        text+="$line\\n"
    done
    exec 3<&-
    printf '%s' "$text"
}

work=$(mktemp -d)
cleanup() {
    [ -n "${dummy_pid:-}" ] && kill "$dummy_pid" 2>/dev/null
    [ -n "${ours_pid:-}" ] && kill "$ours_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

dummy_port=$(free_port)
"$rigctld" -m 1 -T 127.0.0.1 -t "$dummy_port" >"$work/rigctld.log" 2>&1 &
dummy_pid=$!
wait_until_listening "$dummy_port"
ours_port=$(free_port)
# A copy of its own, so that its settings file starts afresh and goes away.
cp "$program" "$work/quartzel" || fail "no program at $program"
QT_QPA_PLATFORM=offscreen "$work/quartzel" --rigctld "127.0.0.1:$ours_port" >"$work/quartzel.log" 2>&1 &
ours_pid=$!
wait_until_listening "$ours_port"

differences=0
for request in "${cases[@]}"; do
    for port in "$dummy_port" "$ours_port"; do
        answer "$port" 'F 14070000\nM USB 2400\n' >/dev/null
    done
    theirs=$(answer "$dummy_port" "$request")
    ours=$(answer "$ours_port" "$request")
    [ "$theirs" = "$ours" ] && continue
    differences=$((differences + 1))
    printf '%s\n  rigctld -m 1: %.300s\n  quartzel:     %.300s\n' "$request" "$theirs" "$ours"
done
echo "$differences of ${#cases[@]} cases answered differently ($("$rigctld" --version))"
