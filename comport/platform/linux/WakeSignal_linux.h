// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What ends a blocking read or write besides its descriptor: an abort from
// another thread, a deadline, and (for reads) bytes that the thread waiting
// for events fetched meanwhile.

#include "Fd_linux.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace serial::detail {

using Clock = std::chrono::steady_clock;
// A point in time to give up waiting; noDeadline waits for ever. (A plain
// time point rather than an optional one keeps g++'s flow analysis quiet.)
using Deadline = Clock::time_point;
inline constexpr Deadline noDeadline = Deadline::max();

template <class Duration> Deadline deadlineAfter(const std::optional<Duration>& wait)
{
    return wait ? Clock::now() + *wait : noDeadline;
}

// Wakes the blocking reads (or writes) that were waiting when wake() ran; a
// later operation is not affected. Each waiting operation listens on an eventfd
// of its own, so no shared flag has to be reset by anybody, and a wake() with
// nobody waiting costs no system call. Any thread.
class WakeSignal
{
public:
    std::uint64_t generation() const { return m_generation; }

    void wake();

    // One waiting operation's eventfd, signalled by wake() while it lives.
    class Listener
    {
    public:
        explicit Listener(WakeSignal& signal);
        Listener(const Listener&) = delete;
        Listener& operator=(const Listener&) = delete;
        ~Listener();
        // -1 when no eventfd could be made.
        int fd() const { return m_fd.get(); }

    private:
        WakeSignal& m_signal;
        Fd m_fd;
    };

private:
    std::atomic<std::uint64_t> m_generation = 0;
    std::mutex m_mutex;
    std::vector<int> m_listeners;
};

enum class Readiness { Ready, TimedOut, Aborted, Failed };

// What else ends a wait for a descriptor: an abort, and (for reads) bytes
// that another thread fetched meanwhile; each counts when its generation is
// newer than the one given.
struct WaitEnds
{
    WakeSignal& abort;
    std::uint64_t abortGeneration = 0;
    WakeSignal* fetched = nullptr;
    std::uint64_t fetchedGeneration = 0;
};

// Waits until `fd` is ready for `events` (POLLIN, POLLOUT), the deadline
// passes, or one of `ends` comes. Failed sets errno; a hung-up descriptor
// fails with EIO.
Readiness waitReady(int fd, short events, Deadline deadline, const WaitEnds& ends);

} // namespace serial::detail
