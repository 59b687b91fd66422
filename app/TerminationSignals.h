// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the UI thread, so that a program
// stopped from a terminal or a service manager, or whose terminal is closed,
// saves its settings before it ends. One instance per process.
class TerminationSignals : public QObject
{
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void readSignal();

    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};
