// SPDX-License-Identifier: GPL-3.0-or-later

// Latency from a byte written to a pty master to the start of the OnRxChar
// handler on the user-interface thread (smThreadSync), against a plain
// blocking read on the same kind of line as the floor.
// Usage: bench_rxlatency [events]   (default 10000)

#include "BCPort.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <semaphore>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

void report(const char* name, const std::vector<double>& micros)
{
    const Percentiles p = percentiles(micros);
    std::printf("%-28s n=%zu  p50 %7.1f  p90 %7.1f  p99 %7.1f  max %8.1f  us\n", name,
                micros.size(), p.p50, p.p90, p.p99, p.max);
}

// The floor: a thread blocked in read() on the raw slave side.
std::vector<double> blockingReadLatency(int events)
{
    PtyPair pty;
    const int slave = ::open(slavePathOf(pty).c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    std::vector<double> micros;
    micros.reserve(std::size_t(events));
    std::atomic<Clock::time_point> sentAt{};
    std::binary_semaphore received{0};
    std::thread reader([&] {
        char byte = 0;
        for (int i = 0; i < events; ++i) {
            if (::read(slave, &byte, 1) != 1)
                break;
            micros.push_back(microsBetween(sentAt.load(), Clock::now()));
            received.release();
        }
    });
    for (int i = 0; i < events; ++i) {
        sentAt = Clock::now();
        writeAll(pty, "x");
        received.acquire();
    }
    reader.join();
    ::close(slave);
    return micros;
}

// The component: writer thread -> pty -> event thread -> hand-off -> handler.
std::vector<double> handlerLatency(int events)
{
    PtyPair pty;
    TBComPort port;
    port.setPort(QString::fromStdString(slavePathOf(pty)));
    std::vector<double> micros;
    micros.reserve(std::size_t(events));
    std::atomic<Clock::time_point> sentAt{};
    std::binary_semaphore handled{0};
    port.OnRxChar = [&](QObject*, int count) {
        micros.push_back(microsBetween(sentAt.load(), Clock::now()));
        QByteArray text;
        port.ReadText(text, count);
        handled.release();
    };
    port.Open();
    std::thread writer([&] {
        for (int i = 0; i < events; ++i) {
            sentAt = Clock::now();
            writeAll(pty, "x");
            handled.acquire();
        }
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    writer.join();
    port.Close();
    return micros;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    // A free-running timer, as the main window has, so the loop is not idle-only.
    QTimer lampTimer;
    lampTimer.start(250);
    report("blocking read (floor)", blockingReadLatency(events));
    report("OnRxChar, smThreadSync", handlerLatency(events));
    return 0;
}
