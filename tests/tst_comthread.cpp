// SPDX-License-Identifier: GPL-3.0-or-later

#include "BCPort.h"
#include "ComPortTesting.h"
#include "ComThread.h"
#include "FakeSerial.h"
#include "InjectedCalls.h"
#include "PtyPair.h"
#include "ThreadActivity.h"

#include <QPointer>
#include <QTest>

#include <mutex>
#include <sys/ioctl.h>
#include <thread>

Q_DECLARE_METATYPE(TSyncMethod)
Q_DECLARE_METATYPE(TParity)

// What meets the loss of a line besides the event thread's wait.
enum class LossMetBy { WaitAlone, ModemState, WriteText, ReadInHandler };
Q_DECLARE_METATYPE(LossMetBy)

namespace {

// Reports exceptions that leave an event handler, as the program's
// top-level handler does, and lets the program go on.
class RecordingApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            reported.append(QString::fromUtf8(e.what()));
            return false;
        }
    }

    QStringList reported;
};

RecordingApplication* recordingApp()
{
    return static_cast<RecordingApplication*>(QCoreApplication::instance());
}

// What the handlers saw, from whichever thread they ran on.
class Recorder
{
public:
    void add(const QString& entry)
    {
        std::lock_guard lock(m_mutex);
        m_entries.append(entry);
        m_onUiThread.append(QThread::currentThread() == qApp->thread());
    }
    QStringList entries() const
    {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    QList<bool> onUiThread() const
    {
        std::lock_guard lock(m_mutex);
        return m_onUiThread;
    }
    qsizetype size() const { return entries().size(); }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
        m_onUiThread.clear();
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_entries;
    QList<bool> m_onUiThread;
};

// Assigns all eight handlers so that each records its name and argument.
void recordAll(TBComPort& port, Recorder& recorder)
{
    port.OnError = [&](QObject*, TComErrors e) { recorder.add("Error " + QString::number(e)); };
    port.OnRxChar = [&](QObject*, int n) { recorder.add("RxChar " + QString::number(n)); };
    port.OnTxEmpty = [&](QObject*) { recorder.add("TxEmpty"); };
    port.OnRing = [&](QObject*) { recorder.add("Ring"); };
    port.OnCTSChange = [&](QObject*, bool s) { recorder.add("CTS " + QString::number(s)); };
    port.OnDSRChange = [&](QObject*, bool s) { recorder.add("DSR " + QString::number(s)); };
    port.OnRLSDChange = [&](QObject*, bool s) { recorder.add("RLSD " + QString::number(s)); };
    port.OnRx80Full = [&](QObject*) { recorder.add("Rx80Full"); };
}

// Counts the events delivered to the objects of this thread while it lives.
class EventCounter : public QObject
{
public:
    EventCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~EventCounter() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject*, QEvent*) override
    {
        ++count;
        return false;
    }

    int count = 0;
};

// A port on the slave side of a fresh pty, recording why delivery stopped.
// Tests name its parts through references, not a structured binding, since
// their lambdas capture them (clang accepts captured bindings only from 16).
struct PtyLine
{
    explicit PtyLine(TSyncMethod syncMethod = TSyncMethod::smThreadSync)
    {
        port.setPort(pty.slavePath());
        port.setSyncMethod(syncMethod);
        port.OnEventsStopped = [this](QObject*, const std::exception_ptr& reason) {
            stops.append(reasonText(reason));
        };
    }

    PtyPair pty;
    TBComPort port;
    QStringList stops;
};

void addSyncMethodRows()
{
    QTest::addColumn<TSyncMethod>("syncMethod");
    QTest::newRow("smThreadSync") << TSyncMethod::smThreadSync;
    QTest::newRow("smWindowSync") << TSyncMethod::smWindowSync;
    QTest::newRow("smNone") << TSyncMethod::smNone;
}

} // namespace

// The event thread and the three ways of delivering line events.
class TestComThread : public QObject
{
    Q_OBJECT

private:
    FakeOpener m_opener;
    std::unique_ptr<TBComPort> m_port;
    Recorder m_recorder;
    QStringList m_stops;

    FakeLine& line() { return *m_opener.line; }
    void watchStops()
    {
        m_port->OnEventsStopped = [this](QObject* sender, const std::exception_ptr& reason) {
            QCOMPARE(sender, m_port.get());
            m_stops.append(reasonText(reason));
        };
    }

private slots:
    void init();
    void cleanup();

    // With the recording fake
    void dispatchOrder_data();
    void dispatchOrder();
    void parityErrorRule_data();
    void parityErrorRule();
    void rxCharNeedsBytes();
    void modemLevelReadAtDelivery();
    void windowSyncOneCallPerEvent();
    void windowProcIdleWhileClosed();
    void handlerExceptionEndsDelivery_data();
    void handlerExceptionEndsDelivery();
    void windowSyncExceptionReported();
    void hangUpEndsDelivery();
    void closeStopsIdleThread();
    void closeInsideHandler();
    void closeWhileHandOffPending_data();
    void closeWhileHandOffPending();
    void closeWhenThreadCannotStart();

    // With real ptys
    void ptyReceive_data();
    void ptyReceive();
    void ptyTxEmptyWithHandler();
    void ptyBytesStayWithoutHandler_data();
    void ptyBytesStayWithoutHandler();
    void ptyEmptyQueueRaisesNothing();
    void ptyHandlerExceptionStopsDelivery();
    void ptyWindowSyncExceptionReported();
    void ptyCloseInsideLongHandler();
    void ptyReopenInsideHandler_data();
    void ptyReopenInsideHandler();
    void ptyModemLinesPolledWithoutLineWait();
    void ptyHangUpEndsThreadWithoutSpinning();
    void ptyLossReportedOnce_data();
    void ptyLossReportedOnce();
};

void TestComThread::init()
{
    m_opener.line = std::make_shared<FakeLine>();
    m_port = std::make_unique<TBComPort>(nullptr, m_opener);
    m_recorder.clear();
    m_stops.clear();
    recordingApp()->reported.clear();
}

void TestComThread::cleanup()
{
    line().set(&FakeLine::gone, false);
    m_port.reset();
}

void TestComThread::dispatchOrder_data()
{
    addSyncMethodRows();
}

void TestComThread::dispatchOrder()
{
    QFETCH(TSyncMethod, syncMethod);
    m_port->setSyncMethod(syncMethod);
    recordAll(*m_port, m_recorder);
    QVERIFY(m_port->Open());
    QCOMPARE(m_port->NotifyWindow() != nullptr, syncMethod == TSyncMethod::smWindowSync);
    line().set(&FakeLine::status, serial::CommStatus{serial::ce::Frame, 5, 0});
    line().set(&FakeLine::modem, serial::ms::CtsOn | serial::ms::RlsdOn);
    line().pushEvents(0x05BD | 0x0002 | 0x0040);
    const QStringList expected{"Error 1", "RxChar 5", "TxEmpty", "Ring",
                               "CTS 1",   "DSR 0",    "RLSD 1",  "Rx80Full"};
    QTRY_COMPARE(m_recorder.entries(), expected);
    const bool onUi = syncMethod != TSyncMethod::smNone;
    QCOMPARE(m_recorder.onUiThread(), QList<bool>(8, onUi));
}

void TestComThread::parityErrorRule_data()
{
    QTest::addColumn<TParity>("parity");
    QTest::addColumn<quint32>("errorBits");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("parity error without parity is not reported")
        << TParity::paNone << quint32(serial::ce::RxParity) << QStringList{};
    QTest::newRow("parity error with paEven")
        << TParity::paEven << quint32(serial::ce::RxParity) << QStringList{"Error 2"};
    QTest::newRow("no error bits calls nothing") << TParity::paOdd << 0u << QStringList{};
    QTest::newRow("overrun and parity without parity")
        << TParity::paNone << quint32(serial::ce::Overrun | serial::ce::RxParity)
        << QStringList{"Error 4"};
}

void TestComThread::parityErrorRule()
{
    QFETCH(TParity, parity);
    QFETCH(quint32, errorBits);
    QFETCH(QStringList, expected);
    m_port->setParity(parity);
    recordAll(*m_port, m_recorder);
    QVERIFY(m_port->Open());
    line().clearLog();
    line().set(&FakeLine::status, serial::CommStatus{errorBits, 0, 0});
    // The error, then a ring as a marker that the delivery has ended.
    line().pushEvents(serial::ev::Err | serial::ev::Ring);
    QTRY_COMPARE(m_recorder.entries(), expected + QStringList{"Ring"});
    // The error state is cleared also when nothing is reported.
    QCOMPARE(line().calls(), std::vector<std::string>{"clearError"});
}

void TestComThread::rxCharNeedsBytes()
{
    recordAll(*m_port, m_recorder);
    QVERIFY(m_port->Open());
    line().clearLog();
    line().set(&FakeLine::status, serial::CommStatus{0, 0, 0});
    line().pushEvents(serial::ev::RxChar | serial::ev::Ring);
    QTRY_COMPARE(m_recorder.entries(), QStringList{"Ring"});

    // Without a handler the queue is still queried on each receive event.
    m_port->OnRxChar = nullptr;
    line().set(&FakeLine::status, serial::CommStatus{0, 3, 0});
    line().pushEvents(serial::ev::RxChar | serial::ev::Ring);
    QTRY_COMPARE(m_recorder.size(), 2);
    QCOMPARE(line().calls(), (std::vector<std::string>{"clearError", "clearError"}));
}

void TestComThread::modemLevelReadAtDelivery()
{
    recordAll(*m_port, m_recorder);
    QVERIFY(m_port->Open());
    line().set(&FakeLine::modem, serial::ms::CtsOn | serial::ms::DsrOn);
    line().pushEvents(serial::ev::Cts | serial::ev::Dsr);
    // The lines change back before this thread serves the hand-off.
    line().set(&FakeLine::modem, serial::ms::RlsdOn);
    QTRY_COMPARE(m_recorder.entries(), (QStringList{"CTS 0", "DSR 0"}));
}

void TestComThread::windowSyncOneCallPerEvent()
{
    m_port->setSyncMethod(TSyncMethod::smWindowSync);
    recordAll(*m_port, m_recorder);
    QVERIFY(m_port->Open());
    line().set(&FakeLine::modem, serial::ms::RlsdOn);
    line().pushEvents(serial::ev::Rlsd | serial::ev::Ring);
    line().pushEvents(serial::ev::Ring);
    line().pushEvents(serial::ev::Rlsd);
    QTRY_COMPARE(m_recorder.entries(), (QStringList{"Ring", "RLSD 1", "Ring", "RLSD 1"}));
    QCOMPARE(m_recorder.onUiThread(), QList<bool>(4, true));
}

void TestComThread::windowProcIdleWhileClosed()
{
    recordAll(*m_port, m_recorder);
    for (const std::uint32_t bit : {serial::ev::RxChar, serial::ev::Ring, serial::ev::Err})
        m_port->PortWindowProc(bit);
    QVERIFY(m_port->Open());
    m_port->PortWindowProc(serial::ev::Ring);
    m_port->PortWindowProc(0x0002);
    QCOMPARE(m_recorder.entries(), QStringList{"Ring"});
}

void TestComThread::handlerExceptionEndsDelivery_data()
{
    QTest::addColumn<TSyncMethod>("syncMethod");
    QTest::newRow("smThreadSync") << TSyncMethod::smThreadSync;
    QTest::newRow("smNone") << TSyncMethod::smNone;
}

void TestComThread::handlerExceptionEndsDelivery()
{
    QFETCH(TSyncMethod, syncMethod);
    m_port->setSyncMethod(syncMethod);
    watchStops();
    recordAll(*m_port, m_recorder);
    m_port->OnRing = [](QObject*) { throw EComPort(ComPortMessages::ReadError); };
    QVERIFY(m_port->Open());
    line().clearLog();
    line().pushEvents(serial::ev::Ring | serial::ev::Rx80Full);
    QTRY_COMPARE(m_stops, QStringList{message(ComPortMessages::ReadError)});
    QTRY_VERIFY(m_port->EventThread()->isFinished());
    // The rest of that delivery and every later event are dropped, and the
    // thread leaves the device as it is.
    QVERIFY(m_recorder.entries().isEmpty());
    QVERIFY(line().calls().empty());
    QVERIFY(m_port->Connected());

    QVERIFY(m_port->Close());
    QCOMPARE(m_stops.size(), 1);
}

void TestComThread::windowSyncExceptionReported()
{
    m_port->setSyncMethod(TSyncMethod::smWindowSync);
    watchStops();
    recordAll(*m_port, m_recorder);
    m_port->OnRing = [](QObject*) { throw EComPort(ComPortMessages::ModemStatusFailed); };
    QVERIFY(m_port->Open());
    line().pushEvents(serial::ev::Ring | serial::ev::TxEmpty);
    line().pushEvents(serial::ev::Ring);
    line().pushEvents(serial::ev::Rx80Full);
    QTRY_COMPARE(m_recorder.entries(), (QStringList{"TxEmpty", "Rx80Full"}));
    QTRY_COMPARE(recordingApp()->reported.size(), 2);
    QCOMPARE(recordingApp()->reported.first(), message(ComPortMessages::ModemStatusFailed));
    QVERIFY(!m_port->EventThread()->isFinished());
    QVERIFY(m_stops.isEmpty());
}

void TestComThread::hangUpEndsDelivery()
{
    watchStops();
    QVERIFY(m_port->Open());
    line().hangUp();
    QTRY_COMPARE(m_stops, QStringList{message(ComPortMessages::ReadError)});
    QVERIFY(m_port->EventThread()->isFinished());
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->Connected());
    QCOMPARE(m_stops.size(), 1);
}

void TestComThread::closeStopsIdleThread()
{
    watchStops();
    QVERIFY(m_port->Open());
    QPointer<TComThread> thread = m_port->EventThread();
    QVERIFY(thread->isRunning());
    QVERIFY(m_port->Close());
    QVERIFY(thread.isNull());
    QCoreApplication::processEvents();
    QVERIFY(m_stops.isEmpty());
}

void TestComThread::closeInsideHandler()
{
    watchStops();
    recordAll(*m_port, m_recorder);
    bool closed = false;
    m_port->OnRing = [&](QObject*) { closed = m_port->Close(); };
    QVERIFY(m_port->Open());
    QPointer<TComThread> thread = m_port->EventThread();
    line().pushEvents(serial::ev::Ring | serial::ev::Rx80Full);
    QTRY_VERIFY(closed);
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    // The thread ends after the handler has returned and frees itself; the
    // rest of the delivery is dropped.
    QTRY_VERIFY(thread.isNull());
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);
    QVERIFY(m_recorder.entries().isEmpty());
    QVERIFY(m_stops.isEmpty());
    QVERIFY(m_port->Open());
}

// Thrown by a handler; no std::exception, so it passes the test
// application's notify() as it would pass an application without a handler.
struct EscapingError
{
};

void TestComThread::closeWhileHandOffPending_data()
{
    QTest::addColumn<TSyncMethod>("syncMethod");
    QTest::addColumn<bool>("ringEscapes");
    QTest::newRow("smThreadSync") << TSyncMethod::smThreadSync << false;
    QTest::newRow("smWindowSync") << TSyncMethod::smWindowSync << false;
    QTest::newRow("smNone") << TSyncMethod::smNone << false;
    QTest::newRow("smWindowSync, the Ring handler's error leaves Close, the next Close closes")
        << TSyncMethod::smWindowSync << true;
}

void TestComThread::closeWhileHandOffPending()
{
    QFETCH(TSyncMethod, syncMethod);
    QFETCH(bool, ringEscapes);
    m_port->setSyncMethod(syncMethod);
    recordAll(*m_port, m_recorder);
    if (ringEscapes)
        m_port->OnRing = [](QObject*) { throw EscapingError{}; };
    QVERIFY(m_port->Open());
    line().pushEvents(serial::ev::Ring | serial::ev::Rx80Full);
    // The event thread has taken the events and is handing them over to this
    // thread, which has not served them yet: the whole delivery completes.
    line().waitUntilTaken();
    if (ringEscapes)
        QVERIFY_THROWS_EXCEPTION(EscapingError, m_port->Close());
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->EventThread());
    const QStringList delivered =
        ringEscapes ? QStringList{"Rx80Full"} : QStringList{"Ring", "Rx80Full"};
    QCOMPARE(m_recorder.entries(), delivered);
}

void TestComThread::closeWhenThreadCannotStart()
{
    watchStops();
    injected::failNextThreadStart();
    QVERIFY(m_port->Open());
    QTRY_COMPARE(m_stops.size(), 1);
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);
}

// Real ptys

void TestComThread::ptyReceive_data()
{
    addSyncMethodRows();
}

void TestComThread::ptyReceive()
{
    QFETCH(TSyncMethod, syncMethod);
    PtyLine line(syncMethod);
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    // Under smNone the handler runs on the event thread: it only records,
    // and the checks run here.
    port.OnRxChar = [&](QObject* sender, int count) {
        QByteArray text;
        const int got = port.ReadText(text, count);
        const bool sound = sender == &port && count >= 1 && got == count;
        m_recorder.add(sound ? QString::fromLatin1(text) : QStringLiteral("bad call"));
    };
    auto received = [&] { return m_recorder.entries().join(QString()).toLatin1(); };
    QVERIFY(port.Open());
    QVERIFY(pty.send(QByteArray("IF;\0\xFF", 5)));
    QTRY_COMPARE(received(), QByteArray("IF;\0\xFF", 5));
    QVERIFY(pty.send("more"));
    QTRY_COMPARE(received(), QByteArray("IF;\0\xFFmore", 9));
    const bool onUi = syncMethod != TSyncMethod::smNone;
    QCOMPARE(m_recorder.onUiThread(), QList<bool>(m_recorder.size(), onUi));
    QVERIFY(port.Close());
}

// A write arms the transmit-empty event only for a handler, which gets it.
void TestComThread::ptyTxEmptyWithHandler()
{
    PtyLine line;
    QVERIFY(line.pty.isValid());
    TBComPort& port = line.port;
    port.OnTxEmpty = [&](QObject*) { m_recorder.add(QStringLiteral("TxEmpty")); };
    QVERIFY(port.Open());
    QCOMPARE(port.WriteText("IF;"), 3);
    QTRY_COMPARE(m_recorder.entries(), QStringList{"TxEmpty"});
    QVERIFY(port.Close());
}

void TestComThread::ptyBytesStayWithoutHandler_data()
{
    addSyncMethodRows();
}

void TestComThread::ptyBytesStayWithoutHandler()
{
    QFETCH(TSyncMethod, syncMethod);
    PtyLine line(syncMethod);
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    QVERIFY(port.Open());
    QVERIFY(pty.send("abc"));
    QTRY_COMPARE(port.BytesWaiting(), 3);
    QVERIFY(pty.send("de"));
    QTRY_COMPARE(port.BytesWaiting(), 5);
    QByteArray text;
    QCOMPARE(port.ReadText(text, 10), 5);
    QCOMPARE(text, QByteArray("abcde"));
    QVERIFY(port.EventThread()->isRunning());
    QVERIFY(port.Close());
}

void TestComThread::ptyEmptyQueueRaisesNothing()
{
    PtyLine line;
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    QList<int> counts;
    QByteArray received;
    port.OnRxChar = [&](QObject*, int count) {
        counts.append(count);
        if (counts.size() == 1) {
            // A byte arriving now may raise a second receive event, but this
            // handler reads it first: that event must call nothing. (Linux
            // epoll drops an edge whose data is gone; the fake tests the rule.)
            QVERIFY(pty.send("b"));
            QTRY_COMPARE(port.BytesWaiting(), 2);
        }
        QByteArray text;
        port.ReadText(text, 100);
        received += text;
    };
    QVERIFY(port.Open());
    QVERIFY(pty.send("a"));
    QTRY_COMPARE(received, QByteArray("ab"));
    QVERIFY(pty.send("c"));
    QTRY_COMPARE(received, QByteArray("abc"));
    QCOMPARE(counts, (QList<int>{1, 1}));
}

void TestComThread::ptyHandlerExceptionStopsDelivery()
{
    PtyLine line;
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    QStringList& stops = line.stops;
    int calls = 0;
    port.OnRxChar = [&](QObject*, int) {
        ++calls;
        throw EComPort(ComPortMessages::ReadError);
    };
    QVERIFY(port.Open());
    QVERIFY(pty.send("IF;"));
    QTRY_COMPARE(stops, QStringList{message(ComPortMessages::ReadError)});
    QTRY_VERIFY(port.EventThread()->isFinished());
    QVERIFY(pty.send("x"));
    QTRY_COMPARE(port.BytesWaiting(), 4);
    QCOMPARE(calls, 1);
    QVERIFY(port.Connected());
    QVERIFY(port.Close());
    QCOMPARE(stops.size(), 1);
}

void TestComThread::ptyWindowSyncExceptionReported()
{
    PtyLine line(TSyncMethod::smWindowSync);
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    QByteArray received;
    port.OnRxChar = [&](QObject*, int count) {
        QByteArray text;
        port.ReadText(text, count);
        received += text;
        if (received.startsWith("bad"))
            throw EComPort(ComPortMessages::ReadError);
    };
    QVERIFY(port.Open());
    QVERIFY(pty.send("bad"));
    QTRY_COMPARE(recordingApp()->reported, QStringList{message(ComPortMessages::ReadError)});
    received.clear();
    QVERIFY(pty.send("good"));
    QTRY_COMPARE(received, QByteArray("good"));
    QVERIFY(port.Close());
}

void TestComThread::ptyCloseInsideLongHandler()
{
    PtyLine line;
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    int calls = 0;
    bool closed = false;
    port.OnRxChar = [&](QObject*, int) {
        // A long handler: bytes keep arriving while it runs, and it ends
        // by closing the port.
        ++calls;
        for (int i = 0; i < 50; ++i)
            QVERIFY(pty.send(QByteArray(64, 'z')));
        QTRY_VERIFY(port.BytesWaiting() >= 50 * 64);
        closed = port.Close();
    };
    QVERIFY(port.Open());
    QPointer<TComThread> thread = port.EventThread();
    QVERIFY(pty.send("go"));
    QTRY_VERIFY(closed);
    QVERIFY(!port.Connected());
    QTRY_VERIFY(thread.isNull());
    QCOMPARE(calls, 1);
    // The line is free again.
    QVERIFY(port.Open());
    QVERIFY(port.Close());
}

void TestComThread::ptyReopenInsideHandler_data()
{
    addSyncMethodRows();
}

void TestComThread::ptyReopenInsideHandler()
{
    QFETCH(TSyncMethod, syncMethod);
    PtyLine line(syncMethod);
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    // Under smNone this runs on the event thread, so it only records; the
    // checks run here.
    port.OnRxChar = [&](QObject*, int count) {
        QByteArray text;
        port.ReadText(text, count);
        if (text == "reopen") {
            const QString closed = messageOf([&] { port.Close(); });
            const QString opened = messageOf([&] { port.Open(); });
            m_recorder.add(QStringLiteral("reopened [%1][%2]").arg(closed, opened));
            return;
        }
        m_recorder.add(QString::fromLatin1(text));
    };
    QVERIFY(port.Open());
    QVERIFY(pty.send("reopen"));
    QTRY_COMPARE(m_recorder.entries(), QStringList{"reopened [][]"});
    // The reopened port delivers through a new thread.
    QVERIFY(pty.send("after"));
    QTRY_COMPARE(m_recorder.entries(), (QStringList{"reopened [][]", "after"}));
    QVERIFY(line.stops.isEmpty());
    QVERIFY(recordingApp()->reported.isEmpty());
}

void TestComThread::ptyModemLinesPolledWithoutLineWait()
{
    injected::ModemLinesWithoutWait driver;
    PtyLine line;
    QVERIFY(line.pty.isValid());
    TBComPort& port = line.port;
    recordAll(port, m_recorder);
    // The line-wait helper learns that it cannot wait, and ends, before the
    // device has finished setting up.
    injected::runNextThreadToEndFirst();
    QVERIFY(port.Open());
    // Both changes come from polling: the helper's one wake-up may report
    // the first of them, never the second.
    driver.lines = TIOCM_CTS;
    QTRY_COMPARE(m_recorder.entries(), QStringList{"CTS 1"});
    driver.lines = 0;
    QTRY_COMPARE(m_recorder.entries(), (QStringList{"CTS 1", "CTS 0"}));
    QVERIFY(port.Close());
}

void TestComThread::ptyHangUpEndsThreadWithoutSpinning()
{
    PtyLine line;
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    QStringList& stops = line.stops;
    // A sanitizer's runtime starts a thread of its own along with the
    // process's first one; that thread is not the port's.
    std::thread([] {}).join();
    const std::vector<pid_t> before = threadactivity::otherThreads();
    QVERIFY(port.Open());
    pty.closeMaster();
    QTRY_COMPARE(stops.size(), 1);
    QVERIFY(stops.first().startsWith(message(ComPortMessages::ReadError)));
    QTRY_VERIFY(port.EventThread()->isFinished());

    // A dead line must cost nothing while the owner has not closed it yet:
    // no event is due on this thread, and no thread the port started runs.
    const std::vector<pid_t> others = threadactivity::otherThreads(before);
    QTRY_VERIFY(threadactivity::allAsleep(others));
    EventCounter delivered;
    const QString ran = threadactivity::ranDuring(others, threadactivity::manyRounds,
                                                  [] { QCoreApplication::processEvents(); });
    QVERIFY2(ran.isEmpty(), qPrintable(ran));
    QCOMPARE(delivered.count, 0);

    QVERIFY(port.Close());
    QVERIFY(!port.Connected());
    QCOMPARE(stops.size(), 1);
}

void TestComThread::ptyLossReportedOnce_data()
{
    QTest::addColumn<LossMetBy>("metBy");
    QTest::addColumn<QString>("raised");  // what a call outside the deliveries raised
    QTest::addColumn<QString>("stopped"); // the reason the end of delivery gives
    const QString ioError = QStringLiteral(" PTY: Input/output error)");
    QTest::newRow("the wait alone: the end of delivery says it, with the system's reason")
        << LossMetBy::WaitAlone << QString()
        << message(ComPortMessages::ReadError) + " (epoll_wait" + ioError;
    QTest::newRow("the lamps read after Connect raise it first: the end adds nothing")
        << LossMetBy::ModemState
        << message(ComPortMessages::ModemStatusFailed) + " (ioctl TIOCMGET" + ioError << QString();
    QTest::newRow("a write raises it first: the end adds nothing")
        << LossMetBy::WriteText << message(ComPortMessages::WriteError) + " (write" + ioError
        << QString();
    QTest::newRow("a handler's read raises it: that error ends delivery, with its reason")
        << LossMetBy::ReadInHandler << QString()
        << message(ComPortMessages::ReadError) + " (read" + ioError;
}

// One loss of the line, one report: whoever meets it first tells it.
void TestComThread::ptyLossReportedOnce()
{
    QFETCH(LossMetBy, metBy);
    QFETCH(QString, raised);
    QFETCH(QString, stopped);
    PtyLine line;
    QVERIFY(line.pty.isValid());
    PtyPair& pty = line.pty;
    TBComPort& port = line.port;
    const QString path = pty.slavePath();
    port.OnRxChar = [&](QObject*, int count) {
        QByteArray text;
        port.ReadText(text, count);
        pty.closeMaster();
        port.ReadText(text, 1);
    };
    QVERIFY(port.Open());
    if (metBy == LossMetBy::ReadInHandler)
        QVERIFY(pty.send("IF;"));
    else
        pty.closeMaster();
    QString raisedHere;
    try {
        if (metBy == LossMetBy::ModemState)
            port.ModemState();
        if (metBy == LossMetBy::WriteText)
            port.WriteText("IF;");
    } catch (const EComPort&) {
        raisedHere = reasonText(std::current_exception());
    }
    QCOMPARE(raisedHere, raised.replace(QStringLiteral("PTY"), path));
    QTRY_COMPARE(line.stops, QStringList{stopped.replace(QStringLiteral("PTY"), path)});
    QVERIFY(port.Close());
}

int main(int argc, char** argv)
{
    RecordingApplication app(argc, argv);
    TestComThread test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_comthread.moc"
