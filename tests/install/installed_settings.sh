#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# An installed program in a read-only bin/ keeps each user's settings in that
# user's configuration directory. Two unprivileged users start the staged
# program one after the other and close it the normal way (SIGTERM closes
# the window, which writes the settings).
#   installed_settings.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1

make_scratch_dir
chmod 755 "$scratch"
root="$scratch/root"
stage_install "$build" "$root"
bin="$root/usr/bin"
# Settings beside the program (an administrator's, say) are where each user
# starts until that user has saved settings of their own; no user writes there.
printf '[PORT]\nfrequency=021000000\nport=0\nBaudRateIndex=2\ndiv4=0\n' >"$bin/quartzel.ini"
beside_ini_sum=$(md5sum <"$bin/quartzel.ini")
chmod -R a-w "$bin"

# Root ignores permission bits, so the program runs as users without any
# privilege; they have no entry in /etc/passwd, which the program must not need.
user_a=65534
user_b=65533

as_user() {
    local uid=$1 home=$2
    shift 2
    exec env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen "$@" \
        setpriv --reuid="$uid" --regid="$uid" --clear-groups -- "$bin/quartzel"
}

make_home() {
    local uid=$1 home=$2
    mkdir -p "$home/run"
    chmod 700 "$home/run"
    chown -R "$uid:$uid" "$home"
}

# Bounded polling: nothing announces that another process has installed a
# signal handler, and `wait` has no time limit.
poll() {
    local tries=$1
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Until it has run the program, the started process is still bash, env or
# setpriv, whose signal handlers say nothing.
catches_sigterm() {
    local mask
    [ "$(cat "/proc/$1/comm" 2>/dev/null)" = quartzel ] || return 1
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
    [ -n "$mask" ] && (((0x$mask >> 14) & 1))
}

# Ended: no longer there, or a zombie waiting for `wait`.
gone() {
    local state
    state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || true
    [ -z "$state" ] || [ "$state" = Z ]
}

ready_or_gone() {
    catches_sigterm "$1" || gone "$1"
}

# Starts the program as a user, waits until it handles SIGTERM, asks it to
# close and expects a normal end.
run_and_close() {
    local uid=$1 home=$2
    shift 2
    as_user "$uid" "$home" "$@" >"$home/out.log" 2>&1 &
    local pid=$!
    if ! poll 300 ready_or_gone "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        cat "$home/out.log" >&2
        fail "quartzel (uid $uid) never began to handle SIGTERM"
    fi
    if gone "$pid"; then
        cat "$home/out.log" >&2
        fail "quartzel (uid $uid) ended by itself at start"
    fi
    kill -TERM "$pid"
    if ! poll 300 gone "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        cat "$home/out.log" >&2
        fail "quartzel (uid $uid) did not close on SIGTERM; an error message may hold its window open"
    fi
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$home/out.log" >&2; fail "quartzel (uid $uid) ended with status $status"; }
}

setting() {
    sed -n "s/^$2=//p" "$1"
}

# The user cannot write into bin/: the condition the program has to notice.
home_a="$scratch/home-a"
make_home $user_a "$home_a"
if setpriv --reuid=$user_a --regid=$user_a --clear-groups -- touch "$bin/probe" 2>/dev/null; then
    fail "bin/ is writable for uid $user_a; the check would prove nothing"
fi

# User A names its configuration directory and already has settings there,
# all but the port, which closing adds.
config_a="$home_a/config"
mkdir -p "$config_a/quartzel"
printf '[PORT]\nfrequency=007050000\nBaudRateIndex=3\ndiv4=0\n' >"$config_a/quartzel/quartzel.ini"
chown -R $user_a:$user_a "$config_a"
run_and_close $user_a "$home_a" XDG_CONFIG_HOME="$config_a"

# User B has no settings yet and no XDG_CONFIG_HOME: it starts from the
# settings beside the program and saves them to ~/.config.
home_b="$scratch/home-b"
make_home $user_b "$home_b"
run_and_close $user_b "$home_b"

ini_a="$config_a/quartzel/quartzel.ini"
ini_b="$home_b/.config/quartzel/quartzel.ini"
[ -f "$ini_b" ] || fail "no settings were written for uid $user_b in ~/.config/quartzel/"
[ "$(stat -c %u "$ini_a")" = $user_a ] || fail "$ini_a does not belong to uid $user_a"
[ "$(stat -c %u "$ini_b")" = $user_b ] || fail "$ini_b does not belong to uid $user_b"

[ "$(setting "$ini_a" frequency)" = 007050000 ] || fail "uid $user_a lost its frequency: $(cat "$ini_a")"
[ "$(setting "$ini_a" BaudRateIndex)" = 3 ] || fail "uid $user_a lost its baud rate: $(cat "$ini_a")"
[ "$(setting "$ini_a" div4)" = 0 ] || fail "uid $user_a lost its mode: $(cat "$ini_a")"
grep -q '^port=' "$ini_a" || fail "closing did not save the settings of uid $user_a: $(cat "$ini_a")"
[ "$(setting "$ini_b" frequency)" = 021000000 ] || fail "uid $user_b did not start from the settings beside the program: $(cat "$ini_b")"
[ "$(setting "$ini_b" BaudRateIndex)" = 2 ] || fail "uid $user_b did not start from the settings beside the program: $(cat "$ini_b")"
[ "$(setting "$ini_b" div4)" = 0 ] || fail "uid $user_b did not start from the settings beside the program: $(cat "$ini_b")"

[ "$(ls -A "$bin" | tr '\n' ' ')" = "quartzel quartzel.ini " ] || fail "something was written into bin/: $(ls -A "$bin")"
[ "$(md5sum <"$bin/quartzel.ini")" = "$beside_ini_sum" ] || fail "the settings beside the program changed"
[ ! -e "$home_a/.config/quartzel" ] || fail "uid $user_a wrote to ~/.config although XDG_CONFIG_HOME was set"

echo "installed settings: all checks passed"
