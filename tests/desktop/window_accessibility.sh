#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# What a screen reader finds in the window: the program runs on a virtual X
# display with a session bus of its own, on which the accessibility bus comes
# up when the program asks for it, and window_accessibility.py reads it there
# as a screen reader does (AT-SPI) and drives the window with the keyboard.
#   window_accessibility.sh PROGRAM
source "$(dirname "$0")/../install/lib.sh"

make_scratch_dir
# A copy, so that the settings it saves on closing land in the scratch directory.
cp "$1" "$scratch/quartzel"
checker="$(cd "$(dirname "$0")" && pwd)/window_accessibility.py"

# Inside xvfb-run and dbus-run-session: starts the program with its
# accessibility on (no screen reader is there to ask for it), gives its window
# the keyboard focus (there is no window manager to do so), runs the check and
# stops the program. The program's own messages go to the file $2.
run_check='
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1" >/dev/null 2>"$2" &
    pid=$!
    id=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" --name . | head -n 1) || true
    status=1
    if [ -n "$id" ] && xdotool windowfocus --sync "$id"; then
        timeout 120 /usr/bin/python3 "$3" && status=0
    fi
    kill -TERM "$pid"
    wait "$pid"
    exit $status
'

unset QT_QPA_PLATFORM WAYLAND_DISPLAY
xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- \
    bash -c "$run_check" run_check "$scratch/quartzel" "$scratch/messages" "$checker" ||
    fail "the window as a screen reader finds it differs (above); the program said:
$(cat "$scratch/messages")"
echo "window accessibility: as expected"
