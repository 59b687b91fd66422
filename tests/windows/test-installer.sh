#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows installer and the installed program under wine, in a new wine
# prefix whose COM5 is one end of a pseudo-terminal pair (this script holds
# the other end):
#   1. `setup.exe /S` installs the program, its Start menu entry and its
#      entry in "Apps";
#   2. the program, started as an operator would with the rights of a user
#      (who cannot write under Program Files), answers "IF;" on COM5 with
#      the exact reply, takes a frequency from a rigctld client, and on
#      taskkill (WM_CLOSE) saves it in %APPDATA%\Quartzel\quartzel.ini;
#   3. a second start, without --port, connects the port that the saved
#      index selects in the program's own list of the system's ports (COM5),
#      answers with the saved frequency, and saves again at the end of the
#      session (WM_ENDSESSION);
#   4. the silent uninstaller removes the program, the entry and the key.
#
#   tests/windows/test-installer.sh build-windows/Quartzel-<version>-setup.exe
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
installer=$(realpath "$1")
started=$(date +%s)
run=$(mktemp -d)
export WINEPREFIX="$run/prefix"
ports="$run/ports"
mkdir -p "$ports"
source "$here/wine-ports.sh"
program_dir="$WINEPREFIX/drive_c/Program Files/Quartzel"
readonly_mount=""
failures=0

# wine first: a program still running from the mount keeps it busy.
cleanup() {
    stop_wine_and_ptys
    [ -z "$readonly_mount" ] || umount "$readonly_mount" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
# A test stopped from outside (timeout, Ctrl+C) cleans up too: the mount above all.
trap 'exit 130' INT TERM

pass() { echo "PASS  $1"; }
fail() {
    echo "FAIL  $1" >&2
    failures=$((failures + 1))
}
check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quartzel'
registry_value() { # registry_value KEY NAME: the value's text, empty when missing
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

# The ports as the registry lists them, for the index an operator picks.
listed_ports() {
    wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' |
        sed -n 's/.*REG_SZ *//p' | sort -f
}

# Sends "IF;" on the line until the program answers (it may still be
# starting) and prints the reply: 38 characters, or what came in 2 s.
ask_frequency() {
    local reply=""
    for _ in $(seq 30); do
        printf 'IF;' >&4
        IFS= read -r -N 38 -t 2 reply <&4 || true
        [ -n "$reply" ] && break
        kill -0 "$program" 2>/dev/null || break
    done
    printf '%s' "$reply"
}

# A rigctld client's "F <hertz>"; prints the server's answer.
set_frequency() {
    for _ in $(seq 50); do
        if exec 5<>"/dev/tcp/127.0.0.1/$rigctld_port"; then
            printf 'F %s\n' "$1" >&5
            local answer
            IFS= read -r -t 10 answer <&5 || true
            exec 5>&-
            printf '%s' "$answer"
            return
        fi 2>/dev/null
        sleep 0.2
    done
}

# Offscreen, as a responder with no window to show. wine keeps the host's QT_
# variables from Windows programs and passes WINEQT_ ones under the QT_ name.
start_program() {
    (cd "$program_dir" && WINEQT_QPA_PLATFORM=offscreen wine ./quartzel.exe "$@") \
        >>"$run/quartzel.log" 2>&1 &
    program=$!
}

stopped_in_time() { timeout 60 tail --pid="$program" -f /dev/null; }

# within SECONDS COMMAND...: true once the command is, false when the time
# is up first.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

expected_reply() { printf 'IF00%s0010+0000000000010000000;' "$1"; }

echo "test-installer.sh: a new wine prefix in $WINEPREFIX"
"$here/../../dev.sh" install wine64 wine socat gcc libc6-dev >/dev/null
make_prefix "$ports" 5
build_modem_shim "$run/ptymodemshim.so"
start_wineserver "$run/ptymodemshim.so"
start_socat "pty,raw,echo=0,link=$ports/com5" "pty,raw,echo=0,link=$run/line"
await_links "$ports/com5" "$run/line"
exec 4<>"$run/line"

# 1. The silent install.
wine "$installer" /S
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quartzel.lnk"
check "the program is installed under Program Files" test -f "$program_dir/quartzel.exe"
check "the uninstaller is installed beside it" test -f "$program_dir/uninstall.exe"
check "the Start menu has its entry" test -f "$start_menu"
check "Apps lists it by name" test "$(registry_value "$uninstall_key" DisplayName)" = Quartzel
check "Apps shows its version" \
    test "$(registry_value "$uninstall_key" DisplayVersion)" = "$(basename "$installer" | sed 's/^Quartzel-\(.*\)-setup\.exe$/\1/')"
check "Apps names its publisher" test -n "$(registry_value "$uninstall_key" Publisher)"
check "Apps uninstalls with the installed uninstaller" \
    test "$(registry_value "$uninstall_key" UninstallString)" = '"C:\Program Files\Quartzel\uninstall.exe"'

# wine lets every program write under Program Files; Windows lets a user's
# program write nothing there. The folder is made read-only as Windows has
# it (root ignores permission bits, so root gets a read-only mount).
if [ "$(id -u)" -eq 0 ]; then
    mount --bind "$program_dir" "$program_dir"
    readonly_mount=$program_dir
    mount -o remount,bind,ro "$program_dir"
else
    chmod a-w "$program_dir"
fi
user_ini="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quartzel/quartzel.ini"

# 2. The first start, on the port named on the command line.
rigctld_port=$((20000 + $$ % 20000))
start_program --port COM5 --connect --rigctld "127.0.0.1:$rigctld_port"
check "answers IF; with the reply of 14 070 000 Hz in div4 mode" \
    test "$(ask_frequency)" = "$(expected_reply 003527500)"
check "a rigctld client sets 7 100 000 Hz" test "$(set_frequency 7100000)" = "RPRT 0"
check "answers IF; with the reply of 7 100 000 Hz in div4 mode" \
    test "$(ask_frequency)" = "$(expected_reply 001785000)"
wine taskkill /IM quartzel.exe >/dev/null
check "taskkill without /F ends it" stopped_in_time
check "it saved its settings in %APPDATA%" grep -qx 'frequency=007100000' "$user_ini"
check "and nothing beside itself" test ! -e "$program_dir/quartzel.ini"

# 3. The second start: the operator picks COM5 by its place in the list.
com5_index=$(listed_ports | grep -nx COM5 | cut -d: -f1)
check "the registry lists COM5" test -n "$com5_index"
[ ! -f "$user_ini" ] || sed -i "s/^port=.*/port=$((com5_index - 1))/" "$user_ini"
start_program --connect
check "the saved index selects COM5 in the program's list, with the saved frequency" \
    test "$(ask_frequency)" = "$(expected_reply 001785000)"
[ ! -f "$user_ini" ] || sed -i 's/^frequency=.*/frequency=000000000/' "$user_ini"
timeout 60 wine wineboot --end-session >/dev/null 2>&1 || true
check "the end of the session ends it" stopped_in_time
check "after saving its settings" grep -qx 'frequency=007100000' "$user_ini"
check "the rigctld setting is kept" grep -qx "listen=127.0.0.1:$rigctld_port" "$user_ini"

# 4. The silent uninstall (as the administrator, who may write there).
if [ -n "$readonly_mount" ]; then
    umount "$readonly_mount"
    readonly_mount=""
else
    chmod u+w "$program_dir"
fi
wine "$program_dir/uninstall.exe" /S
# The uninstaller runs on from a copy of itself, which ends when it is done.
check "the uninstaller removes the program's folder" within 60 test ! -e "$program_dir"
check "and the Start menu entry" test ! -e "$start_menu"
check "and its entry in Apps" test -z "$(registry_value "$uninstall_key" DisplayName)"

echo "test-installer.sh: $( ((failures == 0)) && echo passed || echo "FAILED $failures") in $(($(date +%s) - started)) s"
if ((failures > 0)); then
    echo "--- the program's output:" >&2
    cat "$run/quartzel.log" >&2
fi
exit $((failures > 0))
