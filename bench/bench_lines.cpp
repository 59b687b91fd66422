// SPDX-License-Identifier: GPL-3.0-or-later

// Several lines at once, and a line that comes back.
//
// No line waits for another: three pollers ask "IF;" every 500 ms on three
// lines while a fourth line is flooded with 1 MB/s of random bytes that
// never hold the query. Every reply on the quiet lines must be right, and
// their round trips must stay short (p99 at most 5 ms, judged on the median
// of the runs); a run without the flood shows the same pollers alone, and
// after each run, floor responders (a thread for each line that only polls,
// reads and replies) beside the same flood show what the machine's ptys
// allow at the time.
//
// A line that comes back: a line with reconnecting on whose device is a
// socat link. The link is removed (socat ends) and made again, cycle after
// cycle. After each return the line must answer within 1 s; while it waits
// the program must not be woken (wake-ups a second, over --idle-seconds),
// and the descriptors it holds must stay as many as before.
//
// The lines are the real program's (--program PATH, else the one built
// beside), started from its first-start settings (div4 mode at
// 014 070 000 Hz, 9600 bit/s): the first quiet line is the panel's port, the
// others are further lines (--also-port); in the second part the panel's
// port is a pty of its own that nobody polls.
//
// Usage: bench_lines [--only flood|reconnect] [--seconds S] [--runs N]
//                    [--flood-kb-per-second K] [--cycles C] [--idle-seconds I]
//                    [--seed S] [--program PATH]
//        (defaults: both parts, 60 s a run, 3 runs, 1000 kB/s, 20 cycles, 2 s idle)

#include "BenchSupport.h"

#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <thread>

using namespace bench;
using namespace std::chrono_literals;

namespace {

constexpr int quietLines = 3;
constexpr auto pollPeriod = 500ms;

// The program, its panel's port on the first of `paths` and a further line
// on each of the others.
std::unique_ptr<RealProgram> startProgram(int argc, char** argv,
                                          const std::vector<std::string>& paths, bool reconnect)
{
    std::vector<std::string> arguments{"--reconnect", reconnect ? "on" : "off"};
    for (std::size_t i = 1; i < paths.size(); ++i) {
        arguments.push_back("--also-port");
        arguments.push_back(paths[i]);
    }
    return std::make_unique<RealProgram>(programPath(argc, argv), paths.front(), arguments);
}

// ---- Pollers and a flood ----

struct Run
{
    std::vector<double> roundTrips; // microseconds, all quiet lines
    ReplyCounts counts;
    long floodReplies = 0; // bytes the flooded line sent back: none are asked for
    double floodMegabytesPerSecond = 0;
    double cpuShare = 0; // of the lines' process, from schedstat
};

// One poller: a query every period, from `phase` on, until `end`.
void poll(PtyPair& pty, Clock::time_point first, Clock::time_point end, std::vector<double>& trips,
          ReplyCounts& counts)
{
    ReplyChecker checker(pty);
    for (Clock::time_point next = first; next < end; next += pollPeriod) {
        std::this_thread::sleep_until(next);
        const double trip = checker.roundTrip();
        if (trip >= 0)
            trips.push_back(trip);
    }
    checker.finish();
    counts = checker.counts();
}

// Writes `bytesPerSecond` of noise in slices every 10 ms until `end`, and
// takes whatever comes back.
void flood(PtyPair& pty, unsigned seed, long bytesPerSecond, Clock::time_point end, Run& run)
{
    NoiseSource noise(seed);
    const auto slice = std::size_t(bytesPerSecond / 100);
    std::size_t sent = 0;
    std::string back;
    const Clock::time_point start = Clock::now();
    for (Clock::time_point next = start; next < end; next += 10ms) {
        std::this_thread::sleep_until(next);
        writeAll(pty, noise.block(slice));
        sent += slice;
        readAvailable(pty, back);
    }
    run.floodMegabytesPerSecond = double(sent) / 1e6 / (microsBetween(start, Clock::now()) / 1e6);
    run.floodReplies = long(back.size());
}

Run measure(std::vector<std::unique_ptr<PtyPair>>& ptys, pid_t lines, std::chrono::seconds length,
            long floodBytesPerSecond, std::mt19937_64& random)
{
    Run run;
    const Clock::time_point start = Clock::now() + 100ms;
    const Clock::time_point end = start + length;
    const long long cpuBefore = cpuNanos(lines);
    std::vector<std::vector<double>> trips(quietLines);
    std::vector<ReplyCounts> counts(quietLines);
    std::vector<std::thread> pollers;
    std::uniform_int_distribution<int> phaseMs(0, int(pollPeriod.count()) - 1);
    for (int line = 0; line < quietLines; ++line)
        pollers.emplace_back(poll, std::ref(*ptys[std::size_t(line)]),
                             start + std::chrono::milliseconds(phaseMs(random)), end,
                             std::ref(trips[std::size_t(line)]),
                             std::ref(counts[std::size_t(line)]));
    if (floodBytesPerSecond > 0)
        flood(*ptys[quietLines], unsigned(random()), floodBytesPerSecond, end, run);
    for (std::thread& poller : pollers)
        poller.join();
    run.cpuShare = double(cpuNanos(lines) - cpuBefore) / 1e9 / (microsBetween(start, end) / 1e6);
    for (int line = 0; line < quietLines; ++line) {
        const auto& t = trips[std::size_t(line)];
        run.roundTrips.insert(run.roundTrips.end(), t.begin(), t.end());
        const ReplyCounts& c = counts[std::size_t(line)];
        run.counts.replies += c.replies;
        run.counts.wrong += c.wrong;
        run.counts.missing += c.missing;
        run.counts.extra += c.extra;
    }
    return run;
}

std::string describe(const Percentiles& p)
{
    return format("p50 %.0f / p90 %.0f / p99 %.0f / max %.0f us", p.p50, p.p90, p.p99, p.max);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void noLineWaitsForAnother(Results& results, int argc, char** argv)
{
    const long runs = longOption(argc, argv, "--runs", 3);
    const std::chrono::seconds length(longOption(argc, argv, "--seconds", 60));
    const long floodRate = longOption(argc, argv, "--flood-kb-per-second", 1000) * 1000;
    std::mt19937_64 random(unsigned(longOption(argc, argv, "--seed", 1)));

    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::vector<std::string> paths;
    for (int line = 0; line <= quietLines; ++line) {
        ptys.push_back(std::make_unique<PtyPair>());
        paths.push_back(slavePathOf(*ptys.back()));
    }
    const auto lines = startProgram(argc, argv, paths, false);
    for (const auto& pty : ptys)
        lines->waitUntilConnected(*pty);

    const Run alone = measure(ptys, lines->pid(), length, 0, random);
    results.figure(format("three pollers alone, %lld s", (long long)length.count()),
                   describe(percentiles(alone.roundTrips)) +
                       format(" (%zu replies)", alone.roundTrips.size()));
    // The same pollers and flood on ptys that floor responders serve, a
    // thread for each line, run after each run of the program: what this
    // machine's ptys allow at best at much the same time.
    std::vector<std::unique_ptr<PtyPair>> floorPtys;
    std::vector<std::unique_ptr<FloorResponder>> floors;
    for (int line = 0; line <= quietLines; ++line) {
        floorPtys.push_back(std::make_unique<PtyPair>());
        floors.push_back(
            std::make_unique<FloorResponder>(slavePathOf(*floorPtys.back()), ifExchange));
    }
    std::vector<double> p99s;
    std::vector<double> floorP99s;
    ReplyCounts all = alone.counts;
    long floodReplies = 0;
    for (long i = 0; i < runs; ++i) {
        const Run run = measure(ptys, lines->pid(), length, floodRate, random);
        const Percentiles p = percentiles(run.roundTrips);
        p99s.push_back(p.p99);
        results.figure(format("run %ld: three pollers beside the flood", i + 1),
                       describe(p) + format(" (%zu replies); flood %.2f MB/s; lines' CPU %.1f %%",
                                            run.roundTrips.size(), run.floodMegabytesPerSecond,
                                            run.cpuShare * 100));
        all.replies += run.counts.replies;
        all.wrong += run.counts.wrong;
        all.missing += run.counts.missing;
        all.extra += run.counts.extra;
        floodReplies += run.floodReplies;
        const Percentiles floor =
            percentiles(measure(floorPtys, ::getpid(), length, floodRate, random).roundTrips);
        floorP99s.push_back(floor.p99);
        results.figure(format("run %ld: floor responders beside the flood", i + 1),
                       describe(floor));
    }
    results.check("quiet lines' round trip p99 beside the flood, median of the runs",
                  format("%.0f us", median(p99s)), "<= 5000 us", median(p99s) <= 5000);
    results.figure("floor responders' p99 beside the flood, median of the runs",
                   format("%.0f us", median(floorP99s)));
    checkCounts(results, "quiet lines", all);
    results.check("bytes sent back on the flooded line", format("%ld", floodReplies), "0",
                  floodReplies == 0);
    checkStop(results, *lines);
}

// ---- A line that comes back ----

// socat with one end linked at `lineEnd` (the line's device) and the other
// at `pollerEnd`; ended with SIGTERM, it removes both links.
class Socat
{
public:
    Socat(const std::string& lineEnd, const std::string& pollerEnd)
    {
        m_pid = fork();
        if (m_pid == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 2);
            const std::string a = "pty,link=" + lineEnd + ",raw,echo=0";
            const std::string b = "pty,link=" + pollerEnd + ",raw,echo=0";
            ::execlp("socat", "socat", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (m_pid < 0)
            fail("fork failed");
    }
    ~Socat()
    {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    Socat(const Socat&) = delete;
    Socat& operator=(const Socat&) = delete;

private:
    pid_t m_pid = -1;
};

// The threads' wake-ups within `window`.
long long wokenWithin(pid_t pid, std::chrono::milliseconds window)
{
    const long long before = contextSwitches(pid);
    ::poll(nullptr, 0, static_cast<int>(window.count()));
    return contextSwitches(pid) - before;
}

bool exists(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0;
}

// Polls (a benchmark may) until `ready` holds; false after `limit`.
template <class Ready> bool waitFor(Ready ready, std::chrono::milliseconds limit)
{
    const Clock::time_point deadline = Clock::now() + limit;
    while (!ready()) {
        if (Clock::now() > deadline)
            return false;
        ::usleep(200);
    }
    return true;
}

long occurrences(const std::string& text, const std::string& word)
{
    long count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// The time from the link's return to the reply to one query sent then, in
// microseconds; negative when no right reply came within 5 s.
double answeredAfterReturn(const std::string& pollerEnd, Clock::time_point returned)
{
    const int fd = ::open(pollerEnd.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::write(fd, "IF;", 3) != 3)
        fail("cannot ask through " + pollerEnd);
    std::string reply;
    const bool arrived = waitFor(
        [&] {
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                reply.append(buffer, std::size_t(n));
            return reply.size() >= defaultReply.size();
        },
        5s);
    const double micros = microsBetween(returned, Clock::now());
    ::close(fd);
    return arrived && reply == defaultReply ? micros : -1;
}

void lineComesBack(Results& results, int argc, char** argv)
{
    const long cycles = longOption(argc, argv, "--cycles", 20);
    const std::chrono::seconds idle(longOption(argc, argv, "--idle-seconds", 2));
    char pattern[] = "/tmp/quartzel-bench-links-XXXXXX";
    if (!mkdtemp(pattern))
        fail("mkdtemp failed");
    const std::string folder = pattern;
    // The line watches the adapter's folder, which is woken by whatever
    // comes and goes there: the poller's end, gone a moment after the
    // adapter, is kept in a folder of its own.
    const std::string lineEnd = folder + "/by-id/adapter";
    const std::string pollerEnd = folder + "/poller";
    std::filesystem::create_directory(folder + "/by-id");

    // The line starts while its device is missing, and waits for it.
    PtyPair panel;
    const auto lines = startProgram(argc, argv, {slavePathOf(panel), lineEnd}, true);
    const auto notesOf = [&lines] { return occurrences(lines->output(), "waiting for"); };
    if (!waitFor([&] { return notesOf() == 1; }, 30s))
        fail("the line did not say that it waits");

    std::vector<double> returns;
    std::vector<double> wakeUps;
    long answered = 0;
    long fdsWaitingFirst = entriesIn("/proc/" + std::to_string(lines->pid()) + "/fd");
    long fdsWaitingLast = fdsWaitingFirst;
    long fdsOpenFirst = -1;
    long fdsOpenLast = -1;
    for (long cycle = 0; cycle < cycles; ++cycle) {
        {
            const Socat socat(lineEnd, pollerEnd);
            if (!waitFor([&] { return exists(lineEnd) && exists(pollerEnd); }, 10s))
                fail("socat made no links");
            const Clock::time_point returned = Clock::now();
            const double micros = answeredAfterReturn(pollerEnd, returned);
            answered += micros >= 0 && micros <= 1e6;
            returns.push_back(micros);
            fdsOpenLast = entriesIn("/proc/" + std::to_string(lines->pid()) + "/fd");
            if (fdsOpenFirst < 0)
                fdsOpenFirst = fdsOpenLast;
        }
        if (!waitFor([&] { return notesOf() == cycle + 2; }, 10s))
            fail("the line did not say that it waits again");
        // The note goes out as the line sees its device hang up; the removal
        // of socat's link then still wakes the folder's watch once. The wait
        // is measured from the first quiet moment after that.
        if (!waitFor([&] { return wokenWithin(lines->pid(), 300ms) == 0; }, 10s))
            fail("the program did not come to rest after the loss");
        wakeUps.push_back(cpuShareOver(lines->pid(), idle).wakeUpsPerSecond);
        fdsWaitingLast = entriesIn("/proc/" + std::to_string(lines->pid()) + "/fd");
    }
    std::vector<double> answeredMicros;
    for (double micros : returns) {
        if (micros >= 0)
            answeredMicros.push_back(micros);
    }
    const Percentiles p = percentiles(answeredMicros);
    results.check(format("%ld returns of the link: answered within 1 s", cycles),
                  format("%ld of %ld", answered, cycles), format("%ld of %ld", cycles, cycles),
                  answered == cycles);
    results.figure("return of the link to the first reply",
                   format("p50 %.1f / max %.1f ms", p.p50 / 1000, p.max / 1000));
    std::sort(wakeUps.begin(), wakeUps.end());
    results.check(
        format("wake-ups a second while waiting (%lld s a cycle)", (long long)idle.count()),
        format("median %.2f, max %.2f", median(wakeUps), wakeUps.back()), "0", wakeUps.back() == 0);
    results.check("descriptors held, waiting: first -> last cycle; open: first -> last",
                  format("%ld -> %ld; %ld -> %ld", fdsWaitingFirst, fdsWaitingLast, fdsOpenFirst,
                         fdsOpenLast),
                  "flat", fdsWaitingFirst == fdsWaitingLast && fdsOpenFirst == fdsOpenLast);
    checkStop(results, *lines);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv)
{
    Results results("lines");
    const std::string only = textOption(argc, argv, "--only", "");
    if (only.empty() || only == "flood")
        noLineWaitsForAnother(results, argc, argv);
    if (only.empty() || only == "reconnect")
        lineComesBack(results, argc, argv);
    return results.exitCode();
}
