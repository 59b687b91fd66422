// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"
#include "Application.h"
#include "BCPort.h"
#include "InjectedCalls.h"
#include "Main.h"
#include "MainFormTesting.h"
#include "PtyPair.h"
#include "ui_Main.h"

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cerrno>

// The front panel end to end: the real main window, offscreen, answering
// "IF;" on a real pseudo-terminal whose master side the test holds.
class TestFrontPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startupAnswersIntoTheHiddenLine();
    void replyPerMode_data();
    void replyPerMode();
    void shortReplyBelow359998Hz();
    void chunkSequences_data();
    void chunkSequences();
    void chunkEndingInCrGetsLf();
    void staleFrequencyUntilWheel();
    void pastedControlCharacterNeverReachesTheLine();
    void bufferSurvivesReconnect();
    void failedReplyKeepsTheQuery();
    void panelStates();
    void connectWithoutRateKeepsPortRate();
    void openErrorIsReportedAndPanelStaysClosed();
    void wheelOverDigit_data();
    void wheelOverDigit();
    void wheelElsewhere_data();
    void wheelElsewhere();
    void lampLitByReplyAndPutOutByTick();
    void caretDoesNotBlinkUnseen();
    void unplugIsReportedOnceAndReconnectWorks();
    void unplugWhileConnectingIsReportedOnce();
    void connectOptionConnectsAtStart();

private:
    void createForm(const CommandLineOptions& options);
    void connectPanel();
    QByteArray replies(int count);
    void wheelAt(QWidget* widget, QPoint local, QPoint angle,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
    QStringList m_details; // PTY stands for the line's path
    QByteArray m_received;
};

namespace {
const QByteArray tail = "0010+0000000000010000000;";
const QByteArray div4Reply = "IF00003527500" + tail;
const QByteArray plainReply = "IF00014070000" + tail;
} // namespace

void TestFrontPanel::init()
{
    m_messages.clear();
    m_details.clear();
    m_received.clear();
    setErrorMessageSink([this](const QString& text, const QString& detail) {
        m_messages << text;
        m_details << QString(detail).replace(m_pty->slavePath(), QStringLiteral("PTY"));
    });
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    CommandLineOptions options;
    options.port = m_pty->slavePath();
    createForm(options);
}

void TestFrontPanel::createForm(const CommandLineOptions& options)
{
    TMainFormSetup setup;
    setup.settingsFile = m_dir.filePath(QStringLiteral("quartzel.ini"));
    setup.portListRoot = m_dir.path(); // no ports listed: the pty is the only one
    setup.options = options;
    m_form = std::make_unique<TMainForm>(setup);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestFrontPanel::cleanup()
{
    m_form.reset();
    m_pty.reset();
    setErrorMessageSink(nullptr);
}

void TestFrontPanel::connectPanel()
{
    QTest::mouseClick(m_form->form().btnConnect, Qt::LeftButton);
    QVERIFY(m_form->BComPort1()->Connected());
}

// Collects what the program has written until `count` replies (or more) have
// arrived; a later fence query shows whether anything extra was sent.
QByteArray TestFrontPanel::replies(int count)
{
    const qsizetype wanted = count * div4Reply.size();
    const bool arrived = QTest::qWaitFor([&] {
        m_received += m_pty->receive();
        return m_received.size() >= wanted;
    });
    if (!arrived)
        qWarning("only %lld bytes arrived", qlonglong(m_received.size()));
    return m_received;
}

void TestFrontPanel::wheelAt(QWidget* widget, QPoint local, QPoint angle,
                             Qt::KeyboardModifiers modifiers)
{
    const QPoint global = widget->mapToGlobal(local);
    QWidget* target = QApplication::widgetAt(global);
    QVERIFY(target);
    QWheelEvent event(target->mapFromGlobal(global), global, QPoint(), angle, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

void TestFrontPanel::startupAnswersIntoTheHiddenLine()
{
    QCOMPARE(m_form->form().Edit1->text().toLatin1(), div4Reply);
    QCOMPARE(m_form->form().StatusPanel2->text().toLatin1(), "TX = " + div4Reply);
    QVERIFY(m_form->receiveBuffer().text().isEmpty());
    QVERIFY(m_form->form().Edit2->text().isEmpty());
    QCOMPARE(m_form->form().StatusPanel0->text(), QStringLiteral("RX = "));
    connectPanel();
    QCOMPARE(m_pty->receive(), QByteArray());
}

void TestFrontPanel::replyPerMode_data()
{
    QTest::addColumn<bool>("div4");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("div4 mode (button VFO) at 014 070 000") << true << div4Reply;
    QTest::newRow("plain mode (button SDR) at 014 070 000") << false << plainReply;
}

void TestFrontPanel::replyPerMode()
{
    QFETCH(bool, div4);
    QFETCH(QByteArray, expected);
    QTest::mouseClick(div4 ? m_form->form().SDR : m_form->form().VFO, Qt::LeftButton);
    connectPanel();
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), expected);
    QCOMPARE(m_form->form().StatusPanel2->text().toLatin1(), "TX = " + expected);
    QVERIFY(m_form->form().Edit1->text().isEmpty());
    QVERIFY(m_form->receiveBuffer().text().isEmpty());
}

void TestFrontPanel::shortReplyBelow359998Hz()
{
    m_form->setDial(QStringLiteral("000100000"));
    connectPanel();
    QVERIFY(m_pty->send("IF;"));
    QVERIFY(QTest::qWaitFor([&] { return (m_received += m_pty->receive()).size() >= 35; }));
    QCOMPARE(m_received, "IF00035000" + tail);
}

void TestFrontPanel::chunkSequences_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    // The number of replies sent once each chunk has been handled.
    QTest::addColumn<QList<int>>("replyCounts");
    QTest::newRow("query in three chunks")
        << QList<QByteArray>{"I", "F", ";"} << QList<int>{0, 0, 1};
    QTest::newRow("query between other commands") << QList<QByteArray>{"FA;IF;XY"} << QList<int>{1};
    QTest::newRow("two queries in one chunk") << QList<QByteArray>{"IF;IF;"} << QList<int>{1};
    QTest::newRow("text without a query") << QList<QByteArray>{"FA;", "FB;"} << QList<int>{0, 0};
    QTest::newRow("query right after a NUL byte")
        << QList<QByteArray>{QByteArray("\0IF;", 4)} << QList<int>{1};
}

// Each chunk is sent once the one before it has been handled, so that the
// line does not merge them. A fence query at the end must bring exactly one
// more reply: a reply too many, or a leftover that completed a query, shows.
void TestFrontPanel::chunkSequences()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<int>, replyCounts);
    connectPanel();
    int sent = 0;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QVERIFY(m_pty->send(chunks[i]));
        if (replyCounts[i] > sent)
            replies(sent = replyCounts[i]);
        else
            QTRY_VERIFY(m_form->receiveBuffer().text().endsWith(chunks[i]));
        const QString buffer = QString::fromLatin1(m_form->receiveBuffer().text());
        QCOMPARE(m_form->form().Edit2->text(), buffer);
        QCOMPARE(m_form->form().StatusPanel0->text(), QStringLiteral("RX = ") + buffer);
    }
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(sent + 1), div4Reply.repeated(sent + 1));
    QVERIFY(m_form->receiveBuffer().text().isEmpty());
}

void TestFrontPanel::chunkEndingInCrGetsLf()
{
    connectPanel();
    QVERIFY(m_pty->send("FA\r"));
    QTRY_COMPARE(m_form->receiveBuffer().text(), QByteArray("FA\r\n"));
}

void TestFrontPanel::staleFrequencyUntilWheel()
{
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    connectPanel();
    m_form->digit(9)->StepUp(); // a keyboard-style step: no composition
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), plainReply);
    wheelAt(m_form->form().Label11, QPoint(2, 2), QPoint()); // a wheel event anywhere composes
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(2), plainReply + "IF00014070001" + tail);
}

// The reply carries the digit texts as they stand, so a paste must not bring a newline into one.
void TestFrontPanel::pastedControlCharacterNeverReachesTheLine()
{
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    connectPanel();
    TAdvSpinEdit* hertz = m_form->digit(9);
    QGuiApplication::clipboard()->setText(QStringLiteral("3\n"));
    QTest::keyClick(hertz, Qt::Key_End);
    QTest::keyClick(hertz, Qt::Key_V, Qt::ControlModifier);
    wheelAt(m_form->form().Label11, QPoint(2, 2), QPoint()); // composes
    QVERIFY(m_pty->send("IF;"));
    const QByteArray reply = replies(1);
    QCOMPARE(reply.size(), plainReply.size());
    QVERIFY(std::none_of(reply.begin(), reply.end(), [](char c) { return c < ' '; }));
    QCOMPARE(reply, plainReply);
}

void TestFrontPanel::bufferSurvivesReconnect()
{
    connectPanel();
    QVERIFY(m_pty->send("I"));
    QTRY_COMPARE(m_form->receiveBuffer().text(), QByteArray("I"));
    QTest::mouseClick(m_form->form().btnDisconnect, Qt::LeftButton);
    QVERIFY(!m_form->BComPort1()->Connected());
    QCOMPARE(m_form->receiveBuffer().text(), QByteArray("I"));
    connectPanel();
    QVERIFY(m_pty->send("F;"));
    QCOMPARE(replies(1), div4Reply);
}

// A reply the line refuses leaves the query in the buffer and the lamp dark:
// the first chunk after reconnecting gets the reply.
void TestFrontPanel::failedReplyKeepsTheQuery()
{
    QLabel* lamp = m_form->form().Image5;
    QTRY_VERIFY(!lamp->isVisible()); // the start-up reply's flicker is over
    connectPanel();
    {
        const injected::FailingWrites refused(int(m_form->BComPort1()->Handle()), EIO);
        QVERIFY(m_pty->send("IF;"));
        // The error ends delivery, which closes the panel.
        QTRY_VERIFY(!m_form->BComPort1()->Connected());
    }
    QCOMPARE(m_messages, QStringList{QString::fromUtf8(ComPortMessages::WriteError)});
    QCOMPARE(m_details, QStringList{"write PTY: Input/output error"});
    QCOMPARE(m_form->receiveBuffer().text(), QByteArray("IF;"));
    QVERIFY(!lamp->isVisible());
    QCOMPARE(m_form->form().Edit1->text().toLatin1(), div4Reply);
    connectPanel();
    QVERIFY(m_pty->send("x"));
    QCOMPARE(replies(1), div4Reply);
}

void TestFrontPanel::panelStates()
{
    Ui::MainForm& f = m_form->form();
    const QColor window = QApplication::palette().color(QPalette::Base);
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    // Closed at start.
    QVERIFY(f.btnConnect->isEnabled() && f.cbPort->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{f.btnDisconnect, f.cbSetDTR, f.cbSetRTS,
                                                      f.btnSend, f.cbCRLF})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(f.Edit1->isEnabled());
    QCOMPARE(f.Edit1->palette().color(QPalette::Base), window);
    // Open.
    connectPanel();
    QVERIFY(!f.btnConnect->isEnabled() && !f.cbPort->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{f.btnDisconnect, f.cbSetDTR, f.cbSetRTS,
                                                      f.btnSend, f.cbCRLF, f.Edit1})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(f.cbSetDTR->isChecked() && f.cbSetRTS->isChecked());
    QVERIFY(f.cbBaudRate->isEnabled());
    QVERIFY(!f.Image1->pixmap().isNull()); // a pty has no modem lines: the lamps show "Off"
    // Closed again.
    QTest::mouseClick(f.btnDisconnect, Qt::LeftButton);
    QVERIFY(f.btnConnect->isEnabled() && f.cbPort->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{f.btnDisconnect, f.cbSetDTR, f.cbSetRTS,
                                                      f.btnSend, f.cbCRLF, f.Edit1})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QCOMPARE(f.Edit1->palette().color(QPalette::Base), buttonFace);
    QVERIFY(m_messages.isEmpty());
}

void TestFrontPanel::connectWithoutRateKeepsPortRate()
{
    m_form->form().cbBaudRate->setCurrentIndex(-1);
    m_form->BComPort1()->setBaudRate(TBaudRate::br57600);
    connectPanel();
    QCOMPARE(m_form->BComPort1()->BaudRate(), TBaudRate::br57600);
    QVERIFY(m_messages.isEmpty());
}

void TestFrontPanel::openErrorIsReportedAndPanelStaysClosed()
{
    m_form->form().cbPort->setItemText(0, m_dir.filePath(QStringLiteral("no-such-tty")));
    QTest::mouseClick(m_form->form().btnConnect, Qt::LeftButton);
    QCOMPARE(m_messages, QStringList{QString::fromUtf8(ComPortMessages::NoSuchPort)});
    QVERIFY(!m_form->BComPort1()->Connected());
    QVERIFY(m_form->form().btnConnect->isEnabled());
    QVERIFY(!m_form->form().btnDisconnect->isEnabled());
}

void TestFrontPanel::wheelOverDigit_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("after");
    const Qt::KeyboardModifiers none;
    const QStringList up{"114070000", "024070000", "015070000", "014170000", "014080000",
                         "014071000", "014070100", "014070010", "014070001"};
    for (int i = 1; i <= 9; ++i)
        QTest::addRow("notch up over digit %d", i) << i << QPoint(0, 120) << none << up[i - 1];
    QTest::newRow("notch down over the hertz digit borrows")
        << 9 << QPoint(0, -120) << none << "014069999";
    QTest::newRow("small touchpad step still steps once")
        << 9 << QPoint(0, 15) << none << "014070001";
    // X11 turns a notch with Alt held into a horizontal one.
    QTest::newRow("Alt + notch up arrives horizontal and steps up")
        << 9 << QPoint(120, 0) << Qt::KeyboardModifiers(Qt::AltModifier) << "014070001";
    QTest::newRow("Alt + notch down arrives horizontal and steps down")
        << 8 << QPoint(-120, 0) << Qt::KeyboardModifiers(Qt::AltModifier) << "014069990";
}

void TestFrontPanel::wheelOverDigit()
{
    QFETCH(int, index);
    QFETCH(QPoint, angle);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, after);
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    TAdvSpinEdit* d = m_form->digit(index);
    wheelAt(d, QPoint(10, d->height() / 2), angle, modifiers);
    QCOMPARE(digitTexts(*m_form), after);
    QVERIFY(d->hasFocus());
    QCOMPARE(m_form->frequencyString(), after);
}

void TestFrontPanel::wheelElsewhere_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<int>("stepsDigit"); // 0: no digit steps
    QTest::newRow("kHz label") << "Label11" << 0;
    QTest::newRow("mode button") << "SDR" << 0;
    QTest::newRow("separator panel over the third digit's buttons") << "Panel4" << 0;
    QTest::newRow("first digit's covered buttons: the second digit in front steps")
        << "AdvSpinEdit1.buttons" << 2;
}

void TestFrontPanel::wheelElsewhere()
{
    QFETCH(QString, place);
    QFETCH(int, stepsDigit);
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    m_form->digit(9)->setText(QStringLiteral("5")); // a change that has not been composed
    if (place == QLatin1String("AdvSpinEdit1.buttons")) {
        TAdvSpinEdit* first = m_form->digit(1);
        wheelAt(first, QPoint(first->width() - 6, first->height() / 2), QPoint(0, 120));
    } else {
        wheelAt(m_form->findChild<QWidget*>(place), QPoint(3, 3), QPoint(0, 120));
    }
    const QString expected =
        stepsDigit == 2 ? QStringLiteral("024070005") : QStringLiteral("014070005");
    QCOMPARE(digitTexts(*m_form), expected);
    QCOMPARE(m_form->frequencyString(), expected);
}

void TestFrontPanel::lampLitByReplyAndPutOutByTick()
{
    QLabel* lamp = m_form->form().Image5;
    QTRY_VERIFY(!lamp->isVisible()); // the start-up reply's flicker is over
    const QElapsedTimer& grid = m_form->timer1Grid();
    int shows = 0;
    QList<qint64> replyTimes; // on the grid's clock, just before and after the reply
    m_form->BComPort1()->OnRxChar = [&](QObject* s, int count) {
        replyTimes = {grid.elapsed()};
        m_form->BComPort1RxChar(s, count);
        replyTimes.append(grid.elapsed());
        shows += lamp->isVisible() ? 1 : 0;
    };
    // The lamp goes out at the next tick of the grid, not a full period after
    // the reply: the timer is armed for what is left of the period in which
    // the reply went out. (Twice, as a reply may fall on a tick.)
    const auto armedForNextTick = [&](int interval) {
        for (qint64 at = replyTimes.first(); at <= replyTimes.last(); ++at) {
            if ((at + interval) % 250 == 0)
                return true;
        }
        return false;
    };
    connectPanel();
    for (int reply = 1; reply <= 2; ++reply) {
        // Out, the lamp needs no timer.
        QVERIFY(!m_form->Timer1()->isActive());
        QVERIFY(m_pty->send("IF;"));
        QCOMPARE(replies(reply), div4Reply.repeated(reply));
        QCOMPARE(shows, reply);
        QVERIFY(m_form->Timer1()->isActive());
        QVERIFY2(armedForNextTick(m_form->Timer1()->interval()),
                 qPrintable(QStringLiteral("armed for %1 ms at %2..%3 ms")
                                .arg(m_form->Timer1()->interval())
                                .arg(replyTimes.first())
                                .arg(replyTimes.last())));
        QSignalSpy ticks(m_form->Timer1(), &QTimer::timeout);
        QVERIFY(ticks.wait());
        QVERIFY(!lamp->isVisible());
    }
    QVERIFY(!m_form->Timer1()->isActive());
}

// Offscreen no one sees the window: the focused digit's caret does not blink,
// so nothing wakes the program while the line is quiet.
void TestFrontPanel::caretDoesNotBlinkUnseen()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    TAdvSpinEdit* digit = m_form->digit(9);
    digit->setFocus();
    QTRY_VERIFY(digit->hasFocus());
    int timers = 0;
    for (QObject* part : digit->findChildren<QObject*>())
        timers += int(QAbstractEventDispatcher::instance()->registeredTimers(part).size());
    QCOMPARE(timers, 0);
}

void TestFrontPanel::unplugIsReportedOnceAndReconnectWorks()
{
    connectPanel();
    m_pty->closeMaster();
    QTRY_VERIFY(m_form->form().btnConnect->isEnabled());
    QVERIFY(!m_form->BComPort1()->Connected());
    QVERIFY(!m_form->form().btnDisconnect->isEnabled());
    QCOMPARE(m_messages, QStringList{QString::fromUtf8(ComPortMessages::ReadError)});
    QCOMPARE(m_details, QStringList{"epoll_wait PTY: Input/output error"});
    m_pty = std::make_unique<PtyPair>();
    m_form->form().cbPort->setItemText(m_form->form().cbPort->currentIndex(), m_pty->slavePath());
    connectPanel();
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), div4Reply);
    QCOMPARE(m_messages.size(), 1);
}

// The line hangs up as Connect opens it, before the lamps are read: the
// failed read of the lamps and the failed wait of the event thread are one
// loss, reported once, with the system's reason.
void TestFrontPanel::unplugWhileConnectingIsReportedOnce()
{
    injected::afterNextThreadStart([this] { m_pty->closeMaster(); });
    QTest::mouseClick(m_form->form().btnConnect, Qt::LeftButton);
    // The panel closes where the end of delivery is served, after any report of it.
    QTRY_VERIFY(m_form->form().btnConnect->isEnabled());
    QVERIFY(!m_form->BComPort1()->Connected());
    QCOMPARE(m_messages, QStringList{QString::fromUtf8(ComPortMessages::ModemStatusFailed)});
    QCOMPARE(m_details, QStringList{"ioctl TIOCMGET PTY: Input/output error"});
}

void TestFrontPanel::connectOptionConnectsAtStart()
{
    m_form.reset();
    CommandLineOptions options;
    options.port = m_pty->slavePath();
    options.connect = true;
    createForm(options);
    QVERIFY(m_form->BComPort1()->Connected());
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), div4Reply);
}

// The program's own application object, which knows who can see its windows.
int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TestFrontPanel test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frontpanel.moc"
