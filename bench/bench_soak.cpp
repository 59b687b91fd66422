// SPDX-License-Identifier: GPL-3.0-or-later

// Soak: a long run of sequential "IF;" queries against the real program.
// Every reply is checked byte for byte, and the resident memory is sampled
// at the start and after every --sample-every queries; from the first of
// those samples to the end it must not grow beyond noise.
//
// Usage: bench_soak [--queries N] [--sample-every K] [--program PATH]
//        (defaults 1000000 queries, a sample every 100000)

#include "BenchSupport.h"

using namespace bench;

int main(int argc, char** argv)
{
    const long queries = longOption(argc, argv, "--queries", 1000000);
    const long sampleEvery = std::max(1L, longOption(argc, argv, "--sample-every", 100000));
    Results results("soak");

    ConnectedProgram connected(argc, argv);
    auto& [pty, program, checker] = connected;
    const long rssAtStart = vmRssKb(program.pid());

    // Early samples (10, 100, 1000, 10000 queries) show when the one-time
    // growth of the first replies (caches of text layout and painting) ends.
    std::string samples = format("0: %ld", rssAtStart);
    long rssAtFirstPeriod = 0;
    std::vector<double> micros;
    micros.reserve(std::size_t(queries));
    const Clock::time_point start = Clock::now();
    for (long i = 1; i <= queries; ++i) {
        const double roundTrip = checker.roundTrip();
        if (roundTrip >= 0)
            micros.push_back(roundTrip);
        const bool early = i < sampleEvery && (i == 10 || i == 100 || i == 1000 || i == 10000);
        if (early || i % sampleEvery == 0) {
            const long rss = vmRssKb(program.pid());
            samples += format(", %ld: %ld", i, rss);
            if (i == sampleEvery)
                rssAtFirstPeriod = rss;
        }
    }
    const double seconds = microsBetween(start, Clock::now()) / 1e6;
    checker.finish();
    const long rssAtEnd = vmRssKb(program.pid());

    checkCounts(results, format("%ld queries", queries), connected.counts());
    const Percentiles p = percentiles(std::move(micros));
    results.figure("round trip p50 / p99 / max",
                   format("%.1f / %.1f / %.1f us", p.p50, p.p99, p.max));
    results.figure("replies per second", format("%.0f", double(queries) / seconds));
    results.figure("VmRSS kB after N queries", samples);
    results.figure("VmRSS end - start", format("%+ld kB", rssAtEnd - rssAtStart));
    // Noise: the allocator's arenas settle within a few hundred kB; growth
    // with the query count would show as a climb over the periods.
    const long growth = rssAtEnd - rssAtFirstPeriod;
    results.check(format("VmRSS end - after %ld queries", sampleEvery), format("%+ld kB", growth),
                  "<= 512 kB", growth <= 512);
    checkStop(results, program);
    return results.exitCode();
}
