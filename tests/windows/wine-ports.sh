# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash disable=SC2154 # the caller sets run

# What the tests under wine share, sourced by run-under-wine.sh and
# test-installer.sh: a wine prefix whose COM ports are mapped to
# pseudo-terminals (socat's), a wine server that answers the modem ioctls of
# a pty through ptymodemshim.so, and the cleaning up. The caller sets
# WINEPREFIX, and `run` to a directory of its own for the logs.

export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono, no Gecko: nothing to download
export WINEDEBUG=-all
socats=()

# wine's serial code runs in the Linux process, where this library answers it.
build_modem_shim() {
    gcc -shared -fPIC -O2 -Wall -Wextra -Werror -o "$1" \
        "$(dirname "${BASH_SOURCE[0]}")/ptymodemshim.c" -ldl
}

# A new prefix at $WINEPREFIX with COM<n> mapped to <links>/com<n> for each n
# given, and wine's null display driver, so that programs with windows run
# without a display. It says it is Windows 10, the oldest the program runs
# on: Debian's wine 8 says Windows 7 unless told. The Ports key is read when
# wine's serial driver starts, so the prefix is made, mapped and its server
# stopped before the run's own server starts.
make_prefix() {
    local links=$1
    shift
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_LOCAL_MACHINE\Software\Wine\Ports]'
        for n in "$@"; do
            echo "\"COM$n\"=\"$links/com$n\""
        done
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine]'
        echo '"Version"="win10"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Drivers]'
        echo '"Graphics"="null"'
    } >"$run/prefix.reg"
    wine regedit /S "$run/prefix.reg"
    wineserver -w
}

# The prefix's own server, with the shim. wineserver makes a pty its
# controlling terminal and, on a hang-up, writes its whole object table to
# stderr: that goes to a file. It returns once the server is ready, so that
# no wine program starts a server of its own.
start_wineserver() {
    wineserver -k 2>/dev/null || true
    export LD_PRELOAD=$1
    wineserver -p 2>"$run/wineserver.log"
}

# socat starts no programs of its own (they would outlive it) and does not
# inherit the caller's lock (descriptor 9).
start_socat() {
    socat "$@" </dev/null 2>>"$run/socat.log" 9>&- &
    socats+=($!)
}

# Waits until every path given exists (socat's links to its ptys).
await_links() {
    links_exist() {
        local path
        for path in "$@"; do
            [ -e "$path" ] || return 1
        done
    }
    for _ in $(seq 100); do
        links_exist "$@" && return 0
        sleep 0.05
    done
    cat "$run/socat.log" >&2
    echo "$(basename "$0"): socat made no ptys" >&2
    return 1
}

stop_wine_and_ptys() {
    wineserver -k 2>/dev/null || true
    for pid in "${socats[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
