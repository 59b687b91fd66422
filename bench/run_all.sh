#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds Quartzel and its benchmarks in Release and runs every benchmark,
# printing one Markdown table of their figures, headed by when, on which
# machine and at which commit they were measured. The same text goes to the
# results file, docs/results/run_all.md, which keeps the latest run (the
# documents in docs/ say what is measured and why, this file what came out).
# Exits 1 when a benchmark missed a target or failed a check; each benchmark's
# own error output goes to <build>/bench-logs/.
#
#   bench/run_all.sh           the full runs (about 8 minutes)
#   bench/run_all.sh --quick   short runs, to try the benchmarks out
#
# BUILD_DIR overrides the build directory (default: build-release), RESULTS
# the results file.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build-release}
logs=$build/bench-logs
results=${RESULTS:-$root/docs/results/run_all.md}
# Each benchmark with its arguments for a full run and for a quick one.
runs=(
    "bench_rxlatency|10000|2000"
    "bench_ifreply|--queries 10000 --idle-seconds 30|--queries 2000 --idle-seconds 5 --strace-queries 500"
    "bench_soak|--queries 1000000 --sample-every 100000|--queries 20000 --sample-every 5000"
    "bench_flood|--megabytes 100|--megabytes 10"
    "bench_garbage|--rounds 5000|--rounds 500"
    "bench_stall||"
    "bench_rigctld|--requests 2000|--requests 500"
    "bench_unplug|--cycles 100|--cycles 10"
    "bench_portnames||"
)
column=2
fifo_queries=10000
kind="full runs"
if [ "${1:-}" = "--quick" ]; then
    column=3
    fifo_queries=2000
    kind="quick runs (--quick)"
fi
benchmarks=()
for run in "${runs[@]}"; do
    benchmarks+=("${run%%|*}")
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
cmake --build "$build" --parallel 2 --target quartzel "${benchmarks[@]}" >/dev/null || exit 2
mkdir -p "$logs" "$(dirname "$results")"

# When, where and what was measured: the lines above the table.
describe_run() {
    local commit
    commit=$(git -C "$root" describe --always --dirty --abbrev=12 2>/dev/null || echo unknown)
    echo "# bench/run_all.sh: $kind"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- commit: $commit"
    echo "- machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
        "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
        "kernel $(uname -r), Qt $(qtpaths6 --qt-version 2>/dev/null || echo unknown), Release build," \
        "QT_QPA_PLATFORM=offscreen"
    echo "- load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    echo "| benchmark | figure | value | target | verdict |"
    echo "|---|---|---|---|---|"
}

# Runs one benchmark and prints its rows: run_one PREFIX NAME ARGUMENTS...
run_one() {
    local prefix=$1 name=$2 output status
    shift 2
    # shellcheck disable=SC2086 # the prefix is words on purpose
    output=$(QT_QPA_PLATFORM=offscreen $prefix "$build/bench/$name" "$@" 2>>"$logs/$name.log")
    status=$?
    if [ "$name" = bench_rxlatency ]; then
        # Its own format: one line per measured path.
        sed 's/^\(.\{28\}\) *\(.*\)$/| rxlatency | \1 | \2 | | |/; s/  */ /g' <<<"$output"
    else
        grep '^| ' <<<"$output"
    fi
    if [ $status -ne 0 ]; then
        echo "| $name | exit status | $status (see $logs/$name.log) | 0 | MISSED |"
        return 1
    fi
}

# Every run in turn; returns 1 when one of them missed or failed.
run_all() {
    local failed=0 run
    for run in "${runs[@]}"; do
        # shellcheck disable=SC2086 # the arguments are words on purpose
        run_one "" "${run%%|*}" $(cut -d'|' -f"$column" <<<"$run") || failed=1
    done
    # The latency run once more with the client, the floor and the program
    # ahead of every ordinary task (SCHED_FIFO, inherited by the program):
    # the waits for a CPU that other work on the machine causes drop out, and
    # what remains is the two responders' own time.
    if command -v chrt >/dev/null; then
        run_one "chrt -f 10" bench_ifreply --queries "$fifo_queries" --idle-seconds 0 \
            --strace-queries 0 --label "ifreply, SCHED_FIFO" || failed=1
    fi
    echo
    echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
    return $failed
}

rm -f "$logs"/*.log
{
    describe_run
    run_all
} | tee "$results"
exit "${PIPESTATUS[0]}"
