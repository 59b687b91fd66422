// SPDX-License-Identifier: GPL-3.0-or-later

// Flood: random bytes that never hold "IF;", as fast as the pty takes them,
// then one "IF;". Exactly one correct reply must come back; the resident
// memory may grow by a bounded amount only, and the CPU use must return to
// idle afterwards.
//
// Usage: bench_flood [--megabytes N] [--seed S] [--program PATH]
//        (defaults 100 MB, seed 1)

#include "BenchSupport.h"

using namespace bench;

int main(int argc, char** argv)
{
    const long megabytes = longOption(argc, argv, "--megabytes", 100);
    const auto seed = unsigned(longOption(argc, argv, "--seed", 1));
    Results results("flood");

    ConnectedProgram connected(argc, argv);
    auto& [pty, program, checker] = connected;
    const long rssBefore = vmRssKb(program.pid());
    resetPeakRss(program.pid());
    const long ticksBefore = cpuTicks(program.pid());

    NoiseSource noise(seed);
    constexpr std::size_t blockSize = 64 * 1024;
    const std::size_t total = std::size_t(megabytes) * 1024 * 1024;
    long rssMaxSampled = rssBefore;
    const Clock::time_point start = Clock::now();
    for (std::size_t sent = 0; sent < total; sent += blockSize) {
        writeAll(pty, noise.block(std::min(blockSize, total - sent)));
        if ((sent / blockSize) % 160 == 0) // every 10 MB
            rssMaxSampled = std::max(rssMaxSampled, vmRssKb(program.pid()));
    }
    const Clock::time_point queriedAt = Clock::now();
    checker.takeStrayBytes();
    writeAll(pty, query);
    checker.awaitReply(queriedAt, std::chrono::seconds(120));
    const double floodSeconds = microsBetween(start, Clock::now()) / 1e6;
    checker.finish();
    const long ticksFlood = cpuTicks(program.pid()) - ticksBefore;

    checkCounts(results, format("%ld MB then one query", megabytes), connected.counts());
    results.figure("flood taken in (until the reply)",
                   format("%.1f s, %.1f MB/s, CPU %.1f s", floodSeconds,
                          double(megabytes) / floodSeconds, ticksToSeconds(ticksFlood)));
    const long peakGrowth = std::max(vmHwmKb(program.pid()), rssMaxSampled) - rssBefore;
    results.check("peak VmRSS growth (VmHWM and samples)",
                  format("%+ld kB (VmRSS before %ld kB, after %ld kB)", peakGrowth, rssBefore,
                         vmRssKb(program.pid())),
                  "<= 4096 kB", peakGrowth <= 4096);
    checkIdle(results, "CPU over 5 s after the reply",
              cpuShareOver(program.pid(), std::chrono::seconds(5)));
    checkStop(results, program);
    return results.exitCode();
}
