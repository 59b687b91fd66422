// SPDX-License-Identifier: GPL-3.0-or-later

// Hamlib's network rig protocol against the real program (--rigctld).
//
// First the line under network load: the device's "IF;" round trip on the
// pty while no client is connected, then while many clients on the
// loopback interface pipeline "f" as fast as they can. The line must not
// wait for them: the reply's p99 stays within 5 ms and its median within
// five times the idle one, and every client is still served. Every reply
// and every answer is checked.
//
// Then round trips: a client sends "f" (read the dial) or "F <Hz>" (set it)
// and waits for the whole answer, in sequence, against the real program
// and, in the same run, against Hamlib's own rigctld with its dummy rig
// (model 1). The two servers take turns in blocks of 100 requests, so that
// the load of the machine falls on both alike.
//
// Usage: bench_rigctld [--requests N] [--clients N] [--depth N]
//                      [--line-queries N] [--program PATH] [--rigctld PATH]
//        (defaults: 2000 requests of each kind per server, rigctld's dummy
//        rig taking some 20 ms for each set; 60 clients with up to 4096
//        requests each awaiting answers; 2000 queries on the line idle and
//        as many under load)

#include "BenchSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace bench;

namespace {

constexpr long Block = 100;

std::uint16_t freePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail("no free port");
    ::close(probe);
    return ntohs(address.sin_port);
}

// A blocking client with Nagle off, as Hamlib's own client is.
class Client
{
public:
    explicit Client(std::uint16_t port)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
        while (!tryConnect(port)) {
            if (Clock::now() > deadline)
                fail("nothing listens on port " + std::to_string(port));
            ::poll(nullptr, 0, 10); // the server is still starting
        }
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { ::close(m_fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int fd() const { return m_fd; }

    // Sends a request, reads its answer; the round trip in microseconds.
    double ask(const std::string& request, const std::string& expected)
    {
        const Clock::time_point sentAt = Clock::now();
        if (::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
            fail("send failed");
        std::string answer;
        char buffer[256];
        while (answer.size() < expected.size()) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                fail("connection closed after " + request);
            answer.append(buffer, std::size_t(n));
        }
        const double micros = microsBetween(sentAt, Clock::now());
        if (answer != expected)
            fail("'" + request + "' was answered '" + answer + "', not '" + expected + "'");
        return micros;
    }

private:
    bool tryConnect(std::uint16_t port)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }

    int m_fd = -1;
};

// One client that pipelines "f": it keeps up to `depth` requests awaiting
// their answers, which it reads as they come and checks byte for byte.
class Pipeline
{
public:
    Pipeline(std::uint16_t port, long depth, std::string_view answer)
        : m_client(port), m_depth(depth), m_answer(answer)
    {
        ::fcntl(m_client.fd(), F_SETFL, ::fcntl(m_client.fd(), F_GETFL) | O_NONBLOCK);
    }

    int fd() const { return m_client.fd(); }
    long answers() const { return m_answers.load(std::memory_order_relaxed); }
    bool hasRoom() const { return m_sentBytes < allowedBytes(); }

    // Sends requests up to the depth; an error text, or empty.
    std::string send(const std::string& requests)
    {
        const std::size_t offset = std::size_t(m_sentBytes % 2); // inside a request
        const std::size_t size = std::size_t(allowedBytes() - m_sentBytes);
        const ssize_t n = ::send(fd(), requests.data() + offset, size, MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN ? std::string() : std::string("send: ") + std::strerror(errno);
        m_sentBytes += n;
        return {};
    }

    // Reads and checks what has arrived; an error text, or empty.
    std::string receive()
    {
        char buffer[64 * 1024];
        const ssize_t n = ::recv(fd(), buffer, sizeof buffer, 0);
        if (n == 0)
            return "disconnected by the server";
        if (n < 0)
            return errno == EAGAIN ? std::string() : std::string("recv: ") + std::strerror(errno);
        long completed = 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != m_answer[m_answerOffset])
                return "a wrong answer to \"f\"";
            if (++m_answerOffset == m_answer.size()) {
                m_answerOffset = 0;
                ++completed;
            }
        }
        m_answers.fetch_add(completed, std::memory_order_relaxed);
        return {};
    }

private:
    // Each request is "f\n": two bytes.
    long allowedBytes() const { return 2 * (answers() + m_depth); }

    Client m_client;
    long m_depth;
    std::string_view m_answer;
    long m_sentBytes = 0;
    std::size_t m_answerOffset = 0;
    std::atomic<long> m_answers{0};
};

// Clients that pipeline "f" on a thread of their own, from construction to
// stop().
class PipeliningClients
{
public:
    PipeliningClients(std::uint16_t port, long count, long depth, std::string_view answer)
    {
        for (long i = 0; i < depth; ++i)
            m_requests += "f\n";
        for (long i = 0; i < count; ++i)
            m_clients.push_back(std::make_unique<Pipeline>(port, depth, answer));
        m_thread = std::thread([this] { run(); });
    }
    ~PipeliningClients() { stop(); }
    PipeliningClients(const PipeliningClients&) = delete;
    PipeliningClients& operator=(const PipeliningClients&) = delete;

    // The first error of any client, or empty.
    std::string stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_error;
    }

    // Waits until each client has had an answer; false at the deadline.
    bool awaitEachServed() const
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
        while (std::ranges::min(answers()) == 0) {
            if (Clock::now() > deadline)
                return false;
            ::poll(nullptr, 0, 10); // the clients are starting
        }
        return true;
    }

    // The answers so far, client by client.
    std::vector<long> answers() const
    {
        std::vector<long> counts;
        for (const auto& client : m_clients)
            counts.push_back(client->answers());
        return counts;
    }

private:
    void run()
    {
        std::vector<pollfd> polled(m_clients.size());
        while (!m_stop && m_error.empty()) {
            for (std::size_t i = 0; i < m_clients.size(); ++i) {
                const short out = m_clients[i]->hasRoom() ? POLLOUT : 0;
                polled[i] = {m_clients[i]->fd(), short(POLLIN | out), 0};
            }
            if (::poll(polled.data(), polled.size(), 100) < 0 && errno != EINTR)
                m_error = std::string("poll: ") + std::strerror(errno);
            for (std::size_t i = 0; i < m_clients.size() && m_error.empty(); ++i) {
                if (polled[i].revents & (POLLIN | POLLERR | POLLHUP))
                    m_error = m_clients[i]->receive();
                if (m_error.empty() && (polled[i].revents & POLLOUT))
                    m_error = m_clients[i]->send(m_requests);
                if (!m_error.empty())
                    m_error = format("client %zu: %s", i, m_error.c_str());
            }
        }
    }

    std::string m_requests;
    std::vector<std::unique_ptr<Pipeline>> m_clients;
    std::atomic<bool> m_stop{false};
    std::string m_error; // written by the thread, read after it has ended
    std::thread m_thread;
};

// The line's round trips, with a poller's pause of 1 ms between queries.
std::vector<double> lineRoundTrips(ReplyChecker& checker, long queries)
{
    std::vector<double> micros;
    for (long i = 0; i < queries; ++i) {
        const double roundTrip = checker.roundTrip();
        if (roundTrip >= 0)
            micros.push_back(roundTrip);
        ::poll(nullptr, 0, 1);
    }
    return micros;
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string p50p90p99(const Percentiles& p)
{
    return format("%.1f / %.1f / %.1f us", p.p50, p.p90, p.p99);
}

// The line idle, then under the pipelining clients; the dial is at the
// default (14 070 000 Hz), so "f" is answered "14070000".
void measureLineUnderLoad(Results& results, ReplyChecker& checker, std::uint16_t port, int argc,
                          char** argv)
{
    const long clients = longOption(argc, argv, "--clients", 60);
    const long queries = longOption(argc, argv, "--line-queries", 2000);
    const std::string loaded = format("line with %ld clients", clients);
    const Percentiles idle = percentiles(lineRoundTrips(checker, queries));
    results.figure("line idle p50 / p90 / p99", p50p90p99(idle));

    PipeliningClients load(port, clients, longOption(argc, argv, "--depth", 4096), "14070000\n");
    if (!load.awaitEachServed())
        fail("a pipelining client had no answer within 30 s");
    const std::vector<long> before = load.answers();
    const Clock::time_point start = Clock::now();
    const Percentiles busy = percentiles(lineRoundTrips(checker, queries));
    const double seconds = microsBetween(start, Clock::now()) / 1e6;
    std::vector<long> served = load.answers();
    const std::string error = load.stop();
    for (std::size_t i = 0; i < served.size(); ++i)
        served[i] -= before[i];
    const auto [fewest, most] = std::ranges::minmax(served);
    long answers = 0;
    for (const long n : served)
        answers += n;

    results.figure(loaded + " p50 / p90 / p99", p50p90p99(busy));
    results.check(loaded + " p99", format("%.1f us", busy.p99), "<= 5000 us", busy.p99 <= 5000);
    const double ratio = busy.p50 / idle.p50;
    results.check(loaded + " p50 / idle p50", format("%.2f", ratio), "<= 5", ratio <= 5);
    checkCounts(results, "line", checker.counts());
    results.figure(format("answers to the %ld clients per second", clients),
                   format("%.0f", double(answers) / seconds));
    results.check("answers per client meanwhile, fewest / most", format("%ld / %ld", fewest, most),
                  "> 0", fewest > 0);
    results.check("client errors", error.empty() ? "none" : error, "none", error.empty());
}

// Hamlib's rigctld with the dummy rig, for the life of the object.
class DummyRigctld
{
public:
    DummyRigctld(const std::string& executable, std::uint16_t port)
    {
        const std::string portText = std::to_string(port);
        const char* arguments[] = {executable.c_str(), "-m",   "1", "-T", "127.0.0.1", "-t",
                                   portText.c_str(),   nullptr};
        if (::posix_spawnp(&m_pid, executable.c_str(), nullptr, nullptr,
                           const_cast<char* const*>(arguments), environ) != 0)
            fail("cannot start " + executable);
    }
    ~DummyRigctld()
    {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    DummyRigctld(const DummyRigctld&) = delete;
    DummyRigctld& operator=(const DummyRigctld&) = delete;

private:
    pid_t m_pid = -1;
};

// The round trips of one server, per request kind.
struct Server
{
    explicit Server(std::uint16_t port) : client(port) {}

    // One block of requests: reads, or sets that alternate between two
    // frequencies so that each one changes the dial.
    void runBlock(bool setting, long first)
    {
        for (long i = first; i < first + Block; ++i) {
            const std::string hertz = i % 2 == 0 ? "7074000" : "14074000";
            if (setting) {
                sets.push_back(client.ask("F " + hertz + "\n", "RPRT 0\n"));
                dial = hertz;
            } else {
                reads.push_back(client.ask("f\n", dial + "\n"));
            }
        }
    }

    Client client;
    std::string dial;
    std::vector<double> reads;
    std::vector<double> sets;
};

void report(Results& results, const char* kind, const std::vector<double>& ours,
            const std::vector<double>& dummy)
{
    const Percentiles q = percentiles(ours);
    const Percentiles d = percentiles(dummy);
    results.figure(format("%s quartzel p50 / p99", kind), format("%.1f / %.1f us", q.p50, q.p99));
    results.figure(format("%s rigctld -m 1 p50 / p99", kind),
                   format("%.1f / %.1f us", d.p50, d.p99));
    const double ratio = q.p50 / d.p50;
    results.check(format("%s p50 quartzel / p50 rigctld -m 1", kind), format("%.2f", ratio),
                  "<= 1.5", ratio <= 1.5);
    results.figure(format("%s p99 quartzel / p99 rigctld -m 1", kind),
                   format("%.2f", q.p99 / d.p99));
}

} // namespace

int main(int argc, char** argv)
{
    const long requests = longOption(argc, argv, "--requests", 2000);
    Results results("rigctld");
    results.figure("load average at start", loadAverage());
    const std::uint16_t ourPort = freePort();
    PtyPair pty;
    RealProgram program(programPath(argc, argv), slavePathOf(pty),
                        {"--rigctld", "127.0.0.1:" + std::to_string(ourPort)});
    program.waitUntilConnected(pty);
    ReplyChecker checker(pty);
    checker.roundTrip(); // start-up is complete
    measureLineUnderLoad(results, checker, ourPort, argc, argv);
    results.figure("load average after the line's runs", loadAverage());

    const std::uint16_t dummyPort = freePort();
    const DummyRigctld dummyServer(textOption(argc, argv, "--rigctld", "rigctld"), dummyPort);
    Server ours(ourPort);
    Server dummy(dummyPort);
    // Both start from the same dial, read back by the first block.
    ours.runBlock(true, 0);
    dummy.runBlock(true, 0);
    ours.sets.clear();
    dummy.sets.clear();
    for (long done = 0; done < requests; done += Block) {
        for (const bool setting : {false, true}) {
            ours.runBlock(setting, done);
            dummy.runBlock(setting, done);
        }
    }
    report(results, "f", ours.reads, dummy.reads);
    report(results, "F", ours.sets, dummy.sets);
    results.figure("VmRSS of quartzel after the run", format("%ld kB", vmRssKb(program.pid())));
    return results.exitCode();
}
