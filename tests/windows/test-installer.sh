#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The Windows installer and the installed program under wine, in a new wine
# prefix whose COM5 is one end of a pseudo-terminal pair (this script holds
# the other end):
#   1. on Windows 7 the silent installer refuses, with exit code 2;
#   2. `setup.exe /S` installs the program, its Start menu entry and its
#      entry in "Apps"; the program answers --help in Russian, in UTF-8
#      when redirected and as the characters themselves on a console;
#   3. the program, started as an operator would with the rights of a user
#      (who cannot write under Program Files), answers "IF;" on COM5 with
#      the exact reply, takes a frequency from a rigctld client, and on
#      taskkill (WM_CLOSE) saves it in %APPDATA%\Quartzel\quartzel.ini;
#   4. a second start, without --port, connects the port that the saved
#      index selects in the program's own list of the system's ports (COM5);
#      a start on the same settings file ends at once, one with a settings
#      file of its own runs beside it; a port that appears (COM4, before
#      COM5) is listed and the selection stays on COM5; the end of the
#      session (WM_ENDSESSION) saves the settings of both copies;
#   5. a save that another program holds up is tried again until it lets
#      go; one held up for good fails, says so and leaves the file as it was;
#   6. installing over a running copy closes it (it saves its settings)
#      first; a copy that does not end keeps the old program and its entry,
#      and the installer ends with exit code 2;
#   7. the silent uninstaller closes a running copy too, and removes the
#      program, the entry and the key;
#   8. `setup.exe /S /CurrentUser` installs for the user alone, in the
#      user's own folders, and its uninstaller removes that.
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

# A rigctld client's "F <hertz>" to the copy listening on the port given, or
# on rigctld_port; prints the server's answer.
set_frequency() {
    for _ in $(seq 50); do
        if exec 5<>"/dev/tcp/127.0.0.1/${2:-$rigctld_port}"; then
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
# wine runs a program in the process it was started as: `program` is the
# program's own process, which signals reach.
start_program() {
    (cd "$program_dir" && WINEQT_QPA_PLATFORM=offscreen exec wine ./quartzel.exe "$@") \
        >>"$run/quartzel.log" 2>&1 &
    program=$!
}

# Runs the program to its end, for at most a minute, with its exit status.
run_program() {
    (cd "$program_dir" && WINEQT_QPA_PLATFORM=offscreen timeout 60 wine ./quartzel.exe "$@") \
        >>"$run/quartzel.log" 2>&1
}

# stopped_in_time [PROCESS]: the program, or the process given, ends within a minute.
stopped_in_time() { timeout 60 tail --pid="${1:-$program}" -f /dev/null; }

differ() { ! cmp -s "$1" "$2"; }

windows_version() { wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null; }

# Russian as a Russian Windows has it: wine takes the program's language, and
# the console's code page (866, not the program's 1251), from the host's
# locale, built here for the run.
russian() { env -u LC_ALL -u LC_MESSAGES LOCPATH="$run/locale" LANG=ru_RU.UTF-8 "$@"; }

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
"$here/../../dev.sh" install wine64 wine socat gcc libc6-dev g++-mingw-w64-x86-64-posix >/dev/null
make_prefix "$ports" 5
build_modem_shim "$run/ptymodemshim.so"
for helper in announceport holdfile; do
    x86_64-w64-mingw32-gcc-posix -municode -O2 -Wall -Wextra -Werror -o "$run/$helper.exe" \
        "$here/$helper.c"
done
mkdir "$run/locale"
localedef -i ru_RU -f UTF-8 "$run/locale/ru_RU.UTF-8"
start_wineserver "$run/ptymodemshim.so"
start_socat "pty,raw,echo=0,link=$ports/com5" "pty,raw,echo=0,link=$run/line"
await_links "$ports/com5" "$run/line"
exec 4<>"$run/line"
version=$(basename "$installer" | sed 's/^Quartzel-\(.*\)-setup\.exe$/\1/')

# 1. Windows 7, as wine can say it is: refused before anything is written.
windows_version win7
status=0
wine "$installer" /S || status=$?
windows_version win10
check "on Windows 7 the silent installer ends with exit code 2" test "$status" -eq 2
check "and installs nothing" test ! -e "$program_dir"

# 2. The silent install.
wine "$installer" /S
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quartzel.lnk"
check "the program is installed under Program Files" test -f "$program_dir/quartzel.exe"
check "the uninstaller is installed beside it" test -f "$program_dir/uninstall.exe"
check "the Start menu has its entry" test -f "$start_menu"
check "Apps lists it by name" test "$(registry_value "$uninstall_key" DisplayName)" = Quartzel
check "Apps shows its version" test "$(registry_value "$uninstall_key" DisplayVersion)" = "$version"
check "Apps names its publisher" test -n "$(registry_value "$uninstall_key" Publisher)"
check "Apps uninstalls with the installed uninstaller" \
    test "$(registry_value "$uninstall_key" UninstallString)" = '"C:\Program Files\Quartzel\uninstall.exe"'

# Redirected, the help is UTF-8; on a console (cmd's, which wine shows on the
# terminal that script makes) it is the characters themselves.
russian wine "$program_dir/quartzel.exe" --help >"$run/help-redirected.txt" 2>&1 || true
(cd "$program_dir" && russian script -qec "wine cmd /c quartzel.exe --help" /dev/null) \
    >"$run/help-console.txt" 2>&1 || true
for output in redirected console; do
    help="$run/help-$output.txt"
    check "--help, $output: the program's own text in Russian" \
        grep -q 'Передняя панель синтезатора Si570' "$help"
    check "--help, $output: Qt's own text in Russian" \
        grep -q 'Вывод справки по параметрам командной строки' "$help"
    check "--help, $output: what a second start does" \
        grep -q 'На каждый файл настроек работает одна копия' "$help"
done

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
user_settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quartzel"
user_ini="$user_settings/quartzel.ini"
user_ini_windows="C:\\users\\$(id -un)\\AppData\\Roaming\\Quartzel\\quartzel.ini"

# 3. The first start, on the port named on the command line.
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

# 4. The second start: the operator picks COM5 by its place in the list.
com5_index=$(listed_ports | grep -nx COM5 | cut -d: -f1)
check "the registry lists COM5" test -n "$com5_index"
[ ! -f "$user_ini" ] || sed -i "s/^port=.*/port=$((com5_index - 1))/" "$user_ini"
start_program --connect
first=$program
check "the saved index selects COM5 in the program's list, with the saved frequency" \
    test "$(ask_frequency)" = "$(expected_reply 001785000)"
status=0
run_program --connect --rigctld "127.0.0.1:$((rigctld_port + 1))" || status=$?
check "a start on the same settings file ends at once, successfully" test "$status" -eq 0
check "and the running copy answers on" test "$(ask_frequency)" = "$(expected_reply 001785000)"
start_program --settings device2.ini --rigctld "127.0.0.1:$((rigctld_port + 1))"
second=$program
check "a copy with a settings file of its own runs beside it" \
    test "$(set_frequency 3500000 $((rigctld_port + 1)))" = "RPRT 0"
# A USB adapter's port appears: Windows lists it, then tells every window.
wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\QuartzelTest' /d COM4 /f >/dev/null
check "the port's arrival is announced" wine "$run/announceport.exe" COM4
com5_index=$(listed_ports | grep -nx COM5 | cut -d: -f1)
[ ! -f "$user_ini" ] || sed -i 's/^frequency=.*/frequency=000000000/' "$user_ini"
timeout 60 wine wineboot --end-session >/dev/null 2>&1 || true
check "the end of the session ends it" stopped_in_time "$first"
check "after saving its settings" grep -qx 'frequency=007100000' "$user_ini"
check "the rigctld setting is kept" grep -qx "listen=127.0.0.1:$rigctld_port" "$user_ini"
check "with COM4 listed, COM5 is still the port, at its new place" \
    grep -qx "port=$((com5_index - 1))" "$user_ini"
check "the copy beside it ends too" stopped_in_time "$second"
check "and saves in its own settings file" grep -qx 'frequency=003500000' "$user_settings/device2.ini"

# 5. A save that another program holds up (as a virus scanner or a backup
# does, holding the file open): tried again until it lets go, and reported,
# the file left as it was, when it does not.
start_program --connect --rigctld "127.0.0.1:$rigctld_port"
check "a running copy sets 7 200 000 Hz" test "$(set_frequency 7200000)" = "RPRT 0"
wine "$run/holdfile.exe" "$user_ini_windows" >"$run/hold.log" &
holder=$!
check "another program holds the settings file" within 30 grep -q '^held' "$run/hold.log"
wine taskkill /IM quartzel.exe >/dev/null
check "on taskkill the copy ends" stopped_in_time
status=0
wait "$program" || status=$?
check "having saved, with exit status 0" test "$status" -eq 0
check "after the holder let go, once a replacement had failed" wait "$holder"
check "the settings are in the file" grep -qx 'frequency=007200000' "$user_ini"
start_program --connect --rigctld "127.0.0.1:$rigctld_port"
check "the next copy sets 7 100 000 Hz" test "$(set_frequency 7100000)" = "RPRT 0"
cp "$user_ini" "$run/before.ini"
mkfifo "$run/hold-input"
wine "$run/holdfile.exe" "$user_ini_windows" --input <"$run/hold-input" >"$run/hold.log" &
holder=$!
exec 6>"$run/hold-input"
check "another program holds the settings file, for good" within 30 grep -q '^held' "$run/hold.log"
log_lines=$(wc -l <"$run/quartzel.log")
wine taskkill /IM quartzel.exe >/dev/null
check "on taskkill the copy ends" stopped_in_time
status=0
wait "$program" || status=$?
check "having failed to save, with exit status 1" test "$status" -eq 1
check "it says which file" grep -q 'Unable to write to .*quartzel\.ini' <(tail -n +"$((log_lines + 1))" "$run/quartzel.log")
check "and leaves the file as it was" cmp -s "$run/before.ini" "$user_ini"
exec 6>&-
wait "$holder" || true
sed -i 's/^frequency=.*/frequency=007100000/' "$user_ini"

# The administrator installs and uninstalls, with the right to write there.
# wine cannot keep the copies that run meanwhile from writing there too, so
# they name the user's settings file, which they would use on Windows.
if [ -n "$readonly_mount" ]; then
    umount "$readonly_mount"
    readonly_mount=""
else
    chmod u+w "$program_dir"
fi

# 6. Installing over a running copy. One that does not end (stopped, as a
# hung program is) keeps the old program, marked here, and its entry.
wine reg add "$uninstall_key" /v DisplayVersion /d 0.0-old /f >/dev/null
printf 'old' >>"$program_dir/quartzel.exe" # after the image: it runs as before
cp "$program_dir/quartzel.exe" "$run/old.exe"
start_program --connect --settings "$user_ini_windows"
check "the old program answers IF;" test "$(ask_frequency)" = "$(expected_reply 001785000)"
kill -STOP "$program"
status=0
wine "$installer" /S || status=$?
check "a copy that does not end: the installer ends with exit code 2" test "$status" -eq 2
check "and leaves the old program" cmp -s "$run/old.exe" "$program_dir/quartzel.exe"
check "and its entry in Apps" test "$(registry_value "$uninstall_key" DisplayVersion)" = 0.0-old
kill -CONT "$program"
check "the copy, running again, ends as it was asked to" stopped_in_time
start_program --connect --settings "$user_ini_windows"
check "a running copy answers IF;" test "$(ask_frequency)" = "$(expected_reply 001785000)"
sed -i 's/^frequency=.*/frequency=000000000/' "$user_ini"
status=0
wine "$installer" /S || status=$?
check "installing over it succeeds" test "$status" -eq 0
check "once it has ended" stopped_in_time
check "saving its settings" grep -qx 'frequency=007100000' "$user_ini"
check "the new program is in place" differ "$run/old.exe" "$program_dir/quartzel.exe"
check "Apps shows the new version" test "$(registry_value "$uninstall_key" DisplayVersion)" = "$version"

# 7. The silent uninstall, with a copy running.
start_program --connect --settings "$user_ini_windows"
check "a running copy answers IF;" test "$(ask_frequency)" = "$(expected_reply 001785000)"
sed -i 's/^frequency=.*/frequency=000000000/' "$user_ini"
wine "$program_dir/uninstall.exe" /S
# The uninstaller runs on from a copy of itself, which ends when it is done.
check "the uninstaller ends the running copy" stopped_in_time
check "which saves its settings" grep -qx 'frequency=007100000' "$user_ini"
check "the uninstaller removes the program's folder" within 60 test ! -e "$program_dir"
check "and the Start menu entry" test ! -e "$start_menu"
check "and its entry in Apps" test -z "$(registry_value "$uninstall_key" DisplayName)"

# 8. For the user alone: the user's own folders and registry, none of the
# machine's (wine gives every user the administrator's rights, so that the
# installer asks for none shows only on Windows).
user_programs="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Quartzel"
user_start_menu="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quartzel.lnk"
user_uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quartzel'
wine "$installer" /S /CurrentUser
check "for the user alone: in %LOCALAPPDATA%\Programs" test -f "$user_programs/quartzel.exe"
check "with the user's Start menu entry" test -f "$user_start_menu"
check "and the user's entry in Apps" test "$(registry_value "$user_uninstall_key" DisplayName)" = Quartzel
check "and nothing for every user" test ! -e "$program_dir" -a ! -e "$start_menu"
wine "$user_programs/uninstall.exe" /S
check "its uninstaller removes it" within 60 test ! -e "$user_programs"
check "with the user's Start menu entry" test ! -e "$user_start_menu"
check "and the user's entry in Apps" test -z "$(registry_value "$user_uninstall_key" DisplayName)"

echo "test-installer.sh: $( ((failures == 0)) && echo passed || echo "FAILED $failures") in $(($(date +%s) - started)) s"
if ((failures > 0)); then
    echo "--- the program's output:" >&2
    cat "$run/quartzel.log" >&2
fi
exit $((failures > 0))
