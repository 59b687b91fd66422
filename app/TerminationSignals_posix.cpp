// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler may only write to a descriptor; the notifier reads it
// on the UI thread.
int signalPipe[2] = {-1, -1};

// SIGHUP comes when the terminal that started the program closes; like the
// others it must not leave the line held or the settings unsaved.
constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previousActions[std::size(stopSignals)];

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[0], &byte, 1);
}

void installHandler(int signal, struct sigaction& previous)
{
    sigaction(signal, nullptr, &previous);
    // nohup starts the program with SIGHUP ignored, so that it outlives its
    // terminal; so it stays.
    if (signal == SIGHUP && previous.sa_handler == SIG_IGN)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    for (std::size_t i = 0; i < std::size(stopSignals); ++i)
        installHandler(stopSignals[i], previousActions[i]);
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < std::size(stopSignals); ++i)
        sigaction(stopSignals[i], &previousActions[i], nullptr);
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    if (::read(signalPipe[1], &byte, 1) == 1 && m_onSignal)
        m_onSignal();
}
