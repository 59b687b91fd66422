// SPDX-License-Identifier: GPL-3.0-or-later

#include "Application.h"
#include "BCPort.h"
#include "ComThread.h"
#include "Main.h"
#include "PtyPair.h"
#include "ui_Main.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

// The window destroyed while its port is open, as at the end of the program.
// Closing the port serves the delivery that its event thread has handed over,
// and that runs the window's handler; nothing else that is due may run then,
// Timer1's tick included, which would reach controls already destroyed. So
// the port is closed while the window and its controls are still whole.
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

void TestReliabilityShutdown::init()
{
    m_messages.clear();
    setErrorMessageSink([this](const QString& text, const QString&) { m_messages << text; });
}

void TestReliabilityShutdown::cleanup()
{
    setErrorMessageSink(nullptr);
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
    // The port's event thread has received the bytes and handed them over:
    // it records the batch as it hands it over.
    const TComThread* eventThread = form->BComPort1()->EventThread();
    QDeadlineTimer deadline(5000);
    while (!eventThread->PendingEvents() && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    QCOMPARE(eventThread->PendingEvents(), TLineEvents(TLineEvent::evRxChar));

    form.reset();
    QCOMPARE(ticksWithoutControls, 0);
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(TestReliabilityShutdown)
#include "tst_reliability_shutdown.moc"
