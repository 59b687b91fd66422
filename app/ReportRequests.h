// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <functional>
#include <memory>

// Turns the system's requests for a report into a call on the UI thread, so
// that a program without a window to look at can be asked how its line is
// doing. Which requests there are is the system's
// (ReportRequests_<system>.cpp): on POSIX systems SIGUSR1 (kill -USR1 PID).
// Windows has no such signal: there the object takes none. One instance per
// process; once it is gone, later requests are ignored.
class ReportRequests : public QObject
{
public:
    explicit ReportRequests(std::function<void()> onRequest, QObject* parent = nullptr);
    ~ReportRequests() override;

private:
    class Watch;
    std::unique_ptr<Watch> m_watch;
};
