// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReportRequests.h"
#include "TerminationSignals.h"

#include <QScopeGuard>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <thread>

// Stop signals and report requests reach the UI thread as a call; once the
// watcher is gone the program is ending, and a late one changes nothing.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalBecomesCall_data();
    void signalBecomesCall();
    void burstNeitherBlocksNorChangesErrno();
    void hangupIgnoredByNohupStaysIgnored();
};

// Each case starts as a program does, with SIGHUP not ignored.
void TestTerminationSignals::init()
{
    std::signal(SIGHUP, SIG_DFL);
}

void TestTerminationSignals::signalBecomesCall_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM from a service manager") << SIGTERM;
    QTest::newRow("SIGINT from a terminal") << SIGINT;
    QTest::newRow("SIGHUP from a closed terminal") << SIGHUP;
    QTest::newRow("SIGUSR1 asking for a report") << SIGUSR1;
}

void TestTerminationSignals::signalBecomesCall()
{
    QFETCH(int, signal);
    int calls = 0;
    {
        const auto count = [&calls] { ++calls; };
        const std::unique_ptr<QObject> watcher(
            signal == SIGUSR1 ? static_cast<QObject*>(new ReportRequests(count))
                              : new TerminationSignals(count));
        std::raise(signal);
        QTRY_COMPARE(calls, 1);
        std::raise(signal);
        QTRY_COMPARE(calls, 2);
    }
    // Ignored, not restored: the default action would end this process.
    std::raise(signal);
    QCOMPARE(calls, 2);
}

// A burst while nobody reads the requests: the watching thread is held in
// `onPending`, and the UI thread runs no event loop. Every handler returns
// with errno as the interrupted code had it, and the requests still arrive.
// The burst runs on a thread of its own, so that a handler that blocks fails
// the test instead of hanging it.
void TestTerminationSignals::burstNeitherBlocksNorChangesErrno()
{
    std::promise<void> burstDone;
    std::shared_future<void> released = burstDone.get_future().share();
    std::atomic<int> calls = 0;
    const TerminationSignals watcher([&calls] { ++calls; }, [released] { released.wait(); });
    auto errnoChanges = std::make_shared<std::promise<int>>();
    std::future<int> burst = errnoChanges->get_future();
    std::thread([errnoChanges] {
        int changed = 0;
        for (int i = 0; i < 100000; ++i) {
            errno = EDOM;
            std::raise(SIGTERM);
            changed += errno != EDOM;
        }
        errnoChanges->set_value(changed);
    }).detach();
    const bool returned = burst.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    burstDone.set_value();
    QVERIFY2(returned, "a signal handler blocked");
    QCOMPARE(burst.get(), 0);
    QTRY_VERIFY(calls > 0);
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
