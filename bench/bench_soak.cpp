// Soak: a long run of sequential "IF;" queries against the real program.
// Every reply is checked byte for byte, and the resident memory is sampled
// at the start and after every --sample-every queries.
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

    std::string samples = format("%ld", rssAtStart);
    long rssMax = rssAtStart;
    std::vector<double> micros;
    micros.reserve(std::size_t(queries));
    const Clock::time_point start = Clock::now();
    for (long i = 1; i <= queries; ++i) {
        const double roundTrip = checker.roundTrip();
        if (roundTrip >= 0)
            micros.push_back(roundTrip);
        if (i % sampleEvery == 0) {
            const long rss = vmRssKb(program.pid());
            rssMax = std::max(rssMax, rss);
            samples += format(" %ld", rss);
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
    results.figure(format("VmRSS kB, start then every %ld", sampleEvery), samples);
    // Noise: the allocator's arenas and Qt's caches settle within a few
    // hundred kB; growth with the query count would show as a steady climb.
    const long growth = rssAtEnd - rssAtStart;
    results.check("VmRSS end - start", format("%+ld kB (max %ld kB)", growth, rssMax),
                  "<= 512 kB", growth <= 512);
    checkStop(results, program);
    return results.exitCode();
}
