// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Answers and failures injected into system calls of the test process itself,
// for what neither a pty nor the recording fake can show: a thread that cannot
// be started, a helper thread that the scheduler runs to its end before its
// creator goes on, a step taken at the instant a thread has started, a
// driver that has modem lines but cannot wait for them, and a line that
// refuses what is written to it.
// Link InjectedCalls_linux.cpp into the test; it replaces pthread_create,
// ioctl and write for the whole executable and passes every call on unless
// armed.

#include <atomic>
#include <functional>

namespace injected {

// The next thread the process creates fails to start (EAGAIN).
void failNextThreadStart();

// The next thread the process creates runs its whole body before the call
// that created it returns.
void runNextThreadToEndFirst();

// Once the next thread the process creates has started, the creating thread
// runs `action` before the call that created it returns.
void afterNextThreadStart(std::function<void()> action);

// While one exists, TIOCMGET answers `lines` (TIOCM_* bits) and TIOCMIWAIT
// fails with ENOTTY, on every descriptor.
class ModemLinesWithoutWait
{
public:
    ModemLinesWithoutWait();
    ~ModemLinesWithoutWait();
    ModemLinesWithoutWait(const ModemLinesWithoutWait&) = delete;
    ModemLinesWithoutWait& operator=(const ModemLinesWithoutWait&) = delete;

    std::atomic<int> lines = 0;
};

// While one exists, every write(2) on `descriptor` fails with errno `errorNumber`.
class FailingWrites
{
public:
    FailingWrites(int descriptor, int errorNumber);
    ~FailingWrites();
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

    const int fd;
    const int error;
};

} // namespace injected
