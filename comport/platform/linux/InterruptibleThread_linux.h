// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A helper thread that blocks in a system call nothing else can wake (such as
// TIOCMIWAIT: closing the descriptor does not release it). Stopping it sets a
// flag and interrupts the call with a signal.

#include <atomic>
#include <functional>
#include <pthread.h>

namespace serial::detail {

class InterruptibleThread
{
public:
    // The body runs until it returns; it must return soon after `stopping` turns
    // true and treat EINTR from its blocking call as a reason to look at it.
    using Body = std::function<void(const std::atomic<bool>& stopping)>;

    explicit InterruptibleThread(Body body);
    InterruptibleThread(const InterruptibleThread&) = delete;
    InterruptibleThread& operator=(const InterruptibleThread&) = delete;
    // Stops and joins the thread.
    ~InterruptibleThread();

    // False when the thread could not be created.
    bool running() const { return m_started; }

private:
    static void* run(void* self);
    void stop();

    Body m_body;
    std::atomic<bool> m_stopping = false;
    bool m_started = false;
    pthread_t m_thread = {};
};

} // namespace serial::detail
