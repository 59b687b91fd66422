// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A file descriptor that is closed with its owner, and the few calls made on
// the eventfds and timerfds that wake a waiting thread.

#include <chrono>
#include <unistd.h>
#include <utility>

namespace serial::detail {

class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Makes the eventfd `fd` readable.
void signalEventFd(int fd);

// Empties an eventfd or a timerfd (both non-blocking) so that it stops being readable.
void drain(int fd);

// Arms `timer` to expire after `delay` and then every `period`; a zero
// `delay` disarms it.
void armTimer(int timer, std::chrono::nanoseconds delay, std::chrono::nanoseconds period = {});

} // namespace serial::detail
