// SPDX-License-Identifier: GPL-3.0-or-later

#include "BCPort.h"
#include "ComDiagnostics.h"
#include "ComPortTesting.h"
#include "ComThread.h"
#include "PtyPair.h"
#include "ThreadActivity.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

enum class Failure {
    RegularFile,
    ParityOnPty,
    WriteAfterHangUp,
    WriteAfterCloseInHandler,
    NoDescriptorForEventThread
};
Q_DECLARE_METATYPE(Failure)

// The port object on real pseudo-terminals through the Linux device layer.
class TestBCPortPty : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<TBComPort> m_port;

private slots:
    void init();
    void cleanup();

    void missingDevice();
    void secondPortOnSameLine();
    void receiveSizeRefused();
    void bytesBothWays_data();
    void bytesBothWays();
    void readReturnsWhatIsThere();
    void emptyReadAndWrite();
    void writeToStalledLineEndsAtTimeout();
    void abandonedWritesDoNotWait();
    void closedPortRaises();
    void ptyHasNoModemLines();
    void closeAfterHangUp();
    void failureDetail_data();
    void failureDetail();
    void serialLog_data();
    void serialLog();
};

namespace {

QStringList logged;

void recordSerialLog(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (QLatin1String(context.category) == QLatin1String("quartzel.serial"))
        logged << text;
}

} // namespace

void TestBCPortPty::init()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    m_port = std::make_unique<TBComPort>();
    m_port->setPort(m_pty->slavePath());
}

void TestBCPortPty::cleanup()
{
    m_port.reset();
    m_pty.reset();
}

void TestBCPortPty::missingDevice()
{
    m_port->setPort(QStringLiteral("/dev/quartzel-no-such-tty"));
    QCOMPARE(messageOf([&] { m_port->Open(); }), message(ComPortMessages::NoSuchPort));
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
}

void TestBCPortPty::secondPortOnSameLine()
{
    QVERIFY(m_port->Open());
    TBComPort second;
    second.setPort(m_pty->slavePath());
    QCOMPARE(messageOf([&] { second.Open(); }), message(ComPortMessages::PortInUse));
    QVERIFY(!second.Connected());
    QVERIFY(!second.EventThread());

    QVERIFY(m_port->Close());
    QVERIFY(second.Open());
}

void TestBCPortPty::receiveSizeRefused()
{
    m_port->setInBufSize(-2);
    QCOMPARE(messageOf([&] { m_port->Open(); }), message(ComPortMessages::SetupCommFailed));
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    // Nothing of that opening holds the line.
    TBComPort second;
    second.setPort(m_pty->slavePath());
    QVERIFY(second.Open());
}

void TestBCPortPty::bytesBothWays_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("query text") << QByteArray("IF;");
    QTest::newRow("zero and 0xFF bytes") << QByteArray("\x00\xFF\x00 \xFF\r\n", 7);
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QTest::newRow("every byte value") << all;
}

void TestBCPortPty::bytesBothWays()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(m_port->Open());

    QCOMPARE(m_port->WriteText(bytes), bytes.size());
    QByteArray atMaster;
    QTRY_COMPARE((atMaster += m_pty->receive()), bytes);

    QVERIFY(m_pty->send(bytes));
    QTRY_COMPARE(m_port->BytesWaiting(), bytes.size());
    QByteArray text;
    QCOMPARE(m_port->ReadText(text, 1000), bytes.size());
    QCOMPARE(text, bytes);
}

void TestBCPortPty::readReturnsWhatIsThere()
{
    QVERIFY(m_port->Open());
    QVERIFY(m_pty->send("abc"));
    QTRY_COMPARE(m_port->BytesWaiting(), 3);
    QByteArray text;
    QCOMPARE(m_port->ReadText(text, 10), 3);
    QCOMPARE(text, QByteArray("abc"));
    // Nothing left: an empty result at once, not a wait.
    QCOMPARE(m_port->ReadText(text, 10), 0);
    QVERIFY(text.isEmpty());
}

void TestBCPortPty::emptyReadAndWrite()
{
    QVERIFY(m_port->Open());
    QVERIFY(m_pty->send("xy"));
    QTRY_COMPARE(m_port->BytesWaiting(), 2);
    QByteArray text = "old";
    QCOMPARE(m_port->ReadText(text, 0), 0);
    QVERIFY(text.isEmpty());
    QCOMPARE(m_port->ReadText(text, -4), 0);
    QCOMPARE(m_port->BytesWaiting(), 2);
    QCOMPARE(m_port->WriteText(QByteArray()), 0);
}

void TestBCPortPty::writeToStalledLineEndsAtTimeout()
{
    QVERIFY(m_port->Open());
    m_port->Timeouts().setWriteTotalMultiplier(0);
    m_port->Timeouts().setWriteTotalConstant(200);
    // Far more than a pty buffers while its master never reads.
    const QByteArray big(1 << 20, 'x');
    const std::int32_t written = m_port->WriteText(big);
    QVERIFY(written >= 0);
    QVERIFY(written < big.size());
    QVERIFY(m_port->Close());
}

// With no write time-out at all, a write to a line that takes nothing would
// wait for ever: AbandonWrites, from another thread, ends it without an error,
// and a later write is dropped at once. The writes run on a thread of their
// own, so that one that keeps waiting fails the test instead of hanging it;
// the hang-up at the end frees it then.
void TestBCPortPty::abandonedWritesDoNotWait()
{
    QVERIFY(m_port->Open());
    m_port->Timeouts().setWriteTotalMultiplier(0);
    m_port->Timeouts().setWriteTotalConstant(0);
    const QByteArray big(1 << 20, 'x');
    std::atomic<pid_t> writerId = 0;
    std::atomic<std::int32_t> firstWritten = -1;
    std::atomic<std::int32_t> laterWritten = -1;
    std::atomic<bool> goOn = false;
    std::atomic<int> errors = 0;
    std::thread writer([&] {
        writerId = gettid();
        try {
            firstWritten = m_port->WriteText(big);
            while (!goOn)
                std::this_thread::yield();
            laterWritten = m_port->WriteText("IF;");
        } catch (const EComPort&) {
            ++errors;
        }
    });
    const auto freeWriter = qScopeGuard([&] {
        goOn = true;
        m_pty->closeMaster();
        writer.join();
    });
    // Asleep in the write, the line full.
    QTRY_VERIFY(writerId != 0 && threadactivity::sample(writerId).state == 'S');
    m_port->AbandonWrites();
    QTRY_VERIFY(firstWritten >= 0 || errors > 0);
    goOn = true;
    QTRY_VERIFY(laterWritten >= 0 || errors > 0);
    QCOMPARE(errors.load(), 0);
    QVERIFY(firstWritten < big.size());
    QCOMPARE(laterWritten.load(), 0);
}

void TestBCPortPty::closedPortRaises()
{
    QCOMPARE(messageOf([&] { m_port->WriteText("IF;"); }), message(ComPortMessages::WriteError));
    QCOMPARE(messageOf([&] { m_port->ModemState(); }), message(ComPortMessages::ModemStatusFailed));
    QVERIFY(m_port->Open());
    QVERIFY(m_port->Close());
    QCOMPARE(messageOf([&] { m_port->WriteText("IF;"); }), message(ComPortMessages::WriteError));
    QCOMPARE(messageOf([&] { m_port->ModemState(); }), message(ComPortMessages::ModemStatusFailed));
}

void TestBCPortPty::ptyHasNoModemLines()
{
    QVERIFY(m_port->Open());
    QCOMPARE(int(m_port->ModemState()), 0);
    m_port->SetDTR(false);
    m_port->SetRTS(true);
    QCOMPARE(int(m_port->ModemState()), 0);
}

void TestBCPortPty::closeAfterHangUp()
{
    QVERIFY(m_port->Open());
    m_pty->closeMaster();
    // The line is gone: Close still releases it instead of failing for ever.
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QVERIFY(m_port->Close());

    // The node went with the master; a new line opens again on the same object.
    QCOMPARE(messageOf([&] { m_port->Open(); }), message(ComPortMessages::NoSuchPort));
    PtyPair again;
    QVERIFY(again.isValid());
    m_port->setPort(again.slavePath());
    QVERIFY(m_port->Open());
    QVERIFY(m_port->Close());
}

void TestBCPortPty::failureDetail_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail"); // PATH stands for the port's path

    QTest::newRow("ENOTTY: a plain file opens, but is no serial port")
        << Failure::RegularFile << message(ComPortMessages::SetupCommFailed)
        << "tcgetattr PATH: Inappropriate ioctl for device (not a serial port)";
    QTest::newRow("parity on a pty, which keeps 8N1: the driver refused")
        << Failure::ParityOnPty << message(ComPortMessages::SetCommStateFailed)
        << "tcsetattr PATH: Invalid argument (the device does not take these line settings)";
    QTest::newRow("EIO: a write after the line hung up")
        << Failure::WriteAfterHangUp << message(ComPortMessages::WriteError)
        << "write PATH: Input/output error";
    // The closing steps' own failures on the hung-up line are not looked at;
    // none of them belongs to the later write.
    QTest::newRow("a write on the port a handler closed after a hang-up: no detail")
        << Failure::WriteAfterCloseInHandler << message(ComPortMessages::WriteError) << "";
    QTest::newRow("EMFILE: the device opened, but no descriptor is left for the event thread")
        << Failure::NoDescriptorForEventThread << message(ComPortMessages::SetupCommFailed)
        << "eventfd PATH: Too many open files";
}

namespace {

// Opens `port` with every other descriptor taken, under a low limit on open
// files, and gives one back after each opening that fails, until one fails
// where the device has all it needs.
void openWhereDescriptorsRunOut(TBComPort& port)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit lower{std::min<rlim_t>(limit.rlim_cur, 512), limit.rlim_max};
    setrlimit(RLIMIT_NOFILE, &lower);
    std::vector<int> taken;
    for (int fd = open("/", O_RDONLY | O_CLOEXEC); fd >= 0; fd = dup(fd))
        taken.push_back(fd);
    const auto giveBack = qScopeGuard([&] {
        for (const int fd : taken)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &limit);
    });
    for (;; close(taken.back()), taken.pop_back()) {
        try {
            port.Open();
            return;
        } catch (const EComPort& e) {
            if (e.detail().startsWith(QLatin1String("eventfd ")) || taken.empty())
                throw;
        }
    }
}

// Brings about `failure` on `port`, whose line is `pty`.
void provoke(Failure failure, TBComPort& port, PtyPair& pty, const QString& plainFile)
{
    switch (failure) {
    case Failure::RegularFile:
        port.setPort(plainFile);
        port.Open();
        return;
    case Failure::ParityOnPty:
        port.Open();
        port.setParity(TParity::paEven);
        return;
    case Failure::WriteAfterHangUp:
        port.Open();
        pty.closeMaster();
        port.WriteText("IF;");
        return;
    case Failure::WriteAfterCloseInHandler:
        port.OnRxChar = [&](QObject*, std::int32_t) {
            pty.closeMaster();
            port.Close();
        };
        port.Open();
        pty.send("IF;");
        QTRY_VERIFY(!port.Connected());
        port.WriteText("IF;");
        return;
    case Failure::NoDescriptorForEventThread:
        openWhereDescriptorsRunOut(port);
        return;
    }
}

} // namespace

// The message stays the fixed text; what the system said goes with it.
void TestBCPortPty::failureDetail()
{
    QFETCH(Failure, failure);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QTemporaryFile plainFile;
    QVERIFY(plainFile.open());
    try {
        provoke(failure, *m_port, *m_pty, plainFile.fileName());
        QFAIL("no error raised");
    } catch (const EComPort& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
        QCOMPARE(e.detail(), detail.replace(QStringLiteral("PATH"), m_port->Port()));
    }
}

void TestBCPortPty::serialLog_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QStringList>("expected"); // PTY stands for the line's path

    QTest::newRow("off by default") << QString() << QStringList();
    QTest::newRow("quartzel.serial.debug=true: open, line settings, close, failed call")
        << "quartzel.serial.debug=true"
        << QStringList{"PTY: opened", "PTY: line settings 9600 bit/s 8N1", "PTY: closed",
                       "open /dev/quartzel-no-such-tty failed: errno 2 (No such file or "
                       "directory)"};
}

void TestBCPortPty::serialLog()
{
    QFETCH(QString, rules);
    QFETCH(QStringList, expected);
    logged.clear();
    // As the program does at start.
    comport::installSerialLog();
    QLoggingCategory::setFilterRules(rules);
    const QtMessageHandler previous = qInstallMessageHandler(recordSerialLog);

    const bool opened = m_port->Open();
    const bool closed = m_port->Close();
    m_port->setPort(QStringLiteral("/dev/quartzel-no-such-tty"));
    const QString failure = messageOf([&] { m_port->Open(); });

    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(opened && closed);
    QCOMPARE(failure, message(ComPortMessages::NoSuchPort));
    QCOMPARE(logged, expected.replaceInStrings(QStringLiteral("PTY"), m_pty->slavePath()));
}

QTEST_GUILESS_MAIN(TestBCPortPty)
#include "tst_bcport_pty.moc"
