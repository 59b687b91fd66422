// SPDX-License-Identifier: GPL-3.0-or-later

#include "FreePort.h"
#include "PtyPair.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <vector>

// The real program, offscreen on a pty, with Hamlib's own client (rigctl,
// model 2 "NET rigctl") reading and setting the dial over TCP; the device's
// "IF;" reply on the pty follows every set.
class TestRigctldHamlib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readAndSetWithHamlib();
    void refusedValuesChangeNothing_data();
    void refusedValuesChangeNothing();
    void clientSettings_data();
    void clientSettings();
    void thirtyTwoClientsAtOnce();
    void busyPortIsReportedOnce();
    void kenwoodProfileServesHamlibOnTheSerialLine_data();
    void kenwoodProfileServesHamlibOnTheSerialLine();

private:
    void startOn(QProcess& program, const PtyPair& pty);
    std::unique_ptr<QProcess> startRigctl(const QStringList& commands);
    QByteArray rigctl(const QStringList& commands);
    QByteArray ifReply();

    QString m_rigctl;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPair> m_pty;
    QProcess m_program;
    quint16 m_port = 0;
};

namespace {

const QByteArray tail = "0010+0000000000010000000;";
const QByteArray replyAtDefaultDial = "IF00003527500" + tail; // 14 070 000 Hz, div4
const QByteArray replyAt7074000 = "IF00001778500" + tail;

// Two pseudo-terminals joined at their master sides, as a null-modem cable
// joins two ports: what is written to one slave is read from the other.
// The test holds the client's slave open too, so that the line does not
// hang up between clients.
class PtyCable
{
public:
    PtyCable()
        : m_clientSlave(::open(m_client.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY))
    {
        join(m_program, m_client, m_fromProgram);
        join(m_client, m_program, m_fromClient);
    }
    ~PtyCable() { ::close(m_clientSlave); }

    bool isValid() const { return m_program.isValid() && m_clientSlave >= 0; }
    QString programEnd() const { return m_program.slavePath(); }
    QString clientEnd() const { return m_client.slavePath(); }
    // The program has configured its end once canonical input is off.
    bool programConnected() const
    {
        termios settings{};
        return tcgetattr(m_program.master(), &settings) == 0 && (settings.c_lflag & ICANON) == 0;
    }

private:
    static void join(PtyPair& from, PtyPair& to, std::unique_ptr<QSocketNotifier>& notifier)
    {
        notifier = std::make_unique<QSocketNotifier>(from.master(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated,
                         [&from, &to] { to.send(from.receive()); });
    }

    PtyPair m_program;
    PtyPair m_client;
    int m_clientSlave = -1;
    std::unique_ptr<QSocketNotifier> m_fromProgram;
    std::unique_ptr<QSocketNotifier> m_fromClient;
};

bool accepts(quint16 port)
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    return client.waitForConnected(1000);
}

} // namespace

void TestRigctldHamlib::initTestCase()
{
    m_rigctl = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
    QVERIFY2(!m_rigctl.isEmpty(), "rigctl is missing: ./dev.sh install libhamlib-utils");
}

// Each run has a directory of its own, so its quartzel.ini starts afresh
// (the defaults: 014 070 000 Hz in div4 mode) and touches no other.
void TestRigctldHamlib::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QString program = m_dir->filePath(QStringLiteral("quartzel"));
    QVERIFY(QFile::copy(QStringLiteral(QUARTZEL_PROGRAM), program));
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    m_port = freePort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_program.setProcessEnvironment(environment);
    m_program.setProgram(program);
    startOn(m_program, *m_pty);
    // It listens once the window is up and connected.
    QTRY_VERIFY_WITH_TIMEOUT(accepts(m_port), 30000);
}

// The program on the pty, connected, serving Hamlib clients on m_port.
void TestRigctldHamlib::startOn(QProcess& program, const PtyPair& pty)
{
    program.setArguments({QStringLiteral("--port"), pty.slavePath(), QStringLiteral("--connect"),
                          QStringLiteral("--rigctld"), QStringLiteral("127.0.0.1:%1").arg(m_port)});
    program.start();
    QVERIFY(program.waitForStarted());
}

void TestRigctldHamlib::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        QVERIFY(m_program.waitForFinished(30000));
    }
    m_pty.reset();
    m_dir.reset();
}

std::unique_ptr<QProcess> TestRigctldHamlib::startRigctl(const QStringList& commands)
{
    auto client = std::make_unique<QProcess>();
    client->start(m_rigctl,
                  QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                              QStringLiteral("127.0.0.1:%1").arg(m_port)} +
                      commands);
    return client;
}

// What rigctl prints on standard output: the values read, and the reasons
// for failed commands.
QByteArray TestRigctldHamlib::rigctl(const QStringList& commands)
{
    const std::unique_ptr<QProcess> client = startRigctl(commands);
    if (!client->waitForFinished(30000))
        return "<rigctl did not finish>";
    return client->readAllStandardOutput();
}

// The device's query on the line and the program's whole reply.
QByteArray TestRigctldHamlib::ifReply()
{
    if (!m_pty->send("IF;"))
        return "<cannot write to the pty>";
    QByteArray reply;
    const bool complete = QTest::qWaitFor([&] {
        reply += m_pty->receive();
        return reply.endsWith(';');
    });
    return complete ? reply : "<incomplete> " + reply;
}

// Hamlib caches what it has set, so each reading is a client of its own.
void TestRigctldHamlib::readAndSetWithHamlib()
{
    QCOMPARE(ifReply(), replyAtDefaultDial);
    QCOMPARE(rigctl({"f", "F", "7074000"}), QByteArray("14070000\n"));
    QCOMPARE(rigctl({"f"}), QByteArray("7074000\n"));
    QCOMPARE(ifReply(), replyAt7074000);

    m_program.terminate(); // closes the window, which saves the settings
    QVERIFY(m_program.waitForFinished(30000));
    QCOMPARE(m_program.exitCode(), 0);
    QFile ini(m_dir->filePath(QStringLiteral("quartzel.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    QVERIFY2(saved.contains("[PORT]\nfrequency=007074000\n"), saved.constData());
    QVERIFY2(saved.contains("[RIGCTLD]\nlisten=127.0.0.1:" + QByteArray::number(m_port) + "\n"),
             saved.constData());
}

void TestRigctldHamlib::refusedValuesChangeNothing_data()
{
    QTest::addColumn<QString>("hamlibValue"); // sent by rigctl, or
    QTest::addColumn<QByteArray>("line");     // sent as it is
    QTest::newRow("above the range, from Hamlib") << "300000000" << QByteArray();
    QTest::newRow("negative, from Hamlib") << "-7074000" << QByteArray();
    QTest::newRow("not a number") << QString() << QByteArray("F 7O74000\n");
}

void TestRigctldHamlib::refusedValuesChangeNothing()
{
    QFETCH(QString, hamlibValue);
    QFETCH(QByteArray, line);
    if (!hamlibValue.isNull()) {
        const QByteArray printed = rigctl({"F", hamlibValue});
        QVERIFY2(printed.contains("Invalid parameter"), printed.constData());
    } else {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, m_port);
        client.write(line);
        QByteArray answer;
        QTRY_COMPARE(answer += client.readAll(), QByteArray("RPRT -1\n"));
    }
    QCOMPARE(rigctl({"f"}), QByteArray("14070000\n"));
    QCOMPARE(ifReply(), replyAtDefaultDial);
}

void TestRigctldHamlib::clientSettings_data()
{
    QTest::addColumn<QStringList>("setting");
    QTest::addColumn<QByteArray>("printed"); // part of what rigctl prints for it
    QTest::addColumn<QStringList>("reading");
    QTest::addColumn<QByteArray>("read");
    QTest::newRow("mode Data/Pkt, passband unchanged")
        << QStringList{"M", "PKTUSB", "-1"} << QByteArray() << QStringList{"m"}
        << QByteArray("PKTUSB\n2400\n");
    QTest::newRow("mode with its usual passband") << QStringList{"M", "CW", "0"} << QByteArray()
                                                  << QStringList{"m"} << QByteArray("CW\n500\n");
    QTest::newRow("frequency with an exponent and a fraction")
        << QStringList{"F", "7.0740009e6"} << QByteArray() << QStringList{"f"}
        << QByteArray("7074000\n");
    QTest::newRow("split refused")
        << QStringList{"S", "1", "VFOB"} << QByteArray("Feature not available") << QStringList{"s"}
        << QByteArray("0\nVFOA\n");
    QTest::newRow("PTT refused") << QStringList{"T", "1"} << QByteArray("Feature not available")
                                 << QStringList{"t"} << QByteArray("0\n");
}

// What a client sets is read back by the next one; the mode never reaches
// the line.
void TestRigctldHamlib::clientSettings()
{
    QFETCH(QStringList, setting);
    QFETCH(QByteArray, printed);
    QFETCH(QStringList, reading);
    QFETCH(QByteArray, read);
    const QByteArray answer = rigctl(setting);
    QVERIFY2(printed.isEmpty() ? answer.isEmpty() : answer.contains(printed), answer.constData());
    QCOMPARE(rigctl(reading), read);
    QCOMPARE(ifReply(), setting.front() == "F" ? replyAt7074000 : replyAtDefaultDial);
}

void TestRigctldHamlib::thirtyTwoClientsAtOnce()
{
    std::vector<std::unique_ptr<QProcess>> clients;
    for (int i = 0; i < 32; ++i)
        clients.push_back(startRigctl({"f"}));
    for (const std::unique_ptr<QProcess>& client : clients) {
        QVERIFY(client->waitForFinished(60000));
        QCOMPARE(client->readAllStandardOutput(), QByteArray("14070000\n"));
    }
}

// A second program asked for the same port says so once, on standard error
// (offscreen, without a message box), and answers the device as usual.
void TestRigctldHamlib::busyPortIsReportedOnce()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QProcess second;
    second.setProcessEnvironment(m_program.processEnvironment());
    second.setProgram(m_program.program());
    startOn(second, pty);
    const QByteArray expected =
        "quartzel: Cannot serve Hamlib clients on 127.0.0.1:" + QByteArray::number(m_port) +
        ": The bound address is already in use\n";
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += second.readAllStandardError()).contains(expected), 30000);
    QByteArray replies;
    QTRY_VERIFY((pty.send("IF;"), replies += pty.receive()).contains(replyAtDefaultDial));
    second.terminate();
    QVERIFY(second.waitForFinished(30000));
    errors += second.readAllStandardError();
    QCOMPARE(errors.count("quartzel: "), 1);
    QCOMPARE(second.exitCode(), 0);
}

void TestRigctldHamlib::kenwoodProfileServesHamlibOnTheSerialLine_data()
{
    QTest::addColumn<bool>("ownPort");
    QTest::newRow("the panel's line") << false;
    QTest::newRow("the program's own port, read back on the panel's line") << true;
}

// Hamlib's serial client as a TS-480 (model 2028) opens a line with the
// Kenwood profile on, reads the dial and sets it: in div4 mode, the first
// start's, it reads and sets the divided frequency. What it sets is what
// the panel's line then reads.
void TestRigctldHamlib::kenwoodProfileServesHamlibOnTheSerialLine()
{
    QFETCH(bool, ownPort);
    PtyCable cable;
    QVERIFY(cable.isValid());
    const QString link = m_dir->filePath(QStringLiteral("cat"));
    QProcess program;
    program.setProcessEnvironment(m_program.processEnvironment());
    program.setProgram(m_program.program());
    QStringList arguments{QStringLiteral("--port"), cable.programEnd(), QStringLiteral("--connect"),
                          QStringLiteral("--kenwood"), QStringLiteral("on")};
    if (ownPort)
        arguments << QStringLiteral("--pty") << link;
    program.setArguments(arguments);
    m_program.terminate(); // the fixture's program writes the same settings file
    QVERIFY(m_program.waitForFinished(30000));
    program.start();
    QTRY_VERIFY_WITH_TIMEOUT(cable.programConnected(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!ownPort || QFileInfo(link).isSymLink(), 30000);
    const QString setterEnd = ownPort ? link : cable.clientEnd();
    const auto serialRigctl = [&](const QString& line, const QStringList& commands) -> QByteArray {
        QProcess client;
        client.start(m_rigctl,
                     QStringList{QStringLiteral("-m"), QStringLiteral("2028"), QStringLiteral("-r"),
                                 line, QStringLiteral("-s"), QStringLiteral("9600")} +
                         commands);
        QSignalSpy finished(&client, &QProcess::finished);
        if (!finished.wait(60000))
            return "<rigctl did not finish>";
        return client.readAllStandardOutput();
    };
    QCOMPARE(serialRigctl(setterEnd, {"f"}), QByteArray("3527500\n"));
    QCOMPARE(serialRigctl(setterEnd, {"F", "7074000"}), QByteArray());
    QTRY_COMPARE_WITH_TIMEOUT(serialRigctl(cable.clientEnd(), {"f"}), QByteArray("7074000\n"),
                              60000);
    program.terminate();
    QVERIFY(program.waitForFinished(30000));
}

QTEST_GUILESS_MAIN(TestRigctldHamlib)
#include "tst_rigctld_hamlib.moc"
