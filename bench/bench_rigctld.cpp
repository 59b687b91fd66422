// SPDX-License-Identifier: GPL-3.0-or-later

// Round trips of Hamlib's network rig protocol: a client on the loopback
// interface sends "f" (read the dial) or "F <Hz>" (set it) and waits for the
// whole answer, in sequence, against the real program (--rigctld) and, in
// the same run, against Hamlib's own rigctld with its dummy rig (model 1).
// The two servers take turns in blocks of 100 requests, so that the load of
// the machine falls on both alike. Every answer is checked.
//
// Usage: bench_rigctld [--requests N] [--program PATH] [--rigctld PATH]
//        (default 2000 requests of each kind per server; rigctld's dummy
//        rig takes some 20 ms for each set)

#include "BenchSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>

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
    const std::uint16_t ourPort = freePort();
    const std::uint16_t dummyPort = freePort();
    PtyPair pty;
    RealProgram program(programPath(argc, argv), slavePathOf(pty),
                        {"--rigctld", "127.0.0.1:" + std::to_string(ourPort)});
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
