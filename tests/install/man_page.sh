#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The installed manual page: man finds it and renders it without a warning,
# it has the sections a user looks for, and its options are exactly those
# that the program's --help lists, each with a value or without as there.
#   man_page.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1 version=$2

make_scratch_dir
root="$scratch/root"
stage_install "$build" "$root"
export MANPATH="$root/usr/share/man" MANWIDTH=80 LC_ALL=C.UTF-8

page=$(man -w quartzel) || fail "man does not find the installed page"
[ "$page" = "$MANPATH/man1/quartzel.1.gz" ] || fail "man finds $page"
rendered=$(man --warnings quartzel 2>"$scratch/warnings" | col -b)
[ ! -s "$scratch/warnings" ] || { cat "$scratch/warnings" >&2; fail "man warns about the page"; }

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" SIGNALS ENVIRONMENT FILES \
               "RUNNING AS A SERVICE" EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$rendered" || fail "the page has no section $section"
done
grep -q "Quartzel $version" <<<"$rendered" || fail "the page is not the one of version $version"

# One line per option: its names and "value" when it takes one, e.g.
# "-h --help" or "--port value".
help_options() {
    sed -n 's/^  \(-[^ ].*\)/\1/p' | sed 's/  .*//; s/ <[^>]*>$/ value/; s/,//g'
}
page_options() {
    sed -n '/^OPTIONS$/,/^[A-Z]/p' | sed -n 's/^       \(-[^ ].*\)/\1/p' |
        sed -E 's/,//g; s/^((-[^ ]+ )*-[^ ]+) [^-].*$/\1 value/'
}
from_help=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quartzel" --help | help_options | LC_ALL=C sort)
from_page=$(page_options <<<"$rendered" | LC_ALL=C sort)
[ -n "$from_help" ] || fail "no options read from --help"
if [ "$from_help" != "$from_page" ]; then
    diff -u <(echo "$from_help") <(echo "$from_page") >&2 || true
    fail "the page's options (+) and those of --help (-) differ"
fi

echo "manual page: all checks passed"
