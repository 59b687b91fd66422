// SPDX-License-Identifier: GPL-3.0-or-later

// Reply latency of the real program: a client holding the pty master sends
// "IF;" and waits for each complete reply, in sequence, and checks each
// reply's bytes. The same client against a minimal single-threaded responder
// on the same kind of pty gives the floor. Also: the time from fork/exec to
// the first reply; while connected and idle with the lamp out, the CPU use
// and the wake-ups per second; the program's system calls per query
// (strace -c -f over a run of its own); and the resident memory.
//
// Usage: bench_ifreply [--queries N] [--idle-seconds S] [--strace-queries N]
//                      [--label TEXT] [--program PATH] [--kenwood on|off]
//                      [--query IF|FA]
//        (defaults 10000 queries, 30 s idle, 2000 queries under strace (0: not
//        measured), label "ifreply", the program built beside this one, its
//        own Kenwood profile setting, the query "IF;"; "FA;" needs the
//        profile on)

#include "BenchSupport.h"

#include <thread>

using namespace bench;

namespace {

// Round trips of one responder, gathered over the blocks of a run.
class LatencyRun
{
public:
    LatencyRun(PtyPair& pty, const Exchange& exchange) : m_checker(pty, exchange) {}

    void runBlock(long queries)
    {
        const Clock::time_point start = Clock::now();
        for (long i = 0; i < queries; ++i) {
            const double roundTrip = m_checker.roundTrip();
            if (roundTrip >= 0)
                m_micros.push_back(roundTrip);
        }
        m_seconds += microsBetween(start, Clock::now()) / 1e6;
        m_queries += queries;
    }

    void report(Results& results, const char* who)
    {
        m_checker.finish();
        const Percentiles p = percentiles(m_micros);
        results.figure(format("%s round trip p50 / p90 / p99 / max", who),
                       format("%.1f / %.1f / %.1f / %.1f us", p.p50, p.p90, p.p99, p.max));
        results.figure(format("%s replies per second", who), format("%.0f", repliesPerSecond()));
        checkCounts(results, who, m_checker.counts());
    }

    Percentiles micros() const { return percentiles(m_micros); }
    double repliesPerSecond() const { return double(m_queries) / m_seconds; }

private:
    ReplyChecker m_checker;
    std::vector<double> m_micros;
    double m_seconds = 0;
    long m_queries = 0;
};

// Connected, nothing arriving, the lamp out: no CPU and no wake-up at all.
void checkIdleConnected(Results& results, const RealProgram& program, long seconds)
{
    // The lamp of the last reply goes out within one 250 ms tick.
    ::poll(nullptr, 0, 500);
    const CpuShare idle = cpuShareOver(program.pid(), std::chrono::seconds(seconds));
    results.check(format("idle CPU while connected (%ld s)", seconds),
                  format("%.4f %% of a core (10 ms ticks: %.3f %%)", idle.fromSchedstat * 100,
                         idle.fromStat * 100),
                  "< 0.01 %", idle.fromSchedstat < 0.0001);
    results.check("idle wake-ups per second (context switches, all threads)",
                  format("%.2f", idle.wakeUpsPerSecond), "0", idle.wakeUpsPerSecond == 0);
}

// The program's system calls per query, all threads, under strace -c -f.
void checkSyscallsPerQuery(Results& results, const RealProgram& program, PtyPair& pty,
                           const Exchange& exchange, long queries)
{
    ReplyChecker checker(pty, exchange);
    SyscallCount counting(program.pid());
    for (long i = 0; i < queries; ++i)
        checker.roundTrip();
    const std::map<std::string, long> calls = counting.stop();
    checker.finish();
    checkCounts(results, "under strace", checker.counts());
    long total = 0;
    std::string byName;
    for (const auto& [name, count] : calls) {
        total += count;
        byName += format("%s%s %.2f", byName.empty() ? "" : ", ", name.c_str(),
                         double(count) / double(queries));
    }
    const double perQuery = double(total) / double(queries);
    results.check("system calls per query (strace -c -f)", format("%.2f", perQuery), "<= 7",
                  perQuery <= 7);
    results.figure("system calls per query, by call", byName);
}

} // namespace

int main(int argc, char** argv)
{
    const long queries = longOption(argc, argv, "--queries", 10000);
    const long idleSeconds = longOption(argc, argv, "--idle-seconds", 30);
    const long straceQueries = longOption(argc, argv, "--strace-queries", 2000);
    Results results(textOption(argc, argv, "--label", "ifreply"));
    const Exchange exchange =
        textOption(argc, argv, "--query", "IF") == "FA" ? faExchange : ifExchange;
    std::vector<std::string> arguments;
    if (const std::string kenwood = textOption(argc, argv, "--kenwood", ""); !kenwood.empty())
        arguments = {"--kenwood", kenwood};

    PtyPair pty;
    RealProgram program(programPath(argc, argv), slavePathOf(pty), arguments);
    program.waitUntilConnected(pty);
    ReplyChecker first(pty);
    const Clock::time_point sentAt = Clock::now();
    writeAll(pty, query);
    first.awaitReply(sentAt, std::chrono::seconds(10));
    const double startMillis = microsBetween(program.startedAt(), Clock::now()) / 1000;
    checkCounts(results, "first reply", first.counts());
    results.figure("start (fork/exec) to first reply", format("%.1f ms", startMillis));

    // The two responders take turns in blocks, so that both meet the same
    // load from whatever else the machine is doing.
    PtyPair floorPty;
    FloorResponder responder(slavePathOf(floorPty), exchange);
    LatencyRun floor(floorPty, exchange);
    LatencyRun real(pty, exchange);
    constexpr long block = 500;
    long long programNanos = 0;
    for (long done = 0; done < queries; done += block) {
        floor.runBlock(std::min(block, queries - done));
        const long long before = cpuNanos(program.pid());
        real.runBlock(std::min(block, queries - done));
        programNanos += cpuNanos(program.pid()) - before;
    }
    floor.report(results, "floor responder");
    real.report(results, "quartzel");
    results.figure("quartzel CPU per reply, all threads (schedstat)",
                   format("%.1f us", double(programNanos) / 1000 / double(queries)));

    const double ratio = real.micros().p50 / floor.micros().p50;
    results.check("p50 quartzel / p50 floor", format("%.2f", ratio), "<= 1.5", ratio <= 1.5);
    results.check("quartzel p99", format("%.1f us", real.micros().p99), "< 1000 us",
                  real.micros().p99 < 1000);
    results.figure("p99 quartzel / p99 floor",
                   format("%.2f", real.micros().p99 / floor.micros().p99));
    results.check("quartzel replies per second", format("%.0f", real.repliesPerSecond()), ">= 5000",
                  real.repliesPerSecond() >= 5000);
    const double rateRatio = real.repliesPerSecond() / floor.repliesPerSecond();
    results.check("replies per second quartzel / floor", format("%.2f", rateRatio), ">= 0.65",
                  rateRatio >= 0.65);

    if (idleSeconds > 0)
        checkIdleConnected(results, program, idleSeconds);
    if (straceQueries > 0)
        checkSyscallsPerQuery(results, program, pty, exchange, straceQueries);
    results.figure("VmRSS connected, after the run", format("%ld kB", vmRssKb(program.pid())));
    checkStop(results, program);
    return results.exitCode();
}
