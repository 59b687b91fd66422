// SPDX-License-Identifier: GPL-3.0-or-later

// The Linux serial layer on real pseudo-terminals: the test holds the master
// side and the layer opens the slave path, as it would open /dev/ttyUSB0.

#include "platform/SerialDevice.h"
#include "platform/VirtualPort.h"
#include "platform/linux/InterruptibleThread_linux.h"
#include "platform/linux/SerialDevice_linux.h"
#include "platform/linux/SerialLock_linux.h"
#include "platform/linux/SerialSpeed_linux.h"

#include "InputSpeed_linux.h"
#include "PtyPair.h"
#include "TestFiles.h"
#include "ThreadActivity.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace serial;

Q_DECLARE_METATYPE(serial::Dcb)
Q_DECLARE_METATYPE(serial::CommTimeouts)
Q_DECLARE_METATYPE(serial::OpenError)
Q_DECLARE_METATYPE(serial::Escape)

namespace {

constexpr std::uint32_t maxDword = 0xFFFFFFFFu;
constexpr int generousMs = 10000;

Dcb lineSettings(std::uint32_t baud)
{
    Dcb dcb;
    dcb.BaudRate = baud;
    dcb.flags = 0x1011; // binary, DTR and RTS enabled
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// The component's defaults: reads return at once, writes get 100 ms a byte plus 1 s.
CommTimeouts defaultTimeouts()
{
    return {maxDword, 0, 0, 100, 1000};
}

std::uint32_t inQueue(Device& device)
{
    CommStatus status;
    return device.clearError(status) ? status.inQueue : maxDword;
}

// One blocking call on another thread. `release` ends the call if a check
// failed before it returned, so that the destructor never hangs.
template <typename Outcome> class Background
{
public:
    Background(std::function<Outcome()> call, std::function<void()> release)
        : m_release(std::move(release)), m_thread([this, call = std::move(call)] {
              m_result = call();
              m_finished = true;
          })
    {
    }
    ~Background()
    {
        if (!m_finished)
            m_release();
        m_thread.join();
    }
    bool finished() const { return m_finished; }
    Outcome result() const { return m_result; }

private:
    std::function<void()> m_release;
    Outcome m_result{};
    std::atomic<bool> m_finished = false;
    std::thread m_thread;
};

// A read that must end on its own under its time-outs, made on another
// thread: one that blocks fails the test instead of hanging it, and an abort
// then releases it. True when the read ended within a generous time and
// succeeded.
bool readEnds(Device& device, void* buffer, std::uint32_t count, std::uint32_t& got)
{
    Background<Result> reading([&] { return device.read(buffer, count, got); },
                               [&device] { static_cast<void>(device.purge(purge::RxAbort)); });
    return QTest::qWaitFor([&] { return reading.finished(); }, generousMs) && reading.result();
}

// One wait, when why it failed does not matter.
WaitResult waitOnce(Device& device, std::uint32_t& events)
{
    Result failure;
    return device.waitEvent(events, failure);
}

Background<WaitResult> backgroundWait(Device& device, std::uint32_t& events)
{
    return Background<WaitResult>([&device, &events] { return waitOnce(device, events); },
                                  [&device] { device.requestStop(); });
}

char threadState(pid_t tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const qsizetype afterName = text.lastIndexOf(')');
    return afterName >= 0 && afterName + 2 < text.size() ? text.at(afterName + 2) : '?';
}

struct DeviceCall
{
    const char* name;
    Result (*call)(Device&);
};

const DeviceCall callsOnHungUpDevice[] = {
    {"read",
     [](Device& d) {
         char buffer[8];
         std::uint32_t got = 0;
         return d.read(buffer, 8, got);
     }},
    {"write",
     [](Device& d) {
         std::uint32_t written = 0;
         return d.write("IF;", 3, written);
     }},
    {"clearError",
     [](Device& d) {
         CommStatus status;
         return d.clearError(status);
     }},
    {"modemStatus",
     [](Device& d) {
         std::uint32_t lines = 0;
         return d.modemStatus(lines);
     }},
    {"escape", [](Device& d) { return d.escape(Escape::ClrDtr); }},
    {"purge", [](Device& d) { return d.purge(purge::TxAbort | purge::RxAbort); }},
    {"setupComm", [](Device& d) { return d.setupComm(2048, 2048); }},
    {"setCommState", [](Device& d) { return d.setCommState(lineSettings(9600)); }},
    {"setCommTimeouts", [](Device& d) { return d.setCommTimeouts(defaultTimeouts()); }},
    {"setCommMask", [](Device& d) { return d.setCommMask(ev::RxChar); }},
};

QByteArray pidLock(pid_t pid)
{
    return QByteArray::number(pid).rightJustified(10) + '\n';
}

QByteArray ownLock()
{
    return pidLock(getpid());
}

// A lock of a process that cannot exist: pid_max itself is never a valid pid.
QByteArray deadProcessLock()
{
    return readBytes(QStringLiteral("/proc/sys/kernel/pid_max")).trimmed().rightJustified(10) +
           '\n';
}

bool plantFile(const QString& lock, const QByteArray& content)
{
    QFile file(lock);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Ways another program, or a hostile user, may leave something at a lock's path.
enum class Planted { File, OldFile, Fifo, Directory, DanglingSymlink, SymlinkToFile };

bool plant(Planted kind, const QString& lock, const QByteArray& content)
{
    const QByteArray path = lock.toLocal8Bit();
    const time_t aMinuteAgo = time(nullptr) - 60;
    const timespec times[] = {{aMinuteAgo, 0}, {aMinuteAgo, 0}};
    switch (kind) {
    case Planted::File:
        return plantFile(lock, content);
    case Planted::OldFile:
        return plantFile(lock, content) && utimensat(AT_FDCWD, path, times, 0) == 0;
    case Planted::Fifo:
        return mkfifo(path, 0644) == 0;
    case Planted::Directory:
        return mkdir(path, 0755) == 0;
    case Planted::DanglingSymlink:
        return symlink("LCK..nowhere", path) == 0;
    case Planted::SymlinkToFile: // followed, it would lead to a lock that can be replaced
        return plantFile(lock + ".target", content) && symlink(path + ".target", path) == 0;
    }
    return false;
}

// What is at `path`, found without following or opening it: type, inode and,
// for a regular file, its text.
QByteArray lockSnapshot(const QString& path)
{
    struct stat info = {};
    if (lstat(qPrintable(path), &info) != 0)
        return "<none>";
    const QByteArray kind =
        QByteArray::number(info.st_mode) + ' ' + QByteArray::number(info.st_ino);
    return S_ISREG(info.st_mode) ? kind + ' ' + readBytes(path) : kind;
}

// TIOCGEXCL of the tty, seen through a descriptor of the test's own; -1 when
// it cannot be opened (an ordinary user is refused while the flag is set).
int exclusiveFlag(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int flag = -1;
    ioctl(fd, TIOCGEXCL, &flag);
    ::close(fd);
    return flag;
}

// What may stand at a virtual port's link before it opens.
enum class AtLink { Nothing, LinkLeftBehind, LinkToLiveTerminal, LinkElsewhere, RegularFile };

// Puts `kind` at `link`; `live` is a terminal that exists.
bool place(AtLink kind, const QString& link, const QString& live)
{
    const QByteArray path = link.toLocal8Bit();
    switch (kind) {
    case AtLink::Nothing:
        return true;
    case AtLink::LinkLeftBehind: // no terminal has so high a number
        return symlink("/dev/pts/987654", path) == 0;
    case AtLink::LinkToLiveTerminal:
        return symlink(live.toLocal8Bit(), path) == 0;
    case AtLink::LinkElsewhere:
        return symlink("/dev/null", path) == 0;
    case AtLink::RegularFile:
        return plantFile(link, "keep me");
    }
    return false;
}

// A program on the far end of a virtual port: opens the link as a serial
// port, as a logger would.
class FarProgram
{
public:
    explicit FarProgram(const QString& link)
        : m_fd(::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~FarProgram()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FarProgram(const FarProgram&) = delete;
    FarProgram& operator=(const FarProgram&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes) const
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    QByteArray receive() const
    {
        char buffer[256];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }
    // Canonical input would hold the replies back until a line end.
    bool rawInput() const
    {
        termios t{};
        return tcgetattr(m_fd, &t) == 0 && (t.c_lflag & ICANON) == 0;
    }

private:
    int m_fd = -1;
};

} // namespace

Q_DECLARE_METATYPE(Planted)
Q_DECLARE_METATYPE(AtLink)

class TestSerialLinux : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void devicePath_data();
    void devicePath();
    void openFailures_data();
    void openFailures();
    void secondOpenIsDenied_data();
    void secondOpenIsDenied();
    void reopensAsOrdinaryUser();
    void lockFilesOfOthers_data();
    void lockFilesOfOthers();
    void staleLockHasOneTaker();
    void closeLeavesAReplacedLockAlone();
    void systemLockFileLivesWhileOpen();

    void speedsAccepted_data();
    void speedsAccepted();
    void lineSettingsRejected_data();
    void lineSettingsRejected();
    void setsLineFlagsAndStopBits();
    void bytesBothWays();
    void readsReturnAtOnce_data();
    void readsReturnAtOnce();
    void readTimeouts_data();
    void readTimeouts();
    void readWaitsForFirstByte();
    void rxAbortReleasesRead();
    void writeEndsAtItsTimeout();
    void txAbortReleasesWrite();
    void ptyHasNoModemLines_data();
    void ptyHasNoModemLines();
    void clearErrorAndPurgeInput();
    void countFetchesAheadInOrder();

    void waitReportsReceivedBytesOnce();
    void waitReportsArrivalAfterARead();
    void waitReportsOnlyMaskedEvents();
    void rx80FullOnReachingEightyPercent_data();
    void rx80FullOnReachingEightyPercent();
    void stopEndsEveryWait();
    void maskChangeWakesWait();
    void hangUpFailsEveryWait();
    void waitAfterHangUpDoesNotSpin();
    void callsFailAfterHangUp_data();
    void callsFailAfterHangUp();

    void closesWhatItOpened();
    void helperThreadIsInterrupted();

    void virtualPortServesProgramsThatComeAndGo();
    void virtualPortLink_data();
    void virtualPortLink();
    void virtualPortLinkGoesWithIt_data();
    void virtualPortLinkGoesWithIt();

    void speedTolerance_data();
    void speedTolerance();
    void modemStatusBits_data();
    void modemStatusBits();
    void lineChangeEvents_data();
    void lineChangeEvents();
    void counterDeltas_data();
    void counterDeltas();

private:
    std::unique_ptr<Device> openConfigured(const PtyPair& pty);

    QTemporaryDir m_scratch;
    std::string m_regularFile;
    // A fresh pty and the layer's device on its slave side, 9600 8N1, for each test.
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<Device> m_device;
};

void TestSerialLinux::initTestCase()
{
    QVERIFY(m_scratch.isValid());
    m_regularFile = m_scratch.filePath(QStringLiteral("plain-file")).toStdString();
    QFile file(QString::fromStdString(m_regularFile));
    QVERIFY(file.open(QIODevice::WriteOnly));
    PtyPair pty;
    QVERIFY2(pty.isValid(), "no pseudo-terminals on this machine");
}

void TestSerialLinux::init()
{
    m_pty = std::make_unique<PtyPair>();
    m_device = openConfigured(*m_pty);
    QVERIFY(m_device);
}

void TestSerialLinux::cleanup()
{
    m_device.reset();
    m_pty.reset();
}

std::unique_ptr<Device> TestSerialLinux::openConfigured(const PtyPair& pty)
{
    OpenFailure failure;
    auto device = systemOpener().open(pty.slavePath().toStdString(), failure);
    if (!device || failure.error != OpenError::None || !device->setCommState(lineSettings(9600)) ||
        !device->setCommTimeouts(defaultTimeouts()))
        return nullptr;
    return device;
}

void TestSerialLinux::devicePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("USB adapter name") << "ttyUSB0"
                                      << "/dev/ttyUSB0";
    QTest::newRow("onboard UART name") << "ttyS1"
                                       << "/dev/ttyS1";
    QTest::newRow("absolute pty path") << "/dev/pts/7"
                                       << "/dev/pts/7";
    QTest::newRow("absolute udev link") << "/dev/serial/by-id/usb-x"
                                        << "/dev/serial/by-id/usb-x";
}

void TestSerialLinux::devicePath()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(QString::fromStdString(serial::devicePath(name.toStdString())), path);
}

void TestSerialLinux::openFailures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<OpenError>("expected");
    QTest::newRow("missing device node") << "/dev/ttyQuartzelMissing" << OpenError::NotFound;
    QTest::newRow("directory") << "/tmp" << OpenError::Other;
    QTest::newRow("regular file") << QString::fromStdString(m_regularFile) << OpenError::Other;
    QTest::newRow("/dev/null is no terminal") << "/dev/null" << OpenError::Other;
    QTest::newRow("name too long for a lock file")
        << QStringLiteral("/dev/tty%1").arg(QString(300, u'x')) << OpenError::Other;
}

void TestSerialLinux::openFailures()
{
    QFETCH(QString, path);
    QFETCH(OpenError, expected);
    OpenFailure failure;
    QVERIFY(!systemOpener().open(path.toStdString(), failure));
    QCOMPARE(failure.error, expected);
}

void TestSerialLinux::secondOpenIsDenied_data()
{
    QTest::addColumn<bool>("withLockFiles");
    // Root passes TIOCEXCL, so without lock files flock alone must refuse.
    QTest::newRow("flock alone") << false;
    QTest::newRow("lock file first") << true;
}

void TestSerialLinux::secondOpenIsDenied()
{
    QFETCH(bool, withLockFiles);
    const std::string lockDirectory = withLockFiles ? m_scratch.path().toStdString() : "";
    PtyPair pty;
    OpenFailure failure;
    auto first = detail::openDevice(pty.slavePath().toStdString(), lockDirectory, failure);
    QVERIFY(first);
    QCOMPARE(failure.error, OpenError::None);

    QVERIFY(!detail::openDevice(pty.slavePath().toStdString(), lockDirectory, failure));
    QCOMPARE(failure.error, OpenError::AccessDenied);
    // The refused open saw our own id in the lock and must have left it be.
    if (withLockFiles)
        QCOMPARE(readBytes(QString::fromStdString(
                     detail::lockFilePath(lockDirectory, pty.slavePath().toStdString()))),
                 ownLock());

    first.reset();
    QVERIFY(detail::openDevice(pty.slavePath().toStdString(), lockDirectory, failure));
    QCOMPARE(failure.error, OpenError::None);
}

void TestSerialLinux::reopensAsOrdinaryUser()
{
    // TIOCEXCL binds users other than root; the test drops to "nobody" for it.
    const auto openCloseOpen = [] {
        PtyPair pty;
        OpenFailure failure;
        if (!detail::openDevice(pty.slavePath().toStdString(), "", failure))
            return 1;
        return detail::openDevice(pty.slavePath().toStdString(), "", failure) ? 0 : 2;
    };
    if (geteuid() != 0) {
        QCOMPARE(openCloseOpen(), 0);
        return;
    }
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        _exit(setgid(nobody) == 0 && setuid(nobody) == 0 ? openCloseOpen() : 3);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

void TestSerialLinux::lockFilesOfOthers_data()
{
    const QByteArray deadLock = deadProcessLock();

    QTest::addColumn<Planted>("planted");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("opens");
    QTest::newRow("FIFO") << Planted::Fifo << QByteArray() << false;
    QTest::newRow("dangling symlink") << Planted::DanglingSymlink << QByteArray() << false;
    QTest::newRow("symlink to a dead process's lock")
        << Planted::SymlinkToFile << deadLock << false;
    QTest::newRow("directory") << Planted::Directory << QByteArray() << false;
    QTest::newRow("empty, just created") << Planted::File << QByteArray() << false;
    QTest::newRow("empty, a minute old") << Planted::OldFile << QByteArray() << true;
    QTest::newRow("unparsable, just written") << Planted::File << QByteArray("garbage\n") << false;
    QTest::newRow("unparsable, a minute old")
        << Planted::OldFile << QByteArray("garbage\n") << true;
    QTest::newRow("live process (init)") << Planted::File << QByteArray("         1\n") << false;
    QTest::newRow("stale lock of a dead process") << Planted::File << deadLock << true;
    QTest::newRow("our own id, port not held here") << Planted::File << ownLock() << true;
}

void TestSerialLinux::lockFilesOfOthers()
{
    QFETCH(Planted, planted);
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    PtyPair pty;
    const QTemporaryDir lockDirectory;
    const std::string lockFile =
        detail::lockFilePath(lockDirectory.path().toStdString(), pty.slavePath().toStdString());
    const QString lockName = QString::fromStdString(lockFile);
    QVERIFY(lockName.endsWith(QStringLiteral("/LCK..pts_") + pty.slavePath().section('/', -1)));
    QVERIFY(plant(planted, lockName, content));
    const QByteArray before = lockSnapshot(lockName);

    OpenFailure failure;
    auto device = detail::openDevice(pty.slavePath().toStdString(),
                                     lockDirectory.path().toStdString(), failure);
    QCOMPARE(bool(device), opens);
    QCOMPARE(failure.error, opens ? OpenError::None : OpenError::AccessDenied);
    if (opens)
        QCOMPARE(readBytes(lockName), ownLock());
    else
        QCOMPARE(lockSnapshot(lockName), before);
    device.reset();
    QCOMPARE(lockSnapshot(lockName), opens ? QByteArray("<none>") : before);
    // The exclusive flag must not outlive a refused open either.
    QCOMPARE(exclusiveFlag(pty.slavePath().toStdString()), 0);
}

void TestSerialLinux::staleLockHasOneTaker()
{
    // Several programs find the same stale lock at the same moment.
    constexpr int rounds = 200;
    constexpr int takers = 4;
    struct Answer
    {
        pid_t pid;
        bool won;
    };
    const QTemporaryDir lockDirectory;
    const std::string lockFile =
        detail::lockFilePath(lockDirectory.path().toStdString(), "/dev/ttyQuartzelRace");
    const QString lockName = QString::fromStdString(lockFile);
    const QByteArray deadLock = deadProcessLock();
    for (int round = 0; round < rounds; ++round) {
        QVERIFY(plantFile(lockName, deadLock));
        int start[2], answers[2], release[2];
        QVERIFY(pipe(start) == 0 && pipe(answers) == 0 && pipe(release) == 0);
        std::vector<pid_t> children;
        for (int i = 0; i < takers; ++i) {
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                char byte = 0;
                ::close(start[1]);
                ::close(release[1]);
                [[maybe_unused]] ssize_t n = ::read(start[0], &byte, 1); // EOF: go
                detail::UucpLock lock;
                const Answer answer{getpid(), lock.acquire(lockFile)};
                n = ::write(answers[1], &answer, sizeof answer);
                // A winner stays alive until all have answered, or a late
                // taker would rightly find its lock stale.
                n = ::read(release[0], &byte, 1);
                _exit(0);
            }
            children.push_back(child);
        }
        for (const int end : {start[0], start[1], answers[1], release[0]})
            ::close(end);
        std::vector<pid_t> winners;
        int answered = 0;
        for (Answer answer{}; answered < takers; ++answered) {
            if (::read(answers[0], &answer, sizeof answer) != sizeof answer)
                break;
            if (answer.won)
                winners.push_back(answer.pid);
        }
        const QByteArray lockText = readBytes(lockName);
        ::close(release[1]);
        ::close(answers[0]);
        for (const pid_t child : children)
            waitpid(child, nullptr, 0);
        QCOMPARE(answered, takers);
        QCOMPARE(winners.size(), 1u);
        QCOMPARE(lockText, pidLock(winners.front()));
    }
}

void TestSerialLinux::closeLeavesAReplacedLockAlone()
{
    PtyPair pty;
    const std::string lockDirectory = m_scratch.path().toStdString();
    const QString lockName =
        QString::fromStdString(detail::lockFilePath(lockDirectory, pty.slavePath().toStdString()));
    OpenFailure failure;
    auto device = detail::openDevice(pty.slavePath().toStdString(), lockDirectory, failure);
    QVERIFY(device);
    // A program that keeps to no lock scheme puts its own lock in place of ours.
    QVERIFY(QFile::remove(lockName) && plantFile(lockName, pidLock(1)));
    device.reset();
    QCOMPARE(readBytes(lockName), pidLock(1));
    QVERIFY(QFile::remove(lockName));
}

void TestSerialLinux::systemLockFileLivesWhileOpen()
{
    if (access(detail::defaultLockDirectory, W_OK) != 0)
        QSKIP("the lock directory is not writable here");
    const QString lockName = QString::fromStdString(
        detail::lockFilePath(detail::defaultLockDirectory, m_pty->slavePath().toStdString()));
    QFile file(lockName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ownLock());
    m_device.reset();
    QVERIFY(!QFile::exists(lockName));
}

void TestSerialLinux::speedsAccepted_data()
{
    QTest::addColumn<std::uint32_t>("baud");
    for (const std::uint32_t baud : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u,
                                     38400u, 56000u, 57600u, 115200u, 128000u, 256000u})
        QTest::addRow("%u bit/s", baud) << baud;
}

void TestSerialLinux::speedsAccepted()
{
    QFETCH(std::uint32_t, baud);
    QVERIFY(m_device->setCommState(lineSettings(baud)));
    std::uint32_t masterSpeed = 0;
    QVERIFY(detail::lineSpeed(m_pty->master(), masterSpeed));
    QCOMPARE(masterSpeed, baud);
    // Coming from an odd rate, the input speed must follow as well, which a
    // glibc speed call after an earlier termios2 one would miss.
    QVERIFY(m_device->setCommState(lineSettings(56000)));
    QVERIFY(m_device->setCommState(lineSettings(baud)));
    std::uint32_t inputSpeed = 0;
    QVERIFY(ttyInputSpeed(int(m_device->nativeHandle()), inputSpeed));
    QCOMPARE(inputSpeed, baud);
}

void TestSerialLinux::lineSettingsRejected_data()
{
    QTest::addColumn<Dcb>("dcb");
    const auto changed = [](auto change) {
        Dcb dcb = lineSettings(115200);
        change(dcb);
        return dcb;
    };
    QTest::newRow("speed 0") << changed([](Dcb& d) { d.BaudRate = 0; });
    QTest::newRow("4 data bits") << changed([](Dcb& d) { d.ByteSize = 4; });
    QTest::newRow("9 data bits") << changed([](Dcb& d) { d.ByteSize = 9; });
    QTest::newRow("parity 5") << changed([](Dcb& d) { d.Parity = 5; });
    QTest::newRow("stop bits 3") << changed([](Dcb& d) { d.StopBits = 3; });
    QTest::newRow("1.5 stop bits with 8 data bits") << changed([](Dcb& d) { d.StopBits = 1; });
    QTest::newRow("2 stop bits with 5 data bits") << changed([](Dcb& d) {
        d.ByteSize = 5;
        d.StopBits = 2;
    });
    QTest::newRow("CTS handshake") << changed([](Dcb& d) { d.flags |= 0x0004; });
    QTest::newRow("XON/XOFF on output") << changed([](Dcb& d) { d.flags |= 0x0100; });
    QTest::newRow("DTR handshake") << changed([](Dcb& d) { d.flags = 0x1021; });
    QTest::newRow("RTS handshake") << changed([](Dcb& d) { d.flags = 0x2011; });
    // A pty forces 8 bits without parity; the driver's silent change is refused.
    QTest::newRow("7 data bits on a pty") << changed([](Dcb& d) { d.ByteSize = 7; });
    QTest::newRow("even parity on a pty") << changed([](Dcb& d) {
        d.Parity = 2;
        d.flags |= 0x0002;
    });
    QTest::newRow("mark parity on a pty") << changed([](Dcb& d) { d.Parity = 3; });
    QTest::newRow("5 data bits 1.5 stop on a pty") << changed([](Dcb& d) {
        d.ByteSize = 5;
        d.StopBits = 1;
    });
}

void TestSerialLinux::lineSettingsRejected()
{
    QFETCH(Dcb, dcb);
    QVERIFY(m_device->setCommState(lineSettings(57600)));
    QVERIFY(!m_device->setCommState(dcb));
    std::uint32_t speed = 0;
    QVERIFY(detail::lineSpeed(int(m_device->nativeHandle()), speed));
    QCOMPARE(speed, 57600u);
}

void TestSerialLinux::setsLineFlagsAndStopBits()
{
    termios slave{};
    QVERIFY(tcgetattr(int(m_device->nativeHandle()), &slave) == 0);
    // CLOCAL: a carrier drop must not hang up the port; HUPCL: DTR and RTS
    // fall when it closes; no hardware handshake takes RTS over.
    QCOMPARE(slave.c_cflag & (CLOCAL | HUPCL | CREAD | CRTSCTS), tcflag_t(CLOCAL | HUPCL | CREAD));
    QVERIFY(m_device->setCommState(lineSettings(9600)));
    Dcb twoStop = lineSettings(9600);
    twoStop.StopBits = 2;
    QVERIFY(m_device->setCommState(twoStop));
}

void TestSerialLinux::bytesBothWays()
{
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));

    QVERIFY(m_pty->send(everyByte));
    QTRY_COMPARE(inQueue(*m_device), 256u);
    QByteArray received(300, '\0');
    std::uint32_t got = 0;
    QVERIFY(readEnds(*m_device, received.data(), 300, got));
    QCOMPARE(got, 256u);
    received.resize(got);
    QCOMPARE(received, everyByte);

    std::uint32_t written = 0;
    QVERIFY(m_device->write(everyByte.constData(), 256, written));
    QCOMPARE(written, 256u);
    // Raw mode: nothing echoed, no line-end or control character translated.
    QTRY_COMPARE(m_pty->available(), 256);
    QCOMPARE(m_pty->receive(), everyByte);
}

void TestSerialLinux::readsReturnAtOnce_data()
{
    QTest::addColumn<QByteArray>("waiting");
    QTest::addColumn<std::uint32_t>("asked");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("nothing waiting") << QByteArray() << 10u << QByteArray();
    QTest::newRow("3 waiting, 10 asked") << QByteArray("IF;") << 10u << QByteArray("IF;");
    QTest::newRow("10 waiting, 4 asked") << QByteArray("0123456789") << 4u << QByteArray("0123");
    QTest::newRow("0 asked") << QByteArray("xy") << 0u << QByteArray();
}

void TestSerialLinux::readsReturnAtOnce()
{
    QFETCH(QByteArray, waiting);
    QFETCH(std::uint32_t, asked);
    QFETCH(QByteArray, expected);
    QVERIFY(m_pty->send(waiting));
    QTRY_COMPARE(inQueue(*m_device), std::uint32_t(waiting.size()));
    QByteArray buffer(16, '\0');
    std::uint32_t got = 99;
    QVERIFY(readEnds(*m_device, buffer.data(), asked, got));
    QCOMPARE(buffer.left(got), expected);
}

void TestSerialLinux::readTimeouts_data()
{
    QTest::addColumn<CommTimeouts>("timeouts");
    QTest::addColumn<QByteArray>("waiting");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("total time-out, nothing arrives")
        << CommTimeouts{0, 0, 20, 0, 0} << QByteArray() << QByteArray();
    QTest::newRow("total time-out returns what arrived")
        << CommTimeouts{0, 1, 20, 0, 0} << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("interval ends the read after the last byte")
        << CommTimeouts{20, 0, 0, 0, 0} << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("waiting bytes end a first-byte read")
        << CommTimeouts{maxDword, maxDword, 5000, 0, 0} << QByteArray("ab") << QByteArray("ab");
    QTest::newRow("first-byte read times out")
        << CommTimeouts{maxDword, maxDword, 20, 0, 0} << QByteArray() << QByteArray();
}

void TestSerialLinux::readTimeouts()
{
    QFETCH(CommTimeouts, timeouts);
    QFETCH(QByteArray, waiting);
    QFETCH(QByteArray, expected);
    QVERIFY(m_device->setCommTimeouts(timeouts));
    QVERIFY(m_pty->send(waiting));
    QTRY_COMPARE(inQueue(*m_device), std::uint32_t(waiting.size()));
    QByteArray buffer(10, '\0');
    std::uint32_t got = 99;
    QVERIFY(readEnds(*m_device, buffer.data(), 10, got));
    QCOMPARE(buffer.left(got), expected);
}

void TestSerialLinux::readWaitsForFirstByte()
{
    QVERIFY(m_device->setCommTimeouts({maxDword, maxDword, 60000, 0, 0}));
    char buffer[10] = {};
    std::uint32_t got = 0;
    Background<Result> reading([&] { return m_device->read(buffer, 10, got); },
                               [&] { static_cast<void>(m_device->purge(purge::RxAbort)); });
    QVERIFY(m_pty->send("Z"));
    QTRY_VERIFY_WITH_TIMEOUT(reading.finished(), generousMs);
    QVERIFY(reading.result());
    QCOMPARE(got, 1u);
    QCOMPARE(buffer[0], 'Z');
}

void TestSerialLinux::rxAbortReleasesRead()
{
    QVERIFY(m_device->setCommTimeouts({0, 0, 0, 0, 0})); // wait for all 10 bytes
    QVERIFY(m_pty->send("abc"));
    QTRY_COMPARE(inQueue(*m_device), 3u);
    char buffer[10] = {};
    std::uint32_t got = 0;
    Background<Result> reading([&] { return m_device->read(buffer, 10, got); }, [] {});
    // An abort reaches only a read that is already pending, so repeat it.
    QTRY_VERIFY_WITH_TIMEOUT(
        (static_cast<void>(m_device->purge(purge::RxAbort)), reading.finished()), generousMs);
    QVERIFY(!reading.result());
    QCOMPARE(got, 3u);

    // The abort does not stick to later reads.
    QVERIFY(m_pty->send("0123456789"));
    QVERIFY(readEnds(*m_device, buffer, 10, got));
    QCOMPARE(QByteArray(buffer, int(got)), QByteArray("0123456789"));
}

void TestSerialLinux::writeEndsAtItsTimeout()
{
    QVERIFY(m_device->setCommTimeouts({maxDword, 0, 0, 0, 30}));
    // The master never reads, so the queues fill up and the write stalls.
    const QByteArray bytes(256 * 1024, 'x');
    std::uint32_t written = 0;
    QVERIFY(m_device->write(bytes.constData(), std::uint32_t(bytes.size()), written));
    QVERIFY(written > 0);
    QVERIFY(written < std::uint32_t(bytes.size()));
}

void TestSerialLinux::txAbortReleasesWrite()
{
    QVERIFY(m_device->setCommTimeouts({maxDword, 0, 0, 0, 0})); // no write limit
    const QByteArray bytes(256 * 1024, 'y');
    std::uint32_t written = 0;
    Background<Result> writing(
        [&] { return m_device->write(bytes.constData(), std::uint32_t(bytes.size()), written); },
        [] {});
    QTRY_VERIFY_WITH_TIMEOUT(
        (static_cast<void>(m_device->purge(purge::TxAbort)), writing.finished()), generousMs);
    QVERIFY(!writing.result());
    QVERIFY(written > 0);
    QVERIFY(written < std::uint32_t(bytes.size()));

    // The abort does not stick: once the master reads, a later write goes through.
    QVERIFY(m_device->setCommTimeouts({maxDword, 0, 0, 0, 50}));
    QTRY_VERIFY_WITH_TIMEOUT((m_pty->receive(), m_device->write("ok", 2, written) && written == 2),
                             generousMs);
}

void TestSerialLinux::ptyHasNoModemLines_data()
{
    QTest::addColumn<Escape>("function");
    QTest::newRow("raise DTR") << Escape::SetDtr;
    QTest::newRow("lower DTR") << Escape::ClrDtr;
    QTest::newRow("raise RTS") << Escape::SetRts;
    QTest::newRow("lower RTS") << Escape::ClrRts;
}

void TestSerialLinux::ptyHasNoModemLines()
{
    QFETCH(Escape, function);
    QVERIFY(m_device->escape(function));
    std::uint32_t lines = 0xFF;
    QVERIFY(m_device->modemStatus(lines));
    QCOMPARE(lines, 0u);
}

void TestSerialLinux::clearErrorAndPurgeInput()
{
    QVERIFY(m_pty->send("0123456789"));
    QTRY_COMPARE(inQueue(*m_device), 10u);
    CommStatus status;
    QVERIFY(m_device->clearError(status));
    QCOMPARE(status.errors, 0u);
    QCOMPARE(status.outQueue, 0u);

    QVERIFY(m_device->purge(purge::RxClear));
    QCOMPARE(inQueue(*m_device), 0u);
    char buffer[10];
    std::uint32_t got = 99;
    QVERIFY(readEnds(*m_device, buffer, 10, got));
    QCOMPARE(got, 0u);
    QVERIFY(!m_device->purge(0x10)); // no such purge flag
}

// A wait for events fetches what arrives, up to the receive size; reads take
// those bytes first, and the counts and a purge include them.
void TestSerialLinux::countFetchesAheadInOrder()
{
    QVERIFY(m_device->setupComm(4, 4));
    QVERIFY(m_device->setCommMask(ev::RxChar));
    std::uint32_t events = 0;
    {
        auto waiting = backgroundWait(*m_device, events);
        QVERIFY(m_pty->send("0123456789"));
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
    }
    QCOMPARE(events, ev::RxChar);
    // The wait fetched what the receive size allows; the tty keeps the rest.
    std::uint32_t waiting = 0;
    QVERIFY(m_device->inputQueue(waiting));
    QCOMPARE(waiting, 10u);
    QCOMPARE(inQueue(*m_device), 10u);
    char buffer[6];
    std::uint32_t got = 0;
    QVERIFY(readEnds(*m_device, buffer, 6, got));
    QCOMPARE(QByteArray(buffer, got), QByteArray("012345"));
    QVERIFY(m_device->inputQueue(waiting));
    QCOMPARE(waiting, 4u);
    QVERIFY(m_device->purge(purge::RxClear));
    QCOMPARE(inQueue(*m_device), 0u);
    QVERIFY(m_device->inputQueue(waiting));
    QCOMPARE(waiting, 0u);
}

void TestSerialLinux::waitReportsReceivedBytesOnce()
{
    QVERIFY(m_device->setCommMask(ev::RxChar | ev::TxEmpty));
    std::uint32_t events = 0;
    {
        auto waiting = backgroundWait(*m_device, events);
        QVERIFY(m_pty->send("IF;"));
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Event);
        QCOMPARE(events, ev::RxChar);
    }
    // The bytes stay unread: a second wait sees nothing until it is stopped.
    auto waiting = backgroundWait(*m_device, events);
    m_device->requestStop();
    QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
    QCOMPARE(waiting.result(), WaitResult::Stopped);
    QCOMPARE(inQueue(*m_device), 3u);
}

void TestSerialLinux::waitReportsArrivalAfterARead()
{
    QVERIFY(m_device->setCommMask(ev::RxChar));
    char buffer[2];
    std::uint32_t got = 0;
    std::uint32_t events = 0;
    // The queue holds two bytes at both looks, yet they are new ones.
    for (const char* bytes : {"ab", "cd"}) {
        QVERIFY(m_pty->send(bytes));
        auto waiting = backgroundWait(*m_device, events);
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Event);
        QCOMPARE(inQueue(*m_device), 2u);
        QVERIFY(readEnds(*m_device, buffer, 2, got));
        QCOMPARE(QByteArray(buffer, 2), QByteArray(bytes));
    }
}

void TestSerialLinux::waitReportsOnlyMaskedEvents()
{
    QVERIFY(m_device->setCommMask(ev::TxEmpty));
    QVERIFY(m_pty->send("ignored"));
    QTRY_COMPARE(inQueue(*m_device), 7u);
    std::uint32_t written = 0;
    QVERIFY(m_device->write("IF00", 4, written));
    std::uint32_t events = 0;
    auto waiting = backgroundWait(*m_device, events);
    QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
    QCOMPARE(waiting.result(), WaitResult::Event);
    QCOMPARE(events, ev::TxEmpty);
}

void TestSerialLinux::rx80FullOnReachingEightyPercent_data()
{
    QTest::addColumn<QList<int>>("arrivals"); // bytes, into a receive size of 100
    QTest::addColumn<bool>("fullAtLast");     // the last arrival brings the 80 % event
    QTest::newRow("79 bytes: not yet") << QList<int>{79} << false;
    QTest::newRow("80 bytes at once") << QList<int>{80} << true;
    QTest::newRow("79, then the byte that makes 80") << QList<int>{79, 1} << true;
    QTest::newRow("80, then 10 more: told once") << QList<int>{80, 10} << false;
}

void TestSerialLinux::rx80FullOnReachingEightyPercent()
{
    QFETCH(QList<int>, arrivals);
    QFETCH(bool, fullAtLast);
    QVERIFY(m_device->setupComm(100, 100));
    QVERIFY(m_device->setCommMask(ev::RxChar | ev::Rx80Full));
    const auto ttyKeeps = [this] {
        int kept = 0;
        return ioctl(int(m_device->nativeHandle()), FIONREAD, &kept) == 0 ? kept : -1;
    };
    std::uint32_t sent = 0;
    std::uint32_t arrivalEvents = 0;
    for (const int bytes : arrivals) {
        QVERIFY(m_pty->send(QByteArray(bytes, 'x')));
        sent += std::uint32_t(bytes);
        arrivalEvents = 0;
        // Until the waits have fetched all of it: an arrival may come in parts.
        do {
            std::uint32_t events = 0;
            auto waiting = backgroundWait(*m_device, events);
            QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
            QCOMPARE(waiting.result(), WaitResult::Event);
            arrivalEvents |= events;
        } while (inQueue(*m_device) < sent || ttyKeeps() != 0);
    }
    QCOMPARE(inQueue(*m_device), sent);
    QCOMPARE(arrivalEvents, ev::RxChar | (fullAtLast ? ev::Rx80Full : 0));
}

void TestSerialLinux::stopEndsEveryWait()
{
    QVERIFY(m_device->setCommMask(ev::RxChar));
    std::uint32_t events = 0;
    {
        auto waiting = backgroundWait(*m_device, events);
        m_device->requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Stopped);
    }
    QVERIFY(m_pty->send("late"));
    QCOMPARE(waitOnce(*m_device, events), WaitResult::Stopped);
    QCOMPARE(waitOnce(*m_device, events), WaitResult::Stopped);
}

void TestSerialLinux::maskChangeWakesWait()
{
    QVERIFY(m_device->setCommMask(ev::RxChar));
    std::uint32_t events = 0;
    {
        auto waiting = backgroundWait(*m_device, events);
        // A mask set before the wait began does not end it, so repeat it.
        QTRY_VERIFY_WITH_TIMEOUT(
            (static_cast<void>(m_device->setCommMask(ev::RxChar)), waiting.finished()), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Stopped);
    }
    // Unlike a stop, a mask change ends only the wait it found.
    QVERIFY(m_pty->send("x"));
    auto waiting = backgroundWait(*m_device, events);
    QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
    QCOMPARE(waiting.result(), WaitResult::Event);
    QCOMPARE(events, ev::RxChar);
}

void TestSerialLinux::hangUpFailsEveryWait()
{
    QVERIFY(m_device->setCommMask(ev::RxChar));
    std::uint32_t events = 0;
    {
        auto waiting = backgroundWait(*m_device, events);
        m_pty->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Failed);
    }
    // Each later wait fails too, and says why.
    for (int wait = 0; wait < 2; ++wait) {
        Result failure;
        QCOMPARE(m_device->waitEvent(events, failure), WaitResult::Failed);
        QVERIFY(failure.reason());
        QCOMPARE(failure.reason()->call, std::string("epoll_wait"));
        QCOMPARE(failure.reason()->code, EIO);
    }
}

void TestSerialLinux::waitAfterHangUpDoesNotSpin()
{
    QVERIFY(m_device->setCommMask(ev::RxChar));

    std::mutex mutex;
    std::condition_variable changed;
    pid_t loopThread = 0;
    int eventsSeen = 0;
    bool loopEnded = false;
    WaitResult laterWait = WaitResult::Event;
    // The event loop of a port: wait, and end on the first failure.
    std::thread loop([&] {
        {
            const std::lock_guard lock(mutex);
            loopThread = gettid();
        }
        std::uint32_t events = 0;
        WaitResult result = WaitResult::Event;
        while ((result = waitOnce(*m_device, events)) == WaitResult::Event) {
            const std::lock_guard lock(mutex);
            ++eventsSeen;
            changed.notify_all();
        }
        const WaitResult later = waitOnce(*m_device, events);
        const std::lock_guard lock(mutex);
        laterWait = later;
        loopEnded = result == WaitResult::Failed;
        changed.notify_all();
    });

    QVERIFY(m_pty->send("unread"));
    std::unique_lock lock(mutex);
    const bool seen = changed.wait_for(lock, std::chrono::milliseconds(generousMs),
                                       [&] { return eventsSeen > 0; });
    const pid_t tid = loopThread;
    lock.unlock();
    // With the bytes still unread the wait sleeps: the thread stays blocked,
    // and does not run at all while this thread reads /proc many times over.
    // (Nothing here may return before the join.)
    const bool blocked =
        QTest::qWaitFor([&] { return threadactivity::allAsleep({tid}); }, generousMs);
    const QString ran = threadactivity::ranDuring({tid}, threadactivity::manyRounds, [] {});
    m_pty->closeMaster();
    lock.lock();
    const bool ended = changed.wait_for(lock, std::chrono::milliseconds(generousMs),
                                        [&] { return laterWait != WaitResult::Event; });
    lock.unlock();
    if (!ended)
        m_device->requestStop();
    loop.join();
    QVERIFY(seen);
    QVERIFY(blocked);
    QVERIFY2(ran.isEmpty(), qPrintable(ran));
    QVERIFY(ended);
    QVERIFY(loopEnded);
    QCOMPARE(laterWait, WaitResult::Failed);
    QCOMPARE(eventsSeen, 1);
}

void TestSerialLinux::callsFailAfterHangUp_data()
{
    QTest::addColumn<int>("call");
    for (int i = 0; i < int(std::size(callsOnHungUpDevice)); ++i)
        QTest::newRow(callsOnHungUpDevice[i].name) << i;
}

void TestSerialLinux::callsFailAfterHangUp()
{
    QFETCH(int, call);
    QVERIFY(m_pty->send("lost"));
    QTRY_COMPARE(inQueue(*m_device), 4u);
    m_pty->closeMaster();

    QVERIFY(!callsOnHungUpDevice[call].call(*m_device));
    std::uint32_t events = 0;
    QCOMPARE(waitOnce(*m_device, events), WaitResult::Failed);
}

void TestSerialLinux::closesWhatItOpened()
{
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    };
    PtyPair pty;
    const qsizetype before = openDescriptors();
    {
        auto device = openConfigured(pty);
        QVERIFY(device);
        QVERIFY(device->setCommMask(ev::RxChar | ev::TxEmpty));
        QVERIFY(device->setCommTimeouts({0, 0, 0, 0, 0}));
        char buffer[4];
        std::uint32_t got = 0;
        Background<Result> reading([&] { return device->read(buffer, 4, got); }, [] {});
        QTRY_VERIFY_WITH_TIMEOUT(
            (static_cast<void>(device->purge(purge::RxAbort)), reading.finished()), generousMs);
        std::uint32_t events = 0;
        QVERIFY(device->write("x", 1, got));
        QCOMPARE(waitOnce(*device, events), WaitResult::Event);
    }
    QCOMPARE(openDescriptors(), before);
}

void TestSerialLinux::helperThreadIsInterrupted()
{
    int pipeEnds[2];
    QVERIFY(pipe2(pipeEnds, O_CLOEXEC) == 0);
    std::atomic<pid_t> tid = 0;
    std::atomic<int> interruptions = 0;
    std::atomic<bool> ended = false;
    {
        // The body blocks in a read that nothing but the signal ends.
        detail::InterruptibleThread thread([&](const std::atomic<bool>& stopping) {
            tid = gettid();
            char byte = 0;
            while (!stopping) {
                if (::read(pipeEnds[0], &byte, 1) < 0 && errno == EINTR)
                    ++interruptions;
            }
            ended = true;
        });
        QVERIFY(thread.running());
        QTRY_VERIFY_WITH_TIMEOUT(tid != 0 && threadState(tid) == 'S', generousMs);
    }
    QVERIFY(ended);
    QVERIFY(interruptions >= 1);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

void TestSerialLinux::speedTolerance_data()
{
    QTest::addColumn<std::uint32_t>("wanted");
    QTest::addColumn<std::uint32_t>("achieved");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exact") << 9600u << 9600u << true;
    QTest::newRow("3 % slow") << 100000u << 97000u << true;
    QTest::newRow("3 % fast") << 100000u << 103000u << true;
    QTest::newRow("just over 3 % slow") << 100000u << 96999u << false;
    QTest::newRow("16550 makes 57600 for 56000") << 56000u << 57600u << true;
    QTest::newRow("16550 makes 115200 for 128000") << 128000u << 115200u << false;
    QTest::newRow("driver fell back to 38400") << 56000u << 38400u << false;
}

void TestSerialLinux::speedTolerance()
{
    QFETCH(std::uint32_t, wanted);
    QFETCH(std::uint32_t, achieved);
    QFETCH(bool, accepted);
    QCOMPARE(detail::speedWithinTolerance(wanted, achieved), accepted);
}

void TestSerialLinux::modemStatusBits_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<std::uint32_t>("status");
    QTest::newRow("no input line") << (TIOCM_DTR | TIOCM_RTS) << 0u;
    QTest::newRow("CTS and carrier, no DSR") << (TIOCM_CTS | TIOCM_CD) << (ms::CtsOn | ms::RlsdOn);
    QTest::newRow("DSR") << TIOCM_DSR << ms::DsrOn;
    QTest::newRow("ring") << TIOCM_RNG << ms::RingOn;
}

void TestSerialLinux::modemStatusBits()
{
    QFETCH(int, lines);
    QFETCH(std::uint32_t, status);
    QCOMPARE(detail::modemStatusBits(lines), status);
}

void TestSerialLinux::lineChangeEvents_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<std::uint32_t>("events");
    QTest::newRow("nothing changed") << TIOCM_CTS << TIOCM_CTS << 0u;
    QTest::newRow("CTS rose") << 0 << TIOCM_CTS << ev::Cts;
    QTest::newRow("CTS fell") << TIOCM_CTS << 0 << ev::Cts;
    QTest::newRow("DSR and carrier fell") << (TIOCM_DSR | TIOCM_CD) << 0 << (ev::Dsr | ev::Rlsd);
    QTest::newRow("ring started") << 0 << TIOCM_RNG << ev::Ring;
    QTest::newRow("ring ended") << TIOCM_RNG << 0 << 0u;
    QTest::newRow("output lines are no events") << 0 << (TIOCM_DTR | TIOCM_RTS) << 0u;
}

void TestSerialLinux::lineChangeEvents()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(std::uint32_t, events);
    QCOMPARE(detail::lineChangeEvents(before, after), events);
}

void TestSerialLinux::counterDeltas_data()
{
    QTest::addColumn<int serial_icounter_struct::*>("counter");
    QTest::addColumn<std::uint32_t>("events");
    QTest::addColumn<std::uint32_t>("errors");
    QTest::newRow("frame error") << &serial_icounter_struct::frame << ev::Err << ce::Frame;
    QTest::newRow("parity error") << &serial_icounter_struct::parity << ev::Err << ce::RxParity;
    QTest::newRow("overrun") << &serial_icounter_struct::overrun << ev::Err << ce::Overrun;
    QTest::newRow("receive queue overflow")
        << &serial_icounter_struct::buf_overrun << 0u << ce::RxOver;
    QTest::newRow("break") << &serial_icounter_struct::brk << ev::Break << ce::Break;
    QTest::newRow("CTS pulse") << &serial_icounter_struct::cts << ev::Cts << 0u;
    QTest::newRow("carrier pulse") << &serial_icounter_struct::dcd << ev::Rlsd << 0u;
    QTest::newRow("ring") << &serial_icounter_struct::rng << ev::Ring << 0u;
    QTest::newRow("bytes received") << &serial_icounter_struct::rx << 0u << 0u;
}

void TestSerialLinux::counterDeltas()
{
    QFETCH(int serial_icounter_struct::*, counter);
    QFETCH(std::uint32_t, events);
    QFETCH(std::uint32_t, errors);
    serial_icounter_struct was{};
    was.*counter = 41;
    serial_icounter_struct now = was;
    QCOMPARE(detail::counterEvents(was, now), 0u);
    QCOMPARE(detail::errorBits(was, now), 0u);
    now.*counter = 42;
    QCOMPARE(detail::counterEvents(was, now), events);
    QCOMPARE(detail::errorBits(was, now), errors);
}

// A program may open its end, ask, close, and come back: the line is served
// each time, and closing never looks like an unplug to the device.
void TestSerialLinux::virtualPortServesProgramsThatComeAndGo()
{
    const QString link = m_scratch.filePath(QStringLiteral("served"));
    OpenFailure failure;
    auto device = virtualPortOpener()->open(link.toStdString(), failure);
    QVERIFY(device);
    QCOMPARE(failure.error, OpenError::None);
    QVERIFY(device->setCommState(lineSettings(9600)));
    QVERIFY(device->setCommTimeouts(defaultTimeouts()));
    QVERIFY(device->setCommMask(ev::RxChar));
    for (int visit = 1; visit <= 3; ++visit) {
        // Between two programs nobody is at the far end: the line waits.
        char nothing[4];
        std::uint32_t got = 0;
        QVERIFY2(readEnds(*device, nothing, 4, got),
                 qPrintable(QStringLiteral("visit %1").arg(visit)));
        QCOMPARE(got, 0u);
        std::uint32_t events = 0;
        auto waiting = backgroundWait(*device, events);
        const FarProgram program(link);
        QVERIFY(program.isOpen());
        QVERIFY(program.rawInput());
        QVERIFY(program.send("IF;"));
        QTRY_VERIFY_WITH_TIMEOUT(waiting.finished(), generousMs);
        QCOMPARE(waiting.result(), WaitResult::Event);
        QCOMPARE(events, ev::RxChar);
        QByteArray query(8, '\0');
        QVERIFY(readEnds(*device, query.data(), 8, got));
        QCOMPARE(query.left(got), QByteArray("IF;"));
        std::uint32_t written = 0;
        QVERIFY(device->write("IF0;", 4, written));
        QByteArray reply;
        QTRY_COMPARE((reply += program.receive()), QByteArray("IF0;"));
    }
    QVERIFY(!device->gone());
}

void TestSerialLinux::virtualPortLink_data()
{
    QTest::addColumn<AtLink>("before");
    QTest::addColumn<OpenError>("expected");
    QTest::newRow("nothing there") << AtLink::Nothing << OpenError::None;
    QTest::newRow("link of a run that was killed") << AtLink::LinkLeftBehind << OpenError::None;
    QTest::newRow("link to a terminal in use")
        << AtLink::LinkToLiveTerminal << OpenError::AccessDenied;
    QTest::newRow("link elsewhere") << AtLink::LinkElsewhere << OpenError::AccessDenied;
    QTest::newRow("regular file") << AtLink::RegularFile << OpenError::AccessDenied;
}

// The link is made where nothing is, or in place of one that an earlier run
// left behind; anything else stays as it was and the opening fails.
void TestSerialLinux::virtualPortLink()
{
    QFETCH(AtLink, before);
    QFETCH(OpenError, expected);
    const QString link = m_scratch.filePath(QStringLiteral("cat"));
    QVERIFY(place(before, link, m_pty->slavePath()));
    const auto removeLink = qScopeGuard([&link] { QFile::remove(link); });
    const QByteArray found = lockSnapshot(link);
    OpenFailure failure;
    auto device = virtualPortOpener()->open(link.toStdString(), failure);
    QCOMPARE(failure.error, expected);
    QCOMPARE(bool(device), expected == OpenError::None);
    if (!device) {
        QCOMPARE(lockSnapshot(link), found);
        QCOMPARE(failure.reason->hint, FailureHint::NotOurLink);
        return;
    }
    const QString terminal = QFile::symLinkTarget(link);
    QVERIFY2(terminal.startsWith(QStringLiteral("/dev/pts/")), qPrintable(terminal));
    QVERIFY(terminal != m_pty->slavePath());
}

void TestSerialLinux::virtualPortLinkGoesWithIt_data()
{
    QTest::addColumn<bool>("takenOver");
    QTest::newRow("link as made") << false;
    QTest::newRow("link another program put there since") << true;
}

void TestSerialLinux::virtualPortLinkGoesWithIt()
{
    QFETCH(bool, takenOver);
    const QString link = m_scratch.filePath(QStringLiteral("gone"));
    const auto removeLink = qScopeGuard([&link] { QFile::remove(link); });
    OpenFailure failure;
    auto device = virtualPortOpener()->open(link.toStdString(), failure);
    QVERIFY(device);
    if (takenOver)
        QVERIFY(QFile::remove(link) && place(AtLink::LinkElsewhere, link, {}));
    const QByteArray left = takenOver ? lockSnapshot(link) : QByteArray("<none>");
    device.reset();
    QCOMPARE(lockSnapshot(link), left);
}

QTEST_GUILESS_MAIN(TestSerialLinux)
#include "tst_serial_linux.moc"
