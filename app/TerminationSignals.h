// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the UI thread, so that a program
// stopped from a terminal or a service manager, or whose terminal is closed,
// saves its settings before it ends. One instance per process.
//
// The requests are watched on a thread of the object's own, which notices
// them at once even while the UI thread is held up (by a write to a line that
// takes nothing, say). From ignoreLaterSignals() on, and once the object is
// gone, the stop signals are ignored: the program is ending, and a late one
// must neither kill it nor change its exit status.
//
// SIGXFSZ is ignored for the life of the process, so that a write beyond the
// file-size limit (ulimit -f) fails with EFBIG, which the writer reports,
// instead of ending the program with the settings unsaved.
class TerminationSignals : public QObject
{
public:
    // `onSignal` runs on the UI thread, once for the requests that came since
    // it last began. `onPending`, when given, runs on the watching thread as
    // soon as a request comes and again every 100 ms until `onSignal` has
    // begun: for what must not wait for the UI thread. Repeating it reaches a
    // UI thread that was just about to block when it first ran, so it must be
    // harmless to repeat.
    explicit TerminationSignals(std::function<void()> onSignal,
                                std::function<void()> onPending = {}, QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Ignores the stop signals from now on and ends the watching thread, so
    // that `onPending` has returned for good. UI thread.
    void ignoreLaterSignals();

private:
    void watch();
    void passOn();
    void takeRequests();

    const std::function<void()> m_onSignal;
    const std::function<void()> m_onPending;
    // The watching thread wakes the UI thread through [0], a notifier reads [1].
    int m_uiWake[2] = {-1, -1};
    QSocketNotifier* m_uiNotifier = nullptr;
    std::atomic<bool> m_uiCallPending = false;
    std::atomic<bool> m_quit = false;
    std::thread m_watcher;
};
