// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"
#include "Version.h"

#include <QRegularExpression>
#include <QTest>

Q_DECLARE_METATYPE(CommandLineAction)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpAndVersionTexts();
    void applyPortOption_data();
    void applyPortOption();
    void rigctldOption_data();
    void rigctldOption();
    void kenwoodAndVerboseOptions_data();
    void kenwoodAndVerboseOptions();
    void linesOptions_data();
    void linesOptions();
    void settingsOption_data();
    void settingsOption();
    void refreshPortList_data();
    void refreshPortList();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLineAction>("action");
    QTest::addColumn<QString>("port"); // null: no --port
    QTest::addColumn<bool>("connect");

    using A = CommandLineAction;
    const QString noPort;
    QTest::newRow("no options") << QStringList{"quartzel"} << A::Run << noPort << false;
    QTest::newRow("--port name") << QStringList{"quartzel", "--port", "ttyUSB0"} << A::Run
                                 << "ttyUSB0" << false;
    QTest::newRow("--port=path") << QStringList{"quartzel", "--port=/dev/pts/3"} << A::Run
                                 << "/dev/pts/3" << false;
    QTest::newRow("--connect") << QStringList{"quartzel", "--connect"} << A::Run << noPort << true;
    QTest::newRow("--connect and --port")
        << QStringList{"quartzel", "--connect", "--port", "ttyS0"} << A::Run << "ttyS0" << true;
    QTest::newRow("--port twice: the last counts")
        << QStringList{"quartzel", "--port", "ttyS0", "--port", "ttyS1"} << A::Run << "ttyS1"
        << false;
    QTest::newRow("--help") << QStringList{"quartzel", "--help"} << A::ShowHelp << noPort << false;
    QTest::newRow("--help-all") << QStringList{"quartzel", "--help-all"} << A::ShowHelp << noPort
                                << false;
    QTest::newRow("-h") << QStringList{"quartzel", "-h"} << A::ShowHelp << noPort << false;
    QTest::newRow("--version") << QStringList{"quartzel", "--version"} << A::ShowVersion << noPort
                               << false;
    QTest::newRow("-v") << QStringList{"quartzel", "-v"} << A::ShowVersion << noPort << false;
    QTest::newRow("--port without a value")
        << QStringList{"quartzel", "--port"} << A::Fail << noPort << false;
    QTest::newRow("--port with an empty value")
        << QStringList{"quartzel", "--port", ""} << A::Fail << noPort << false;
    QTest::newRow("unknown option")
        << QStringList{"quartzel", "--baud", "9600"} << A::Fail << noPort << false;
    QTest::newRow("stray argument")
        << QStringList{"quartzel", "ttyS0"} << A::Fail << noPort << false;
    QTest::newRow("Qt's options with one dash or two, and their values, are Qt's")
        << QStringList{"quartzel",  "-style",   "fusion",   "--platform",
                       "offscreen", "-reverse", "--connect"}
        << A::Run << noPort << true;
    QTest::newRow("Qt's option with its value after '='")
        << QStringList{"quartzel", "-style=fusion", "--port", "ttyS0"} << A::Run << "ttyS0"
        << false;
    QTest::newRow("Qt's option without a value: what follows is a stray argument")
        << QStringList{"quartzel", "-reverse", "ttyS0"} << A::Fail << noPort << false;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLineAction, action);
    QFETCH(QString, port);
    QFETCH(bool, connect);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.options.port.has_value(), !port.isNull());
    if (!port.isNull())
        QCOMPARE(*parsed.options.port, port);
    QCOMPARE(parsed.options.connect, connect);
    QCOMPARE(parsed.message.isEmpty(), action == CommandLineAction::Run);
}

void TestCommandLine::helpAndVersionTexts()
{
    const ParsedCommandLine version = parseCommandLine({"quartzel", "--version"});
    QCOMPARE(version.message, QStringLiteral("Quartzel ") + QLatin1String(QuartzelVersion));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                .match(QLatin1String(QuartzelVersion))
                .hasMatch());

    const ParsedCommandLine help = parseCommandLine({"quartzel", "--help"});
    for (const char* option : {"--port <port>", "--connect", "--rigctld <[address:]port>",
                               "--kenwood <on|off>", "--verbose", "--help", "--version"})
        QVERIFY2(help.message.contains(QLatin1String(option)), option);

    const ParsedCommandLine unknown = parseCommandLine({"quartzel", "--baud"});
    QVERIFY2(unknown.message.contains(QStringLiteral("baud")), qPrintable(unknown.message));
}

void TestCommandLine::applyPortOption_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("port"); // null: no --port
    QTest::addColumn<QStringList>("expectedPorts");
    QTest::addColumn<int>("selected"); // -2: keep the stored index

    const QStringList listed{"ttyS0", "ttyUSB0"};
    QTest::newRow("no --port changes nothing") << listed << QString() << listed << -2;
    QTest::newRow("new port is appended and selected")
        << listed << "/dev/pts/4" << QStringList{"ttyS0", "ttyUSB0", "/dev/pts/4"} << 2;
    QTest::newRow("empty list") << QStringList() << "ttyACM0" << QStringList{"ttyACM0"} << 0;
    QTest::newRow("listed port is selected where it stands") << listed << "ttyS0" << listed << 0;
    QTest::newRow("names differing in case are different ports")
        << listed << "TTYS0" << QStringList{"ttyS0", "ttyUSB0", "TTYS0"} << 2;
}

void TestCommandLine::applyPortOption()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, port);
    QFETCH(QStringList, expectedPorts);
    QFETCH(int, selected);
    CommandLineOptions options;
    if (!port.isNull())
        options.port = port;
    const std::optional<int> index = ::applyPortOption(ports, options);
    QCOMPARE(ports, expectedPorts);
    QCOMPARE(index.value_or(-2), selected);
}

void TestCommandLine::rigctldOption_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("setting"); // as formatted; null: refused

    QTest::newRow("port alone: loopback") << "4532"
                                          << "127.0.0.1:4532";
    QTest::newRow("address and port") << "0.0.0.0:4534"
                                      << "0.0.0.0:4534";
    QTest::newRow("IPv6 address in brackets") << "[::1]:4532"
                                              << "[::1]:4532";
    QTest::newRow("off") << "off"
                         << "off";
    QTest::newRow("port 0") << "0" << QString();
    QTest::newRow("port above 65535") << "65536" << QString();
    QTest::newRow("no port") << "127.0.0.1:" << QString();
    QTest::newRow("empty address") << ":4532" << QString();
    QTest::newRow("IPv6 address without brackets") << "::1:4532" << QString();
    QTest::newRow("not a port") << "rig" << QString();
    QTest::newRow("host name: not an address") << "localhost:4532" << QString();
    QTest::newRow("address with a line break: written without it") << "127.0.0.1\n:4532"
                                                                   << "127.0.0.1:4532";
    QTest::newRow("IPv6 written in its shortest form") << "[0:0:0:0:0:0:0:1]:4532"
                                                       << "[::1]:4532";
    QTest::newRow("IPv4-mapped IPv6 with its IPv4 part dotted") << "[::FFFF:127.0.0.1]:4532"
                                                                << "[::ffff:127.0.0.1]:4532";
    QTest::newRow("short IPv4 form") << "127.1:4532" << QString();
    QTest::newRow("IPv4 part above 255") << "256.0.0.1:4532" << QString();
    QTest::newRow("IPv6 with two double colons") << "[1::2::3]:4532" << QString();
}

void TestCommandLine::rigctldOption()
{
    QFETCH(QString, value);
    QFETCH(QString, setting);
    const ParsedCommandLine parsed = parseCommandLine({"quartzel", "--rigctld", value});
    QCOMPARE(parsed.action, setting.isNull() ? CommandLineAction::Fail : CommandLineAction::Run);
    QCOMPARE(parsed.options.rigctld.has_value(), !setting.isNull());
    if (parsed.options.rigctld)
        QCOMPARE(formatRigctldSetting(*parsed.options.rigctld), setting);
}

void TestCommandLine::kenwoodAndVerboseOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<CommandLineAction>("action");
    QTest::addColumn<int>("kenwood"); // -1: not given, else 0 or 1
    QTest::addColumn<bool>("verbose");
    using A = CommandLineAction;
    QTest::newRow("neither") << QStringList{} << A::Run << -1 << false;
    QTest::newRow("--kenwood on") << QStringList{"--kenwood", "on"} << A::Run << 1 << false;
    QTest::newRow("--kenwood=off and --verbose")
        << QStringList{"--kenwood=off", "--verbose"} << A::Run << 0 << true;
    QTest::newRow("--kenwood yes: refused")
        << QStringList{"--kenwood", "yes"} << A::Fail << -1 << false;
}

void TestCommandLine::kenwoodAndVerboseOptions()
{
    QFETCH(QStringList, options);
    QFETCH(CommandLineAction, action);
    QFETCH(int, kenwood);
    QFETCH(bool, verbose);
    const ParsedCommandLine parsed = parseCommandLine(QStringList{"quartzel"} + options);
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.options.kenwood.has_value(), kenwood >= 0);
    if (kenwood >= 0)
        QCOMPARE(*parsed.options.kenwood, kenwood == 1);
    QCOMPARE(parsed.options.verbose, verbose);
}

void TestCommandLine::linesOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("virtualPorts"); // the system can make a port of its own
    // The setting in effect over a stored "ttyS1|/run/q|1": ports|pty|reconnect;
    // "stored" when nothing was given; null: refused.
    QTest::addColumn<QString>("inEffect");

    QTest::newRow("nothing given: the stored setting") << QStringList() << true << "stored";
    QTest::newRow("--also-port twice, a rate on one, replaces the list")
        << QStringList{"--also-port", "ttyUSB1@57600", "--also-port=/dev/pts/7"} << true
        << "ttyUSB1@57600,/dev/pts/7|/run/q|1";
    QTest::newRow("--also-port off empties it")
        << QStringList{"--also-port", "off"} << true << "|/run/q|1";
    QTest::newRow("--also-port after off is kept")
        << QStringList{"--also-port", "off", "--also-port", "ttyS2"} << true << "ttyS2|/run/q|1";
    QTest::newRow("--also-port with a port name holding '@'")
        << QStringList{"--also-port", "by@id@19200"} << true << "by@id@19200|/run/q|1";
    QTest::newRow("--also-port rate 0")
        << QStringList{"--also-port", "ttyS2@0"} << true << QString();
    QTest::newRow("--also-port without a port")
        << QStringList{"--also-port", "@9600"} << true << QString();
    QTest::newRow("--pty and --reconnect off")
        << QStringList{"--pty", "/tmp/cat", "--reconnect", "off"} << true << "ttyS1|/tmp/cat|0";
    QTest::newRow("--pty off") << QStringList{"--pty", "off"} << true << "ttyS1||1";
    QTest::newRow("--pty without a system port of its own: refused")
        << QStringList{"--pty", "/tmp/cat"} << false << QString();
    QTest::newRow("--pty off without one: taken")
        << QStringList{"--pty", "off"} << false << "ttyS1||1";
    QTest::newRow("--reconnect yes") << QStringList{"--reconnect", "yes"} << true << QString();
}

void TestCommandLine::linesOptions()
{
    QFETCH(QStringList, options);
    QFETCH(bool, virtualPorts);
    QFETCH(QString, inEffect);
    const ParsedCommandLine parsed =
        parseCommandLine(QStringList{"quartzel"} + options, false, virtualPorts);
    QCOMPARE(parsed.action, inEffect.isNull() ? CommandLineAction::Fail : CommandLineAction::Run);
    if (inEffect.isNull())
        return;
    const LinesSetting stored{{{QStringLiteral("ttyS1"), std::nullopt}}, "/run/q", true, {}};
    const LinesSetting setting = *applyLinesOptions(stored, parsed.options);
    QStringList ports;
    for (const AlsoPort& line : setting.alsoPorts)
        ports << formatAlsoPort(line);
    const QString shown =
        QStringList{ports.join(u','), setting.pty, QString::number(setting.reconnect)}.join(u'|');
    QCOMPARE(setting == stored ? QStringLiteral("stored") : shown, inEffect);
    // With nothing stored and nothing given, nothing is in effect.
    QCOMPARE(applyLinesOptions(std::nullopt, parsed.options).has_value(), !options.isEmpty());
}

void TestCommandLine::settingsOption_data()
{
    QTest::addColumn<bool>("oneCopy"); // one copy per settings file (Windows)
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLineAction>("action");
    QTest::addColumn<QString>("settingsFile"); // null: none named

    using A = CommandLineAction;
    QTest::newRow("one copy per file: --settings names the file")
        << true << QStringList{"quartzel", "--settings", "device2.ini"} << A::Run << "device2.ini";
    QTest::newRow("one copy per file: no --settings")
        << true << QStringList{"quartzel"} << A::Run << QString();
    QTest::newRow("one copy per file: --settings with an empty value")
        << true << QStringList{"quartzel", "--settings="} << A::Fail << QString();
    QTest::newRow("copies not limited: --settings is unknown")
        << false << QStringList{"quartzel", "--settings", "device2.ini"} << A::Fail << QString();
}

void TestCommandLine::settingsOption()
{
    QFETCH(bool, oneCopy);
    QFETCH(QStringList, arguments);
    QFETCH(CommandLineAction, action);
    QFETCH(QString, settingsFile);
    const ParsedCommandLine parsed = parseCommandLine(arguments, oneCopy);
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.options.settingsFile.value_or(QString()), settingsFile);

    // The help says what a second start does where it matters, and only there.
    const QString help = parseCommandLine({"quartzel", "--help"}, oneCopy).message;
    QCOMPARE(help.contains(QLatin1String("--settings <file>")), oneCopy);
    QCOMPARE(help.contains(QLatin1String("brings the running window to the front")), oneCopy);
}

void TestCommandLine::refreshPortList_data()
{
    QTest::addColumn<QStringList>("systemPorts");
    QTest::addColumn<QString>("selected");   // null: none
    QTest::addColumn<QString>("portOption"); // null: no --port
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("selectedIndex");
    QTest::addColumn<int>("commandLinePort"); // -2: none

    const QString none;
    QTest::newRow("a new port before the selected one: the selection moves with its port")
        << QStringList{"COM1", "COM4", "COM5"} << "COM5" << none
        << QStringList{"COM1", "COM4", "COM5"} << 2 << -2;
    QTest::newRow("the selected port gone: it stays, after the listed ones")
        << QStringList{"COM1", "COM3"} << "COM5" << none << QStringList{"COM1", "COM3", "COM5"} << 2
        << -2;
    QTest::newRow("nothing selected stays so")
        << QStringList{"COM1", "COM3"} << none << none << QStringList{"COM1", "COM3"} << -1 << -2;
    QTest::newRow("the --port entry stays last, selected or not")
        << QStringList{"ttyS0", "ttyUSB0"} << "ttyS0"
        << "/dev/pts/4" << QStringList{"ttyS0", "ttyUSB0", "/dev/pts/4"} << 0 << 2;
    QTest::newRow("the --port entry now listed stands in its place")
        << QStringList{"ttyACM0", "ttyUSB1"} << "ttyUSB1"
        << "ttyUSB1" << QStringList{"ttyACM0", "ttyUSB1"} << 1 << 1;
}

void TestCommandLine::refreshPortList()
{
    QFETCH(QStringList, systemPorts);
    QFETCH(QString, selected);
    QFETCH(QString, portOption);
    QFETCH(QStringList, ports);
    QFETCH(int, selectedIndex);
    QFETCH(int, commandLinePort);
    CommandLineOptions options;
    if (!portOption.isNull())
        options.port = portOption;
    const RefreshedPortList list = ::refreshPortList(
        systemPorts, selected.isNull() ? std::nullopt : std::optional<QString>(selected), options);
    QCOMPARE(list.ports, ports);
    QCOMPARE(list.selected, selectedIndex);
    QCOMPARE(list.commandLinePort.value_or(-2), commandLinePort);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
