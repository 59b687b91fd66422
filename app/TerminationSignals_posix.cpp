// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include <QMetaObject>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
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

// While the UI thread has not taken a request, `onPending` runs again this often.
constexpr int pendingRepeatMs = 100;

extern "C" void onTerminationSignal(int)
{
    // A full pipe means a request is pending already; the byte is not needed.
    // The code that the signal interrupted keeps its errno.
    const int interruptedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[0], &byte, 1);
    errno = interruptedErrno;
}

bool openSignalPipe()
{
    return signalPipe[0] >= 0 ||
           ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) == 0;
}

// True when there was anything to read.
bool drainSignalPipe()
{
    char bytes[256];
    bool any = false;
    while (::read(signalPipe[1], bytes, sizeof bytes) > 0)
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

TerminationSignals::TerminationSignals(std::function<void()> onSignal,
                                       std::function<void()> onPending, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)), m_onPending(std::move(onPending))
{
    setAction(SIGXFSZ, SIG_IGN);
    if (!openSignalPipe())
        return;
    // What an earlier instance of this process left unread is no request to this one.
    drainSignalPipe();
    for (const int signal : stopSignals)
        installHandler(signal);
    m_watcher = std::thread([this] { watch(); });
}

TerminationSignals::~TerminationSignals()
{
    ignoreLaterSignals();
}

void TerminationSignals::ignoreLaterSignals()
{
    for (const int signal : stopSignals)
        setAction(signal, SIG_IGN);
    if (!m_watcher.joinable())
        return;
    m_quit = true;
    const char wake = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[0], &wake, 1);
    m_watcher.join();
}

void TerminationSignals::watch()
{
    for (;;) {
        pollfd readable{signalPipe[1], POLLIN, 0};
        const int ready = ::poll(&readable, 1, m_uiCallPosted ? pendingRepeatMs : -1);
        if (m_quit)
            return;
        if ((ready > 0 && drainSignalPipe()) || (ready == 0 && m_uiCallPosted))
            passOn();
    }
}

void TerminationSignals::passOn()
{
    if (m_onPending)
        m_onPending();
    if (m_uiCallPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_uiCallPosted = false;
            if (m_onSignal)
                m_onSignal();
        },
        Qt::QueuedConnection);
}
