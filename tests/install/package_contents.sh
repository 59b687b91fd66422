#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package built with CPack from the finished build: its control
# fields, its dependencies and the files it installs.
#   package_contents.sh BUILD_DIR PROJECT_VERSION
source "$(dirname "$0")/lib.sh"
build=$1 version=$2

make_scratch_dir
build_package "$build"

dpkg-deb -I "$deb"
dpkg-deb -c "$deb"

expect_field() {
    local actual
    actual=$(dpkg-deb -f "$deb" "$1")
    [ "$actual" = "$2" ] || fail "$1 is '$actual', expected '$2'"
}
expect_field Package quartzel
expect_field Version "$version"
expect_field Section hamradio
expect_field Maintainer "Quartzel developers <quartzel@example.org>"
expect_field Architecture "$(dpkg --print-architecture)"

# Names only, without version constraints and alternatives' bars.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d')
for needed in libqt6core6 libqt6gui6 libqt6network6 libqt6widgets6 qt6-qpa-plugins \
              fonts-liberation2 qt6-translations-l10n libc6 libstdc++6; do
    grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed: $(dpkg-deb -f "$deb" Depends)"
done
# The Qt libraries come with the lowest version the binary was linked against.
dpkg-deb -f "$deb" Depends | grep -Eq 'libqt6widgets6 \(>= 6\.[0-9]' ||
    fail "libqt6widgets6 has no version bound from the shared-library check"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort |
    expect_file_list "the package"

# Debian's own checks: no error and no warning (a missing licence, changelog
# or manual page among them), and none of the notes either, which name
# unhardened or unstripped binaries.
lintian --display-info --tag-display-limit 0 --fail-on error,warning,info "$deb" ||
    fail "lintian finds fault with the package"

echo "package contents: all checks passed"
