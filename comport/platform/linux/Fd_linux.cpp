// SPDX-License-Identifier: GPL-3.0-or-later

#include "Fd_linux.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <sys/timerfd.h>

namespace serial::detail {

void signalEventFd(int fd)
{
    eventfd_write(fd, 1);
}

void drain(int fd)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

void armTimer(int timer, std::chrono::nanoseconds delay, std::chrono::nanoseconds period)
{
    const auto toTimespec = [](std::chrono::nanoseconds d) {
        return timespec{static_cast<time_t>(d.count() / 1'000'000'000),
                        static_cast<long>(d.count() % 1'000'000'000)};
    };
    itimerspec timing{};
    timing.it_value = toTimespec(delay);
    timing.it_interval = toTimespec(period);
    timerfd_settime(timer, 0, &timing, nullptr);
}

} // namespace serial::detail
