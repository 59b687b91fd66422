// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The receive side of an open tty: the bytes the thread that waits for events
// fetched ahead of a read, and the tty's own queue behind them, counted and
// read as one queue. Fetching on each arrival lets the count and the read that
// a handler makes go without a system call. Any thread; it guards itself.
// Calls that fail return false (or -1) with errno set and report nothing:
// the device does.
//
// What holds whenever the lock is free:
// 1. Order: every fetched byte arrived before any byte the tty still holds,
//    and a read takes the fetched ones first (it reads the tty only when
//    none is left), so bytes are read in the order they arrived.
// 2. The tty keeps bytes only while the fetched ones fill the receive size,
//    or for the instant between an arrival and the fetch that its edge
//    brings: each fetch reads until the tty is empty or the size is reached.
//    So while the thread that waits for events waits, after a look that
//    found the tty empty, a count need not ask the tty.
// 3. Every removal from the tty (a read, a fetch, a flush) is counted: an
//    edge that fetched nothing, after which the tty holds what it held at
//    the last look and nothing was taken out since, brought no byte.

#include "InputBuffer.h"
#include "WakeSignal_linux.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <sys/types.h>

namespace serial::detail {

class ReceiveQueue
{
public:
    // `tty` stays the caller's.
    explicit ReceiveQueue(int tty) : m_tty(tty) {}

    // The largest receive size taken, 64 MiB: minutes of input at the
    // fastest UART speeds, and far above what the tty layer itself queues
    // (a 4 KiB line-discipline buffer and at most 640 KiB of flip buffers).
    // A negative size, read as unsigned, lies above 2 GiB.
    static constexpr std::uint32_t maxSize = 64u << 20;

    // The receive size in bytes: the most that is fetched ahead, and what
    // the 80 % event is counted against. A size above maxSize is refused
    // (false, errno EINVAL) and the old one stays.
    bool setSize(std::uint32_t bytes);

    // Moves up to `count` bytes into `bytes`, the fetched ones first. As
    // read(2): the count, 0 when the tty has hung up, -1 with errno (EAGAIN:
    // nothing there).
    ssize_t take(std::uint8_t* bytes, std::size_t count);

    // The bytes waiting. `askTty` false spares asking the tty while the
    // thread that waits for events has emptied it (2. above).
    bool count(std::uint32_t& waiting, bool askTty);

    // Drops every byte waiting, fetched or not.
    bool flush();

    // Woken whenever bytes are fetched, for the reads that wait for them.
    WakeSignal& fetched() { return m_fetched; }

    // The thread that waits for events: on while it waits.
    void setFetching(bool on) { m_fetching = on; }
    // The thread that waits for events, on each edge of the tty: fetches
    // what arrived and gives the receive events it brought (ev::RxChar, and
    // ev::Rx80Full when the queue has just reached 80 % of the receive size),
    // none when it brought no byte. False when the tty could not be read.
    bool arrivals(std::uint32_t& events);

private:
    bool ttyKeeps(int& kept);
    ssize_t fetchArrived(bool& drained);
    ssize_t readTty(std::uint8_t* into, std::size_t room);

    const int m_tty;
    std::atomic<std::uint32_t> m_size = 4096;
    std::atomic<bool> m_fetching = false;
    WakeSignal m_fetched;

    // Guards what follows.
    std::mutex m_mutex;
    // Counts every removal from the tty's queue (3. above).
    std::uint64_t m_taken = 0;
    InputBuffer m_pulled;      // the bytes fetched ahead
    bool m_ttyDrained = false; // the tty held nothing when last looked at

    // The thread that waits for events only.
    int m_seenKept = 0;
    std::uint64_t m_seenTaken = 0;
    bool m_full = false;
};

} // namespace serial::detail
