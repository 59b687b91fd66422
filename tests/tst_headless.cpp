#include "PtyPair.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <grp.h>
#include <memory>
#include <unistd.h>

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

private:
    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    QStringList errorLines();

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_program;
    QByteArray m_stderr;
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

void setMode(const QString& path, QFile::Permissions permissions)
{
    QVERIFY(QFile::setPermissions(path, permissions));
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
    for (const char* sub : {"bin", "config/quartzel", "run"})
        QVERIFY(QDir(m_dir->path()).mkpath(QLatin1String(sub)));
    QVERIFY(QFile::copy(QStringLiteral(QUARTZEL_PROGRAM), path(QStringLiteral("bin/quartzel"))));
    setMode(m_dir->path(), readExecute | QFile::WriteOwner);
    setMode(path(QStringLiteral("bin")), readExecute);
    setMode(path(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_program.setProcessEnvironment(env);
    m_program.setProgram(path(QStringLiteral("bin/quartzel")));
    m_program.setChildProcessModifier({});
}

void TestHeadless::cleanup()
{
    m_program.kill(); // after a failed check
    m_program.waitForFinished(finishBound);
    for (const char* sub : {"bin", "config/quartzel"})
        QFile::setPermissions(path(QLatin1String(sub)), readExecute | QFile::WriteOwner);
    m_dir.reset();
}

QStringList TestHeadless::errorLines()
{
    m_stderr += m_program.readAllStandardError();
    QStringList lines;
    for (const QByteArray& line : m_stderr.split('\n')) {
        if (line.startsWith("quartzel: "))
            lines << QString::fromUtf8(line);
    }
    return lines;
}

void TestHeadless::answersWithoutDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("answerStart");
    QTest::newRow("--help lists the options") << "--help"
                                              << "Usage: ";
    QTest::newRow("--version names the program") << "--version"
                                                 << "Quartzel ";
}

// As over plain ssh: no display of any kind, and no platform named.
void TestHeadless::answersWithoutDisplay()
{
    QFETCH(QString, option);
    QFETCH(QString, answerStart);
    QProcessEnvironment env = m_program.processEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    m_program.setProcessEnvironment(env);
    m_program.setArguments({option});
    m_program.start();
    QVERIFY(m_program.waitForFinished(finishBound));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(m_program.readAllStandardError()), QString());
    QCOMPARE(m_program.exitCode(), 0);
    QVERIFY(QString::fromUtf8(m_program.readAllStandardOutput()).startsWith(answerStart));
}

void TestHeadless::endsOnSignal_data()
{
    QTest::addColumn<QStringList>("arguments"); // "PTY" stands for a pty's path
    QTest::addColumn<bool>("readOnlySettings");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QStringList>("linesBeforeSignal");
    QTest::addColumn<QStringList>("linesAfterSignal"); // "INI" stands for the settings path
    QTest::addColumn<int>("exitCode");

    const QStringList none;
    QTest::newRow("failed Connect: one line, then runs on until SIGTERM")
        << QStringList{"--port", "/dev/ttyNOPE", "--connect"} << false << SIGTERM
        << QStringList{"quartzel: Попытка открыть несуществующий COM-порт"} << none << 0;
    QTest::newRow("responder on a pty, read-only settings: SIGINT logs the file and fails")
        << QStringList{"--port", "PTY", "--connect"} << true << SIGINT << none
        << QStringList{"quartzel: Unable to write to INI (open INI: Permission denied)"} << 1;
}

void TestHeadless::endsOnSignal()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, readOnlySettings);
    QFETCH(int, signal);
    QFETCH(QStringList, linesBeforeSignal);
    QFETCH(QStringList, linesAfterSignal);
    QFETCH(int, exitCode);

    PtyPair pty;
    QVERIFY(pty.isValid());
    arguments.replaceInStrings(QStringLiteral("PTY"), pty.slavePath());
    const QString ini = path(QStringLiteral("config/quartzel/quartzel.ini"));
    linesAfterSignal.replaceInStrings(QStringLiteral("INI"), ini);
    const QByteArray stored = "[PORT]\nfrequency=007050000\nport=0\nBaudRateIndex=3\ndiv4=0\n";
    writeBytes(ini, stored);
    if (readOnlySettings) {
        setMode(ini, readOnly);
        setMode(path(QStringLiteral("config/quartzel")), readExecute);
        // Root may write anywhere: the program runs as a user without
        // privileges, who owns its runtime directory and the line.
        if (::geteuid() == 0) {
            for (const QString& owned : {path(QStringLiteral("run")), pty.slavePath()})
                QCOMPARE(::chown(owned.toLocal8Bit().constData(), unprivileged, unprivileged), 0);
            m_program.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(unprivileged) != 0 ||
                    ::setuid(unprivileged) != 0)
                    ::_exit(126);
            });
        }
    }

    m_program.setArguments(arguments);
    m_program.start();
    QVERIFY(m_program.waitForStarted(finishBound));
    QTRY_VERIFY(catchesSignal(m_program.processId(), signal));
    QTRY_COMPARE(errorLines(), linesBeforeSignal);
    if (arguments.contains(pty.slavePath())) {
        // The device polls. Until the port is open, what it sends is lost or
        // echoed by the pty's default line settings.
        QByteArray replies;
        QTRY_VERIFY((pty.send("IF;"), replies += pty.receive()).contains("IF00"));
    }
    QCOMPARE(m_program.state(), QProcess::Running);

    QCOMPARE(::kill(static_cast<pid_t>(m_program.processId()), signal), 0);
    QVERIFY(m_program.waitForFinished(finishBound));
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(errorLines(), linesBeforeSignal + linesAfterSignal);
    QCOMPARE(m_program.exitCode(), exitCode);
    if (readOnlySettings)
        QCOMPARE(readBytes(ini), stored);
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
