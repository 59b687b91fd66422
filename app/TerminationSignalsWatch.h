// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The watching thread of TerminationSignals, whatever the system: how a
// request passes from it to the UI thread. Each system's
// TerminationSignals_<system>.cpp watches for its own requests in a
// SystemWatch derived from it, which startWatch starts.

#include "TerminationSignals.h"

#include <atomic>
#include <chrono>
#include <functional>

class TerminationSignals::Watch
{
public:
    // While the UI thread has not taken a request, `onPending` runs again
    // this often.
    static constexpr std::chrono::milliseconds PendingRepeat{100};

    Watch(std::function<void()> onSignal, std::function<void()> onPending);
    virtual ~Watch() = default;
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // TerminationSignals::ignoreLaterSignals.
    virtual void ignoreLaterSignals() = 0;

protected:
    // A request came, or PendingRepeat passed while one waits for the UI
    // thread: runs `onPending`, and wakes the UI thread unless it is woken
    // already for a request it has not taken. Watching thread.
    void passOn();
    // Whether the UI thread is woken for a request it has not taken yet.
    bool uiCallPending() const { return m_uiCallPending; }
    // Takes the requests that the UI thread was woken for, and runs
    // `onSignal` once for them; nothing when it has taken them already. A
    // request that comes meanwhile is served by this call. UI thread.
    void takeRequests();

private:
    // Makes the UI thread call takeRequests. Watching thread.
    virtual void wakeUiThread() = 0;

    const std::function<void()> m_onSignal;
    const std::function<void()> m_onPending;
    std::atomic<bool> m_uiCallPending = false;
};
