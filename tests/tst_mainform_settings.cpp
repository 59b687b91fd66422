// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"
#include "Application.h"
#include "ComErrors.h"
#include "IniFile.h"
#include "Main.h"
#include "MainFormTesting.h"
#include "TestFiles.h"
#include "ui_Main.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <utility>

// Start-up and closing of the main window with its settings file: defaults,
// stored values, the port list, and failures that keep the window open.
class TestMainFormSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noFileGivesDefaultsAndWritesThemBack();
    void storedValues_data();
    void storedValues();
    void portOutsideListIsWrittenBackAsMinusOne();
    void portOptionOverridesStoredIndex();
    void portOptionIsNotSavedAsIndex_data();
    void portOptionIsNotSavedAsIndex();
    void unreadablePortListKeepsTheSettings();
    void portListFollowsTheSystem_data();
    void portListFollowsTheSystem();
    void badStoredFrequencyIsReportedAndStartUpGoesOn();
    void unwritableFileKeepsWindowOpen();
    void digitTextIsSettledBeforeSaving();

private:
    void createForm(const CommandLineOptions& options = {});
    QString addPortEntry(const QString& name, bool deviceLink, const QString& under);
    QStringList listedPorts() const;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("quartzel.ini")); }

    QTemporaryDir m_dir;
    QString m_ports;
    QString m_settingsFile;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
};

void TestMainFormSettings::init()
{
    m_messages.clear();
    setErrorMessageSink([this](const QString& text, const QString&) { m_messages << text; });
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    // Three ports as the kernel lists them: entries with a device link.
    m_ports = m_dir.filePath(QStringLiteral("tty"));
    for (const char* name : {"ttyUSB0", "ttyS0", "ttyACM0"})
        addPortEntry(QLatin1String(name), true, m_ports);
    m_settingsFile = iniPath();
}

// A tty class entry under `under`; one with a device link is a port.
QString TestMainFormSettings::addPortEntry(const QString& name, bool deviceLink,
                                           const QString& under)
{
    const QString entry = under + QLatin1Char('/') + name;
    [&] {
        QVERIFY(QDir().mkpath(entry));
        if (deviceLink)
            QVERIFY(QFile::link(m_dir.path(), entry + QStringLiteral("/device")));
    }();
    return entry;
}

QStringList TestMainFormSettings::listedPorts() const
{
    QStringList ports;
    for (int i = 0; i < m_form->form().cbPort->count(); ++i)
        ports << m_form->form().cbPort->itemText(i);
    return ports;
}

void TestMainFormSettings::cleanup()
{
    m_form.reset();
    setErrorMessageSink(nullptr);
}

void TestMainFormSettings::createForm(const CommandLineOptions& options)
{
    TMainFormSetup setup;
    setup.settingsFile = m_settingsFile;
    setup.portListRoot = m_ports;
    setup.options = options;
    m_form = std::make_unique<TMainForm>(setup);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

namespace {

QString badFrequencyMessage(const QString& stored)
{
    return QStringLiteral("The stored frequency '%1' has a character that is not a digit; "
                          "014 070 000 Hz is dialled instead")
        .arg(stored);
}

} // namespace

void TestMainFormSettings::noFileGivesDefaultsAndWritesThemBack()
{
    createForm();
    const Ui::MainForm& f = m_form->form();
    QCOMPARE(digitTexts(*m_form), QStringLiteral("014070000"));
    QCOMPARE(f.cbPort->count(), 3);
    QCOMPARE(f.cbPort->currentText(), QStringLiteral("ttyACM0"));
    QCOMPARE(f.cbBaudRate->currentText(), QStringLiteral("9600"));
    QVERIFY(f.SDR->isChecked());
    QVERIFY(m_form->div4Mode());
    QVERIFY(m_form->close());
    QCOMPARE(readBytes(iniPath()),
             QByteArray("[PORT]\nfrequency=014070000\nport=0\nBaudRateIndex=6\ndiv4=1\n"));
    QVERIFY(m_messages.isEmpty());
}

void TestMainFormSettings::storedValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<bool>("div4");
    QTest::addColumn<QString>("frequencyString");
    QTest::addColumn<QString>("badValue"); // the stored text reported at start, if any
    QTest::newRow("plain mode: the button captioned SDR")
        << QByteArray("[PORT]\nfrequency=014070000\nport=1\nBaudRateIndex=12\ndiv4=0\n")
        << "014070000"
        << "ttyS0"
        << "115200" << false << "014070000"
        << "";
    QTest::newRow("characters after the ninth are ignored")
        << QByteArray("[PORT]\nfrequency=0140700001234\ndiv4=0\n") << "014070000"
        << "ttyACM0"
        << "110" << false << "014070000"
        << "";
    QTest::newRow("top digit 9 is shown unclamped")
        << QByteArray("[PORT]\nfrequency=914070000\ndiv4=0\n") << "914070000"
        << "ttyACM0"
        << "110" << false << "914070000"
        << "";
    QTest::newRow("short frequency is filled with zeros")
        << QByteArray("[PORT]\nfrequency=0147\ndiv4=0\n") << "014700000"
        << "ttyACM0"
        << "110" << false << "014700000"
        << "";
    QTest::newRow("empty frequency reads as zeros")
        << QByteArray("[PORT]\nfrequency=\ndiv4=0\n") << "000000000"
        << "ttyACM0"
        << "110" << false << "000000000"
        << "";
    QTest::newRow("no PORT section: in-memory defaults")
        << QByteArray("[OTHER]\nkey=1\n") << "000000000"
        << "ttyACM0"
        << "110" << false << "000000000"
        << "";
    QTest::newRow("hexadecimal rate index, div4 5 is true")
        << QByteArray("[port]\nFREQUENCY=014070000\nBaudRateIndex=0x6\ndiv4=5\n") << "014070000"
        << "ttyACM0"
        << "9600" << true << "003527500"
        << "";
    QTest::newRow("div4 yes reads as the default false")
        << QByteArray("[PORT]\r\nfrequency=014070000\r\ndiv4=yes\r\n") << "014070000"
        << "ttyACM0"
        << "110" << false << "014070000"
        << "";
    QTest::newRow("rate index outside the list selects nothing")
        << QByteArray("[PORT]\nfrequency=014070000\nBaudRateIndex=15\ndiv4=0\n") << "014070000"
        << "ttyACM0"
        << "" << false << "014070000"
        << "";
    // A stored text whose first nine characters are not all digits would
    // fail every composition, and so every close, or reach the reply: the
    // default dial instead, the other settings as stored.
    QTest::newRow("minus sign: default dial, the others as stored")
        << QByteArray("[PORT]\nfrequency=-1\nport=1\nBaudRateIndex=12\ndiv4=1\n") << "014070000"
        << "ttyS0"
        << "115200" << true << "003527500"
        << "-1";
    QTest::newRow("plus sign, which the conversion takes: default dial")
        << QByteArray("[PORT]\nfrequency=+14070000\ndiv4=0\n") << "014070000"
        << "ttyACM0"
        << "110" << false << "014070000"
        << "+14070000";
    QTest::newRow("blank in a short value: default dial")
        << QByteArray("[PORT]\nfrequency=1 2\ndiv4=0\n") << "014070000"
        << "ttyACM0"
        << "110" << false << "014070000"
        << "1 2";
    QTest::newRow("NUL byte: default dial")
        << "[PORT]\nfrequency=0140" + QByteArray(1, '\0') + "0000\ndiv4=0\n"
        << "014070000"
        << "ttyACM0"
        << "110" << false << "014070000"
        << QStringLiteral("0140") + QChar(0) + QStringLiteral("0000");
    QTest::newRow("letter after the ninth character is ignored")
        << QByteArray("[PORT]\nfrequency=007050000x\ndiv4=0\n") << "007050000"
        << "ttyACM0"
        << "110" << false << "007050000"
        << "";
}

void TestMainFormSettings::storedValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, digits);
    QFETCH(QString, port);
    QFETCH(QString, rate);
    QFETCH(bool, div4);
    QFETCH(QString, frequencyString);
    QFETCH(QString, badValue);
    writeBytes(iniPath(), file);
    createForm();
    const Ui::MainForm& f = m_form->form();
    QCOMPARE(digitTexts(*m_form), digits);
    QCOMPARE(f.cbPort->currentText(), port);
    QCOMPARE(f.cbBaudRate->currentText(), rate);
    QCOMPARE(f.SDR->isChecked(), div4);
    QCOMPARE(f.VFO->isChecked(), !div4);
    QCOMPARE(m_form->frequencyString(), frequencyString);
    QCOMPARE(m_messages,
             badValue.isEmpty() ? QStringList() : QStringList{badFrequencyMessage(badValue)});
    // Saved as dialled.
    QVERIFY(m_form->close());
    QCOMPARE(
        TIniFile(iniPath()).readString(QStringLiteral("PORT"), QStringLiteral("frequency"), {}),
        digits);
}

void TestMainFormSettings::portOutsideListIsWrittenBackAsMinusOne()
{
    writeBytes(iniPath(), "[PORT]\nfrequency=014070000\nport=7\nBaudRateIndex=6\ndiv4=1\n");
    createForm();
    QCOMPARE(m_form->form().cbPort->currentIndex(), -1);
    QVERIFY(m_form->close());
    QVERIFY(readBytes(iniPath()).contains("\nport=-1\n"));
}

void TestMainFormSettings::portOptionOverridesStoredIndex()
{
    writeBytes(iniPath(), "[PORT]\nfrequency=014070000\nport=1\nBaudRateIndex=6\ndiv4=1\n");
    CommandLineOptions options;
    options.port = QStringLiteral("/dev/pts/77");
    createForm(options);
    const Ui::MainForm& f = m_form->form();
    QCOMPARE(f.cbPort->count(), 4);
    QCOMPARE(f.cbPort->currentIndex(), 3);
    QCOMPARE(f.cbPort->currentText(), QStringLiteral("/dev/pts/77"));
    QCOMPARE(f.cbPort->itemText(1), QStringLiteral("ttyS0"));
}

void TestMainFormSettings::portOptionIsNotSavedAsIndex_data()
{
    QTest::addColumn<QString>("portOption");
    QTest::addColumn<QByteArray>("file"); // empty: no settings file
    QTest::addColumn<int>("upKeys");      // the operator's picks in the port list
    QTest::addColumn<int>("savedIndex");
    const QString added = QStringLiteral("/dev/pts/77");
    const QByteArray stored = "[PORT]\nfrequency=014070000\nport=2\nBaudRateIndex=6\ndiv4=1\n";
    QTest::newRow("added port still selected: the stored index stays") << added << stored << 0 << 2;
    QTest::newRow("added port, no file: the default index") << added << QByteArray() << 0 << 0;
    QTest::newRow("operator picked a listed port: it is saved") << added << stored << 2 << 1;
    QTest::newRow("listed port named by --port: the stored index stays")
        << QStringLiteral("ttyS0") << stored << 0 << 2;
}

void TestMainFormSettings::portOptionIsNotSavedAsIndex()
{
    QFETCH(QString, portOption);
    QFETCH(QByteArray, file);
    QFETCH(int, upKeys);
    QFETCH(int, savedIndex);
    if (!file.isEmpty())
        writeBytes(iniPath(), file);
    CommandLineOptions options;
    options.port = portOption;
    createForm(options);
    QComboBox* ports = m_form->form().cbPort;
    for (int i = 0; i < upKeys; ++i)
        QTest::keyClick(ports, Qt::Key_Up);
    QVERIFY(m_form->close());
    QVERIFY(readBytes(iniPath()).contains("\nport=" + QByteArray::number(savedIndex) + '\n'));
}

// As on a Windows PC where no serial device has appeared since boot: the
// list is reported, and the settings neither lost nor overwritten.
void TestMainFormSettings::unreadablePortListKeepsTheSettings()
{
    const QByteArray stored = "[PORT]\nfrequency=007050000\nport=1\nBaudRateIndex=12\ndiv4=0\n";
    writeBytes(iniPath(), stored);
    const QString listedPorts = std::exchange(m_ports, m_dir.filePath(QStringLiteral("none")));
    createForm();
    QCOMPARE(m_messages, QStringList{QString::fromUtf8(ComPortMessages::RegistryError)});
    const Ui::MainForm& f = m_form->form();
    QCOMPARE(digitTexts(*m_form), QStringLiteral("007050000"));
    QCOMPARE(m_form->frequencyString(), QStringLiteral("007050000"));
    QCOMPARE(f.cbPort->count(), 0);
    QCOMPARE(f.cbBaudRate->currentText(), QStringLiteral("115200"));
    QVERIFY(f.VFO->isChecked());
    QVERIFY(m_form->close());
    QCOMPARE(readBytes(iniPath()), stored);

    m_ports = listedPorts;
    createForm();
    QCOMPARE(m_form->form().cbPort->currentText(), QStringLiteral("ttyS0"));
    QCOMPARE(m_form->form().cbBaudRate->currentText(), QStringLiteral("115200"));
}

enum class PortChange { PlugIn, PullOut, LinkDevice };
Q_DECLARE_METATYPE(PortChange)

void TestMainFormSettings::portListFollowsTheSystem_data()
{
    QTest::addColumn<PortChange>("change");
    QTest::addColumn<bool>("fromMenu"); // refreshed from the right-click menu, not noticed
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("savedIndex"); // the selected port, ttyS0, where it now stands

    QTest::newRow("a port plugged in before the selection: noticed, selection kept")
        << PortChange::PlugIn << false << QStringList{"ttyACM0", "ttyACM1", "ttyS0", "ttyUSB0"}
        << 2;
    QTest::newRow("the selected port pulled out: it stays selected, after the listed ones")
        << PortChange::PullOut << false << QStringList{"ttyACM0", "ttyUSB0", "ttyS0"} << 2;
    // A device link made inside an entry changes nothing the watch sees.
    QTest::newRow("a port the watch cannot see: Refresh the port list")
        << PortChange::LinkDevice << true << QStringList{"ttyACM0", "ttyACM1", "ttyS0", "ttyUSB0"}
        << 2;
}

void TestMainFormSettings::portListFollowsTheSystem()
{
    QFETCH(PortChange, change);
    QFETCH(bool, fromMenu);
    QFETCH(QStringList, ports);
    QFETCH(int, savedIndex);
    const QString unlinked = addPortEntry(QStringLiteral("ttyACM1"), false, m_ports);
    writeBytes(iniPath(), "[PORT]\nfrequency=014070000\nport=1\nBaudRateIndex=6\ndiv4=1\n");
    createForm();
    QCOMPARE(m_form->form().cbPort->currentText(), QStringLiteral("ttyS0"));
    switch (change) {
    case PortChange::PlugIn: {
        // Made elsewhere and moved in whole, as the kernel shows a port.
        QVERIFY(QDir(unlinked).removeRecursively());
        const QString made =
            addPortEntry(QStringLiteral("ttyACM1"), true, m_dir.filePath(QStringLiteral("new")));
        QVERIFY(QDir().rename(made, unlinked));
        break;
    }
    case PortChange::PullOut:
        QVERIFY(QDir(m_ports + QStringLiteral("/ttyS0")).removeRecursively());
        break;
    case PortChange::LinkDevice:
        QVERIFY(QFile::link(m_dir.path(), unlinked + QStringLiteral("/device")));
        break;
    }
    if (fromMenu) {
        // Through the window, which turns a right click into the menu's request.
        const QLabel* label = m_form->form().Label1;
        QTest::mouseClick(m_form->windowHandle(), Qt::RightButton, {},
                          label->mapTo(m_form.get(), label->rect().center()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QList<QAction*> entries = menu->actions();
        const auto refresh = std::find_if(entries.begin(), entries.end(), [](QAction* a) {
            return a->text() == QStringLiteral("Refresh the port list");
        });
        QVERIFY(refresh != entries.end());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*refresh).center());
    }
    QTRY_COMPARE(listedPorts(), ports);
    QCOMPARE(m_form->form().cbPort->currentText(), QStringLiteral("ttyS0"));
    QVERIFY(m_form->close());
    QVERIFY(readBytes(iniPath()).contains("\nport=" + QByteArray::number(savedIndex) + '\n'));
    QVERIFY(m_messages.isEmpty());
}

void TestMainFormSettings::badStoredFrequencyIsReportedAndStartUpGoesOn()
{
    writeBytes(iniPath(), "[PORT]\nfrequency=a14070000\ndiv4=1\n");
    createForm();
    QCOMPARE(m_messages, QStringList{badFrequencyMessage(QStringLiteral("a14070000"))});
    QVERIFY(!m_form->form().Image1->pixmap().isNull()); // the lamps were reached
    // And the first look at the buffer.
    QCOMPARE(m_form->receiveBuffer().text(), QByteArray());
    QCOMPARE(m_form->form().Edit1->text(),
             QStringLiteral("IF000035275000010+0000000000010000000;"));
}

void TestMainFormSettings::unwritableFileKeepsWindowOpen()
{
    // A regular file where the settings directory should be: no write can
    // succeed there, not even as root.
    writeBytes(m_dir.filePath(QStringLiteral("blocker")), "x");
    m_settingsFile = m_dir.filePath(QStringLiteral("blocker/quartzel.ini"));
    createForm();
    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_messages, QStringList{QStringLiteral("Unable to write to ") + m_settingsFile});
}

// A digit left holding a text that is not one digit is saved as the window
// then shows it, never as a frequency of another length.
void TestMainFormSettings::digitTextIsSettledBeforeSaving()
{
    createForm();
    m_form->digit(1)->setText(QStringLiteral("a"));
    m_form->digit(5)->setText(QStringLiteral("007"));
    QVERIFY(m_form->close());
    QVERIFY(readBytes(iniPath()).contains("\nfrequency=014070000\n"));
}

QTEST_MAIN(TestMainFormSettings)
#include "tst_mainform_settings.moc"
