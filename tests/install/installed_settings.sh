#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# An installed program keeps each user's settings in that user's
# configuration directory: in a read-only bin/, and in /usr/bin run as root,
# who could write there. Two unprivileged users and root start the staged
# program one after the other and close it the normal way (SIGTERM closes
# the window, which writes the settings). A copy in a folder of its own
# keeps its settings beside itself, as a build does.
#   installed_settings.sh BUILD_DIR PROJECT_VERSION
# Exits with 77 (skipped) after the other checks where no mount namespace
# can put the program at /usr/bin.
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
# A save changes the file's inode or status time, even with the same text.
beside_ini_stat=$(stat -c '%i %z' "$bin/quartzel.ini")

# Root ignores permission bits, so the program runs as users without any
# privilege; they have no entry in /etc/passwd, which the program must not need.
user_a=65534
user_b=65533

# The launchers of the program: each replaces the calling shell by it.
as_user() {
    local uid=$1 home=$2
    shift 2
    exec env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen "$@" \
        setpriv --reuid="$uid" --regid="$uid" --clear-groups -- "$bin/quartzel"
}

# As root, from /usr/bin: a private mount namespace puts the staged bin/ there
# for the program alone.
as_root_in_usr_bin() {
    local home=$1
    # shellcheck disable=SC2016 # the inner shell expands $1
    exec env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
        unshare --mount --propagation private -- \
        bash -c 'mount --bind "$1" /usr/bin && exec /usr/bin/quartzel' bash "$bin"
}

as_root_from() {
    local folder=$1 home=$2
    exec env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
        "$folder/quartzel"
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

# Starts the program with a launcher and its arguments, waits until it
# handles SIGTERM, asks it to close and expects a normal end. `who` names the
# run in messages; the program's output goes to $home/out.log.
run_and_close() {
    local who=$1 home=$2
    shift 2
    "$@" >"$home/out.log" 2>&1 &
    local pid=$!
    if ! poll 300 ready_or_gone "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        cat "$home/out.log" >&2
        fail "quartzel ($who) never began to handle SIGTERM"
    fi
    if gone "$pid"; then
        cat "$home/out.log" >&2
        fail "quartzel ($who) ended by itself at start"
    fi
    kill -TERM "$pid"
    if ! poll 300 gone "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        cat "$home/out.log" >&2
        fail "quartzel ($who) did not close on SIGTERM; an error message may hold its window open"
    fi
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || { cat "$home/out.log" >&2; fail "quartzel ($who) ended with status $status"; }
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
run_and_close "uid $user_a" "$home_a" as_user $user_a "$home_a" XDG_CONFIG_HOME="$config_a"

# User B has no settings yet and no XDG_CONFIG_HOME: it starts from the
# settings beside the program and saves them to ~/.config.
home_b="$scratch/home-b"
make_home $user_b "$home_b"
run_and_close "uid $user_b" "$home_b" as_user $user_b "$home_b"

# Root, with the program in /usr/bin, has no settings yet either: it starts
# from those beside the program as well and saves them to its own ~/.config.
home_root="$scratch/home-root"
make_home 0 "$home_root"
root_in_usr_bin=false
if unshare --mount --propagation private -- true 2>/dev/null; then
    run_and_close "root in /usr/bin" "$home_root" as_root_in_usr_bin "$home_root"
    root_in_usr_bin=true
fi

# A copy of the program in a folder of its own, as a build or an unpacked
# archive runs, keeps its settings beside itself, root's included.
unpacked="$scratch/unpacked"
home_unpacked="$scratch/home-unpacked"
mkdir "$unpacked"
cp "$bin/quartzel" "$unpacked/"
make_home 0 "$home_unpacked"
run_and_close "root from a folder of its own" "$home_unpacked" as_root_from "$unpacked" "$home_unpacked"

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
[ "$(stat -c '%i %z' "$bin/quartzel.ini")" = "$beside_ini_stat" ] || fail "the settings beside the program were saved over"
[ ! -e "$home_a/.config/quartzel" ] || fail "uid $user_a wrote to ~/.config although XDG_CONFIG_HOME was set"

[ -f "$unpacked/quartzel.ini" ] || fail "the program in a folder of its own did not save beside itself: $(ls -A "$unpacked")"
[ ! -e "$home_unpacked/.config" ] || fail "the program in a folder of its own saved to ~/.config"

if ! $root_in_usr_bin; then
    echo "installed settings: root's run from /usr/bin skipped: no private mount namespace (unshare --mount)" >&2
    exit 77
fi
ini_root="$home_root/.config/quartzel/quartzel.ini"
[ -f "$ini_root" ] || fail "root's settings were not written to ~/.config/quartzel/: $(cat "$home_root/out.log")"
[ "$(setting "$ini_root" frequency)" = 021000000 ] || fail "root did not start from the settings beside the program: $(cat "$ini_root")"

echo "installed settings: all checks passed"
