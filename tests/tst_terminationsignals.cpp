// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include <QScopeGuard>
#include <QTest>
#include <csignal>

// SIGTERM and SIGINT reach the UI thread as a call, once per signal.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalBecomesCall_data();
    void signalBecomesCall();
    void hangupIgnoredByNohupStaysIgnored();
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

void TestTerminationSignals::hangupIgnoredByNohupStaysIgnored()
{
    std::signal(SIGHUP, SIG_IGN);
    const auto restore = qScopeGuard([] { std::signal(SIGHUP, SIG_DFL); });
    {
        const TerminationSignals watcher([] {});
        QVERIFY(std::signal(SIGHUP, SIG_IGN) == SIG_IGN); // still ignored
    }
    QVERIFY(std::signal(SIGHUP, SIG_IGN) == SIG_IGN); // and after
}

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
