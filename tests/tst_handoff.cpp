// SPDX-License-Identifier: GPL-3.0-or-later

#include "HandOff.h"
#include "PostedEventQueue.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

// What happens on the serving thread while awaitEnd() waits.
enum class Meanwhile { Batch, Notification, AnotherBatch, ApplicationQuits };
Q_DECLARE_METATYPE(Meanwhile)

namespace {

// A hand-off served on this thread that records each batch it serves: the
// number that the event thread set before handing it over.
struct Served
{
    Served()
        : handOff(
              QThread::currentThread(), [this] { serve(); }, [this] { ++wakeUps; })
    {
    }

    void serve()
    {
        served.append(batch);
        servingSeen.append(handOff.serving() && QThread::currentThread() == handOff.thread());
        if (failing > 0 && batch == failing)
            throw std::runtime_error("handler failed");
    }

    // The event thread's side: the batch before is awaited first.
    void handOver(int number)
    {
        handOff.await();
        batch = number;
        handOff.post();
    }

    std::atomic<int> batch = 0;
    int failing = 0; // the batch whose handlers raise; 0: none
    QList<int> served;
    QList<bool> servingSeen;
    int wakeUps = 0;
    comport::HandOff handOff;
};

// While one exists, the application is quitting: every event loop of this
// thread returns as soon as it is entered.
struct ApplicationQuitting
{
    ApplicationQuitting() { QCoreApplication::exit(0); }
    ~ApplicationQuitting()
    {
        // exec() clears the quitting state again.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
};

} // namespace

// The event thread's hand-off to the port's thread, without a port or device.
class TestHandOff : public QObject
{
    Q_OBJECT

private slots:
    void batchesFromTheEventThread_data();
    void batchesFromTheEventThread();
    void awaitEndServesOnlyItsOwn_data();
    void awaitEndServesOnlyItsOwn();
};

void TestHandOff::batchesFromTheEventThread_data()
{
    QTest::addColumn<int>("failing");
    QTest::addColumn<QList<int>>("served");
    QTest::addColumn<QString>("raised");
    QTest::newRow("three batches: served in order, one at a time, on the serving thread")
        << 0 << QList<int>{1, 2, 3} << QString();
    QTest::newRow("a handler raises: the event thread gets it and hands nothing more over")
        << 2 << QList<int>{1, 2} << QStringLiteral("handler failed");
}

void TestHandOff::batchesFromTheEventThread()
{
    QFETCH(int, failing);
    QFETCH(QList<int>, served);
    QFETCH(QString, raised);
    Served s;
    s.failing = failing;
    QString raisedThere;
    std::atomic<bool> ended = false;
    std::thread eventThread([&] {
        try {
            for (int number = 1; number <= 3; ++number)
                s.handOver(number);
            s.handOff.await();
        } catch (const std::exception& e) {
            raisedThere = QString::fromUtf8(e.what());
        }
        s.handOff.end();
        ended = true;
    });
    // This thread's event loop serves the batches.
    QTRY_VERIFY(ended);
    eventThread.join();
    QCOMPARE(s.served, served);
    QCOMPARE(s.servingSeen, QList<bool>(served.size(), true));
    QVERIFY(!s.handOff.serving());
    QCOMPARE(raisedThere, raised);
    // The event thread is woken from its other waits to take the exception.
    QCOMPARE(s.wakeUps, raised.isEmpty() ? 0 : 1);
}

void TestHandOff::awaitEndServesOnlyItsOwn_data()
{
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::newRow("a batch handed over meanwhile is served") << Meanwhile::Batch;
    QTest::newRow("a notification sent meanwhile is delivered") << Meanwhile::Notification;
    QTest::newRow("another hand-off's batch is left to the event loop") << Meanwhile::AnotherBatch;
    QTest::newRow("a batch is served while the application quits") << Meanwhile::ApplicationQuits;
}

// How Close waits for the event thread: without an event loop, serving what
// that thread hands over and nothing else.
void TestHandOff::awaitEndServesOnlyItsOwn()
{
    QFETCH(Meanwhile, meanwhile);
    const bool notifying = meanwhile == Meanwhile::Notification;
    Served s;
    Served other;
    QList<std::uint32_t> notified;
    comport::PostedEventQueue notifyWindow(nullptr, [&](std::uint32_t maskBit) {
        s.handOff.reply();
        notified.append(maskBit);
    });
    if (meanwhile == Meanwhile::AnotherBatch)
        other.handOff.post();
    std::optional<ApplicationQuitting> quitting;
    if (meanwhile == Meanwhile::ApplicationQuits)
        quitting.emplace();
    std::thread eventThread([&] {
        if (notifying) {
            s.handOff.sendAndAwaitReply([&] { notifyWindow.postNotification(0x0100); });
        } else {
            s.handOver(1);
            s.handOff.await();
        }
        s.handOff.end();
    });
    s.handOff.awaitEnd([&] { notifyWindow.deliverQueued(); });
    eventThread.join();
    quitting.reset();
    QCOMPARE(s.served, notifying ? QList<int>{} : QList<int>{1});
    QCOMPARE(notified, notifying ? QList<std::uint32_t>{0x0100} : QList<std::uint32_t>{});
    QVERIFY(other.served.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(other.served.size(), meanwhile == Meanwhile::AnotherBatch ? 1 : 0);
    QCOMPARE(other.wakeUps, 0);
}

QTEST_GUILESS_MAIN(TestHandOff)
#include "tst_handoff.moc"
