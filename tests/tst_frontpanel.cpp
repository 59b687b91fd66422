// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"
#include "Application.h"
#include "BCPort.h"
#include "FrequencyEntry.h"
#include "InjectedCalls.h"
#include "LineMonitorWindow.h"
#include "Main.h"
#include "MainAccessible.h"
#include "MainFormRig.h"
#include "MainFormTesting.h"
#include "OptionsKenwoodPage.h"
#include "PtyPair.h"
#include "TestFiles.h"
#include "ui_Main.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
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
    void accessibleNames_data();
    void accessibleNames();
    void keyboardReach_data();
    void keyboardReach();
    void typedFrequency_data();
    void typedFrequency();
    void kenwoodPollerFollowsTheWheel();
    void kenwoodSetTunesTheDial();
    void kenwoodSettingIsKept_data();
    void kenwoodSettingIsKept();
    void lineMonitorShowsWhatWentUnanswered();

private:
    void createForm(const CommandLineOptions& options);
    void createKenwoodForm(std::optional<bool> option = true);
    QByteArray receivedUntil(qsizetype size);
    void connectPanel();
    QByteArray replies(int count);
    QByteArray received(qsizetype size);
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
    QFile::remove(m_dir.filePath(QStringLiteral("quartzel.ini"))); // each case starts afresh
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
    return received(count * div4Reply.size());
}

// Collects what the program has written until `size` bytes (or more) have arrived.
QByteArray TestFrontPanel::received(qsizetype size)
{
    const bool arrived = QTest::qWaitFor([&] {
        m_received += m_pty->receive();
        return m_received.size() >= size;
    });
    if (!arrived)
        qWarning("only %lld bytes arrived", qlonglong(m_received.size()));
    return m_received;
}

// The same, then forgotten.
QByteArray TestFrontPanel::receivedUntil(qsizetype size)
{
    const QByteArray bytes = received(size);
    m_received.clear();
    return bytes;
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
    QTest::newRow("a Kenwood poller's opening: no answer without the profile")
        << QList<QByteArray>{"ID;", "ID;", "FA;"} << QList<int>{0, 0, 0};
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
    QLabel* darkLamp = m_form->form().Image4; // the lamp that assistive technology knows
    m_form->BComPort1()->OnRxChar = [&](QObject* s, int count) {
        replyTimes = {grid.elapsed()};
        m_form->BComPort1RxChar(s, count);
        replyTimes.append(grid.elapsed());
        shows += lamp->isVisible() && darkLamp->accessibleDescription() == "lit" ? 1 : 0;
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
        QCOMPARE(darkLamp->accessibleDescription(), "dark");
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

void TestFrontPanel::accessibleNames_data()
{
    QTest::addColumn<QString>("control"); // the object's name; "strip" for the digit strip
    QTest::addColumn<QString>("name");    // its label where it has one (Linux), else its name
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("checked");
    const QStringList places{"100 MHz", "10 MHz", "1 MHz", "100 kHz", "10 kHz",
                             "1 kHz",   "100 Hz", "10 Hz", "1 Hz"};
    for (int i = 1; i <= 9; ++i)
        QTest::addRow("digit %d names its place and value", i)
            << QStringLiteral("AdvSpinEdit%1").arg(i) << places[i - 1] + " digit"
            << QStringLiteral("014070000").mid(i - 1, 1) << "" << false;
    QTest::newRow("strip says the frequency") << "strip"
                                              << "Frequency"
                                              << "14 070 000 Hz"
                                              << "14 070 000 Hz" << false;
    QTest::newRow("port list, labelled, with its shortcut") << "cbPort"
                                                            << "Port:"
                                                            << "PTY"
                                                            << "Alt+P" << false;
    QTest::newRow("baud rate list") << "cbBaudRate"
                                    << "BaudRate:"
                                    << "9600"
                                    << "Alt+B" << false;
    QTest::newRow("connect button") << "btnConnect"
                                    << "Connect"
                                    << ""
                                    << "" << false;
    QTest::newRow("disconnect button") << "btnDisconnect"
                                       << "Disconnect"
                                       << ""
                                       << "" << false;
    QTest::newRow("mode group") << "GroupBox1"
                                << "Output mode"
                                << ""
                                << "" << false;
    QTest::newRow("mode button VFO, checked")
        << "SDR"
        << "VFO"
        << ""
        << "The device is told the dialled frequency divided by four, plus 10 kHz" << true;
    QTest::newRow("mode button SDR") << "VFO"
                                     << "SDR"
                                     << ""
                                     << "The device is told the dialled frequency" << false;
    QTest::newRow("reply lamp, dark") << "Image4"
                                      << "Reply lamp"
                                      << ""
                                      << "dark" << false;
}

// What a screen reader is told of each control, through Qt's accessibility.
void TestFrontPanel::accessibleNames()
{
    QFETCH(QString, control);
    QTRY_VERIFY(!m_form->form().Image5->isVisible()); // the start-up reply's flicker is over
    QObject* object = control == "strip"
                          ? static_cast<QObject*>(m_form->findChild<TFrequencyStrip*>())
                          : m_form->findChild<QWidget*>(control);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    QVERIFY(accessible);
    const auto labels = accessible->relations(QAccessible::Label);
    const QString name = labels.isEmpty() ? accessible->text(QAccessible::Name)
                                          : labels.first().first->text(QAccessible::Name);
    QTEST(name, "name");
    QTEST(accessible->text(QAccessible::Value).replace(m_pty->slavePath(), "PTY"), "value");
    QTEST(accessible->text(QAccessible::Description), "description");
    QTEST(bool(accessible->state().checked), "checked");
}

void TestFrontPanel::keyboardReach_data()
{
    QTest::addColumn<bool>("assisted"); // assistive technology is active
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("focus"); // the focused control after each key
    QTest::addColumn<bool>("connected");
    QTest::newRow("Tab passes the mode button back to the first digit")
        << false << QStringList{"Tab", "Tab"} << QStringList{"SDR", "AdvSpinEdit1"} << false;
    QTest::newRow("Shift+Tab goes to the digit before")
        << false << QStringList{"Shift+Tab"} << QStringList{"AdvSpinEdit8"} << false;
    QTest::newRow("with assistive technology Tab passes the port panel too")
        << true << QStringList{"Tab", "Tab", "Tab", "Tab", "Tab"}
        << QStringList{"SDR", "cbPort", "cbBaudRate", "btnConnect", "AdvSpinEdit1"} << false;
    QTest::newRow("Alt+P and Alt+B reach the lists")
        << false << QStringList{"Alt+P", "Alt+B"} << QStringList{"cbPort", "cbBaudRate"} << false;
    QTest::newRow("Alt+C connects")
        << false << QStringList{"Alt+C"} << QStringList{"AdvSpinEdit9"} << true;
}

// Starting in the hertz digit, with the keyboard alone.
void TestFrontPanel::keyboardReach()
{
    QFETCH(bool, assisted);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, focus);
    QAccessible::setActive(assisted);
    const auto inactive = qScopeGuard([] { QAccessible::setActive(false); });
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    m_form->digit(9)->setFocus();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QKeyCombination key = QKeySequence::fromString(keys[i])[0];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), focus[i]);
    }
    QFETCH(bool, connected);
    QTRY_COMPARE(m_form->BComPort1()->Connected(), connected);
}

void TestFrontPanel::typedFrequency_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("closingKey");
    QTest::addColumn<QString>("dial"); // the dial afterwards, as the next reply carries it
    QTest::addColumn<QString>("message");
    QTest::newRow("Enter dials, and the next reply carries it")
        << "7.074" << int(Qt::Key_Return) << "007074000"
        << "";
    QTest::newRow("Escape leaves the dial") << "7.074" << int(Qt::Key_Escape) << "014070000"
                                            << "";
    QTest::newRow("a frequency above the dial is refused, the entry stays")
        << "300M" << int(Qt::Key_Return) << "014070000"
        << "300M is above the highest frequency of the dial, 299 999 999 Hz";
}

// Ctrl+G opens the entry over the digits, showing what they show.
void TestFrontPanel::typedFrequency()
{
    QFETCH(QString, typed);
    QFETCH(int, closingKey);
    QFETCH(QString, dial);
    QFETCH(QString, message);
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    connectPanel();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::keyClick(m_form.get(), Qt::Key_G, Qt::ControlModifier);
    QLineEdit* entry = m_form->frequencyEntry()->edit();
    QTRY_VERIFY(entry->hasFocus());
    QCOMPARE(entry->selectedText(), "14 070 000");
    QTest::keyClicks(entry, typed);
    QTest::keyClick(entry, Qt::Key(closingKey));
    QCOMPARE(m_form->frequencyEntry()->isVisible(), !message.isEmpty());
    QCOMPARE(m_form->frequencyEntry()->message()->text(), message);
    QCOMPARE(digitTexts(*m_form), dial);
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), "IF00" + dial.toLatin1() + tail);
}

void TestFrontPanel::createKenwoodForm(std::optional<bool> option)
{
    m_form.reset();
    CommandLineOptions options;
    options.port = m_pty->slavePath();
    options.kenwood = option;
    createForm(options);
}

// A tuner reads FA; alone; with auto-information on, a device that only
// listens hears every turn, the second of two quick ones when 100 ms have
// passed.
void TestFrontPanel::kenwoodPollerFollowsTheWheel()
{
    createKenwoodForm();
    QVERIFY(m_form->kenwoodProfile());
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    connectPanel();
    TAdvSpinEdit* kilohertz = m_form->digit(6);
    for (int turn = 0; turn < 3; ++turn) {
        wheelAt(kilohertz, QPoint(10, kilohertz->height() / 2), QPoint(0, 120));
        QVERIFY(m_pty->send("FA;"));
        const QByteArray expected = "FA00" + m_form->dialledFrequency().toLatin1() + ';';
        QCOMPARE(receivedUntil(expected.size()), expected);
    }
    QVERIFY(m_pty->send("AI2;AI;"));
    QCOMPARE(receivedUntil(4), QByteArray("AI2;"));
    wheelAt(kilohertz, QPoint(10, kilohertz->height() / 2), QPoint(0, 120));
    const QByteArray first = "IF00" + m_form->dialledFrequency().toLatin1() + tail;
    wheelAt(kilohertz, QPoint(10, kilohertz->height() / 2), QPoint(0, 120));
    const QByteArray second = "IF00" + m_form->dialledFrequency().toLatin1() + tail;
    QCOMPARE(receivedUntil(2 * plainReply.size()), first + second);
}

// A set of FA in div4 mode dials what gives that frequency, as a turn of the
// wheel would: the digits show it and the next IF; carries it. MD is the
// rigctld server's mode.
void TestFrontPanel::kenwoodSetTunesTheDial()
{
    createKenwoodForm();
    QVERIFY(m_form->kenwoodProfile());
    connectPanel();
    QVERIFY(m_pty->send("FA00001778500;ID;"));
    QCOMPARE(receivedUntil(6), QByteArray("ID019;"));
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("007074000"));
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(receivedUntil(div4Reply.size()), "IF00001778500" + tail);
    // The mode is the one the rigctld server's clients read and set.
    TMainFormRig rig(*m_form);
    QVERIFY(m_pty->send("MD3;"));
    QTRY_COMPARE(rig.mode().name, QByteArray("CW"));
    rig.mode() = {"LSB", 2400};
    QVERIFY(m_pty->send("MD;"));
    QCOMPARE(receivedUntil(4), QByteArray("MD1;"));
}

void TestFrontPanel::kenwoodSettingIsKept_data()
{
    QTest::addColumn<QByteArray>("stored");  // [KENWOOD] and its keys; empty: no section
    QTest::addColumn<int>("option");         // --kenwood: -1 not given, 0 off, 1 on
    QTest::addColumn<QByteArray>("page");    // the options page's identity; empty: off
    QTest::addColumn<QByteArray>("answers"); // to "ID;IF;"
    QTest::addColumn<QByteArray>("kept");    // [KENWOOD] after closing
    QTest::addColumn<int>("messages");
    const QByteArray on = "[KENWOOD]\nenabled=1\nid=020\n";
    const QByteArray unused = "unused";
    QTest::newRow("nothing set: IF; alone answered, nothing written")
        << QByteArray() << -1 << unused << div4Reply << QByteArray() << 0;
    QTest::newRow("stored on with an identity")
        << on << -1 << unused << "ID020;" + div4Reply << on << 0;
    QTest::newRow("--kenwood on is kept") << QByteArray() << 1 << unused << "ID019;" + div4Reply
                                          << QByteArray("[KENWOOD]\nenabled=1\n") << 0;
    QTest::newRow("--kenwood off wins over the stored on and is kept")
        << on << 0 << unused << div4Reply << QByteArray("[KENWOOD]\nenabled=0\nid=020\n") << 0;
    const QByteArray unreadable = "[KENWOOD]\nenabled=yes\nid=19\n";
    QTest::newRow("unreadable texts: reported, not used, left as they stand")
        << unreadable << -1 << unused << div4Reply << unreadable << 2;
    QTest::newRow("turned on in the options: answered at once, kept")
        << QByteArray() << -1 << QByteArray("019") << "ID019;" + div4Reply
        << QByteArray("[KENWOOD]\nenabled=1\n") << 0;
    QTest::newRow("another identity in the options")
        << on << -1 << QByteArray("021") << "ID021;" + div4Reply
        << QByteArray("[KENWOOD]\nenabled=1\nid=021\n") << 0;
    QTest::newRow("turned off in the options") << on << -1 << QByteArray() << div4Reply
                                               << QByteArray("[KENWOOD]\nenabled=0\nid=020\n") << 0;
}

void TestFrontPanel::kenwoodSettingIsKept()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, option);
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, answers);
    QFETCH(QByteArray, kept);
    QFETCH(int, messages);
    const QString file = m_dir.filePath(QStringLiteral("quartzel.ini"));
    writeBytes(file, "[PORT]\nfrequency=014070000\ndiv4=1\n" + stored);
    createKenwoodForm(option < 0 ? std::nullopt : std::optional<bool>(option == 1));
    if (page != "unused") {
        TOptionsDialog dialog(m_form.get());
        auto* options = new TOptionsKenwoodPage(*m_form);
        dialog.addPage(options, QStringLiteral("Kenwood"));
        options->answers()->setChecked(!page.isEmpty());
        if (!page.isEmpty())
            options->id()->setText(QString::fromLatin1(page));
        dialog.accept();
        QVERIFY(dialog.message()->text().isEmpty());
    }
    connectPanel();
    QVERIFY(m_pty->send("ID;IF;"));
    QCOMPARE(receivedUntil(answers.size()), answers);
    QVERIFY2(m_messages.size() == messages, qPrintable(m_messages.join(u'|')));
    m_form->FormClose(m_form.get());
    const QByteArray saved = readBytes(file);
    const qsizetype section = saved.indexOf("[KENWOOD]");
    QCOMPARE(section < 0 ? QByteArray() : saved.sliced(section), kept);
}

// Without the profile a Kenwood poller's opening goes unanswered, and the
// monitor (Ctrl+M) says so.
void TestFrontPanel::lineMonitorShowsWhatWentUnanswered()
{
    connectPanel();
    QVERIFY(m_pty->send("ID;"));
    QVERIFY(m_pty->send("IF;"));
    QCOMPARE(replies(1), div4Reply);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::keyClick(m_form.get(), Qt::Key_M, Qt::ControlModifier);
    QVERIFY(m_form->lineMonitorWindow() && m_form->lineMonitorWindow()->isVisible());
    const QString shown = m_form->lineMonitorWindow()->text();
    QVERIFY2(shown.startsWith(QStringLiteral("Answered: 1, the last at ")), qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("\n  ID; \u00d71")), qPrintable(shown));
}

// The program's own application object, which knows who can see its windows.
int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TestFrontPanel test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frontpanel.moc"
