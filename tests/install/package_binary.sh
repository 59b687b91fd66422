#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The program in the Debian package is built as Debian builds its own
# (dpkg-buildflags' hardening) and stripped as dh_strip strips.
#   package_binary.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1

make_scratch_dir
build_package "$build"
dpkg-deb -x "$deb" "$scratch/root"
program="$scratch/root/usr/bin/quartzel"

dynamic=$(readelf --wide --dynamic "$program")
grep -Eq '\(FLAGS\) +BIND_NOW' <<<"$dynamic" || fail "no BIND_NOW (-z now): $dynamic"
readelf --wide --program-headers "$program" | grep -q GNU_RELRO || fail "no read-only relocations (-z relro)"

symbols=$(readelf --wide --dyn-syms "$program")
grep -Eq ' __[a-z_]+_chk(@|$)' <<<"$symbols" || fail "no fortified libc call (-D_FORTIFY_SOURCE=2)"
grep -q ' __stack_chk_fail' <<<"$symbols" || fail "no stack protector (-fstack-protector-strong)"

sections=$(readelf --wide --sections "$program")
for section in .symtab .comment .note .debug_info; do
    if grep -q " \\$section " <<<"$sections"; then
        fail "the program keeps its section $section"
    fi
done

echo "package binary: all checks passed"
