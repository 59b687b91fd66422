// SPDX-License-Identifier: GPL-3.0-or-later

#include "IniFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString Default = QStringLiteral("DEF");

QString expectedMessage(const QString& path)
{
    return QStringLiteral("Unable to write to ") + path;
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

public:
    // A read that waits for a FIFO's writer fails its case by name, in
    // seconds, instead of holding the whole test until CTest ends it.
    TestIniFile() { qputenv("QTEST_FUNCTION_TIMEOUT", "20000"); }

private slots:
    void init();

    void readString_data();
    void readString();
    void readStringOfMissingFile();
    void readIntegerAndBool_data();
    void readIntegerAndBool();
    void unreadableFile_data();
    void unreadableFile();

    void write_data();
    void write();
    void writeNumbers();
    void writeFailureKeepsOldFile_data();
    void writeFailureKeepsOldFile();
    void writeAtFullDiskKeepsOldFile();
    void writeRefusesWhatWouldNotReadBack_data();
    void writeRefusesWhatWouldNotReadBack();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("quartzel.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray port = "[PORT]\nfrequency=014070000\nport=1\n";
    QTest::newRow("plain value") << port << "PORT"
                                 << "frequency"
                                 << "014070000";
    QTest::newRow("missing key") << port << "PORT"
                                 << "div4" << Default;
    QTest::newRow("missing section") << port << "OTHER"
                                     << "port" << Default;
    QTest::newRow("key of another section")
        << QByteArray("[A]\nport=1\n[PORT]\nfrequency=2\n") << "PORT"
        << "port" << Default;
    QTest::newRow("mixed-case section and key") << QByteArray("[pOrT]\nFREQUENCY=123\n") << "Port"
                                                << "frequency"
                                                << "123";
    QTest::newRow("blanks around section, key and value")
        << QByteArray("  [ PORT ]  \n \t frequency \t=  \t 14 070 \t \n") << "PORT"
        << "frequency"
        << "14 070";
    QTest::newRow("CRLF line ends")
        << QByteArray("[PORT]\r\nfrequency=014070000\r\nport=3\r\n") << "PORT"
        << "frequency"
        << "014070000";
    QTest::newRow("last line without line end") << QByteArray("[PORT]\r\nport=3") << "PORT"
                                                << "port"
                                                << "3";
    QTest::newRow("double quotes") << QByteArray("[PORT]\nport=\" 7 \"\n") << "PORT"
                                   << "port"
                                   << " 7 ";
    QTest::newRow("single quotes") << QByteArray("[PORT]\nport= 'x' \n") << "PORT"
                                   << "port"
                                   << "x";
    QTest::newRow("only one pair of quotes") << QByteArray("[PORT]\nport=\"\"x\"\"\n") << "PORT"
                                             << "port"
                                             << "\"x\"";
    QTest::newRow("quotes that do not match stay") << QByteArray("[PORT]\nport=\"x'\n") << "PORT"
                                                   << "port"
                                                   << "\"x'";
    QTest::newRow("a lone quote stays") << QByteArray("[PORT]\nport=\"\n") << "PORT"
                                        << "port"
                                        << "\"";
    QTest::newRow("empty value is not the default") << QByteArray("[PORT]\nport=\n") << "PORT"
                                                    << "port"
                                                    << "";
    QTest::newRow("equals sign inside the value") << QByteArray("[PORT]\nport=a=b\n") << "PORT"
                                                  << "port"
                                                  << "a=b";
    QTest::newRow("comment line is no key") << QByteArray("[PORT]\n;port=1\n") << "PORT"
                                            << ";port" << Default;
    QTest::newRow("first of two equal keys") << QByteArray("[PORT]\nport=1\nPORT=2\n") << "PORT"
                                             << "port"
                                             << "1";
    QTest::newRow("only the first section of a name is read")
        << QByteArray("[PORT]\nport=1\n[OTHER]\n[port]\ndiv4=1\n") << "PORT"
        << "div4" << Default;
    QTest::newRow("byte-order mark before the first section")
        << QByteArray("\xEF\xBB\xBF[PORT]\nport=5\n") << "PORT"
        << "port"
        << "5";
    QTest::newRow("3000 characters are cut to 2047")
        << "[PORT]\nfrequency=" + QByteArray(3000, '7') + "\n"
        << "PORT"
        << "frequency" << QString(2047, u'7');
    const QByteArray firstLines = "[PORT]\nport=1\n;";
    QTest::newRow("a file of the largest size read")
        << firstLines + QByteArray(TIniFile::MaxFileSize - firstLines.size(), 'x') << "PORT"
        << "port"
        << "1";
    QTest::newRow("quoted 2049 characters keep the inner 2047")
        << "[PORT]\nfrequency=\"" + QByteArray(2047, '7') + "\"\n"
        << "PORT"
        << "frequency" << QString(2047, u'7');
}

void TestIniFile::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeBytes(path(), content);
    QCOMPARE(TIniFile(path()).readString(section, key, Default), expected);
}

void TestIniFile::readStringOfMissingFile()
{
    const TIniFile file(path());
    QVERIFY(!file.exists());
    QCOMPARE(file.readString(QStringLiteral("PORT"), QStringLiteral("port"), Default), Default);
}

void TestIniFile::readIntegerAndBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expectedInteger"); // read with the default 42
    QTest::addColumn<bool>("expectedBool");   // read with the default false

    QTest::newRow("decimal") << QByteArray("6") << 6 << true;
    QTest::newRow("zero") << QByteArray("0") << 0 << false;
    QTest::newRow("div4=5 is true") << QByteArray("5") << 5 << true;
    QTest::newRow("div4=yes is the default") << QByteArray("yes") << 42 << false;
    QTest::newRow("0x6") << QByteArray("0x6") << 6 << true;
    QTest::newRow("0x alone") << QByteArray("0x") << 42 << false;
    QTest::newRow("$1F") << QByteArray("$1F") << 31 << true;
    QTest::newRow("abc") << QByteArray("abc") << 42 << false;
    QTest::newRow("empty") << QByteArray("") << 42 << false;
    QTest::newRow("padded") << QByteArray("  12  ") << 12 << true;
    QTest::newRow("quoted") << QByteArray("\"9\"") << 9 << true;
    QTest::newRow("one above 32 bits") << QByteArray("2147483648") << 42 << false;
    QTest::newRow("far beyond 32 bits") << QByteArray("99999999999") << 42 << false;
}

void TestIniFile::readIntegerAndBool()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expectedInteger);
    QFETCH(bool, expectedBool);
    writeBytes(path(), "[PORT]\nBaudRateIndex=" + value + "\n");
    const TIniFile file(path());
    const QString section = QStringLiteral("PORT");
    const QString key = QStringLiteral("BaudRateIndex");
    QCOMPARE(file.readInteger(section, key, 42), expectedInteger);
    QCOMPARE(file.readBool(section, key, false), expectedBool);
    // An unreadable boolean yields the default, whichever it is.
    const bool readable = expectedInteger != 42;
    QCOMPARE(file.readBool(section, key, true), readable ? expectedBool : true);
}

void TestIniFile::unreadableFile_data()
{
    QTest::addColumn<QString>("name"); // one of the things unreadableFile() makes
    QTest::addColumn<QString>("reason");
    const QString notRegular = QStringLiteral("not a regular file");
    QTest::newRow("a directory") << "dir" << notRegular;
    QTest::newRow("a FIFO, which a plain open would wait on") << "fifo" << notRegular;
    QTest::newRow("a link to a FIFO") << "link-to-fifo" << notRegular;
    QTest::newRow("a link to /dev/zero, which never ends") << "link-to-zero" << notRegular;
    QTest::newRow("one byte over the largest size") << "large"
                                                    << "larger than 1048576 bytes";
}

// Read as empty, said why, and refused to a write, which would lose what
// could not be read.
void TestIniFile::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QDir dir(m_dir->path());
    QVERIFY(dir.mkdir(QStringLiteral("dir")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0644),
             0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("fifo")), dir.filePath("link-to-fifo")));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath("link-to-zero")));
    writeBytes(dir.filePath(QStringLiteral("large")), "[PORT]\nport=1\n");
    QVERIFY(QFile::resize(dir.filePath(QStringLiteral("large")), TIniFile::MaxFileSize + 1));
    const QString error = QStringLiteral("read %1: %2").arg(dir.filePath(name), reason);

    TIniFile file(dir.filePath(name));
    QVERIFY(file.exists());
    QCOMPARE(file.readString(QStringLiteral("PORT"), QStringLiteral("port"), Default), Default);
    QCOMPARE(file.readError(), error);
    try {
        file.writeString(QStringLiteral("PORT"), QStringLiteral("port"), QStringLiteral("2"));
        QFAIL("no exception");
    } catch (const EIniFileException& e) {
        QCOMPARE(e.detail(), error);
    }
}

void TestIniFile::write_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    const QByteArray mixed = "; settings of the front panel\r\n"
                             "[Other]\r\n"
                             "a=1\r\n"
                             "\r\n"
                             "[port]\r\n"
                             "  Frequency = 1 \r\n"
                             "; keep me ; too\r\n"
                             "unknown=C:\\Program Files\\x\r\n"
                             "\r\n"
                             "[Last]\r\n"
                             "b = 2\r\n";
    QTest::newRow("replace a key, keep every other line and CRLF")
        << true << mixed << "PORT"
        << "frequency"
        << QByteArray("; settings of the front panel\r\n[Other]\r\na=1\r\n\r\n[port]\r\n"
                      "Frequency=NEW\r\n; keep me ; too\r\nunknown=C:\\Program Files\\x\r\n\r\n"
                      "[Last]\r\nb = 2\r\n");
    QTest::newRow("add a key after the section's last line")
        << true << mixed << "PORT"
        << "div4"
        << QByteArray("; settings of the front panel\r\n[Other]\r\na=1\r\n\r\n[port]\r\n"
                      "  Frequency = 1 \r\n; keep me ; too\r\nunknown=C:\\Program Files\\x\r\n"
                      "div4=NEW\r\n\r\n[Last]\r\nb = 2\r\n");
    QTest::newRow("add a section at the end") << true << mixed << "New"
                                              << "Key" << mixed + "\r\n[New]\r\nKey=NEW\r\n";
    QTest::newRow("LF file stays LF") << true << QByteArray("[A]\nx=1\n") << "PORT"
                                      << "port" << QByteArray("[A]\nx=1\n\n[PORT]\nport=NEW\n");
    QTest::newRow("last line without line end gets one")
        << true << QByteArray("[PORT]\r\nport=1") << "PORT"
        << "div4" << QByteArray("[PORT]\r\nport=1\r\ndiv4=NEW\r\n");
    QTest::newRow("file is created") << false << QByteArray() << "PORT"
                                     << "frequency" << QByteArray("[PORT]\nfrequency=NEW\n");
}

void TestIniFile::write()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    if (fileExists)
        writeBytes(path(), before);
    TIniFile file(path());
    file.writeString(section, key, QStringLiteral("NEW"));
    QCOMPARE(readBytes(path()), after);
    QCOMPARE(file.readString(section, key, Default), QStringLiteral("NEW"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("quartzel.ini")});
}

void TestIniFile::writeNumbers()
{
    const QString nested = m_dir->filePath(QStringLiteral("config/quartzel/quartzel.ini"));
    TIniFile file(nested);
    const QString section = QStringLiteral("PORT");
    file.writeInteger(section, QStringLiteral("port"), -1);
    file.writeInteger(section, QStringLiteral("BaudRateIndex"), 2147483647);
    file.writeBool(section, QStringLiteral("div4"), true);
    file.writeBool(section, QStringLiteral("other"), false);
    QCOMPARE(readBytes(nested),
             QByteArray("[PORT]\nport=-1\nBaudRateIndex=2147483647\ndiv4=1\nother=0\n"));
}

void TestIniFile::writeFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("detail"); // what the system said; "DIR/" is the test directory

    // Root may write anywhere that permission bits forbid, so these cases
    // use places where the file system itself refuses the write.
    QTest::newRow("the file name is a directory") << "dir.ini"
                                                  << "read DIR/dir.ini: not a regular file";
    QTest::newRow("directory in procfs") << "/proc/quartzel.ini"
                                         << "open /proc/quartzel.ini: No such file or directory";
    QTest::newRow("directory below a regular file") << "plain/quartzel.ini"
                                                    << "mkdir DIR/plain: File exists";
}

void TestIniFile::writeFailureKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(QString, detail);
    const QByteArray old = "[PORT]\nport=0\n";
    writeBytes(path(), old);
    writeBytes(m_dir->filePath(QStringLiteral("plain")), old);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("dir.ini")));
    const QString fileName = QDir(m_dir->path()).filePath(target);
    const QStringList entriesBefore =
        QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

    TIniFile file(fileName);
    try {
        file.writeString(QStringLiteral("PORT"), QStringLiteral("port"), QStringLiteral("1"));
        QFAIL("no exception");
    } catch (const EIniFileException& e) {
        QCOMPARE(QString::fromUtf8(e.what()), expectedMessage(fileName));
        QCOMPARE(e.detail(), detail.replace(QStringLiteral("DIR/"), m_dir->path() + u'/'));
    }
    QCOMPARE(readBytes(path()), old);
    QCOMPARE(readBytes(m_dir->filePath(QStringLiteral("plain"))), old);
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("dir.ini"))).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), entriesBefore);
}

// A file-size limit makes the write of the new file fail part-way, as a full
// disk does; the old file must survive whole and no temporary file may stay.
void TestIniFile::writeAtFullDiskKeepsOldFile()
{
    const QByteArray old = "[PORT]\nfrequency=014070000\nport=0\n";
    writeBytes(path(), old);
    QString message;
    QString detail;
    {
        const FileSizeLimit limit(64);
        QVERIFY(limit.isActive());
        try {
            TIniFile(path()).writeString(QStringLiteral("PORT"), QStringLiteral("frequency"),
                                         QString(100, u'1'));
        } catch (const EIniFileException& e) {
            message = QString::fromUtf8(e.what());
            detail = e.detail();
        }
    }
    QCOMPARE(message, expectedMessage(path()));
    QCOMPARE(detail, QStringLiteral("write %1: File too large").arg(path()));
    QCOMPARE(readBytes(path()), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("quartzel.ini")});
}

void TestIniFile::writeRefusesWhatWouldNotReadBack_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("line break in the value") << "PORT"
                                             << "port"
                                             << "1\n[EVIL]\nx=1";
    QTest::newRow("carriage return in the value") << "PORT"
                                                  << "port"
                                                  << "1\r";
    QTest::newRow("line break in the key") << "PORT"
                                           << "a\nb"
                                           << "1";
    QTest::newRow("line break in the section") << "PO\nRT"
                                               << "port"
                                               << "1";
    QTest::newRow("bracket in the section") << "PO]RT"
                                            << "port"
                                            << "1";
    QTest::newRow("equals sign in the key") << "PORT"
                                            << "a=b"
                                            << "1";
    QTest::newRow("key like a section") << "PORT"
                                        << "[EVIL]"
                                        << "1";
    QTest::newRow("key like a comment") << "PORT"
                                        << " ;port"
                                        << "1";
    QTest::newRow("blank key") << "PORT"
                               << " "
                               << "1";
}

void TestIniFile::writeRefusesWhatWouldNotReadBack()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray old = "[PORT]\nport=0\n";
    writeBytes(path(), old);
    TIniFile file(path());
    QVERIFY_THROWS_EXCEPTION(EIniFileException, file.writeString(section, key, value));
    QCOMPARE(readBytes(path()), old);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
