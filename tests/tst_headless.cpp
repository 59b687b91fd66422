// SPDX-License-Identifier: GPL-3.0-or-later

#include "FreePort.h"
#include "PtyPair.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <iterator>
#include <memory>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Who may open the line the program is told to use.
enum class LineAccess {
    Free,            // the program's user
    NoPermission,    // nobody (mode 000)
    DialoutGroup,    // root and the group dialout, as Debian has serial devices
    HeldExclusively, // the test, which set TIOCEXCL on it
};
Q_DECLARE_METATYPE(LineAccess)

// What stands in the way of saving the settings.
enum class SettingsFile {
    Writable,
    ReadOnly,         // file and directory
    BeyondSizeLimit,  // RLIMIT_FSIZE (ulimit -f) below the file's size
    Fifo,             // in the file's place, which a plain open waits on
    NoDescriptorLeft, // every one taken, by rigctld clients under ulimit -n 32
};
Q_DECLARE_METATYPE(SettingsFile)

// The program itself, run as on a machine without a screen: what it says on
// standard error, how signals end it, and its help without any display.
class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void endsOnSignal_data();
    void endsOnSignal();
    void refusesStartUnderOpenFilesLimit();

private:
    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    QStringList errorLines();
    void setLanguage(const QString& language);
    void runUnprivileged();
    void prepareLine(LineAccess access, const QString& slavePath);
    void setUpChild();

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
    QByteArray m_stderr;
    int m_lineHolder = -1;
    bool m_unprivileged = false;
    rlim_t m_fileSizeLimit = RLIM_INFINITY;
    rlim_t m_openFilesLimit = RLIM_INFINITY;
};

namespace {

constexpr int finishBound = 10000; // ms; a failure bound, not a measured time
constexpr uid_t unprivileged = 65534;

// The program's signal handler is in place once the kernel lists the signal
// as caught.
bool catchesSignal(qint64 pid, int signal)
{
    const QByteArray status = readBytes(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

qsizetype openDescriptors(qint64 pid)
{
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

// Lowers the soft and the hard limit, as `ulimit` does; none lowers nothing.
bool lowerLimit(decltype(RLIMIT_NOFILE) resource, rlim_t value)
{
    const rlimit limit{value, value};
    return value == RLIM_INFINITY || ::setrlimit(resource, &limit) == 0;
}

void setMode(const QString& path, QFile::Permissions permissions)
{
    QVERIFY(QFile::setPermissions(path, permissions));
}

// The system's words for `code` as the program run with LANG=`language`
// writes them: in English where that locale is not installed.
QString systemReason(const QString& language, int code)
{
    locale_t locale = newlocale(LC_ALL_MASK, language.toLatin1().constData(), locale_t{});
    if (!locale)
        locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const QString reason = QString::fromUtf8(strerror_l(code, locale));
    freelocale(locale);
    return reason;
}

bool isFifo(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

constexpr QFile::Permissions readExecute = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;

} // namespace

// A copy of the program in a directory it cannot write to, so that its
// settings go to $XDG_CONFIG_HOME/quartzel/ as for an installed program.
void TestHeadless::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_stderr.clear();
    for (const char* sub : {"bin", "config/quartzel", "tmp"})
        QVERIFY(QDir(m_dir->path()).mkpath(QLatin1String(sub)));
    QVERIFY(QFile::copy(QStringLiteral(QUARTZEL_PROGRAM), path(QStringLiteral("bin/quartzel"))));
    setMode(m_dir->path(), readExecute | QFile::WriteOwner);
    setMode(path(QStringLiteral("bin")), readExecute);
    setMode(path(QStringLiteral("tmp")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // No login session, as over su or in a system service: no runtime
    // directory, for which Qt falls back to one under the temporary directory.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_program.setProcessEnvironment(env);
    m_program.setProgram(path(QStringLiteral("bin/quartzel")));
    m_unprivileged = false;
    m_fileSizeLimit = RLIM_INFINITY;
    m_openFilesLimit = RLIM_INFINITY;
    // The program inherits it; under nohup it would keep SIGHUP ignored.
    std::signal(SIGHUP, SIG_DFL);
}

void TestHeadless::cleanup()
{
    if (m_lineHolder >= 0)
        ::close(std::exchange(m_lineHolder, -1));
    m_program.kill(); // after a failed check
    m_program.waitForFinished(finishBound);
    for (const char* sub : {"bin", "config/quartzel"})
        QFile::setPermissions(path(QLatin1String(sub)), readExecute | QFile::WriteOwner);
    m_dir.reset();
}

// Everything on standard error: the program's own lines, and nothing that
// the user could not act on.
QStringList TestHeadless::errorLines()
{
    m_stderr += m_program.readAllStandardError();
    QStringList lines;
    for (const QByteArray& line : m_stderr.split('\n')) {
        if (!line.isEmpty())
            lines << QString::fromUtf8(line);
    }
    return lines;
}

// The language is the user's, as LANG gives it; nothing else may override it.
void TestHeadless::setLanguage(const QString& language)
{
    QProcessEnvironment env = m_program.processEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LANG"), language);
    m_program.setProcessEnvironment(env);
}

// Root may write and open anything: the program runs as a user without
// privileges, who owns its temporary directory and its settings.
void TestHeadless::runUnprivileged()
{
    if (::geteuid() != 0)
        return;
    for (const char* owned : {"tmp", "config/quartzel", "config/quartzel/quartzel.ini"})
        QCOMPARE(::chown(path(QLatin1String(owned)).toLocal8Bit().constData(), unprivileged,
                         unprivileged),
                 0);
    m_unprivileged = true;
}

// The child starts with the signal dispositions a shell gives (this process
// may ignore SIGXFSZ), the limits and the user asked for. Under a limit on
// open files it starts, as from a shell, with only 0, 1 and 2 open.
void TestHeadless::setUpChild()
{
    m_program.setChildProcessModifier([dropPrivileges = m_unprivileged, fileSize = m_fileSizeLimit,
                                       openFiles = m_openFilesLimit] {
        std::signal(SIGXFSZ, SIG_DFL);
        if (!lowerLimit(RLIMIT_FSIZE, fileSize) || !lowerLimit(RLIMIT_NOFILE, openFiles))
            ::_exit(126);
        if (openFiles != RLIM_INFINITY)
            ::close_range(3, ~0U, 0);
        if (dropPrivileges && (::setgroups(0, nullptr) != 0 || ::setgid(unprivileged) != 0 ||
                               ::setuid(unprivileged) != 0))
            ::_exit(126);
    });
}

void TestHeadless::prepareLine(LineAccess access, const QString& slavePath)
{
    const QByteArray line = slavePath.toLocal8Bit();
    const uid_t owner = ::geteuid() == 0 ? unprivileged : ::geteuid();
    switch (access) {
    case LineAccess::Free:
        QCOMPARE(::chown(line.constData(), owner, gid_t(-1)), 0);
        return;
    case LineAccess::NoPermission:
        QCOMPARE(::chmod(line.constData(), 0), 0);
        return;
    case LineAccess::DialoutGroup: {
        const group* dialout = ::getgrnam("dialout");
        if (!dialout || ::geteuid() != 0)
            QSKIP("needs root and the group dialout");
        QCOMPARE(::chown(line.constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(line.constData(), 0660), 0);
        return;
    }
    case LineAccess::HeldExclusively:
        QCOMPARE(::chown(line.constData(), owner, gid_t(-1)), 0);
        m_lineHolder = ::open(line.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(m_lineHolder >= 0);
        QCOMPARE(::ioctl(m_lineHolder, TIOCEXCL), 0);
        return;
    }
}

void TestHeadless::answersWithoutDisplay_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode"); // 0: the answer on standard output, else on standard error
    QTest::addColumn<QString>("answerStart");
    QTest::addColumn<QString>("answerHas");
    QTest::newRow("--help lists the options")
        << "en_US.UTF-8" << QStringList{"--help"} << 0 << "Usage: "
        << "Front panel for an Si570 synthesizer.";
    QTest::newRow("--help in a Russian locale: Qt's texts and ours in Russian")
        << "ru_RU.UTF-8" << QStringList{"--help"} << 0 << "Использование: "
        << "Подключиться, когда запуск завершён.";
    QTest::newRow("--version names the program")
        << "C.UTF-8" << QStringList{"--version"} << 0 << "Quartzel "
        << "";
    const QString hint = QStringLiteral("\nTry '--help' for more information.\n");
    QTest::newRow("unknown option: the usage error, status 2")
        << "C.UTF-8" << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'." << hint;
    QTest::newRow("--port without a value: the usage error, status 2")
        << "C.UTF-8" << QStringList{"--port"} << 2 << "Missing value after '--port'." << hint;
    QTest::newRow("--rigctld with no port in it: the usage error, status 2")
        << "C.UTF-8" << QStringList{"--rigctld", "nonsense"} << 2
        << "Option 'rigctld' needs [address:]port" << hint;
    QTest::newRow("with Qt's own -platform and its value: the unknown option counts, status 2")
        << "C.UTF-8" << QStringList{"-platform", "offscreen", "--bogus"} << 2
        << "Unknown option 'bogus'." << hint;
    QTest::newRow("unknown option with one dash: the usage error, status 2")
        << "C.UTF-8" << QStringList{"-x"} << 2 << "Unknown option 'x'." << hint;
    QTest::newRow("with Qt's own -style and its value: the unknown option counts, status 2")
        << "C.UTF-8" << QStringList{"-style", "fusion", "--bogus"} << 2 << "Unknown option 'bogus'."
        << hint;
}

// As over plain ssh: no display of any kind, and no platform named.
void TestHeadless::answersWithoutDisplay()
{
    QFETCH(QString, language);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, answerStart);
    QFETCH(QString, answerHas);
    setLanguage(language);
    QProcessEnvironment env = m_program.processEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    m_program.setProcessEnvironment(env);
    m_program.setArguments(arguments);
    setUpChild();
    m_program.start();
    QVERIFY(m_program.waitForFinished(finishBound));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    const QString output = QString::fromUtf8(m_program.readAllStandardOutput());
    const QString errors = QString::fromUtf8(m_program.readAllStandardError());
    QCOMPARE(exitCode == 0 ? errors : output, QString());
    QCOMPARE(m_program.exitCode(), exitCode);
    const QString answer = exitCode == 0 ? output : errors;
    QVERIFY2(answer.startsWith(answerStart), qPrintable(answer));
    QVERIFY2(answer.contains(answerHas), qPrintable(answer));
}

void TestHeadless::endsOnSignal_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("arguments"); // "PTY" stands for a pty's path
    QTest::addColumn<LineAccess>("line");
    QTest::addColumn<SettingsFile>("settings");
    QTest::addColumn<int>("signal");
    // More than one: the stop signals in turn from `signal` on, in a row.
    QTest::addColumn<int>("signalCount");
    QTest::addColumn<QByteArray>("storedFrequency");
    // What the replies carry and the file gets (in div4 mode the replies
    // carry the divided frequency).
    QTest::addColumn<QByteArray>("dial");
    // "PTY" as above, "INI" the settings path, "%ENOENT%" and "%EACCES%" the
    // system's words in the row's language.
    QTest::addColumn<QStringList>("linesBeforeSignal");
    QTest::addColumn<QStringList>("linesAfterSignal");
    QTest::addColumn<int>("exitCode");

    const QStringList none;
    const QStringList noSuchPort{"--port", "/dev/ttyNOPE", "--connect"};
    const QStringList onPty{"--port", "PTY", "--connect"};
    const SettingsFile writable = SettingsFile::Writable;
    const QByteArray dial = "007050000";
    QTest::newRow("Russian: failed Connect, the message as written, then runs on until SIGTERM")
        << "ru_RU.UTF-8" << noSuchPort << LineAccess::Free << writable << SIGTERM << 1 << dial
        << dial
        << QStringList{"quartzel: Попытка открыть несуществующий COM-порт "
                       "(open /dev/ttyNOPE: %ENOENT%)"}
        << none << 0;
    QTest::newRow("English: the same error in English")
        << "en_US.UTF-8" << noSuchPort << LineAccess::Free << writable << SIGTERM << 1 << dial
        << dial
        << QStringList{"quartzel: Attempt to open a COM port that does not exist "
                       "(open /dev/ttyNOPE: No such file or directory)"}
        << none << 0;
    QTest::newRow("Russian: responder, read-only settings: SIGINT logs the file (in English)")
        << "ru_RU.UTF-8" << onPty << LineAccess::Free << SettingsFile::ReadOnly << SIGINT << 1
        << dial << dial << none
        << QStringList{"quartzel: Unable to write to INI (open INI: %EACCES%)"} << 1;
    QTest::newRow("responder, its terminal closed: SIGHUP ends it cleanly")
        << "en_US.UTF-8" << onPty << LineAccess::Free << writable << SIGHUP << 1 << dial << dial
        << none << none << 0;
    QTest::newRow("responder, 30000 stop signals in a row: it ends, saved once")
        << "en_US.UTF-8" << onPty << LineAccess::Free << writable << SIGTERM << 30000 << dial
        << dial << none << none << 0;
    QTest::newRow("read-only settings, 30000 stop signals in a row: one save, one message")
        << "en_US.UTF-8" << onPty << LineAccess::Free << SettingsFile::ReadOnly << SIGHUP << 30000
        << dial << dial << none
        << QStringList{"quartzel: Unable to write to INI (open INI: Permission denied)"} << 1;
    QTest::newRow("ulimit -f below the settings' size: the write fails, logged, status 1")
        << "en_US.UTF-8" << onPty << LineAccess::Free << SettingsFile::BeyondSizeLimit << SIGTERM
        << 1 << dial << dial << none
        << QStringList{"quartzel: Unable to write to INI (write INI: File too large)"} << 1;
    QTest::newRow("every descriptor taken by rigctld clients: the save gets those kept for it")
        << "en_US.UTF-8" << onPty << LineAccess::Free << SettingsFile::NoDescriptorLeft << SIGTERM
        << 1 << dial << dial << none << none << 0;
    QTest::newRow("EACCES on a device of group dialout: the hint")
        << "en_US.UTF-8" << onPty << LineAccess::DialoutGroup << writable << SIGTERM << 1 << dial
        << dial
        << QStringList{"quartzel: Port is in use by another program "
                       "(open PTY: Permission denied (you are not in the dialout group?))"}
        << none << 0;
    QTest::newRow("EACCES on a device of another group: no hint")
        << "en_US.UTF-8" << onPty << LineAccess::NoPermission << writable << SIGTERM << 1 << dial
        << dial
        << QStringList{"quartzel: Port is in use by another program "
                       "(open PTY: Permission denied)"}
        << none << 0;
    QTest::newRow("EBUSY: another program holds the line")
        << "en_US.UTF-8" << onPty << LineAccess::HeldExclusively << writable << SIGTERM << 1 << dial
        << dial
        << QStringList{"quartzel: Port is in use by another program "
                       "(open PTY: Device or resource busy)"}
        << none << 0;
    QTest::newRow("stored frequency with a NUL byte: reported once, shown whole; default saved")
        << "en_US.UTF-8" << onPty << LineAccess::Free << writable << SIGTERM << 1
        << "0140" + QByteArray(1, '\0') + "0000" << QByteArray("014070000")
        << QStringList{"quartzel: The stored frequency '0140\\x000000' has a character that is "
                       "not a digit; 014 070 000 Hz is dialled instead (INI)"}
        << none << 0;
    const QString unreadable = QStringLiteral("quartzel: The settings file INI cannot be read; the "
                                              "settings of a first start are used instead (%1)");
    QTest::newRow("a FIFO for settings: start-up does not wait on it, nor a stop")
        << "en_US.UTF-8" << onPty << LineAccess::Free << SettingsFile::Fifo << SIGTERM << 1 << dial
        << QByteArray("003527500") << QStringList{unreadable.arg("read INI: not a regular file")}
        << QStringList{"quartzel: Unable to write to INI (read INI: not a regular file)"} << 1;
}

void TestHeadless::endsOnSignal()
{
    QFETCH(QString, language);
    QFETCH(QStringList, arguments);
    QFETCH(LineAccess, line);
    QFETCH(SettingsFile, settings);
    QFETCH(int, signal);
    QFETCH(int, signalCount);
    QFETCH(QByteArray, storedFrequency);
    QFETCH(QByteArray, dial);
    QFETCH(QStringList, linesBeforeSignal);
    QFETCH(QStringList, linesAfterSignal);
    QFETCH(int, exitCode);

    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString ini = path(QStringLiteral("config/quartzel/quartzel.ini"));
    for (QStringList* list : {&arguments, &linesBeforeSignal, &linesAfterSignal}) {
        list->replaceInStrings(QStringLiteral("PTY"), pty.slavePath());
        list->replaceInStrings(QStringLiteral("INI"), ini);
        list->replaceInStrings(QStringLiteral("%ENOENT%"), systemReason(language, ENOENT));
        list->replaceInStrings(QStringLiteral("%EACCES%"), systemReason(language, EACCES));
    }
    setLanguage(language);
    // Saved, the settings are written as the program writes them.
    const QByteArray stored =
        "[PORT]\nfrequency=" + storedFrequency + "\nport=0\nBaudRateIndex=03\ndiv4=0\n";
    QByteArray saved = "[PORT]\nfrequency=" + dial + "\nport=0\nBaudRateIndex=3\ndiv4=0\n";
    if (settings == SettingsFile::Fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0644), 0);
    else
        writeBytes(ini, stored);
    if (settings == SettingsFile::ReadOnly) {
        setMode(ini, readOnly);
        setMode(path(QStringLiteral("config/quartzel")), readExecute);
    }
    // Room for the line's lock file, not for the settings.
    if (settings == SettingsFile::BeyondSizeLimit)
        m_fileSizeLimit = 16;
    const quint16 rigctldPort = freePort();
    if (settings == SettingsFile::NoDescriptorLeft) {
        m_openFilesLimit = 32;
        arguments << "--rigctld" << QString::number(rigctldPort);
        saved += "\n[RIGCTLD]\nlisten=127.0.0.1:" + QByteArray::number(rigctldPort) + '\n';
    }
    // As root the program could write beside itself, and would read and save
    // the settings there instead.
    runUnprivileged();
    prepareLine(line, pty.slavePath());

    m_program.setArguments(arguments);
    setUpChild();
    m_program.start();
    QVERIFY(m_program.waitForStarted(finishBound));
    QTRY_VERIFY(catchesSignal(m_program.processId(), signal));
    QTRY_COMPARE(errorLines(), linesBeforeSignal);
    if (line == LineAccess::Free && arguments.contains(pty.slavePath())) {
        // The device polls. Until the port is open, what it sends is lost or
        // echoed by the pty's default line settings.
        QByteArray replies;
        QTRY_VERIFY((pty.send("IF;"), replies += pty.receive()).contains("10000000;"));
        QVERIFY2(replies.contains("IF00" + dial + "0010+"), replies.constData());
    }
    QCOMPARE(m_program.state(), QProcess::Running);
    // Clients, until the program can open nothing more.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; settings == SettingsFile::NoDescriptorLeft && i < 40; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, rigctldPort);
    }
    if (settings == SettingsFile::NoDescriptorLeft) {
        QTRY_COMPARE(openDescriptors(m_program.processId()), 32);
        // The listener says once that it waits for a descriptor.
        linesBeforeSignal << QStringLiteral("quartzel: Cannot accept Hamlib clients on "
                                            "127.0.0.1:%1 for now: Too many open files; trying "
                                            "again as clients leave")
                                 .arg(rigctldPort);
        QTRY_COMPARE(errorLines(), linesBeforeSignal);
    }

    constexpr int stopSignals[] = {SIGTERM, SIGHUP, SIGINT};
    const int first = int(std::find(std::begin(stopSignals), std::end(stopSignals), signal) -
                          std::begin(stopSignals));
    for (int i = 0; i < signalCount; ++i)
        ::kill(static_cast<pid_t>(m_program.processId()), stopSignals[(first + i) % 3]);
    QVERIFY(m_program.waitForFinished(finishBound));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(errorLines(), linesBeforeSignal + linesAfterSignal);
    QCOMPARE(m_program.exitCode(), exitCode);
    const bool unsaved =
        settings == SettingsFile::ReadOnly || settings == SettingsFile::BeyondSizeLimit;
    if (settings == SettingsFile::Fifo)
        QVERIFY(isFifo(ini)); // never replaced
    else
        QCOMPARE(readBytes(ini), unsaved ? stored : saved);
    const QString lock = QStringLiteral("/var/lock/LCK..pts_") + pty.slavePath().section('/', -1);
    QVERIFY2(!QFile::exists(lock), qPrintable(lock));
}

// Too few descriptors to start, as under the limit at which a library
// trapped once the port's event thread started: said why, at once.
void TestHeadless::refusesStartUnderOpenFilesLimit()
{
    setLanguage(QStringLiteral("en_US.UTF-8"));
    m_openFilesLimit = 16;
    setUpChild();
    m_program.start();
    QVERIFY(m_program.waitForFinished(finishBound));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 1);
    // Start-up needs 16 besides 0, 1, 2 and the core application's wake-up.
    QCOMPARE(errorLines(), QStringList{"quartzel: Only 12 more files can be opened (ulimit -n 16); "
                                       "Quartzel needs 16 more to start (Too many open files)"});
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
