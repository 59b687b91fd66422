# SPDX-License-Identifier: GPL-3.0-or-later

# Helpers shared by the install checks. Each check is a script that CTest runs
# with the build directory as its first argument.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
expected_files="$here/expected-files.txt"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A scratch directory that goes away when the script ends, however it ends.
make_scratch_dir() {
    scratch=$(mktemp -d)
    trap 'restore_install_manifest; chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
}

# cmake --install and cpack write the list of the files they installed to the
# build's install_manifest.txt, with which a user removes an install of their
# own; a check puts that list back as it was.
manifest=
save_install_manifest() {
    [ -z "$manifest" ] || return 0
    manifest="$1/install_manifest.txt"
    if [ -f "$manifest" ]; then
        cp -p "$manifest" "$scratch/install_manifest.txt"
    fi
}
restore_install_manifest() {
    [ -n "$manifest" ] || return 0
    if [ -f "$scratch/install_manifest.txt" ]; then
        cp -p "$scratch/install_manifest.txt" "$manifest"
    else
        rm -f "$manifest"
    fi
}

# Installs the build into $1 as a package would put it under /usr.
stage_install() {
    local build=$1 root=$2
    save_install_manifest "$build"
    DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
}

# Installs the build under the prefix $2 itself, so that the paths it writes
# into installed files (the service's ExecStart=) lead to the staged program.
install_under() {
    local build=$1 prefix=$2
    save_install_manifest "$build"
    cmake --install "$build" --prefix "$prefix" >/dev/null
}

# Builds the Debian package as the README does; sets $deb to its path.
build_package() {
    local build=$1
    save_install_manifest "$build"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" ||
        { cat "$scratch/cpack.log" >&2; fail "cpack could not build the package"; }
    local debs=("$scratch"/package/quartzel_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single quartzel_*.deb"
    deb=${debs[0]}
}

# Every file and link below a directory, relative to it, sorted.
list_files() {
    (cd "$1" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
}

# Compares a file list on standard input with the expected one.
expect_file_list() {
    local what=$1 actual
    actual=$(cat)
    if [ "$actual" != "$(LC_ALL=C sort "$expected_files")" ]; then
        diff -u <(LC_ALL=C sort "$expected_files") <(echo "$actual") >&2 || true
        fail "$what does not hold the expected files"
    fi
}
