// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComErrors.h"
#include "SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestSerialPorts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sortPortNames_data();
    void sortPortNames();
    void listFromTree_data();
    void listFromTree();
    void namesEqualButForCaseBothStay();
    void unreadableDirectory_data();
    void unreadableDirectory();

private:
    // A tty class entry as the kernel makes it: a directory with a `device`
    // link into the device tree, and for serial_core ports a `type` file.
    void addEntry(const QString& name, bool deviceLink, const QByteArray& type = {});
    QString root() const { return m_dir->filePath(QStringLiteral("class/tty")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSerialPorts::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(root()));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("devices/port"))));
}

void TestSerialPorts::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestSerialPorts::addEntry(const QString& name, bool deviceLink, const QByteArray& type)
{
    // As in sysfs, the class entry itself is a link to the tty's directory.
    const QString ttyDir = m_dir->filePath(QStringLiteral("devices/port/tty/") + name);
    QVERIFY(QDir().mkpath(ttyDir));
    QVERIFY(QFile::link(ttyDir, root() + u'/' + name));
    if (deviceLink)
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("devices/port")), ttyDir + "/device"));
    if (!type.isNull()) {
        QFile file(ttyDir + "/type");
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(type), type.size());
    }
}

void TestSerialPorts::sortPortNames_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QStringList com{"COM1", "COM10", "COM2"};
    QTest::newRow("COM10, COM2, COM1") << english << QStringList{"COM10", "COM2", "COM1"} << com;
    QTest::newRow("COM2, COM1, COM10") << english << QStringList{"COM2", "COM1", "COM10"} << com;
    QTest::newRow("case is ignored and kept")
        << english << QStringList{"com3", "COM2"} << QStringList{"COM2", "com3"};
    QTest::newRow("duplicates stay")
        << english << QStringList{"COM2", "COM1", "COM2"} << QStringList{"COM1", "COM2", "COM2"};
    QTest::newRow("equal but for case keep their order")
        << english << QStringList{"ttyusb0", "ttyACM0", "TTYUSB0"}
        << QStringList{"ttyACM0", "ttyusb0", "TTYUSB0"};
    QTest::newRow("upper case first stays first")
        << english << QStringList{"TTYUSB0", "ttyusb0"} << QStringList{"TTYUSB0", "ttyusb0"};
    QTest::newRow("Linux names as text")
        << english << QStringList{"ttyUSB1", "ttyS0", "ttyACM10", "ttyACM2", "ttyUSB0"}
        << QStringList{"ttyACM10", "ttyACM2", "ttyS0", "ttyUSB0", "ttyUSB1"};
    QTest::newRow("another locale")
        << russian << QStringList{"com3", "COM10", "COM2"} << QStringList{"COM10", "COM2", "com3"};
    QTest::newRow("C locale") << QLocale::c() << QStringList{"com3", "COM10", "COM2"}
                              << QStringList{"COM10", "COM2", "com3"};
    QTest::newRow("C locale ignores case too")
        << QLocale::c() << QStringList{"COM2", "com1"} << QStringList{"com1", "COM2"};
}

void TestSerialPorts::sortPortNames()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    QLocale::setDefault(locale);
    ::sortPortNames(names);
    QCOMPARE(names, sorted);
}

void TestSerialPorts::listFromTree_data()
{
    QTest::addColumn<QStringList>("ports");        // device link, no type file
    QTest::addColumn<QStringList>("uarts");        // device link, type 4 (16550A)
    QTest::addColumn<QStringList>("unknownUarts"); // device link, type 0
    QTest::addColumn<QStringList>("virtualTtys");  // no device link
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    const QStringList com{"COM1", "COM10", "COM2"};
    QTest::newRow("no entries") << none << none << none << none << none;
    QTest::newRow("COM1, COM10, COM2 made in that order") << com << none << none << none << com;
    QTest::newRow("COM2, COM10, COM1 made in that order")
        << QStringList{"COM2", "COM10", "COM1"} << none << none << none << com;
    QTest::newRow("com3 and COM2")
        << QStringList{"com3", "COM2"} << none << none << none << QStringList{"COM2", "com3"};
    QTest::newRow("entry without a device link is skipped")
        << QStringList{"ttyUSB0"} << none << none << QStringList{"tty0", "console", "ptmx"}
        << QStringList{"ttyUSB0"};
    QTest::newRow("legacy UART with type 0 is skipped")
        << QStringList{"ttyACM0"} << QStringList{"ttyS0"} << QStringList{"ttyS1", "ttyS2"} << none
        << QStringList{"ttyACM0", "ttyS0"};
}

void TestSerialPorts::listFromTree()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, uarts);
    QFETCH(QStringList, unknownUarts);
    QFETCH(QStringList, virtualTtys);
    QFETCH(QStringList, expected);
    for (const QString& name : ports)
        addEntry(name, true);
    for (const QString& name : uarts)
        addEntry(name, true, "4\n");
    for (const QString& name : unknownUarts)
        addEntry(name, true, "0\n");
    for (const QString& name : virtualTtys)
        addEntry(name, false);

    QStringList target{"old item"};
    ListSerialPorts(target, root());
    QCOMPARE(target, expected);
}

// Directory entries are unique, so the nearest thing to two devices with the
// same name is two names that the case-blind order holds equal.
void TestSerialPorts::namesEqualButForCaseBothStay()
{
    addEntry(QStringLiteral("ttyUSB0"), true);
    addEntry(QStringLiteral("TTYUSB0"), true);
    addEntry(QStringLiteral("ttyACM0"), true);
    QStringList target;
    ListSerialPorts(target, root());
    QCOMPARE(target.size(), 3);
    QCOMPARE(target.first(), QStringLiteral("ttyACM0"));
    QCOMPARE(QSet<QString>(target.begin() + 1, target.end()),
             (QSet<QString>{QStringLiteral("ttyUSB0"), QStringLiteral("TTYUSB0")}));
}

void TestSerialPorts::unreadableDirectory_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing directory") << QStringLiteral("missing");
    QTest::newRow("a regular file") << QStringLiteral("plain");
}

void TestSerialPorts::unreadableDirectory()
{
    QFETCH(QString, path);
    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const QStringList before{"ttyS0", "ttyUSB0"};
    QStringList target = before;
    try {
        ListSerialPorts(target, m_dir->filePath(path));
        QFAIL("no exception");
    } catch (const EComPort& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Ошибка обращения к системному реестру"));
        // The reason names the directory that could not be read.
        QVERIFY2(e.detail().startsWith(QStringLiteral("opendir %1: ").arg(m_dir->filePath(path))),
                 qPrintable(e.detail()));
    }
    QCOMPARE(target, before);
}

QTEST_GUILESS_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
