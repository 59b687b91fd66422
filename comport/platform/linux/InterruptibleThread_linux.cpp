// SPDX-License-Identifier: GPL-3.0-or-later

#include "InterruptibleThread_linux.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <mutex>

namespace serial::detail {

namespace {

constexpr int wakeSignal = SIGUSR2;
constexpr long retryNanoseconds = 10'000'000;

void ignoreWakeSignal(int) {}

// Without SA_RESTART the interrupted call returns EINTR instead of being
// restarted and blocking again.
void installWakeHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_handler = ignoreWakeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(wakeSignal, &action, nullptr);
    });
}

timespec retryDeadline()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    t.tv_nsec += retryNanoseconds;
    if (t.tv_nsec >= 1'000'000'000) {
        t.tv_nsec -= 1'000'000'000;
        ++t.tv_sec;
    }
    return t;
}

} // namespace

InterruptibleThread::InterruptibleThread(Body body) : m_body(std::move(body))
{
    installWakeHandler();
    m_started = pthread_create(&m_thread, nullptr, &InterruptibleThread::run, this) == 0;
}

InterruptibleThread::~InterruptibleThread()
{
    stop();
}

void* InterruptibleThread::run(void* self)
{
    // Only the wake signal may land here; the process's other signals go to its own threads.
    sigset_t signals;
    sigfillset(&signals);
    sigdelset(&signals, wakeSignal);
    pthread_sigmask(SIG_SETMASK, &signals, nullptr);
    auto* thread = static_cast<InterruptibleThread*>(self);
    thread->m_body(thread->m_stopping);
    return nullptr;
}

void InterruptibleThread::stop()
{
    if (!m_started)
        return;
    m_stopping = true;
    // A signal that lands between the body's look at the flag and its blocking
    // call is lost, so repeat it until the thread has ended.
    for (;;) {
        pthread_kill(m_thread, wakeSignal);
        const timespec deadline = retryDeadline();
        if (pthread_timedjoin_np(m_thread, nullptr, &deadline) == 0)
            break;
    }
    m_started = false;
}

} // namespace serial::detail
