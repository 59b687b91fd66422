// SPDX-License-Identifier: GPL-3.0-or-later

// Further lines on real pseudo-terminals, whose master sides the test holds,
// and on socat's links, which come and go as an adapter does.

#include "Application.h"
#include "BCPort.h"
#include "Line.h"
#include "Lines.h"
#include "Main.h"
#include "OptionsLinesPage.h"
#include "PtyPair.h"
#include "SharedDial.h"
#include "ui_Main.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int generousMs = 10000;

const QByteArray tail = "0010+0000000000010000000;";

QByteArray replyFor(const QByteArray& paddedFrequency)
{
    return "IF00" + paddedFrequency + tail;
}

// A write to line `line`.
struct Chunk
{
    int line;
    QByteArray bytes;
};

// A pseudo-terminal pair from socat, each end under a link, as a program on
// the far end of a serial line sees it: the line opens `lineEnd`, the test
// polls through `pollerEnd`. Stopped, socat removes both links.
class SocatPair
{
public:
    SocatPair(const QString& lineEnd, const QString& pollerEnd)
        : m_lineEnd(lineEnd), m_pollerEnd(pollerEnd)
    {
    }
    ~SocatPair() { stop(); }

    // socat is started with fork(), not QProcess: the ThreadSanitizer
    // runtime of clang 14 fails its own check in a child that Qt's forkfd
    // makes with clone().
    bool start()
    {
        const QByteArray lineEnd =
            QStringLiteral("pty,link=%1,raw,echo=0").arg(m_lineEnd).toLocal8Bit();
        const QByteArray pollerEnd =
            QStringLiteral("pty,link=%1,raw,echo=0").arg(m_pollerEnd).toLocal8Bit();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("socat", "socat", lineEnd.constData(), pollerEnd.constData(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return m_pid > 0 &&
               QTest::qWaitFor(
                   [this] { return QFile::exists(m_lineEnd) && QFile::exists(m_pollerEnd); },
                   generousMs);
    }
    // Stopped, socat removes its links.
    bool stop()
    {
        if (m_pid <= 0)
            return true;
        const bool ended = ::kill(m_pid, SIGTERM) == 0 && ::waitpid(m_pid, nullptr, 0) == m_pid;
        m_pid = -1;
        return ended && !QFile::exists(m_lineEnd);
    }

    // Asks once through the poller's end; what came back within the watchdog.
    QByteArray ask()
    {
        const int fd =
            ::open(m_pollerEnd.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::write(fd, "IF;", 3) != 3)
            return "<no poller end>";
        QByteArray received;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                char buffer[64];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    received.append(buffer, n);
                return received.size() >= replyFor("003527500").size();
            },
            generousMs));
        ::close(fd);
        return received;
    }

private:
    QString m_lineEnd;
    QString m_pollerEnd;
    pid_t m_pid = -1;
};

// The options of a window that connects to `panel` at start.
CommandLineOptions connecting(const PtyPair& panel)
{
    CommandLineOptions options;
    options.port = panel.slavePath();
    options.connect = true;
    return options;
}

enum class Loss { LinkRemoved, MissingAtOpen, FolderRemoved };

} // namespace

Q_DECLARE_METATYPE(QList<Chunk>)
Q_DECLARE_METATYPE(Loss)

class TestLines : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eachLineAnswersItsOwnQueries_data();
    void eachLineAnswersItsOwnQueries();
    void failureIsReportedOnceByName_data();
    void failureIsReportedOnceByName();
    void deviceComesBack_data();
    void deviceComesBack();
    void windowOpensAndClosesItsLines();
    void kenwoodProfileOnFurtherLine_data();
    void kenwoodProfileOnFurtherLine();
    void optionsPageMakesLines_data();
    void optionsPageMakesLines();
    void panelPortComesBack();

private:
    // The window of a first start with these options, its settings in the
    // test's folder.
    std::unique_ptr<TMainForm> window(const CommandLineOptions& options);

    TSharedDial m_dial;
    QTemporaryDir m_dir;
    QStringList m_errors;
    QStringList m_notes;
};

void TestLines::init()
{
    QVERIFY(m_dir.isValid());
    m_errors.clear();
    m_notes.clear();
    setErrorMessageSink([this](const QString& text, const QString&) { m_errors << text; });
    setNoteSink([this](const QString& text, const QString&) { m_notes << text; });
    m_dial.publish(QStringLiteral("03527500"));
}

void TestLines::cleanup()
{
    setErrorMessageSink(nullptr);
    setNoteSink(nullptr);
}

void TestLines::eachLineAnswersItsOwnQueries_data()
{
    QTest::addColumn<QString>("frequencyString");
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<int>("firstLineReplies");
    QTest::addColumn<int>("secondLineReplies");
    // The reply as the string gives it, padded.
    QTest::addColumn<QByteArray>("reply");
    const QByteArray div4 = replyFor("003527500");
    QTest::newRow("query on the first line only")
        << "03527500" << QList<Chunk>{{0, "IF;"}} << 1 << 0 << div4;
    QTest::newRow("a query on each line")
        << "03527500" << QList<Chunk>{{0, "IF;"}, {1, "XIF;"}} << 1 << 1 << div4;
    QTest::newRow("halves on two lines make no query")
        << "03527500" << QList<Chunk>{{0, "IF"}, {1, ";"}} << 0 << 0 << div4;
    QTest::newRow("each line completes its own query")
        << "03527500" << QList<Chunk>{{0, "I"}, {1, "IF;"}, {0, "F;"}} << 1 << 1 << div4;
    QTest::newRow("plain mode string")
        << "014070000" << QList<Chunk>{{1, "IF;"}} << 0 << 1 << replyFor("014070000");
    QTest::newRow("div4 below 359 998 Hz: 35 characters")
        << "010000" << QList<Chunk>{{0, "IF;"}} << 1 << 0 << replyFor("010000");
}

// A last query on each line fences what came before: anything the line
// answered besides the expected replies arrives ahead of that last reply.
void TestLines::eachLineAnswersItsOwnQueries()
{
    QFETCH(QString, frequencyString);
    QFETCH(QList<Chunk>, chunks);
    QFETCH(int, firstLineReplies);
    QFETCH(int, secondLineReplies);
    QFETCH(QByteArray, reply);
    m_dial.publish(frequencyString);
    PtyPair ptys[2];
    TLine first(ptys[0].slavePath(), TBaudRate::br9600, m_dial);
    TLine second(ptys[1].slavePath(), TBaudRate::br57600, m_dial);
    first.open();
    second.open();
    QVERIFY(first.isOpen() && second.isOpen());
    for (const Chunk& chunk : chunks)
        QVERIFY(ptys[chunk.line].send(chunk.bytes));
    const int replies[2] = {firstLineReplies, secondLineReplies};
    for (int line = 0; line < 2; ++line) {
        QByteArray received;
        QTRY_COMPARE_WITH_TIMEOUT((received += ptys[line].receive()), reply.repeated(replies[line]),
                                  generousMs);
        QVERIFY(ptys[line].send("IF;"));
        QTRY_COMPARE_WITH_TIMEOUT((received += ptys[line].receive()),
                                  reply.repeated(replies[line] + 1), generousMs);
    }
    QVERIFY(m_errors.isEmpty());
}

void TestLines::failureIsReportedOnceByName_data()
{
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<QString>("expected");
    QTest::newRow("device missing at open")
        << false << QStringLiteral("%1: ") + QString::fromUtf8(ComPortMessages::NoSuchPort);
    QTest::newRow("device gone while open")
        << true << QStringLiteral("%1: ") + QString::fromUtf8(ComPortMessages::ReadError);
}

// Without reconnecting, the line closes and says why once; the other line
// goes on answering.
void TestLines::failureIsReportedOnceByName()
{
    QFETCH(bool, openFirst);
    QFETCH(QString, expected);
    auto failing = std::make_unique<PtyPair>();
    const QString name = openFirst ? failing->slavePath() : m_dir.filePath(QStringLiteral("none"));
    TLine line(name, TBaudRate::br9600, m_dial);
    PtyPair otherPty;
    TLine other(otherPty.slavePath(), TBaudRate::br9600, m_dial);
    other.open();
    line.open();
    QCOMPARE(line.isOpen(), openFirst);
    failing.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!line.isOpen(), generousMs);
    QCOMPARE(m_errors, QStringList{expected.arg(name)});
    QVERIFY(!line.waiting());
    QVERIFY(otherPty.send("IF;"));
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT((received += otherPty.receive()), replyFor("003527500"), generousMs);
    QCOMPARE(m_errors.size(), 1);
    QVERIFY(m_notes.isEmpty());
}

void TestLines::deviceComesBack_data()
{
    QTest::addColumn<Loss>("loss");
    QTest::newRow("link removed and made again") << Loss::LinkRemoved;
    QTest::newRow("missing when the line opens") << Loss::MissingAtOpen;
    QTest::newRow("its folder removed and made again") << Loss::FolderRemoved;
}

// With reconnecting on, the line says once that it waits, and answers again
// as soon as its device is back.
void TestLines::deviceComesBack()
{
    QFETCH(Loss, loss);
    const QString folder = m_dir.filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(folder));
    const QString lineEnd = folder + QStringLiteral("/adapter");
    SocatPair socat(lineEnd, m_dir.filePath(QStringLiteral("poller")));
    TLine line(lineEnd, TBaudRate::br9600, m_dial);
    line.setReconnect(true);
    if (loss != Loss::MissingAtOpen) {
        QVERIFY(socat.start());
        line.open();
        QVERIFY(line.isOpen());
        QCOMPARE(socat.ask(), replyFor("003527500"));
        QVERIFY(socat.stop());
    } else {
        line.open();
    }
    QTRY_VERIFY_WITH_TIMEOUT(line.waiting(), generousMs);
    QVERIFY(!line.isOpen());
    QCOMPARE(m_notes, QStringList{QStringLiteral("waiting for %1").arg(lineEnd)});
    if (loss == Loss::FolderRemoved) {
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QDir().mkpath(folder));
    }
    QVERIFY(socat.start());
    QTRY_VERIFY_WITH_TIMEOUT(line.isOpen(), generousMs);
    QVERIFY(!line.waiting());
    QCOMPARE(socat.ask(), replyFor("003527500"));
    QCOMPARE(m_notes.size(), 2);
    QCOMPARE(m_notes.last(), QStringLiteral("%1 is back").arg(lineEnd));
    QCOMPARE(m_errors.size(), loss == Loss::MissingAtOpen ? 1 : 0);
}

std::unique_ptr<TMainForm> TestLines::window(const CommandLineOptions& options)
{
    TMainFormSetup setup;
    setup.settingsFile = m_dir.filePath(QStringLiteral("quartzel.ini"));
    setup.portListRoot = m_dir.filePath(QStringLiteral("no-ports"));
    if (!QDir().mkpath(setup.portListRoot))
        return nullptr;
    setup.options = options;
    return std::make_unique<TMainForm>(setup);
}

// --connect opens the further lines after the panel's port, Disconnect
// closes them; a rate the panel does not offer is said once, by its entry,
// and leaves that line out.
void TestLines::windowOpensAndClosesItsLines()
{
    PtyPair panel;
    PtyPair further;
    CommandLineOptions options = connecting(panel);
    options.alsoPorts = {{further.slavePath(), 57600}, {QStringLiteral("ttyS9"), 12345}};
    const auto form = window(options);
    QVERIFY(form);
    QCOMPARE(m_errors, QStringList{QStringLiteral("Cannot serve the line ttyS9@12345: the rate "
                                                  "is not one of the panel's")});
    QCOMPARE(form->lines().lines().size(), 1);
    TLine& line = *form->lines().lines().first();
    QVERIFY(line.isOpen());
    QCOMPARE(line.port().BaudRate(), TBaudRate::br57600);
    QVERIFY(further.send("IF;"));
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT((received += further.receive()), replyFor("003527500"), generousMs);
    QTest::mouseClick(form->form().btnDisconnect, Qt::LeftButton);
    QVERIFY(!line.isOpen());
    QCOMPARE(m_errors.size(), 1);
}

void TestLines::kenwoodProfileOnFurtherLine_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");
    // The window's dial and mode after the answer.
    QTest::addColumn<QString>("dial");
    QTest::addColumn<QByteArray>("mode");
    // What the line tells unasked when the window dials 7 074 000 Hz then.
    QTest::addColumn<QByteArray>("told");
    const QString firstStart = QStringLiteral("014070000");
    QTest::newRow("identity and dial read")
        << QByteArray("ID;FA;") << QByteArray("ID019;FA00003527500;") << firstStart
        << QByteArray("USB") << QByteArray();
    QTest::newRow("a dial set is read back in the same write")
        << QByteArray("FA00007074000;FA;") << QByteArray("FA00007074000;")
        << QStringLiteral("028256000") << QByteArray("USB") << QByteArray();
    QTest::newRow("a dial no div4 output reaches is refused")
        << QByteArray("FA00100000000;") << QByteArray("?;") << firstStart << QByteArray("USB")
        << QByteArray();
    QTest::newRow("a mode set reaches the window")
        << QByteArray("MD3;MD;") << QByteArray("MD3;") << firstStart << QByteArray("CW")
        << QByteArray();
    QTest::newRow("auto-information tells the window's dial")
        << QByteArray("AI2;AI;") << QByteArray("AI2;") << firstStart << QByteArray("USB")
        << replyFor("001778500");
}

// With the profile on, a further line answers as the panel's line does, on
// its own thread: what its device sets reaches the window, and the window's
// changes reach it. A last "ID;" fences anything told besides; what is told
// comes from a thread of its own, so it is awaited before the fence.
void TestLines::kenwoodProfileOnFurtherLine()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    QFETCH(QString, dial);
    QFETCH(QByteArray, mode);
    QFETCH(QByteArray, told);
    PtyPair panel;
    PtyPair further;
    CommandLineOptions options = connecting(panel);
    options.kenwood = true;
    options.alsoPorts = {{further.slavePath(), std::nullopt}};
    const auto form = window(options);
    QVERIFY(form);
    QVERIFY(further.send(sent));
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT((received += further.receive()), answer, generousMs);
    QTRY_COMPARE_WITH_TIMEOUT(form->dialledFrequency(), dial, generousMs);
    QTRY_COMPARE_WITH_TIMEOUT(form->mode().name, mode, generousMs);
    form->setDial(QStringLiteral("007074000"));
    QTRY_COMPARE_WITH_TIMEOUT((received += further.receive()), answer + told, generousMs);
    QVERIFY(further.send("ID;"));
    QTRY_COMPARE_WITH_TIMEOUT((received += further.receive()), answer + told + "ID019;",
                              generousMs);
    QVERIFY(m_errors.isEmpty());
}

void TestLines::optionsPageMakesLines_data()
{
    QTest::addColumn<QString>("rate"); // after the further port's name
    QTest::addColumn<bool>("taken");
    QTest::newRow("a port typed while connected answers at once")
        << QStringLiteral("@57600") << true;
    QTest::newRow("an entry that does not read is refused under the page")
        << QStringLiteral("@fast") << false;
}

// The page applies what --also-port and --reconnect would, while the
// panel's port is open.
void TestLines::optionsPageMakesLines()
{
    QFETCH(QString, rate);
    QFETCH(bool, taken);
    PtyPair panel;
    PtyPair further;
    CommandLineOptions options = connecting(panel);
    const auto form = window(options);
    QVERIFY(form);
    TOptionsDialog dialog(form.get());
    auto* page = new TOptionsLinesPage(*form);
    dialog.addPage(page, QStringLiteral("Lines"));
    page->alsoPorts()->setText(further.slavePath() + rate);
    page->reconnect()->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.message()->text().isEmpty(), taken);
    QCOMPARE(form->lines().lines().size(), taken ? 1 : 0);
    QCOMPARE(form->lines().reconnect(), taken);
    QCOMPARE(form->storedSettings().lines.has_value(), taken);
    if (taken) {
        QCOMPARE(form->lines().lines().first()->port().BaudRate(), TBaudRate::br57600);
        QVERIFY(further.send("IF;"));
        QByteArray received;
        QTRY_COMPARE_WITH_TIMEOUT((received += further.receive()), replyFor("003527500"),
                                  generousMs);
    }
    QVERIFY(m_errors.isEmpty());
}

// With reconnecting on, the panel's port whose device goes away waits for
// it, the panel still open, and answers again once it is back.
void TestLines::panelPortComesBack()
{
    const QString lineEnd = m_dir.filePath(QStringLiteral("adapter"));
    SocatPair socat(lineEnd, m_dir.filePath(QStringLiteral("poller")));
    QVERIFY(socat.start());
    CommandLineOptions options;
    options.port = lineEnd;
    options.connect = true;
    options.reconnect = true;
    const auto form = window(options);
    QVERIFY(form);
    QVERIFY(form->BComPort1()->Connected());
    QVERIFY(socat.stop());
    QTRY_COMPARE_WITH_TIMEOUT(m_notes, QStringList{QStringLiteral("waiting for %1").arg(lineEnd)},
                              generousMs);
    QVERIFY(form->form().btnDisconnect->isEnabled());
    QVERIFY(socat.start());
    QTRY_VERIFY_WITH_TIMEOUT(form->BComPort1()->Connected(), generousMs);
    QCOMPARE(socat.ask(), replyFor("003527500"));
    QVERIFY(m_errors.isEmpty());
}

QTEST_MAIN(TestLines)
#include "tst_lines.moc"
