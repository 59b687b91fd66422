#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The installed service of one port: it runs the installed program on the
# instance's port without a display, and systemd's own check finds nothing to
# say about it, for a plain port name and for an escaped path.
#   service_unit.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1

make_scratch_dir
prefix="$scratch/prefix"
install_under "$build" "$prefix"
unit="$prefix/lib/systemd/system/quartzel@.service"
[ -f "$unit" ] || fail "no quartzel@.service installed"

exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
[ "$exec_start" = "$prefix/bin/quartzel --port /dev/%I --connect --reconnect on" ] ||
    fail "ExecStart= is '$exec_start'"
grep -qx 'Environment=QT_QPA_PLATFORM=offscreen' "$unit" || fail "the service would need a display"

# The check looks up the program and the manual page that the unit names.
export MANPATH="$prefix/share/man"
units="$scratch/units"
mkdir "$units"
cp "$unit" "$units/"
for instance in ttyUSB0 'serial-by\x2did-usb\x2dFTDI_FT232R\x2dif00\x2dport0'; do
    ln -s "quartzel@.service" "$units/quartzel@$instance.service"
    findings=$(systemd-analyze verify "$units/quartzel@$instance.service" 2>&1) ||
        fail "systemd-analyze verify failed for quartzel@$instance: $findings"
    [ -z "$findings" ] || fail "systemd-analyze verify on quartzel@$instance says: $findings"
done

echo "service unit: all checks passed"
