// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Answers and failures injected into system calls of the test process itself,
// for what neither a pty nor the recording fake can show: a thread that cannot
// be started, a helper thread that the scheduler runs to its end before its
// creator goes on, a step taken at the instant a thread has started, and a
// driver that has modem lines but cannot wait for them.
// Link InjectedCalls_linux.cpp into the test; it replaces pthread_create and
// ioctl for the whole executable and passes every call on unless armed.

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

} // namespace injected
