// SPDX-License-Identifier: GPL-3.0-or-later

#include "Application.h"
#include "IniFile.h"
#include "Main.h"
#include "RigctlServer.h"
#include "RigctlService.h"
#include "TestFiles.h"
#include "Version.h"

#include <QDir>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// Hamlib's network rig protocol served for the real main window, over real
// TCP connections on the loopback interface.
class TestRigctld : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commands_data();
    void commands();
    void dumpState_data();
    void dumpState();
    void modeIsTheSameForEveryClient();
    void limits_data();
    void limits();
    void fullTableLetsNewcomerIn_data();
    void fullTableLetsNewcomerIn();
    void unfinishedLineIsDroppedAtIdleLimit();
    void floodIsAnsweredInTurns_data();
    void floodIsAnsweredInTurns();
    void clientThatDoesNotReadIsDropped();
    void clientThatResetsWhileAnsweredIsDropped();
    void acceptingResumesAfterDescriptorsRunOut_data();
    void acceptingResumesAfterDescriptorsRunOut();
    void listenFailureIsReportedOnce_data();
    void listenFailureIsReportedOnce();
    void settingIsKeptBesidePortSection();
    void storedSetting_data();
    void storedSetting();

private:
    QString settingsFile() const { return m_dir.filePath(QStringLiteral("quartzel.ini")); }
    void startWindow();
    void startService(const RigctldSetting& setting);
    std::unique_ptr<QTcpSocket> connectClient() const;

    QTemporaryDir m_dir;
    std::unique_ptr<TMainForm> m_form;
    std::unique_ptr<TRigctlService> m_service;
    QStringList m_messages;
};

namespace {

const RigctldSetting anyFreePort{true, QStringLiteral("127.0.0.1"), 0};

std::unique_ptr<QTcpSocket> connectClient(quint16 port)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, port);
    // The event loop runs meanwhile, so that the server can take it.
    if (!QTest::qWaitFor([&] { return client->state() == QAbstractSocket::ConnectedState; }))
        qWarning("a client did not connect");
    return client;
}

// A dial at 14 070 000 Hz that counts its reads and calls back at the first.
class CountingRig : public TRigctlRig
{
public:
    std::optional<std::uint32_t> dialFrequency() const override
    {
        if (++reads == 1)
            onFirstRead();
        return 14'070'000;
    }
    void setDialFrequency(std::uint32_t) override {}

    mutable int reads = 0;
    std::function<void()> onFirstRead;
};

// Everything the client has received by now, added to `received`.
QByteArray& receive(QTcpSocket& client, QByteArray& received)
{
    received += client.readAll();
    return received;
}

} // namespace

void TestRigctld::init()
{
    m_messages.clear();
    setErrorMessageSink([this](const QString& text, const QString&) { m_messages << text; });
    startWindow(); // no settings file: 014 070 000 Hz
    startService(anyFreePort);
}

void TestRigctld::cleanup()
{
    m_service.reset();
    m_form.reset();
    QFile::remove(settingsFile());
    setErrorMessageSink(nullptr);
}

// A start of the program: the window reads the settings file.
void TestRigctld::startWindow()
{
    m_service.reset();
    TMainFormSetup setup;
    setup.settingsFile = settingsFile();
    setup.portListRoot = m_dir.path();
    m_form = std::make_unique<TMainForm>(setup);
}

void TestRigctld::startService(const RigctldSetting& setting)
{
    m_service.reset();
    CommandLineOptions options;
    options.rigctld = setting;
    m_service = std::make_unique<TRigctlService>(*m_form, options);
}

std::unique_ptr<QTcpSocket> TestRigctld::connectClient() const
{
    return ::connectClient(m_service->server()->serverPort());
}

void TestRigctld::commands_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("dialAfter");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("endsInput"); // the client shuts its sending side after the request

    const QString start = QStringLiteral("014070000");
    const QString set = QStringLiteral("007074000");
    const auto row = [](const char* name, const QByteArray& request, const QByteArray& answer,
                        const QString& dial, bool closes = false, bool endsInput = false) {
        QTest::newRow(name) << request << answer << dial << closes << endsInput;
    };
    row("f: the dialled digits, not the div4 output", "f\n", "14070000\n", start);
    row("\\get_freq", "\\get_freq\n", "14070000\n", start);
    row("F", "F 7074000\n", "RPRT 0\n", set);
    row("\\set_freq as Hamlib's client sends it", "\\set_freq 7074000.000000\n", "RPRT 0\n", set);
    row("F cuts a fraction to the hertz", "F 7074000.9\n", "RPRT 0\n", set);
    row("F with an exponent", "F 7.074e6\n", "RPRT 0\n", set);
    row("F with a plus sign", "F +7074000\n", "RPRT 0\n", set);
    row("F 0", "F 0\n", "RPRT 0\n", "000000000");
    row("F top of the range", "F 299999999\n", "RPRT 0\n", "299999999");
    row("F above the range", "F 300000000\n", "RPRT -1\n", start);
    row("F cut to the top of the range", "F 299999999.9\n", "RPRT 0\n", "299999999");
    row("F negative", "F -7074000\n", "RPRT -1\n", start);
    row("F not a number", "F 7O74000\n", "RPRT -1\n", start);
    row("F nan", "F nan\n", "RPRT -1\n", start);
    row("F inf", "F inf\n", "RPRT -1\n", start);
    row("F hexadecimal", "F 0x6BF0A0\n", "RPRT -1\n", start);
    row("F with trailing letters", "F 7074000Hz\n", "RPRT -1\n", start);
    row("F, its value on a later line", "F\n\n7074000\n", "RPRT 0\n", set);
    row("F, then an unknown command", "F 7074000 1\n", "RPRT 0\nRPRT -4\n", set);
    row("two commands on a line", "f f\n", "14070000\n14070000\n", start);
    row("two letters in a word", "ff\n", "14070000\n14070000\n", start);
    row("forms mixed on a line", "+f f\n", "get_freq:\nFrequency: 14070000\nRPRT 0\n14070000\n",
        start);
    row("extended prefix alone", "+\nf\n", "get_freq:\nFrequency: 14070000\nRPRT 0\n", start);
    row("unknown command ends the line", "x f\n", "RPRT -4\n", start);
    row("v", "v\n", "VFOA\n", start);
    row("\\get_vfo", "\\get_vfo\n", "VFOA\n", start);
    row("V to our VFO", "V VFOA\n", "RPRT 0\n", start);
    row("\\set_vfo VFOB is refused", "\\set_vfo VFOB\n", "RPRT -11\n", start);
    row("V to no VFO", "V VFOZ\n", "RPRT -1\n", start);
    row("s", "s\n", "0\nVFOA\n", start);
    row("\\get_split_vfo", "\\get_split_vfo\n", "0\nVFOA\n", start);
    row("S off", "S 0 VFOA\n", "RPRT 0\n", start);
    row("\\set_split_vfo on is refused", "\\set_split_vfo 1 VFOB\n", "RPRT -11\n", start);
    row("m", "m\n", "USB\n2400\n", start);
    row("\\get_mode", "\\get_mode\n", "USB\n2400\n", start);
    row("M data mode, passband unchanged", "M PKTUSB -1\nm\n", "RPRT 0\nPKTUSB\n2400\n", start);
    row("M passband 0 is the mode's usual", "M CW 0\nm\n", "RPRT 0\nCW\n500\n", start);
    row("\\set_mode with a passband", "\\set_mode LSB 1800\n+m\n",
        "RPRT 0\nget_mode:\nMode: LSB\nPassband: 1800\nRPRT 0\n", start);
    row("M passband read as rigctld reads it", "M AM 6000.5\nm\n", "RPRT 0\nAM\n6000\n", start);
    row("M another name Hamlib reads", "M PKTFM 0\nm\n", "RPRT 0\nPKTFM\n15000\n", start);
    row("M not a mode name", "M usb 2400\nm\n", "RPRT -1\nUSB\n2400\n", start);
    row("M with a bad passband", "M USB wide\n", "RPRT -1\n", start);
    row("t", "t\n", "0\n", start);
    row("\\get_ptt", "\\get_ptt\n", "0\n", start);
    row("T receive", "T 0\n", "RPRT 0\n", start);
    row("\\set_ptt transmit is refused", "\\set_ptt 1\n", "RPRT -11\n", start);
    row("\\chk_vfo", "\\chk_vfo\n", "0\n", start);
    row("\\get_powerstat", "\\get_powerstat\n", "1\n", start);
    // rigctld 4.5 adds "RPRT 0", which its own client then takes for the
    // answer to the next command.
    row("\\get_lock_mode: one line", "\\get_lock_mode\n", "0\n", start);
    row("q", "q\n", "RPRT 0\n", start, true);
    row("q ends the line", "q f\n", "RPRT 0\n", start, true);
    row("+f", "+f\n", "get_freq:\nFrequency: 14070000\nRPRT 0\n", start);
    row(";\\get_freq", ";\\get_freq\n", "get_freq:;Frequency: 14070000;RPRT 0\n", start);
    row("+F", "+F 7074000\n", "set_freq: 7074000\nRPRT 0\n", set);
    row("|\\set_freq refused", "|\\set_freq abc\n", "set_freq: abc|RPRT -1\n", start);
    row("+m", "+m\n", "get_mode:\nMode: USB\nPassband: 2400\nRPRT 0\n", start);
    row("+s", "+s\n", "get_split_vfo:\nSplit: 0\nTX VFO: VFOA\nRPRT 0\n", start);
    row(",t", ",t\n", "get_ptt:,PTT: 0,RPRT 0\n", start);
    row("+v", "+v\n", "get_vfo:\nVFO: VFOA\nRPRT 0\n", start);
    row("+V refused", "+V VFOB\n", "set_vfo: VFOB\nRPRT -11\n", start);
    row("+\\get_powerstat", "+\\get_powerstat\n", "get_powerstat:\nPower Status: 1\nRPRT 0\n",
        start);
    row("+\\chk_vfo", "+\\chk_vfo\n", "ChkVFO: 0\n", start);
    row("+q", "+q\n", "RPRT 0\n", start, true);
    row("unknown letter", "x\n", "RPRT -4\n", start);
    row("unknown long name", "\\set_level AF 1\n", "RPRT -4\n", start);
    row("blank line and blanks around a command", "\n \t f \r\n", "14070000\n", start);
    row("comment", "# tune\nf\n", "14070000\n", start);
    row("200 lines, then the end of the input: all answered, then closed",
        QByteArray("f\n").repeated(200), QByteArray("14070000\n").repeated(200), start, true, true);
    row("F, then the end of the input: carried out", "F 7074000\n", "RPRT 0\n", set, true, true);
    row("the end of the input in a line: the lines before are answered", "f\nf", "14070000\n",
        start, true, true);
}

void TestRigctld::commands()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QString, dialAfter);
    QFETCH(bool, closes);
    QFETCH(bool, endsInput);
    const std::unique_ptr<QTcpSocket> client = connectClient();
    client->write(request);
    if (endsInput) {
        QVERIFY(client->waitForBytesWritten());
        QCOMPARE(::shutdown(static_cast<int>(client->socketDescriptor()), SHUT_WR), 0);
    }
    QByteArray received;
    QTRY_COMPARE(receive(*client, received), answer);
    QCOMPARE(m_form->dialledFrequency(), dialAfter); // the digits as composed
    if (closes)
        QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    else
        QCOMPARE(client->state(), QAbstractSocket::ConnectedState);
}

void TestRigctld::dumpState_data()
{
    QTest::addColumn<QByteArray>("asked");
    QTest::addColumn<QByteArrayList>("lastLines");
    QTest::newRow("Hamlib 3 client: up to the parameters")
        << QByteArray() << QByteArrayList{"0x0", "0x0", "0x0", ""};
    QTest::newRow("Hamlib 4 client, after chk_vfo: up to done")
        << QByteArray("\\chk_vfo\n")
        << QByteArrayList{"rig_model=1", "rigctld_version=Quartzel " + QByteArray(QuartzelVersion),
                          "done", ""};
}

// One receive range 0..299 999 999 Hz in every mode, in the layout each
// client reads, in either form.
void TestRigctld::dumpState()
{
    QFETCH(QByteArray, asked);
    QFETCH(QByteArrayList, lastLines);
    const std::unique_ptr<QTcpSocket> client = connectClient();
    client->write(asked + "\\dump_state\n+\\dump_state\n");
    QByteArray received;
    QTRY_VERIFY(receive(*client, received).endsWith("\nRPRT 0\n"));
    received.remove(0, asked.isEmpty() ? 0 : 2); // chk_vfo's "0"
    const QByteArrayList lines = received.split('\n');
    QCOMPARE(lines.mid(0, 5), (QList<QByteArray>{"1", "1", "0", lines[3], "0 0 0 0 0 0 0"}));
    QVERIFY2(lines[3].startsWith("0.000000 299999999.000000 0x"), lines[3]);
    const qsizetype plainEnd = received.indexOf("dump_state:\n");
    const QByteArray plain = received.first(plainEnd);
    QCOMPARE(plain.split('\n').sliced(plain.count('\n') + 1 - lastLines.size()), lastLines);
    QCOMPARE(received.sliced(plainEnd), "dump_state:\n" + plain + "RPRT 0\n");
}

// The mode is the rig's, not the connection's: the next client reads it.
void TestRigctld::modeIsTheSameForEveryClient()
{
    const std::unique_ptr<QTcpSocket> setter = connectClient();
    setter->write("M PKTUSB 3000\n");
    QByteArray set;
    QTRY_COMPARE(receive(*setter, set), QByteArray("RPRT 0\n"));
    const std::unique_ptr<QTcpSocket> reader = connectClient();
    reader->write("m\n");
    QByteArray read;
    QTRY_COMPARE(receive(*reader, read), QByteArray("PKTUSB\n3000\n"));
}

void TestRigctld::limits_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("closes");

    const QByteArray longest(TRigctlLineReader::MaxLineLength, 'x');
    QTest::newRow("line of 1024 bytes") << longest + "\n" << QByteArray("RPRT -4\n") << false;
    QTest::newRow("line of 1025 bytes") << longest + "x\n" << QByteArray("RPRT -8\n") << true;
    QTest::newRow("line without end past 1024 bytes")
        << QByteArray(100000, ' ') << QByteArray("RPRT -8\n") << true;
    QTest::newRow("NUL") << QByteArray("f\0\n", 3) << QByteArray("RPRT -8\n") << true;
    QTest::newRow("byte above 127 in F")
        << QByteArray("F 7074000\xb0\n") << QByteArray("RPRT -8\n") << true;
    QTest::newRow("lines before a bad byte are answered")
        << QByteArray("f\n\x1b") << QByteArray("14070000\nRPRT -8\n") << true;
}

// A client that breaks the limits is answered and disconnected; another
// client is served as before, and the dial stays.
void TestRigctld::limits()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(bool, closes);
    const std::unique_ptr<QTcpSocket> bystander = connectClient();
    const std::unique_ptr<QTcpSocket> client = connectClient();
    client->write(request);
    QByteArray received;
    QTRY_COMPARE(receive(*client, received), answer);
    if (closes)
        QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    bystander->write("f\n");
    QByteArray answered;
    QTRY_COMPARE(receive(*bystander, answered), QByteArray("14070000\n"));
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("014070000"));
}

void TestRigctld::fullTableLetsNewcomerIn_data()
{
    QTest::addColumn<int>("working"); // connected first, each with a line answered
    QTest::addColumn<int>("silent");  // connected next, without a complete line
    QTest::addColumn<QByteArray>("sentBySilent");
    QTest::addColumn<int>("leaving"); // the one put out for the newcomer; -1: none

    constexpr int silentPlaces = TRigctlServer::MaxSilentConnections;
    QTest::newRow("silent connections: the oldest goes") << 0 << silentPlaces << QByteArray() << 0;
    QTest::newRow("connections with an unfinished line: the oldest goes")
        << 0 << silentPlaces << QByteArray("f") << 0;
    QTest::newRow("a working client idle the longest stays, the oldest silent one goes")
        << 1 << silentPlaces << QByteArray() << 1;
    QTest::newRow("a silent connection keeps its place while a table of clients' worth come")
        << 0 << TRigctlServer::MaxClients + 1 << QByteArray() << -1;
    QTest::newRow("working clients: the one idle the longest goes")
        << TRigctlServer::MaxClients << 0 << QByteArray() << 0;
}

// A newcomer always gets in; the others stay and are served.
void TestRigctld::fullTableLetsNewcomerIn()
{
    QFETCH(int, working);
    QFETCH(int, silent);
    QFETCH(QByteArray, sentBySilent);
    QFETCH(int, leaving);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<QByteArray> received(working + silent);
    for (int i = 0; i < working + silent; ++i) {
        clients.push_back(connectClient());
        clients.back()->write(i < working ? QByteArray("f\n") : sentBySilent);
        if (i < working)
            QTRY_COMPARE(receive(*clients.back(), received[i]), QByteArray("14070000\n"));
    }
    QTRY_COMPARE(m_service->server()->clientCount(), working + silent);
    const std::unique_ptr<QTcpSocket> newcomer = connectClient();
    newcomer->write("f\n");
    QByteArray answered;
    QTRY_COMPARE(receive(*newcomer, answered), QByteArray("14070000\n"));
    if (leaving >= 0)
        QTRY_COMPARE(clients[leaving]->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(m_service->server()->clientCount(), working + silent + (leaving < 0 ? 1 : 0));
    for (int i = 0; i < working + silent; ++i) {
        if (i != leaving)
            clients[i]->write(QByteArray("f\n").sliced(i < working ? 0 : sentBySilent.size()));
    }
    for (int i = 0; i < working + silent; ++i) {
        if (i != leaving)
            QTRY_COMPARE(receive(*clients[i], received[i]),
                         QByteArray("14070000\n").repeated(i < working ? 2 : 1));
    }
}

// With the idle limit injected as 0: a connection with an unfinished line
// goes at once, one whose lines are complete stays however long it is silent.
void TestRigctld::unfinishedLineIsDroppedAtIdleLimit()
{
    TMainFormRig rig(*m_form);
    TRigctlServer server(rig, {.unfinishedLine = std::chrono::milliseconds(0)});
    QVERIFY(server.listen(anyFreePort));
    const std::unique_ptr<QTcpSocket> silent = ::connectClient(server.serverPort());
    const std::unique_ptr<QTcpSocket> unfinished = ::connectClient(server.serverPort());
    silent->write("f\n");
    QByteArray received;
    QTRY_COMPARE(receive(*silent, received), QByteArray("14070000\n"));
    unfinished->write("f");
    QTRY_COMPARE(unfinished->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(server.clientCount(), 1);
    silent->write("f\n");
    QTRY_COMPARE(receive(*silent, received), QByteArray("14070000\n14070000\n"));
}

void TestRigctld::floodIsAnsweredInTurns_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("commandsPerLine");
    QTest::newRow("pipelined lines") << QByteArray("f\n") << 1;
    QTest::newRow("lines of 32 commands") << QByteArray("f ").repeated(32) + "\n" << 32;
}

// Thousands of pipelined commands are answered in turns: an event posted
// while the first is answered runs after at most one turn, not after the last.
void TestRigctld::floodIsAnsweredInTurns()
{
    QFETCH(QByteArray, line);
    QFETCH(int, commandsPerLine);
    CountingRig rig;
    int readsBeforePostedEvent = -1;
    rig.onFirstRead = [&] { QTimer::singleShot(0, [&] { readsBeforePostedEvent = rig.reads; }); };
    TRigctlServer server(rig);
    QVERIFY(server.listen(anyFreePort));
    const std::unique_ptr<QTcpSocket> client = ::connectClient(server.serverPort());
    constexpr int commands = 4000;
    client->write(line.repeated(commands / commandsPerLine)); // all in the server's first read
    client->flush();
    QByteArray received;
    QTRY_COMPARE(receive(*client, received).size(), qsizetype(9 * commands));
    QCOMPARE(received, QByteArray("14070000\n").repeated(commands));
    QCOMPARE_LE(readsBeforePostedEvent, TRigctlServer::LinesPerTurn);
}

// Its answers pile up in the system's buffers, then in the server's queue
// until the cap; then it is dropped and others go on.
void TestRigctld::clientThatDoesNotReadIsDropped()
{
    const std::unique_ptr<QTcpSocket> client = connectClient();
    client->setReadBufferSize(1);
    QByteArray requests;
    for (int i = 0; i < 100000; ++i)
        requests += "\\dump_state\n"; // some 50 MB of answers
    client->write(requests);
    QTRY_COMPARE_WITH_TIMEOUT(m_service->server()->clientCount(), 0, 30000);
    const std::unique_ptr<QTcpSocket> next = connectClient();
    next->write("f\n");
    QByteArray received;
    QTRY_COMPARE(receive(*next, received), QByteArray("14070000\n"));
}

// Its connection is reset while the answers to its flood are queued: the
// write that finds it gone ends it there; others go on.
void TestRigctld::clientThatResetsWhileAnsweredIsDropped()
{
    const std::unique_ptr<QTcpSocket> client = connectClient();
    QTRY_COMPARE(m_service->server()->clientCount(), 1);
    client->write(QByteArray("\\dump_state\n").repeated(1300)); // answers past MaxQueuedBytes
    QVERIFY(client->waitForBytesWritten());
    const linger reset{1, 0}; // closing sends a reset
    QCOMPARE(::setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                          &reset, sizeof reset),
             0);
    client->abort();
    QTRY_COMPARE(m_service->server()->clientCount(), 0);
    const std::unique_ptr<QTcpSocket> next = connectClient();
    next->write("f\n");
    QByteArray received;
    QTRY_COMPARE(receive(*next, received), QByteArray("14070000\n"));
}

void TestRigctld::acceptingResumesAfterDescriptorsRunOut_data()
{
    QTest::addColumn<bool>("clientLeaves"); // else a descriptor is freed elsewhere
    QTest::newRow("a client leaves") << true;
    QTest::newRow("a descriptor is freed elsewhere: the listener tries again") << false;
}

// The system has no descriptor for a connection that waits to be accepted:
// the listener says so once, and takes the connection when a client leaves,
// or, trying again, once a descriptor is free.
void TestRigctld::acceptingResumesAfterDescriptorsRunOut()
{
    QFETCH(bool, clientLeaves);
    TMainFormRig rig(*m_form);
    // A listener that waits an hour to try again is woken by a leaving client.
    TRigctlServer server(
        rig, {.acceptRetry = clientLeaves ? std::chrono::hours(1) : std::chrono::milliseconds(10)});
    QVERIFY(server.listen(anyFreePort));
    const std::unique_ptr<QTcpSocket> leaving = ::connectClient(server.serverPort());
    QTRY_COMPARE(server.clientCount(), 1);
    QTcpSocket late;
    QVERIFY(late.bind(QHostAddress::LocalHost)); // its descriptor, before they run out
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const auto restore = qScopeGuard([&saved] { ::setrlimit(RLIMIT_NOFILE, &saved); });
    rlimit limit = saved; // no descriptor left: the limit is the lowest free one
    limit.rlim_cur = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    ::close(static_cast<int>(limit.rlim_cur));
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    late.connectToHost(QHostAddress::LocalHost, server.serverPort());
    late.write("f\n");
    QTRY_COMPARE(m_messages.size(), 1);
    if (clientLeaves) {
        leaving->abort();
    } else {
        ++limit.rlim_cur; // as if one was freed elsewhere
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    QByteArray answer;
    QTRY_COMPARE(receive(late, answer), QByteArray("14070000\n"));
    QCOMPARE(m_messages,
             QStringList{QStringLiteral("Cannot accept Hamlib clients on 127.0.0.1:%1 for now: Too "
                                        "many open files; trying again as clients leave")
                             .arg(server.serverPort())});
}

void TestRigctld::listenFailureIsReportedOnce_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");
    QTest::newRow("port in use") << "127.0.0.1"
                                 << "The bound address is already in use";
    QTest::newRow("not an address") << "127.0.0.256"
                                    << "'127.0.0.256' is not an IP address";
    QTest::newRow("no such address here") << "192.0.2.1"
                                          << "The address is not available";
}

void TestRigctld::listenFailureIsReportedOnce()
{
    QFETCH(QString, address);
    QFETCH(QString, reason);
    const RigctldSetting setting{true, address, m_service->server()->serverPort()};
    CommandLineOptions options;
    options.rigctld = setting;
    const TRigctlService second(*m_form, options);
    QCOMPARE(second.server(), nullptr);
    QCOMPARE(m_messages, QStringList{QStringLiteral("Cannot serve Hamlib clients on %1: %2")
                                         .arg(formatRigctldSetting(setting), reason)});
}

// The command line's choice is kept when the window closes, in a section
// of its own after [PORT]; a later start without the option listens as kept.
void TestRigctld::settingIsKeptBesidePortSection()
{
    m_service.reset();
    const QString ini = settingsFile();
    const QByteArray stored = "[PORT]\nfrequency=014070000\nport=-1\nBaudRateIndex=6\ndiv4=1\n";
    writeBytes(ini, stored);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const RigctldSetting setting{true, QStringLiteral("127.0.0.1"), probe.serverPort()};
    probe.close();
    startService(setting);
    QCOMPARE(readBytes(ini), stored);
    m_form->FormClose(m_form.get());
    QCOMPARE(readBytes(ini),
             stored + "\n[RIGCTLD]\nlisten=" + formatRigctldSetting(setting).toLatin1() + "\n");
    startWindow();
    m_service = std::make_unique<TRigctlService>(*m_form, CommandLineOptions{});
    QVERIFY(m_service->server());
    QCOMPARE(m_service->server()->serverPort(), setting.port);
    QCOMPARE(m_messages, QStringList());
}

void TestRigctld::storedSetting_data()
{
    QTest::addColumn<bool>("besideProgram"); // stored there, not in the settings file
    QTest::addColumn<QString>("listen");     // "PORT": a free port
    QTest::addColumn<bool>("listens");
    QTest::addColumn<QString>("kept"); // in the settings file after closing; null: none
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("listens, and is written back at close")
        << false << "127.0.0.1:PORT" << true << "127.0.0.1:PORT" << QStringList();
    QTest::newRow("host name: reported once, not listened on, left as stored")
        << false << "localhost:4532" << false << "localhost:4532"
        << QStringList{"Cannot serve Hamlib clients on localhost:4532: not an IP address and "
                       "port, nor 'off'"};
    QTest::newRow("only beside the program: not read, as the window does not read it")
        << true << "127.0.0.1:PORT" << false << QString() << QStringList();
}

// The listener starts from the file that the window read at start-up, and
// from nothing else.
void TestRigctld::storedSetting()
{
    QFETCH(bool, besideProgram);
    QFETCH(QString, listen);
    QFETCH(bool, listens);
    QFETCH(QString, kept);
    QFETCH(QStringList, messages);
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString port = QString::number(probe.serverPort());
    listen.replace(QStringLiteral("PORT"), port);
    kept.replace(QStringLiteral("PORT"), port);
    probe.close();
    const QString besideProgramFile =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quartzel.ini"));
    const auto removeBesideProgram = qScopeGuard([&] { QFile::remove(besideProgramFile); });
    writeBytes(besideProgram ? besideProgramFile : settingsFile(),
               "[RIGCTLD]\nlisten=" + listen.toLatin1() + "\n");
    startWindow();
    m_service = std::make_unique<TRigctlService>(*m_form, CommandLineOptions{});
    QCOMPARE(m_service->server() != nullptr, listens);
    m_form->FormClose(m_form.get());
    const TextSettingKey<RigctldSetting>& rigctld = SettingsKey::Rigctld;
    QCOMPARE(TIniFile(settingsFile()).readString(rigctld.section, rigctld.key, QString()), kept);
    QCOMPARE(m_messages, messages);
}

QTEST_MAIN(TestRigctld)
#include "tst_rigctld.moc"
