// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Bytes taken out of the operating system's receive queue ahead of a read:
// a count of what is waiting can fetch it in the same call, and the read that
// follows is then served from here. No OS types and no locking: the receive
// queue (ReceiveQueue_linux.h) guards it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace serial::detail {

class InputBuffer
{
public:
    std::size_t size() const { return m_end - m_begin; }

    // Room at the end for up to `limit` bytes in all (none when full); `added`
    // then says how many went in.
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
        if (m_bytes.size() < limit)
            m_bytes.resize(limit);
        length = limit - m_end;
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
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

} // namespace serial::detail
