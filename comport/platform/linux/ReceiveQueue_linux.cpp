// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReceiveQueue_linux.h"

#include "platform/SerialDevice.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial::detail {

bool ReceiveQueue::setSize(std::uint32_t bytes)
{
    if (bytes > maxSize) {
        errno = EINVAL;
        return false;
    }
    m_size = bytes;
    return true;
}

ssize_t ReceiveQueue::take(std::uint8_t* bytes, std::size_t count)
{
    const std::lock_guard lock(m_mutex);
    if (const std::size_t fetched = m_pulled.take(bytes, count))
        return static_cast<ssize_t>(fetched);
    const ssize_t n = ::read(m_tty, bytes, count);
    if (n > 0)
        ++m_taken;
    return n;
}

bool ReceiveQueue::count(std::uint32_t& waiting, bool askTty)
{
    waiting = 0;
    const std::lock_guard lock(m_mutex);
    int kept = 0;
    if ((askTty || !(m_fetching && m_ttyDrained)) && !ttyKeeps(kept))
        return false;
    waiting = static_cast<std::uint32_t>(m_pulled.size() + kept);
    return true;
}

bool ReceiveQueue::flush()
{
    const std::lock_guard lock(m_mutex);
    ++m_taken;
    m_pulled.clear();
    const bool flushed = tcflush(m_tty, TCIFLUSH) == 0;
    m_ttyDrained = flushed;
    return flushed;
}

// The bytes the tty holds (not yet fetched); a count that includes some
// keeps later counts from leaving them out. Under m_mutex.
bool ReceiveQueue::ttyKeeps(int& kept)
{
    kept = 0;
    if (ioctl(m_tty, FIONREAD, &kept) != 0)
        return false;
    if (kept > 0)
        m_ttyDrained = false;
    return true;
}

// Fetches what has arrived into m_pulled, as far as the receive size
// allows: the byte count, or -1 with errno. `drained`: the tty was read
// empty. Reads go on while they fill the room offered (2. in the header).
// Under m_mutex.
ssize_t ReceiveQueue::fetchArrived(bool& drained)
{
    drained = false;
    ssize_t fetched = 0;
    std::size_t room = 0;
    while (std::uint8_t* into = m_pulled.room(m_size, room)) {
        const ssize_t n = readTty(into, room);
        if (n < 0) {
            drained = errno == EAGAIN;
            // What was fetched goes out first; a failing tty fails again
            // at the next read.
            return fetched > 0 || drained ? fetched : -1;
        }
        m_pulled.added(static_cast<std::size_t>(n));
        ++m_taken;
        fetched += n;
        if (static_cast<std::size_t>(n) < room) {
            drained = true;
            break;
        }
    }
    return fetched;
}

// One read(2) into `into`: the byte count (never 0), or -1 with errno
// (EAGAIN: nothing there).
ssize_t ReceiveQueue::readTty(std::uint8_t* into, std::size_t room)
{
    for (;;) {
        const ssize_t n = ::read(m_tty, into, room);
        if (n == 0) {
            // A hung-up tty reads as end of file.
            errno = EIO;
            return -1;
        }
        if (n > 0 || errno != EINTR)
            return n;
    }
}

// The tty wakes its pollers for more than arrivals, and each wake-up is an
// edge; 3. in the header tells the edges that brought bytes.
bool ReceiveQueue::arrivals(std::uint32_t& events)
{
    events = 0;
    bool fetched = false;
    int kept = 0;
    std::uint64_t taken = 0;
    std::size_t queued = 0;
    {
        const std::lock_guard lock(m_mutex);
        bool drained = false;
        const ssize_t n = fetchArrived(drained);
        if (n < 0)
            return false;
        fetched = n > 0;
        // A fetch that stopped at the receive size may have left bytes behind.
        m_ttyDrained = drained;
        if (!m_ttyDrained && !ttyKeeps(kept)) {
            // Left to the delivery's count to find out.
            events = ev::RxChar;
            return true;
        }
        taken = m_taken;
        queued = m_pulled.size() + std::size_t(kept);
    }
    if (fetched)
        m_fetched.wake();
    const bool arrived = fetched || taken != m_seenTaken || kept != m_seenKept;
    m_seenTaken = taken;
    m_seenKept = kept;
    if (!arrived)
        return true;
    const bool full = std::uint64_t(queued) * 10 >= std::uint64_t(m_size) * 8;
    const bool crossedFull = full && !m_full;
    m_full = full;
    events = ev::RxChar | (crossedFull ? ev::Rx80Full : 0);
    return true;
}

} // namespace serial::detail
