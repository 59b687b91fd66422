#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# cmake --install puts the program, its menu entry, its icons and its
# metainfo where a desktop finds them, and nothing else.
#   installed_files.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1 version=$2

make_scratch_dir
root="$scratch/root"
stage_install "$build" "$root"
list_files "$root" | expect_file_list "the staged install"

program_version=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quartzel" --version) ||
    fail "the installed program does not run"
[ "$program_version" = "Quartzel $version" ] || fail "the installed program says '$program_version'"

desktop="$root/usr/share/applications/org.example.quartzel.desktop"
desktop-file-validate "$desktop" || fail "the installed desktop file is not valid"

desktop_key() {
    sed -n "s/^$1=//p" "$desktop"
}
[ -x "$root/usr/bin/$(desktop_key Exec)" ] || fail "Exec= names no installed program"

icon=$(desktop_key Icon)
hicolor="$root/usr/share/icons/hicolor"
[ -f "$hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named '$icon'"

# Width and height from a PNG's header chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*2^24+$2*2^16+$3*2^8+$4, $5*2^24+$6*2^16+$7*2^8+$8 }'
}
for size in 32x32 128x128; do
    png="$hicolor/$size/apps/$icon.png"
    [ -f "$png" ] || fail "no $size icon named '$icon'"
    [ "$(png_size "$png")" = "$size" ] || fail "$png is $(png_size "$png"), not $size"
done

metainfo="$root/usr/share/metainfo/org.example.quartzel.metainfo.xml"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] ||
    fail "the metainfo launches '$launchable', not the installed desktop file"
release=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -n1)
[ "$release" = "$version" ] ||
    fail "the metainfo's newest release is '$release', the program's version is '$version'"

changelog_version=$(zcat "$root/usr/share/doc/quartzel/changelog.gz" | dpkg-parsechangelog -l- -SVersion)
[ "$changelog_version" = "$version" ] ||
    fail "the changelog's newest entry is '$changelog_version', the program's version is '$version'"

echo "installed files: all checks passed"
