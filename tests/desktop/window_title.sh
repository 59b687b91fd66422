#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The title bar shows the window's caption exactly as the form gives it; Qt
# must not append an application name to it. The program runs on a virtual X
# display, and the check reads what its window publishes there, together with
# the class that desktops match to the menu entry, which must stay.
#   window_title.sh PROGRAM
source "$(dirname "$0")/../install/lib.sh"

make_scratch_dir
# A copy, so that the settings it saves on closing land in the scratch directory.
cp "$1" "$scratch/quartzel"

# Starts the program, prints the title and class of its window once it is
# shown, and closes it; the program's own messages go to the file $2. Runs
# inside xvfb-run, whose /bin/sh does not pass exported bash functions on, so
# it is a script of its own.
show_window='
    "$1" >/dev/null 2>"$2" &
    pid=$!
    id=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" --name . | head -n 1) || true
    [ -n "$id" ] && xprop -id "$id" _NET_WM_NAME WM_CLASS
    kill -TERM "$pid"
    wait "$pid"
'

# The virtual display is the only one: no other platform or display may be chosen.
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
published=$(xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$show_window" show_window "$scratch/quartzel" "$scratch/messages") || true
expected='_NET_WM_NAME(UTF8_STRING) = "Quartzel (by Orlenk)"
WM_CLASS(STRING) = "quartzel", "quartzel"'
[ "$published" = "$expected" ] || fail "the window publishes
$published
instead of
$expected
and the program said:
$(cat "$scratch/messages")"
echo "window title: as designed"
