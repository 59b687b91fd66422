#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) and
# runs each: first every saved regression input once, then fuzzing from the
# committed seed corpus for the given number of seconds.
#
#   tests/fuzz/run.sh [seconds] [target ...]    default: 60 s, every target
#   tests/fuzz/run.sh 3600 fuzz_receive          an hour on one target
#
# New corpus entries go to build-sanitize/fuzz/corpus/<target>/ and are kept
# between runs there; a failing input is written to
# build-sanitize/fuzz/findings/<target>/. To keep a finding, fix it and copy
# the input to tests/fuzz/regressions/<target>/.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
tree="$root/build-sanitize/fuzz"
seconds=${1:-60}
shift || true
targets=("$@")

"$root/dev.sh" install clang libclang-rt-14-dev llvm-14
cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARTZEL_WERROR=ON "-DQUARTZEL_SANITIZE=address;undefined" -DQUARTZEL_FUZZ=ON >/dev/null
# Every target that tests/fuzz/CMakeLists.txt declares, unless some are named.
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(grep -v "^$" "$tree/tests/fuzz/fuzzers.txt")
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no fuzz targets declared" >&2; exit 1; }
cmake --build "$tree" --parallel 2 --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    binary="$tree/tests/fuzz/$target"
    regressions=("$here/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        echo "fuzz: $target replays ${#regressions[@]} regression inputs"
        "$binary" "${regressions[@]}"
    fi
    corpus="$tree/corpus/$target"
    findings="$tree/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "fuzz: $target for $seconds s"
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "$here/corpus/$target"
done
