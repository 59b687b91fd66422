#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Which of Hamlib's Kenwood-family models read the dial through the Kenwood
# profile: Quartzel (--kenwood on, the settings of a first start: 14 070 000
# Hz in "VFO" mode, so FA; carries 3 527 500 Hz) on one end of a socat pty
# pair, and for each model that `rigctl -l` lists from 2001 to 2052,
# `rigctl -m MODEL -r PTY -s 9600 f` on the other. A model reads the dial
# when rigctl prints exactly 3527500; rigctl exits 0 when the open worked
# and the read did not, so its output is what counts. Prints one line per
# model and a summary.
#
#   bench/kenwood_models.sh [--program PATH] [--models FIRST-LAST]
#
# Needs socat and rigctl (libhamlib-utils). Exits 1 when the program cannot be
# started.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(dirname "$here")/build/app/quartzel
first=2001 last=2052
while [ $# -gt 0 ]; do
    case $1 in
    --program) program=$2; shift 2 ;;
    --models) first=${2%-*}; last=${2#*-}; shift 2 ;;
    *) echo "usage: $0 [--program PATH] [--models FIRST-LAST]" >&2; exit 1 ;;
    esac
done

scratch=$(mktemp -d)
cleanup() {
    kill "${quartzel_pid:-}" "${socat_pid:-}" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# The program runs from a folder of its own, so that it starts from the
# settings of a first start and saves nowhere else.
cp "$program" "$scratch/quartzel"
socat pty,raw,echo=0,link="$scratch/quartzel-line" pty,raw,echo=0,link="$scratch/poller-line" &
socat_pid=$!
for _ in $(seq 100); do
    [ -e "$scratch/quartzel-line" ] && [ -e "$scratch/poller-line" ] && break
    sleep 0.1
done
QT_QPA_PLATFORM=offscreen "$scratch/quartzel" --port "$scratch/quartzel-line" --connect \
    --kenwood on 2>"$scratch/errors" &
quartzel_pid=$!
# Connected once it answers.
for _ in $(seq 100); do
    answer=$(printf 'ID;' | timeout 1 socat -t 0.5 - "$scratch/poller-line,raw,echo=0" 2>/dev/null)
    [ "$answer" = "ID019;" ] && break
done
[ "$answer" = "ID019;" ] || { cat "$scratch/errors" >&2; echo "kenwood_models: the program does not answer" >&2; exit 1; }

read_dial=() tried=()
while read -r model maker name _; do
    [ "$model" -ge "$first" ] && [ "$model" -le "$last" ] || continue
    tried+=("$model")
    printed=$(timeout 60 rigctl -m "$model" -r "$scratch/poller-line" -s 9600 f 2>/dev/null)
    if [ "$printed" = "3527500" ]; then
        read_dial+=("$model")
        echo "$model $maker $name: reads the dial"
    else
        echo "$model $maker $name: does not (printed: $(head -c 60 <<<"$printed" | tr '\n' ' '))"
    fi
done < <(rigctl -l | awk '$1 ~ /^[0-9]+$/')
echo "read the dial: ${#read_dial[@]} of ${#tried[@]} models tried: ${read_dial[*]}"
