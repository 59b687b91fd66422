// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Bytes taken out of the operating system's receive queue ahead of a read:
// a count of what is waiting can fetch it in the same call, and the read that
// follows is then served from here. No OS types and no locking: the receive
// queue (ReceiveQueue_linux.h) guards it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace serial::detail {

class InputBuffer
{
public:
    std::size_t size() const { return m_end - m_begin; }
    // The bytes allocated for it.
    std::size_t allocated() const { return m_bytes.size(); }

    // Room at the end, within `limit` bytes in all (none when full); `added`
    // then says how many went in. The storage doubles when the room runs out
    // instead of taking the limit at once: a large limit costs memory only
    // while that much waits unread.
    std::uint8_t* room(std::size_t limit, std::size_t& length)
    {
        length = 0;
        if (size() >= limit)
            return nullptr;
        if (m_begin > 0) {
            std::memmove(m_bytes.data(), m_bytes.data() + m_begin, size());
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_bytes.size())
            m_bytes.resize(std::min(limit, std::max(firstAllocation, 2 * m_bytes.size())));
        length = std::min(limit, m_bytes.size()) - m_end;
        return m_bytes.data() + m_end;
    }
    void added(std::size_t count) { m_end += count; }

    // Moves up to `count` of the oldest bytes out; returns how many.
    std::size_t take(std::uint8_t* into, std::size_t count)
    {
        const std::size_t n = count < size() ? count : size();
        if (n == 0)
            return 0;
        std::memcpy(into, m_bytes.data() + m_begin, n);
        m_begin += n;
        if (m_begin == m_end)
            m_begin = m_end = 0;
        return n;
    }

    void clear() { m_begin = m_end = 0; }

private:
    // What one read of a Linux tty returns at most (its line discipline's
    // buffer), so that ordinary traffic needs this one allocation.
    static constexpr std::size_t firstAllocation = 4096;

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

} // namespace serial::detail
