// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include "Application.h"
#include "TerminationSignalsWatch.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The signal handler may only write to a descriptor: it writes [0], the
// watching thread reads [1]. Both ends never block. The pair is made once and
// kept for the life of the process, so that a handler still running on some
// thread never writes to a descriptor that was closed and reused.
int signalPipe[2] = {-1, -1};

// SIGHUP comes when the terminal that started the program closes; like the
// others it must not leave the line held or the settings unsaved.
constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

bool openPipe(int (&ends)[2])
{
    return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) == 0;
}

// Never blocks: a full pipe means a wake-up is pending already.
void wake(int end)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(end, &byte, 1);
}

extern "C" void onTerminationSignal(int)
{
    // The code that the signal interrupted keeps its errno.
    const int interruptedErrno = errno;
    wake(signalPipe[0]);
    errno = interruptedErrno;
}

// True when there was anything to read.
bool drain(int end)
{
    char bytes[256];
    bool any = false;
    while (::read(end, bytes, sizeof bytes) > 0)
        any = true;
    return any;
}

void setAction(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void installHandler(int signal)
{
    struct sigaction previous = {};
    sigaction(signal, nullptr, &previous);
    // nohup starts the program with SIGHUP ignored, so that it outlives its
    // terminal; so it stays.
    if (signal == SIGHUP && previous.sa_handler == SIG_IGN)
        return;
    setAction(signal, onTerminationSignal);
}

} // namespace

class TerminationSignals::SystemWatch final : public TerminationSignals::Watch
{
public:
    SystemWatch(QObject* owner, std::function<void()> onSignal, std::function<void()> onPending);
    ~SystemWatch() override;

    void ignoreLaterSignals() override;

private:
    void wakeUiThread() override;
    void watch();

    // The watching thread wakes the UI thread through [0], a notifier reads [1].
    int m_uiWake[2] = {-1, -1};
    QSocketNotifier* m_uiNotifier = nullptr;
    std::atomic<bool> m_quit = false;
    std::thread m_watcher;
};

std::unique_ptr<TerminationSignals::Watch>
TerminationSignals::startWatch(QObject* owner, std::function<void()> onSignal,
                               std::function<void()> onPending)
{
    return std::make_unique<SystemWatch>(owner, std::move(onSignal), std::move(onPending));
}

TerminationSignals::SystemWatch::SystemWatch(QObject* owner, std::function<void()> onSignal,
                                             std::function<void()> onPending)
    : Watch(std::move(onSignal), std::move(onPending))
{
    setAction(SIGXFSZ, SIG_IGN);
    if ((signalPipe[0] < 0 && !openPipe(signalPipe)) || !openPipe(m_uiWake))
        return;
    // What an earlier instance of this process left unread is no request to this one.
    drain(signalPipe[1]);
    m_uiNotifier = new QSocketNotifier(m_uiWake[1], QSocketNotifier::Read, owner);
    // A request that comes after the drain is served by the call that follows.
    QObject::connect(m_uiNotifier, &QSocketNotifier::activated, owner, [this] {
        drain(m_uiWake[1]);
        takeRequests();
    });
    for (const int signal : stopSignals)
        installHandler(signal);
    m_watcher = std::thread([this] { watch(); });
}

TerminationSignals::SystemWatch::~SystemWatch()
{
    ignoreLaterSignals();
    delete m_uiNotifier;
    for (const int end : m_uiWake) {
        if (end >= 0)
            ::close(end);
    }
}

void TerminationSignals::SystemWatch::ignoreLaterSignals()
{
    for (const int signal : stopSignals)
        setAction(signal, SIG_IGN);
    if (!m_watcher.joinable())
        return;
    m_quit = true;
    wake(signalPipe[0]);
    m_watcher.join();
}

void TerminationSignals::SystemWatch::watch()
{
    for (;;) {
        pollfd readable{signalPipe[1], POLLIN, 0};
        const int timeout = uiCallPending() ? int(PendingRepeat.count()) : -1;
        const int ready = ::poll(&readable, 1, timeout);
        if (m_quit)
            return;
        if ((ready > 0 && drain(signalPipe[1])) || (ready == 0 && uiCallPending()))
            passOn();
    }
}

void TerminationSignals::SystemWatch::wakeUiThread()
{
    wake(m_uiWake[0]);
}

void reportStopFailure()
{
    logCurrentException();
}
