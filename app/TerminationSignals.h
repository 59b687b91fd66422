// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <functional>
#include <memory>

// Turns the system's stop requests into a call on the UI thread, so that a
// program that is stopped, or whose session or terminal ends, saves its
// settings before it ends. One instance per process. Which requests there
// are is the system's (TerminationSignals_<system>.cpp): on POSIX systems
// SIGTERM, SIGINT and SIGHUP.
//
// The requests are watched on a thread of the object's own, which notices
// them at once even while the UI thread is held up (by a write to a line that
// takes nothing, say). From ignoreLaterSignals() on, and once the object is
// gone, the stop requests are ignored: the program is ending, and a late one
// must neither kill it nor change its exit status.
//
// On POSIX systems SIGXFSZ is ignored for the life of the process, so that a
// write beyond the file-size limit (ulimit -f) fails with EFBIG, which the
// writer reports, instead of ending the program with the settings unsaved.
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

    // Ignores the stop requests from now on and ends the watching thread, so
    // that `onPending` has returned for good. UI thread.
    void ignoreLaterSignals();

private:
    // The watching thread (TerminationSignalsWatch.h), and the system's side
    // of it (TerminationSignals_<system>.cpp), which startWatch starts.
    class Watch;
    class SystemWatch;
    static std::unique_ptr<Watch> startWatch(QObject* owner, std::function<void()> onSignal,
                                             std::function<void()> onPending);

    std::unique_ptr<Watch> m_watch;
};

// Reports the error in flight (call from a catch block) of the save that a
// stop request started. POSIX systems log it on standard error: no one may be
// there to read a message box (a service, a terminal that was closed).
// Windows shows it as any other error, in a message box where a screen shows
// windows: a program with windows has no terminal its user reads, and a
// user is there to have stopped it (taskkill, the installer, signing out).
void reportStopFailure();
