// SPDX-License-Identifier: GPL-3.0-or-later

#include "WakeSignal_linux.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/eventfd.h>

namespace serial::detail {

void WakeSignal::wake()
{
    const std::lock_guard lock(m_mutex);
    ++m_generation;
    for (const int fd : m_listeners)
        signalEventFd(fd);
}

WakeSignal::Listener::Listener(WakeSignal& signal)
    : m_signal(signal), m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    const std::lock_guard lock(m_signal.m_mutex);
    m_signal.m_listeners.push_back(m_fd.get());
}

WakeSignal::Listener::~Listener()
{
    const std::lock_guard lock(m_signal.m_mutex);
    std::erase(m_signal.m_listeners, m_fd.get());
}

Readiness waitReady(int fd, short events, Deadline deadline, const WaitEnds& ends)
{
    const WakeSignal::Listener aborts(ends.abort);
    std::optional<WakeSignal::Listener> fetches;
    if (ends.fetched)
        fetches.emplace(*ends.fetched);
    if (aborts.fd() < 0 || (fetches && fetches->fd() < 0))
        return Readiness::Failed;
    if (ends.abort.generation() != ends.abortGeneration)
        return Readiness::Aborted;
    if (ends.fetched && ends.fetched->generation() != ends.fetchedGeneration)
        return Readiness::Ready;
    for (;;) {
        int timeoutMs = -1;
        if (deadline != noDeadline) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return Readiness::TimedOut;
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            timeoutMs = static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
        }
        // A negative descriptor is left out by poll().
        pollfd fds[] = {
            {fd, events, 0}, {aborts.fd(), POLLIN, 0}, {fetches ? fetches->fd() : -1, POLLIN, 0}};
        if (poll(fds, 3, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            return Readiness::Failed;
        }
        if (fds[1].revents != 0)
            return Readiness::Aborted;
        if (fds[2].revents != 0)
            return Readiness::Ready;
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            errno = EIO;
            return Readiness::Failed;
        }
        if ((fds[0].revents & events) != 0)
            return Readiness::Ready;
    }
}

} // namespace serial::detail
