// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks that drive the real program share: a pty whose master
// side the benchmark holds, the program started on its slave side, the
// process figures read from /proc, and the check of every reply.

#include "PtyPair.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double microsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

// The reply to "IF;" at the program's default settings: 014 070 000 Hz in
// div4 mode.
inline constexpr std::string_view defaultReply = "IF000035275000010+0000000000010000000;";
inline constexpr std::string_view query = "IF;";

// A query and its reply at the default settings.
struct Exchange
{
    std::string_view query;
    std::string_view reply;
};
inline constexpr Exchange ifExchange{query, defaultReply};
// With the Kenwood profile on: the frequency of VFO A, the same one.
inline constexpr Exchange faExchange{"FA;", "FA00003527500;"};

[[noreturn]] inline void fail(const std::string& what)
{
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(2);
}

// --name VALUE on the command line, or the fallback.
inline long longOption(int argc, char** argv, std::string_view name, long fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i])
            return std::strtol(argv[i + 1], nullptr, 10);
    }
    return fallback;
}

inline std::string textOption(int argc, char** argv, std::string_view name, std::string fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i])
            return argv[i + 1];
    }
    return fallback;
}

// printf-style formatting into a string.
template <class... Args> std::string format(const char* pattern, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// The figures of a run, printed as rows of one Markdown table that
// run_all.sh gathers: | benchmark | figure | value | target | verdict |.
// A missed target or a failed check makes the exit status 1.
class Results
{
public:
    explicit Results(std::string benchmark) : m_benchmark(std::move(benchmark)) {}

    void figure(const std::string& name, const std::string& value) { print(name, value, "", ""); }
    void check(const std::string& name, const std::string& value, const std::string& target,
               bool met)
    {
        m_failed = m_failed || !met;
        print(name, value, target, met ? "met" : "MISSED");
    }
    int exitCode() const { return m_failed ? 1 : 0; }

private:
    void print(const std::string& name, const std::string& value, const std::string& target,
               const char* verdict)
    {
        std::printf("| %s | %s | %s | %s | %s |\n", m_benchmark.c_str(), name.c_str(),
                    value.c_str(), target.c_str(), verdict);
        std::fflush(stdout);
    }

    std::string m_benchmark;
    bool m_failed = false;
};

struct Percentiles
{
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
};

inline Percentiles percentiles(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[std::size_t(q * double(values.size() - 1))]; };
    return {at(0.50), at(0.90), at(0.99), values.back()};
}

// ---- The master side of a pseudo-terminal (PtyPair) ----

// The slave path of a pty the benchmark holds; without a pty the benchmark ends.
inline std::string slavePathOf(const PtyPair& pty)
{
    if (!pty.isValid())
        fail("no pseudo-terminal to be had");
    return pty.slavePath().toStdString();
}

// Writes everything, waiting for room as long as the line takes bytes.
inline void writeAll(PtyPair& pty, std::string_view bytes)
{
    if (!pty.send(bytes))
        fail(std::string("write to pty: ") + std::strerror(errno));
}

// Appends what is there now, without waiting; returns the byte count.
inline std::size_t readAvailable(PtyPair& pty, std::string& into)
{
    const QByteArray bytes = pty.receive();
    into.append(bytes.constData(), std::size_t(bytes.size()));
    return std::size_t(bytes.size());
}

// Reads until `into` holds at least `size` bytes; false at the deadline.
inline bool readUntilSize(PtyPair& pty, std::string& into, std::size_t size,
                          Clock::time_point deadline)
{
    while (into.size() < size) {
        readAvailable(pty, into);
        if (into.size() >= size)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !pty.waitForReceive(int(left.count())))
            return false;
    }
    return true;
}

// The slave's line settings, as the master reads them: the program has
// configured its port once canonical input is off.
inline bool slaveIsRaw(const PtyPair& pty)
{
    termios t{};
    return tcgetattr(pty.master(), &t) == 0 && (t.c_lflag & ICANON) == 0;
}

// ---- The floor ----

// The least a responder can do: a thread that polls the raw slave, reads
// what is there, and writes the reply when the bytes since the last reply
// hold the query.
class FloorResponder
{
public:
    FloorResponder(const std::string& slavePath, const Exchange& exchange)
        : m_exchange(exchange), m_slave(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)),
          m_stop(eventfd(0, EFD_CLOEXEC))
    {
        termios raw{};
        if (m_slave < 0 || m_stop < 0 || tcgetattr(m_slave, &raw) != 0)
            fail("floor responder: cannot open the slave");
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
        m_thread = std::thread([this] { run(); });
    }
    ~FloorResponder()
    {
        const std::uint64_t one = 1;
        if (::write(m_stop, &one, sizeof one) != sizeof one)
            std::perror("floor responder stop");
        m_thread.join();
        ::close(m_stop);
        ::close(m_slave);
    }
    FloorResponder(const FloorResponder&) = delete;
    FloorResponder& operator=(const FloorResponder&) = delete;

private:
    void run()
    {
        std::string pending;
        char buffer[4096];
        pollfd watched[2] = {{m_slave, POLLIN, 0}, {m_stop, POLLIN, 0}};
        while (::poll(watched, 2, -1) > 0 && (watched[1].revents & POLLIN) == 0) {
            const ssize_t n = ::read(m_slave, buffer, sizeof buffer);
            if (n <= 0)
                return;
            pending.append(buffer, std::size_t(n));
            if (pending.find(m_exchange.query) != std::string::npos) {
                pending.clear();
                if (::write(m_slave, m_exchange.reply.data(), m_exchange.reply.size()) < 0)
                    return;
            } else if (pending.size() > 2) {
                pending.erase(0, pending.size() - 2);
            }
        }
    }

    Exchange m_exchange;
    int m_slave = -1;
    int m_stop = -1;
    std::thread m_thread;
};

// ---- Process figures from /proc ----

// User plus system time of all threads, in clock ticks.
inline long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t afterName = line.rfind(')');
    if (afterName == std::string::npos)
        fail("cannot read /proc/" + std::to_string(pid) + "/stat");
    // Fields from the state on: state is field 3, utime 14, stime 15.
    std::istringstream fields(line.substr(afterName + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field)
        fields >> skip;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return utime + stime;
}

// Time on a CPU of all current threads, in nanoseconds (schedstat): finer
// than the clock ticks of /proc/<pid>/stat.
inline long long cpuNanos(pid_t pid)
{
    long long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream schedstat(task.path() / "schedstat");
        long long onCpu = 0;
        if (schedstat >> onCpu)
            total += onCpu;
    }
    return total;
}

// Context switches of all current threads, voluntary and not, from
// /proc/<pid>/task/*/status: each time a thread wakes up and goes back to
// sleep counts one, so over an idle window this counts the wake-ups.
inline long long contextSwitches(pid_t pid)
{
    long long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("voluntary_ctxt_switches:") ||
                line.starts_with("nonvoluntary_ctxt_switches:"))
                total += std::strtoll(line.c_str() + line.find(':') + 1, nullptr, 10);
        }
    }
    return total;
}

inline double ticksToSeconds(long ticks)
{
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

// A line of /proc/<pid>/status such as "VmRSS:", in kB.
inline long statusKb(pid_t pid, std::string_view key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(key))
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    fail("no " + std::string(key) + " for pid " + std::to_string(pid));
}

inline long vmRssKb(pid_t pid)
{
    return statusKb(pid, "VmRSS:");
}
inline long vmHwmKb(pid_t pid)
{
    return statusKb(pid, "VmHWM:");
}

// Starts VmHWM afresh from the current VmRSS (proc(5), clear_refs).
inline void resetPeakRss(pid_t pid)
{
    std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5";
}

inline long entriesIn(const std::string& directory)
{
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

// The UUCP lock files (/var/lock/LCK..*) that name this process as owner;
// other programs' locks come and go on a shared machine and do not count.
inline std::vector<std::string> ownLockFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/var/lock")) {
        const std::string name = entry.path().filename().string();
        long owner = 0;
        if (name.starts_with("LCK..") && (std::ifstream(entry.path()) >> owner) &&
            owner == getpid())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// CPU use of a process over a wall-clock window, as shares of one core:
// from utime + stime, and from schedstat; and its wake-ups per second.
struct CpuShare
{
    double fromStat = 0;
    double fromSchedstat = 0;
    double wakeUpsPerSecond = 0;
};

inline CpuShare cpuShareOver(pid_t pid, std::chrono::milliseconds window)
{
    const long ticksBefore = cpuTicks(pid);
    const long long nanosBefore = cpuNanos(pid);
    const long long switchesBefore = contextSwitches(pid);
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < window)
        ::poll(nullptr, 0, 100);
    const double wall = microsBetween(start, Clock::now()) / 1e6;
    return {ticksToSeconds(cpuTicks(pid) - ticksBefore) / wall,
            double(cpuNanos(pid) - nanosBefore) / 1e9 / wall,
            double(contextSwitches(pid) - switchesBefore) / wall};
}

// Checks an idle share against 0.1 % of a core; the finer schedstat figure
// is shown beside the one from utime + stime (10 ms ticks).
inline void checkIdle(Results& results, const std::string& name, const CpuShare& share)
{
    results.check(name,
                  format("%.3f %% of a core (schedstat %.4f %%)", share.fromStat * 100,
                         share.fromSchedstat * 100),
                  "< 0.1 %", share.fromStat < 0.001);
}

// ---- System calls ----

// Counts the system calls of a running process, all its threads, with
// strace -c -f from construction to stop().
class SyscallCount
{
public:
    explicit SyscallCount(pid_t traced) : m_traced(traced)
    {
        char pattern[] = "/tmp/quartzel-strace-XXXXXX";
        const int file = mkstemp(pattern);
        if (file < 0)
            fail("mkstemp failed");
        ::close(file);
        m_output = pattern;
        const std::string pid = std::to_string(traced);
        m_strace = fork();
        if (m_strace < 0)
            fail("fork failed");
        if (m_strace == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 2);
            ::execlp("strace", "strace", "-c", "-f", "-p", pid.c_str(), "-o", m_output.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (!allThreadsTraced()) {
            if (Clock::now() > deadline)
                fail("strace did not attach within 10 s (is it installed?)");
            ::usleep(1000); // waiting for another process to attach
        }
    }
    ~SyscallCount() { std::filesystem::remove(m_output); }
    SyscallCount(const SyscallCount&) = delete;
    SyscallCount& operator=(const SyscallCount&) = delete;

    // Detaches strace; the calls by name.
    std::map<std::string, long> stop()
    {
        ::kill(m_strace, SIGINT);
        int status = 0;
        ::waitpid(m_strace, &status, 0);
        // Rows: % time, seconds, usecs/call, calls, [errors,] name; then "total".
        std::map<std::string, long> calls;
        std::ifstream summary(m_output);
        std::string line;
        while (std::getline(summary, line)) {
            std::istringstream words(line);
            std::vector<std::string> fields;
            for (std::string word; words >> word;)
                fields.push_back(word);
            if (fields.size() >= 5 && std::isdigit(static_cast<unsigned char>(fields[0][0])) &&
                fields.back() != "total")
                calls[fields.back()] += std::strtol(fields[3].c_str(), nullptr, 10);
        }
        return calls;
    }

private:
    bool allThreadsTraced() const
    {
        const std::string tasks = "/proc/" + std::to_string(m_traced) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream status(task.path() / "status");
            std::string line;
            while (std::getline(status, line)) {
                if (line.starts_with("TracerPid:") &&
                    std::strtol(line.c_str() + 10, nullptr, 10) == 0)
                    return false;
            }
        }
        return true;
    }

    pid_t m_traced = -1;
    pid_t m_strace = -1;
    std::string m_output;
};

// ---- The real program on the slave side of a pty ----

// The program is copied into a directory of its own for each run, so that
// its quartzel.ini (the defaults at start, written at close) touches no other run.
class RealProgram
{
public:
    // The program on `port`, connected at start.
    RealProgram(const std::string& executable, const std::string& port,
                const std::vector<std::string>& moreArguments = {})
    {
        std::vector<std::string> arguments{"--port", port, "--connect"};
        arguments.insert(arguments.end(), moreArguments.begin(), moreArguments.end());
        start(executable, arguments);
    }
    ~RealProgram()
    {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
    }
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    pid_t pid() const { return m_pid; }
    Clock::time_point startedAt() const { return m_startedAt; }
    // What the program has saved in its quartzel.ini; empty when nothing.
    std::string savedSettings() const
    {
        std::ifstream file(m_directory + "/quartzel.ini");
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    // What the program has written to its standard output and error so far.
    std::string output() const
    {
        std::ifstream file(m_directory + "/output.log");
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    // Waits until the program has configured the port (see slaveIsRaw).
    void waitUntilConnected(const PtyPair& pty)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
        while (!slaveIsRaw(pty)) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                fail("the program ended before it connected (see its output)");
            }
            if (Clock::now() > deadline)
                fail("the program did not connect within 30 s");
            ::usleep(100); // a timing loop: the resolution of the start-up figure
        }
    }

    // SIGTERM closes the window cleanly; returns the exit status.
    int stop()
    {
        if (m_pid <= 0)
            return -1;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    // The program is copied into a directory of its own, whose output.log
    // gets its standard output and error.
    void start(const std::string& executable, const std::vector<std::string>& arguments)
    {
        char pattern[] = "/tmp/quartzel-bench-XXXXXX";
        if (!mkdtemp(pattern))
            fail("mkdtemp failed");
        m_directory = pattern;
        const std::string copy = m_directory + "/quartzel";
        std::filesystem::copy_file(executable, copy);
        const std::string log = m_directory + "/output.log";
        std::vector<const char*> argv{copy.c_str()};
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        m_startedAt = Clock::now();
        m_pid = fork();
        if (m_pid < 0)
            fail("fork failed");
        if (m_pid == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execv(copy.c_str(), const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
    }

    std::string m_directory;
    pid_t m_pid = -1;
    Clock::time_point m_startedAt;
};

// The program built beside the benchmarks, or --program PATH.
inline std::string programPath(int argc, char** argv)
{
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    return textOption(argc, argv, "--program",
                      (self.parent_path().parent_path() / "app" / "quartzel").string());
}

// ---- Checking replies ----

struct ReplyCounts
{
    long replies = 0;
    long wrong = 0;
    long missing = 0;
    long extra = 0;
};

// Checks the byte stream that comes back: after each query exactly one
// reply, byte for byte. Bytes that arrive while no reply is awaited, or
// beyond the awaited one, are extra replies (counted per started reply length).
class ReplyChecker
{
public:
    explicit ReplyChecker(PtyPair& pty, std::string_view expected = defaultReply)
        : m_pty(pty), m_expected(expected)
    {
    }
    ReplyChecker(PtyPair& pty, const Exchange& exchange)
        : m_pty(pty), m_query(exchange.query), m_expected(exchange.reply)
    {
    }

    // Counts whatever arrived unasked since the last reply.
    void takeStrayBytes()
    {
        std::string stray;
        if (readAvailable(m_pty, stray) > 0)
            countExtra(stray.size());
    }

    // Waits for one reply to a query sent at `sentAt`; returns the round
    // trip in microseconds, or a negative value when it went missing.
    double awaitReply(Clock::time_point sentAt,
                      std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        std::string received;
        const bool arrived = readUntilSize(m_pty, received, m_expected.size(), sentAt + timeout);
        const double micros = microsBetween(sentAt, Clock::now());
        if (!arrived) {
            ++m_counts.missing;
            if (!received.empty())
                ++m_counts.wrong;
            return -1;
        }
        ++m_counts.replies;
        if (std::string_view(received).substr(0, m_expected.size()) != m_expected)
            ++m_counts.wrong;
        if (received.size() > m_expected.size())
            countExtra(received.size() - m_expected.size());
        return micros;
    }

    // One query and its reply; the round trip in microseconds (negative: missing).
    double roundTrip()
    {
        takeStrayBytes();
        const Clock::time_point sentAt = Clock::now();
        writeAll(m_pty, m_query);
        return awaitReply(sentAt);
    }

    // At the end of a run: anything that still arrives within `grace` is extra.
    void finish(std::chrono::milliseconds grace = std::chrono::milliseconds(300))
    {
        std::string late;
        readUntilSize(m_pty, late, 1, Clock::now() + grace);
        readAvailable(m_pty, late);
        if (!late.empty())
            countExtra(late.size());
    }

    const ReplyCounts& counts() const { return m_counts; }

private:
    void countExtra(std::size_t bytes)
    {
        m_counts.extra += long((bytes + m_expected.size() - 1) / m_expected.size());
    }

    PtyPair& m_pty;
    std::string m_query{query};
    std::string m_expected;
    ReplyCounts m_counts;
};

// The reply counts as one checked row: every one of them must be 0.
inline void checkCounts(Results& results, const std::string& name, const ReplyCounts& c)
{
    results.check(name + ": wrong / missing / extra replies",
                  format("%ld / %ld / %ld (of %ld)", c.wrong, c.missing, c.extra, c.replies),
                  "0 / 0 / 0", c.wrong == 0 && c.missing == 0 && c.extra == 0);
}

// Stops the program with SIGTERM; it must end cleanly.
inline void checkStop(Results& results, RealProgram& program)
{
    const int status = program.stop();
    results.check("exit status after SIGTERM", format("%d", status), "0", status == 0);
}

// The real program connected to a fresh pty and past its first reply, which
// shows that start-up is complete.
struct ConnectedProgram
{
    ConnectedProgram(int argc, char** argv)
        : program(programPath(argc, argv), slavePathOf(pty)), checker(pty)
    {
        program.waitUntilConnected(pty);
        checker.roundTrip();
    }

    // The counts since the start-up reply.
    ReplyCounts counts() const
    {
        ReplyCounts c = checker.counts();
        c.replies -= 1;
        return c;
    }

    PtyPair pty;
    RealProgram program;
    ReplyChecker checker;
};

// ---- Random line noise ----

// Random bytes, NUL included, that never hold "IF;": a ';' that would
// complete the query becomes ':'. The last two bytes carry the check across calls,
// so that consecutive blocks are free of the query where they meet too.
class NoiseSource
{
public:
    explicit NoiseSource(unsigned seed) : m_random(seed) {}

    std::string block(std::size_t size)
    {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; i += 8) {
            const std::uint64_t word = m_random();
            std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
        }
        for (char& c : bytes) {
            if (c == ';' && m_beforeLast == 'I' && m_last == 'F')
                c = ':';
            m_beforeLast = std::exchange(m_last, c);
        }
        return bytes;
    }

    // Forgets the carried bytes, for a block that will not follow the last one.
    void restart() { m_beforeLast = m_last = ' '; }

    std::mt19937_64& random() { return m_random; }

private:
    std::mt19937_64 m_random;
    char m_beforeLast = ' ';
    char m_last = ' ';
};

} // namespace bench
