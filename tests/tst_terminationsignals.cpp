// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include <QTest>
#include <csignal>

// SIGTERM and SIGINT reach the UI thread as a call, once per signal.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalBecomesCall_data();
    void signalBecomesCall();
};

void TestTerminationSignals::signalBecomesCall_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM from a service manager") << SIGTERM;
    QTest::newRow("SIGINT from a terminal") << SIGINT;
}

void TestTerminationSignals::signalBecomesCall()
{
    QFETCH(int, signal);
    int calls = 0;
    TerminationSignals watcher([&calls] { ++calls; });
    std::raise(signal);
    QTRY_COMPARE(calls, 1);
    std::raise(signal);
    QTRY_COMPARE(calls, 2);
}

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
