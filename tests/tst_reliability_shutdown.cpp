#include "Application.h"
#include "BCPort.h"
#include "Main.h"
#include "PtyPair.h"
#include "ui_Main.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/syscall.h>

// The window destroyed while its port is open, as at the end of the program.
// Closing the port waits for the port's event thread in a local event loop,
// and that loop runs whatever is due, Timer1's tick included. Timer1 belongs
// to the window and ticks into its controls, so the port must be closed
// while the window and its controls are still whole.
class TestReliabilityShutdown : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noTickAfterTheControlsAreGone_data();
    void noTickAfterTheControlsAreGone();

private:
    QStringList m_messages;
};

namespace {

// The port's event thread has received bytes and waits for this thread to
// take the delivery: it is blocked in a futex, not in its wait for the line.
bool eventThreadWaitsForDelivery()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        QFile syscall(tasks.filePath(task + QStringLiteral("/syscall")));
        if (!comm.open(QIODevice::ReadOnly) || !syscall.open(QIODevice::ReadOnly))
            continue;
        const QByteArray number = syscall.readAll().split(' ').value(0).trimmed();
        if (comm.readAll().trimmed() == "QThread" && number == QByteArray::number(SYS_futex))
            return true;
    }
    return false;
}

} // namespace

void TestReliabilityShutdown::init()
{
    m_messages.clear();
    SetErrorMessageSink([this](const QString& text, const QString&) { m_messages << text; });
}

void TestReliabilityShutdown::cleanup()
{
    SetErrorMessageSink(nullptr);
}

void TestReliabilityShutdown::noTickAfterTheControlsAreGone_data()
{
    QTest::addColumn<QByteArray>("waiting");
    QTest::newRow("a query received, its delivery waiting") << QByteArray("IF;");
    QTest::newRow("other bytes received, their delivery waiting") << QByteArray("FA;");
}

void TestReliabilityShutdown::noTickAfterTheControlsAreGone()
{
    QFETCH(QByteArray, waiting);
    QTemporaryDir dir;
    PtyPair pty;
    QVERIFY(pty.isValid());
    TMainFormSetup setup;
    setup.settingsFile = dir.filePath(QStringLiteral("quartzel.ini"));
    setup.portListRoot = dir.path();
    setup.options.port = pty.slavePath();
    setup.options.connect = true;
    auto form = std::make_unique<TMainForm>(setup);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(form->BComPort1()->Connected());

    // Timer1 as it is after the window was kept busy for a while (a write to
    // a device that does not read takes seconds): overdue, so it ticks at the
    // next turn of any event loop. The window's own tick handler would touch
    // freed controls; a probe takes its place and only looks.
    QTimer* timer1 = form->Timer1();
    timer1->setInterval(0);
    QVERIFY(QObject::disconnect(timer1, &QTimer::timeout, form.get(), nullptr));
    const QPointer<QLabel> lamp = form->form().Image5;
    int ticksWithoutControls = 0;
    connect(timer1, &QTimer::timeout, timer1, [&] { ticksWithoutControls += lamp.isNull(); });
    // This thread serves no event from here on, so the delivery cannot
    // complete before the port closes: closing must serve it from its loop.
    QVERIFY(pty.send(waiting));
    QDeadlineTimer deadline(5000);
    while (!eventThreadWaitsForDelivery() && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    QVERIFY(eventThreadWaitsForDelivery());

    form.reset();
    QCOMPARE(ticksWithoutControls, 0);
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(TestReliabilityShutdown)
#include "tst_reliability_shutdown.moc"
