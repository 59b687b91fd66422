// SPDX-License-Identifier: GPL-3.0-or-later

#include "IniFile.h"
#include "PortSettings.h"
#include "SettingsLocation.h"
#include "StoredSettings.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Rigctld = StoredSetting<RigctldSetting>;

Q_DECLARE_METATYPE(PortSettings)
Q_DECLARE_METATYPE(Rigctld)
Q_DECLARE_METATYPE(Memories)

namespace {

PortSettings makeSettings(const QString& frequency, int port, int baudRateIndex, bool div4)
{
    PortSettings settings;
    settings.frequency = frequency;
    settings.port = port;
    settings.baudRateIndex = baudRateIndex;
    settings.div4 = div4;
    return settings;
}

QProcessEnvironment environment(const QString& xdgConfigHome, const QString& home)
{
    QProcessEnvironment env;
    if (!xdgConfigHome.isNull())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdgConfigHome);
    if (!home.isNull())
        env.insert(QStringLiteral("HOME"), home);
    return env;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readPortSettings_data();
    void readPortSettings();
    void readRigctldSetting_data();
    void readRigctldSetting();
    void readMemories_data();
    void readMemories();
    void linesSetting_data();
    void linesSetting();
    void writeOrder_data();
    void writeOrder();
    void writeStopsAtFirstFailure();

    void chooseLocation_data();
    void chooseLocation();
    void locationOnRealDirectories();
    void startingFile_data();
    void startingFile();
    void directoryWritable();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("quartzel.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettings::readPortSettings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<PortSettings>("current");
    QTest::addColumn<PortSettings>("expected");

    const PortSettings startUp;
    const PortSettings inMemory = makeSettings(QStringLiteral("123456789"), 2, 9, true);
    QTest::newRow("every key from the file")
        << QByteArray("[PORT]\nfrequency=014070000\nport=1\nBaudRateIndex=6\ndiv4=1\n") << startUp
        << makeSettings(QStringLiteral("014070000"), 1, 6, true);
    QTest::newRow("no PORT section keeps the start-up values")
        << QByteArray("[OTHER]\nport=1\n") << startUp << startUp;
    QTest::newRow("no PORT section keeps the in-memory values")
        << QByteArray("[OTHER]\nport=1\n") << inMemory << inMemory;
    QTest::newRow("one key missing keeps its value")
        << QByteArray("[PORT]\nfrequency=014070000\nport=0\ndiv4=0\n") << inMemory
        << makeSettings(QStringLiteral("014070000"), 0, 9, false);
    QTest::newRow("unreadable numbers keep their values")
        << QByteArray("[PORT]\nport=abc\nBaudRateIndex=0x\ndiv4=yes\n") << inMemory << inMemory;
    QTest::newRow("hexadecimal index and div4=5")
        << QByteArray("[PORT]\nBaudRateIndex=0x6\ndiv4=5\n") << startUp
        << makeSettings(QString(), 0, 6, true);
    QTest::newRow("port -1 and a long frequency as stored")
        << QByteArray("[Port]\nFREQUENCY=0140700001234\nport=-1\n") << startUp
        << makeSettings(QStringLiteral("0140700001234"), -1, 0, false);
    QTest::newRow("the commented example shipped in the package: a first start's values")
        << readBytes(QStringLiteral(EXAMPLE_SETTINGS)) << inMemory
        << makeSettings(QStringLiteral("014070000"), 0, 6, true);
}

void TestSettings::readPortSettings()
{
    QFETCH(QByteArray, content);
    QFETCH(PortSettings, current);
    QFETCH(PortSettings, expected);
    writeBytes(iniPath(), content);
    const PortSettings read = ::readPortSettings(TIniFile(iniPath()), current);
    QCOMPARE(read.frequency, expected.frequency);
    QCOMPARE(read.port, expected.port);
    QCOMPARE(read.baudRateIndex, expected.baudRateIndex);
    QCOMPARE(read.div4, expected.div4);
}

void TestSettings::readRigctldSetting_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("inEffect");   // as it would be written; null: none
    QTest::addColumn<QString>("unreadable"); // null: none

    QTest::newRow("no key: none") << QByteArray("[PORT]\nport=1\n") << QString() << QString();
    QTest::newRow("stored address")
        << QByteArray("[rigctld]\nLISTEN=0.0.0.0:4534\n") << "0.0.0.0:4534" << QString();
    QTest::newRow("unreadable: kept as stored, not in effect")
        << QByteArray("[RIGCTLD]\nlisten=4532x\n") << QString() << "4532x";
    QTest::newRow("the shipped example: off")
        << readBytes(QStringLiteral(EXAMPLE_SETTINGS)) << QStringLiteral("off") << QString();
}

void TestSettings::readRigctldSetting()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, inEffect);
    QFETCH(QString, unreadable);
    writeBytes(iniPath(), content);
    const StoredSetting<RigctldSetting> read = readStoredSettings(TIniFile(iniPath()), {}).rigctld;
    QCOMPARE(read.inEffect.has_value(), !inEffect.isNull());
    QCOMPARE(read.inEffect ? formatRigctldSetting(*read.inEffect) : QString(), inEffect);
    QCOMPARE(read.unreadable, unreadable.isNull() ? std::nullopt : std::optional(unreadable));
}

void TestSettings::readMemories_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Memories>("memories");

    const Memory ft8{QStringLiteral("FT8 20 m, calling"), 14'074'000, true};
    const Memory wspr{QStringLiteral("WSPR"), 7'038'600, false};
    QTest::newRow("in key order, a comma in the name")
        << QByteArray("[MEMORIES]\n2=007038600,0,WSPR\n1=014074000,1,FT8 20 m, calling\n")
        << Memories{ft8, wspr};
    QTest::newRow("unreadable values are left out")
        << QByteArray("[MEMORIES]\n1=14074000,1,short\n2=014074000,2,mode\n3=+14074000,1,sign\n"
                      "4=014074000,1, \n5=007038600,0,WSPR\n")
        << Memories{wspr};
    QTest::newRow("reading stops at the first empty key")
        << QByteArray("[MEMORIES]\n1=007038600,0,WSPR\n2=\n3=014074000,1,FT8 20 m, calling\n")
        << Memories{wspr};
    QTest::newRow("the shipped example: none")
        << readBytes(QStringLiteral(EXAMPLE_SETTINGS)) << Memories{};
}

void TestSettings::readMemories()
{
    QFETCH(QByteArray, content);
    QFETCH(Memories, memories);
    writeBytes(iniPath(), content);
    QCOMPARE(readStoredSettings(TIniFile(iniPath()), {}).memories, memories);
}

void TestSettings::linesSetting_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("read");       // ports|pty|reconnect|unreadable; null: none
    QTest::addColumn<QByteArray>("written"); // [LINES] as written back

    QTest::newRow("no section: none, nothing written")
        << QByteArray("[PORT]\nport=1\n") << QString() << QByteArray();
    QTest::newRow("every key")
        << QByteArray("[LINES]\nalso_port=ttyUSB1@57600, /dev/ttyUSB2\npty=/run/q\nreconnect=1\n")
        << "ttyUSB1@57600,/dev/ttyUSB2|/run/q|1|"
        << QByteArray("[LINES]\nalso_port=ttyUSB1@57600,/dev/ttyUSB2\npty=/run/q\nreconnect=1\n");
    QTest::newRow("reconnect alone") << QByteArray("[LINES]\nreconnect=1\n") << "||1|"
                                     << QByteArray("[LINES]\nalso_port=\npty=\nreconnect=1\n");
    QTest::newRow("an unreadable entry is left out, and not written back")
        << QByteArray("[LINES]\nalso_port=ttyS1@fast,ttyS2\n") << "ttyS2||0|ttyS1@fast"
        << QByteArray("[LINES]\nalso_port=ttyS2\npty=\nreconnect=0\n");
}

void TestSettings::linesSetting()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, read);
    QFETCH(QByteArray, written);
    writeBytes(iniPath(), content);
    const std::optional<LinesSetting> lines = readStoredSettings(TIniFile(iniPath()), {}).lines;
    QString shown;
    if (lines) {
        QStringList ports;
        for (const AlsoPort& line : lines->alsoPorts)
            ports << formatAlsoPort(line);
        shown = QStringList{ports.join(u','), lines->pty, QString::number(lines->reconnect),
                            lines->unreadable.join(u',')}
                    .join(u'|');
    }
    QCOMPARE(shown, read);
    const QString copy = m_dir->filePath(QStringLiteral("copy.ini"));
    TIniFile file(copy);
    writeStoredSettings(file, {std::nullopt, {}, {}, {}, {}, lines, {}});
    QCOMPARE(QFile::exists(copy) ? readBytes(copy) : QByteArray(), written);
}

void TestSettings::writeOrder_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<PortSettings>("settings");
    QTest::addColumn<Rigctld>("rigctld");
    QTest::addColumn<Memories>("memories");
    QTest::addColumn<QByteArray>("after");

    const QByteArray port = "[PORT]\nfrequency=014070000\nport=1\nBaudRateIndex=6\ndiv4=1\n";
    QTest::newRow("new file in key order")
        << QByteArray() << makeSettings(QStringLiteral("014070000"), 1, 6, true) << Rigctld()
        << Memories() << port;
    QTest::newRow("no port selected, plain mode")
        << QByteArray() << makeSettings(QStringLiteral("000000001"), -1, 14, false) << Rigctld()
        << Memories()
        << QByteArray("[PORT]\nfrequency=000000001\nport=-1\nBaudRateIndex=14\ndiv4=0\n");
    QTest::newRow("existing keys are replaced where they stand")
        << QByteArray("[PORT]\r\ndiv4=0\r\nextra=x\r\nport=3\r\n")
        << makeSettings(QStringLiteral("014070000"), 0, 6, true) << Rigctld() << Memories()
        << QByteArray("[PORT]\r\ndiv4=1\r\nextra=x\r\nport=0\r\nfrequency=014070000\r\n"
                      "BaudRateIndex=6\r\n");
    QTest::newRow("a rigctld setting in effect follows [PORT]")
        << QByteArray() << makeSettings(QStringLiteral("014070000"), 1, 6, true)
        << Rigctld{parseRigctldSetting(QStringLiteral("4532")), std::nullopt} << Memories()
        << port + "\n[RIGCTLD]\nlisten=127.0.0.1:4532\n";
    QTest::newRow("an unreadable rigctld text is not written back")
        << QByteArray() << makeSettings(QStringLiteral("014070000"), 1, 6, true)
        << Rigctld{std::nullopt, QStringLiteral("4532x")} << Memories() << port;
    QTest::newRow("memories follow, one forgotten since is emptied")
        << QByteArray("[MEMORIES]\n1=007038600,0,WSPR\n2=007038600,0,WSPR\n")
        << makeSettings(QStringLiteral("014070000"), 1, 6, true) << Rigctld()
        << Memories{{QStringLiteral("FT8"), 14'074'000, true}}
        << "[MEMORIES]\n1=014074000,1,FT8\n2=\n\n" + port;
}

void TestSettings::writeOrder()
{
    QFETCH(QByteArray, before);
    QFETCH(PortSettings, settings);
    QFETCH(Rigctld, rigctld);
    QFETCH(Memories, memories);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        writeBytes(iniPath(), before);
    TIniFile file(iniPath());
    writeStoredSettings(file, {settings, rigctld, {}, memories, {}, std::nullopt, {}});
    QCOMPARE(readBytes(iniPath()), after);
}

// The file grows with each key. The limit lets frequency and port through,
// stops BaudRateIndex, and would still let the shorter div4 line through, so
// a write after the failure would show in the file.
void TestSettings::writeStopsAtFirstFailure()
{
    const QByteArray afterPort = "[PORT]\nfrequency=014070000\nport=1\n";
    const QByteArray withDiv4Only = afterPort + "div4=1\n";
    const QByteArray withBaudRate = afterPort + "BaudRateIndex=6\n";
    QVERIFY(withDiv4Only.size() < withBaudRate.size());

    TIniFile file(iniPath());
    QString message;
    {
        const FileSizeLimit limit(static_cast<rlim_t>(withDiv4Only.size()));
        QVERIFY(limit.isActive());
        try {
            writePortSettings(file, makeSettings(QStringLiteral("014070000"), 1, 6, true));
        } catch (const EIniFileException& e) {
            message = QString::fromUtf8(e.what());
        }
    }
    QCOMPARE(message, QStringLiteral("Unable to write to ") + iniPath());
    QCOMPARE(readBytes(iniPath()), afterPort);
}

void TestSettings::chooseLocation_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");

    const QString beside = QStringLiteral("/opt/q/quartzel.ini");
    const QString none; // variable not set
    QTest::newRow("writable directory") << false << true << "/cfg"
                                        << "/home/u" << beside;
    QTest::newRow("read-only directory, XDG_CONFIG_HOME set") << false << false << "/cfg"
                                                              << "/home/u"
                                                              << "/cfg/quartzel/quartzel.ini";
    QTest::newRow("read-only directory, XDG_CONFIG_HOME unset")
        << false << false << none << "/home/u"
        << "/home/u/.config/quartzel/quartzel.ini";
    QTest::newRow("read-only directory, XDG_CONFIG_HOME empty")
        << false << false << ""
        << "/home/u"
        << "/home/u/.config/quartzel/quartzel.ini";
    QTest::newRow("read-only directory, XDG_CONFIG_HOME relative")
        << false << false << "cfg"
        << "/home/u"
        << "/home/u/.config/quartzel/quartzel.ini";
    QTest::newRow("installed, run by root who may write there: the user's folder")
        << true << true << none << "/root"
        << "/root/.config/quartzel/quartzel.ini";
    QTest::newRow("installed, read-only directory") << true << false << "/cfg"
                                                    << "/home/u"
                                                    << "/cfg/quartzel/quartzel.ini";
}

void TestSettings::chooseLocation()
{
    QFETCH(bool, installed);
    QFETCH(bool, writable);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    const ProgramFolder folder{QStringLiteral("/opt/q"), installed, writable};
    QCOMPARE(chooseSettingsFilePath(folder, environment(xdgConfigHome, home)), expected);
}

// procfs refuses new files even to root, so it stands for a read-only
// installation directory. Root may write into /usr/bin, but an installed
// program keeps its settings in the user's folder all the same.
void TestSettings::locationOnRealDirectories()
{
    const QString exeDir = m_dir->path();
    const QProcessEnvironment env = environment(QStringLiteral("/cfg"), QStringLiteral("/home/u"));
    QCOMPARE(settingsFilePath(exeDir, env), iniPath());
    writeBytes(iniPath(), "[PORT]\n");
    QCOMPARE(settingsFilePath(exeDir, env), iniPath());
    QCOMPARE(settingsFilePath(QStringLiteral("/proc"), env),
             QStringLiteral("/cfg/quartzel/quartzel.ini"));
    QCOMPARE(
        settingsFilePath(QStringLiteral("/proc"), environment(QString(), QStringLiteral("/h"))),
        QStringLiteral("/h/.config/quartzel/quartzel.ini"));
    QCOMPARE(settingsFilePath(QStringLiteral("/usr/bin"), env),
             QStringLiteral("/cfg/quartzel/quartzel.ini"));
}

void TestSettings::startingFile_data()
{
    QTest::addColumn<bool>("userFileExists");
    QTest::addColumn<bool>("besideProgramExists");
    QTest::addColumn<bool>("readsBesideProgram");
    QTest::newRow("the user's file exists: that one") << true << true << false;
    QTest::newRow("only beside the program: that one") << false << true << true;
    QTest::newRow("neither: the user's, not there yet") << false << false << false;
}

void TestSettings::startingFile()
{
    QFETCH(bool, userFileExists);
    QFETCH(bool, besideProgramExists);
    QFETCH(bool, readsBesideProgram);
    const QString userFile = iniPath();
    const QString programDir = m_dir->filePath(QStringLiteral("bin"));
    const QString besideProgram = QDir(programDir).filePath(QStringLiteral("quartzel.ini"));
    QVERIFY(QDir().mkpath(programDir));
    if (userFileExists)
        writeBytes(userFile, "[PORT]\n");
    if (besideProgramExists)
        writeBytes(besideProgram, "[PORT]\n");
    QCOMPARE(startingSettingsFile(userFile, programDir),
             readsBesideProgram ? besideProgram : userFile);
}

void TestSettings::directoryWritable()
{
    QVERIFY(isDirectoryWritable(m_dir->path()));
    QVERIFY(QDir(m_dir->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QVERIFY(!isDirectoryWritable(QStringLiteral("/proc")));
    QVERIFY(!isDirectoryWritable(m_dir->filePath(QStringLiteral("missing"))));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
