// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineMonitor.h"

#include <QTest>

// The line monitor's counts and how a user reads them.
class TestLineMonitor : public QObject
{
    Q_OBJECT

private slots:
    void pollsPerSecond_data();
    void pollsPerSecond();
    void unansweredKeepsTheLatestDifferentOnes();
    void report();
};

void TestLineMonitor::pollsPerSecond_data()
{
    QTest::addColumn<QList<qint64>>("polls"); // ms, from a start at 0
    QTest::addColumn<qint64>("now");
    QTest::addColumn<double>("rate");
    QList<qint64> twoPerSecond;
    for (qint64 at = 0; at < 120000; at += 500)
        twoPerSecond << at;
    QTest::newRow("two per second for two minutes") << twoPerSecond << qint64(120000) << 2.0;
    QTest::newRow("since a start 10 s ago")
        << QList<qint64>{1000, 2000, 3000, 4000, 5000} << qint64(10000) << 0.5;
    QTest::newRow("silent for the last minute")
        << QList<qint64>{1000, 2000} << qint64(63000) << 0.0;
}

void TestLineMonitor::pollsPerSecond()
{
    QFETCH(QList<qint64>, polls);
    QFETCH(qint64, now);
    QFETCH(double, rate);
    TLineMonitor monitor(0);
    for (qsizetype i = 0; i < polls.size(); ++i) {
        if (i % 2 == 0)
            monitor.recordAnswered(polls[i]);
        else
            monitor.recordUnanswered("ID", polls[i]);
    }
    QCOMPARE(monitor.pollsPerSecond(now), rate);
}

void TestLineMonitor::unansweredKeepsTheLatestDifferentOnes()
{
    TLineMonitor monitor;
    for (int i = 0; i < 30; ++i)
        monitor.recordUnanswered("C" + QByteArray::number(i), 0);
    monitor.recordUnanswered("C15", 0);
    const std::vector<TLineMonitor::Unanswered>& kept = monitor.unanswered();
    QCOMPARE(kept.size(), std::size_t(TLineMonitor::KeptUnanswered));
    QCOMPARE(kept.front().command, QByteArray("C15"));
    QCOMPARE(kept.front().count, 2);
    QCOMPARE(kept[1].command, QByteArray("C29"));
    QCOMPARE(kept.back().command, QByteArray("C10"));
    QCOMPARE(monitor.answered(), 0);
}

void TestLineMonitor::report()
{
    TLineMonitor monitor(0);
    QCOMPARE(lineMonitorReport(monitor, 0, QDateTime()),
             QStringLiteral("Answered: none\n"
                            "Polls per second over the last minute: 0.0\n"
                            "Not answered: none"));
    monitor.recordUnanswered(QByteArray("ID\x00", 3), 1000);
    monitor.recordUnanswered("FA", 1500);
    monitor.recordUnanswered("FA", 2000);
    monitor.recordAnswered(3000);
    const QDateTime wallNow(QDate(2026, 1, 2), QTime(12, 0, 4));
    QCOMPARE(lineMonitorReport(monitor, 4000, wallNow),
             QStringLiteral("Answered: 1, the last at 2026-01-02 12:00:03\n"
                            "Polls per second over the last minute: 1.0\n"
                            "Not answered (the last 20 different commands, the latest first):\n"
                            "  FA; \u00d72\n"
                            "  ID\\x00; \u00d71"));
}

QTEST_GUILESS_MAIN(TestLineMonitor)
#include "tst_linemonitor.moc"
