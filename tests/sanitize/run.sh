#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# The test suite under the sanitizers, and the fuzz targets for a bounded
# time. Each run has its own build tree under build-sanitize/ and builds only
# what the tests need (the target quartzel_tests); any finding fails the run.
# Which tests run is set where each test is declared (tests/CMakeLists.txt):
# every test runs under AddressSanitizer, and those labelled "threads" under
# ThreadSanitizer too.
#
#   tests/sanitize/run.sh            all three runs, as CI does
#   tests/sanitize/run.sh asan       every test under AddressSanitizer + UBSan
#   tests/sanitize/run.sh tsan       the tests labelled "threads" under ThreadSanitizer
#   tests/sanitize/run.sh fuzz       the fuzz targets, 60 s each (tests/fuzz/run.sh)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
trees="$root/build-sanitize"

# Configures a clang build tree with the given sanitizers and builds the tests.
build_tests() {
    local tree=$1 sanitizers=$2
    cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARTZEL_WERROR=ON "-DQUARTZEL_SANITIZE=$sanitizers" >/dev/null
    cmake --build "$tree" --parallel 2 --target quartzel_tests
}

# Runs the tests of a tree; further arguments select them (ctest -L ...).
# A test that finds no test to run is a fault of the selection, not a pass.
run_tests() {
    local tree=$1
    shift
    ctest --test-dir "$tree" --output-on-failure --timeout 600 --no-tests=error "$@"
}

# Some tests run the program as an unprivileged user (tests/tst_headless.cpp),
# whose sanitizer runtime must read the suppressions wherever the tree is
# checked out, also below a home directory that only its owner may enter.
suppressions=$(mktemp -d)
trap 'rm -rf "$suppressions"' EXIT
cp "$here/asan.supp" "$here/tsan.supp" "$suppressions/"
chmod 755 "$suppressions"
chmod 644 "$suppressions"/*.supp

asan() {
    build_tests "$trees/asan" "address;undefined"
    # Leaks are not looked for: Qt keeps process-lifetime allocations (fonts,
    # the platform plugin) that it never frees, and reports of them drown ours.
    ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:suppressions=$suppressions/asan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_tests "$trees/asan"
}

tsan() {
    build_tests "$trees/tsan" "thread"
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp" \
        run_tests "$trees/tsan" -L threads
}

fuzz() {
    "$root/tests/fuzz/run.sh" 60
}

"$root/dev.sh" install clang libclang-rt-14-dev llvm-14
# Runs one of the runs above and says how long it took, build included.
timed() {
    local started=$SECONDS
    "$1"
    echo "sanitize: $1 run clean in $((SECONDS - started)) s"
}

case "${1:-all}" in
    asan | tsan | fuzz) timed "$1" ;;
    all) timed asan; timed tsan; timed fuzz ;;
    *) echo "usage: tests/sanitize/run.sh [asan|tsan|fuzz|all]" >&2; exit 64 ;;
esac
