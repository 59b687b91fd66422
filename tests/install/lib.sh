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
    trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
}

# Installs the build into $1 as a package would put it under /usr.
stage_install() {
    local build=$1 root=$2
    DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
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
