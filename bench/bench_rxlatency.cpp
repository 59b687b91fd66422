// Latency from a byte written to a pty master to the start of the OnRxChar
// handler on the user-interface thread (smThreadSync), against a plain
// blocking read on the same kind of line as the floor.
// Usage: bench_rxlatency [events]   (default 10000)

#include "BCPort.h"

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

using Clock = std::chrono::steady_clock;

struct Pty
{
    int master = -1;
    QString slavePath;

    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            std::perror("pty");
            std::exit(1);
        }
        slavePath = QString::fromLocal8Bit(ptsname(master));
    }
    ~Pty() { ::close(master); }
    void sendByte() const
    {
        const char byte = 'x';
        if (::write(master, &byte, 1) != 1)
            std::perror("write");
    }
};

void report(const char* name, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[std::size_t(q * double(micros.size() - 1))]; };
    std::printf("%-28s n=%zu  p50 %7.1f  p90 %7.1f  p99 %7.1f  max %8.1f  us\n", name,
                micros.size(), at(0.5), at(0.9), at(0.99), micros.back());
}

double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The floor: a thread blocked in read() on the raw slave side.
std::vector<double> blockingReadLatency(int events)
{
    Pty pty;
    const int slave = ::open(pty.slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
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
            micros.push_back(microsSince(sentAt.load()));
            received.release();
        }
    });
    for (int i = 0; i < events; ++i) {
        sentAt = Clock::now();
        pty.sendByte();
        received.acquire();
    }
    reader.join();
    ::close(slave);
    return micros;
}

// The component: writer thread -> pty -> event thread -> hand-off -> handler.
std::vector<double> handlerLatency(int events)
{
    Pty pty;
    TBComPort port;
    port.setPort(pty.slavePath);
    std::vector<double> micros;
    micros.reserve(std::size_t(events));
    std::atomic<Clock::time_point> sentAt{};
    std::binary_semaphore handled{0};
    port.OnRxChar = [&](QObject*, int count) {
        micros.push_back(microsSince(sentAt.load()));
        QByteArray text;
        port.ReadText(text, count);
        handled.release();
    };
    port.Open();
    std::thread writer([&] {
        for (int i = 0; i < events; ++i) {
            sentAt = Clock::now();
            pty.sendByte();
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
