#include "SerialDevice_linux.h"

#include "Fd_linux.h"
#include "InputBuffer.h"
#include "InterruptibleThread_linux.h"
#include "SerialLock_linux.h"
#include "SerialSpeed_linux.h"
#include "SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace serial {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
// A point in time to give up waiting; noDeadline waits for ever. (A plain
// time point rather than an optional one keeps g++'s flow analysis quiet.)
using Deadline = Clock::time_point;
constexpr Deadline noDeadline = Deadline::max();

constexpr std::uint32_t maxDword = 0xFFFFFFFFu;
constexpr std::uint32_t defaultInQueue = 4096;
constexpr std::uint32_t modemEventMask = ev::Cts | ev::Dsr | ev::Rlsd | ev::Ring;
constexpr std::uint32_t purgeFlags =
    purge::TxAbort | purge::RxAbort | purge::TxClear | purge::RxClear;
constexpr auto modemPollPeriod = 100ms;
constexpr auto txEmptyMargin = 2ms;
// About 35 years: caps the products of two 32-bit values so that a deadline in
// steady_clock nanoseconds cannot overflow.
constexpr std::uint64_t longestWaitMs = std::uint64_t(1) << 40;

// Flag bits of Dcb::flags.
namespace dcbFlag {
constexpr std::uint32_t parity = 0x0002;
// Handshakes and character rules this layer does not provide.
constexpr std::uint32_t unsupported =
    0x0004 | 0x0008 | 0x0040 | 0x0100 | 0x0200 | 0x0400 | 0x0800 | 0x4000;
constexpr unsigned dtrShift = 4;
constexpr unsigned rtsShift = 12;
constexpr std::uint32_t lineControlMask = 0x3;
constexpr std::uint32_t lineEnabled = 1;
} // namespace dcbFlag

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };

// The one place where errno becomes the reason an open failed.
OpenError openErrorFromErrno(int error)
{
    static_assert(EWOULDBLOCK == EAGAIN);
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return OpenError::NotFound;
    case EBUSY:
    case EAGAIN:
    case EACCES:
    case EPERM:
        return OpenError::AccessDenied;
    default:
        return OpenError::Other;
    }
}

// What a pty, or a driver without modem lines or counters, answers.
bool unsupportedRequest(int error)
{
    return error == ENOTTY || error == EINVAL;
}

// What every call gets once the device has been hung up or unplugged.
bool deviceGoneError(int error)
{
    return error == EIO || error == ENODEV || error == ENXIO;
}

// Debian gives serial devices to the group dialout; a user outside it may
// not open them.
bool ownedByDialout(const std::string& path)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
        return false;
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (std::size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    return found && std::strcmp(found->gr_name, "dialout") == 0;
}

FailureHint openFailureHint(const std::string& path, int error)
{
    return error == EACCES && ownedByDialout(path) ? FailureHint::NotInDialoutGroup
                                                   : FailureHint::None;
}

// "9600 bit/s 8N1": the rate and the frame as terminal programs write them.
std::string describe(const Dcb& dcb)
{
    constexpr const char* parities[] = {"N", "O", "E", "M", "S"};
    constexpr const char* stopBits[] = {"1", "1.5", "2"};
    return std::to_string(dcb.BaudRate) + " bit/s " + std::to_string(dcb.ByteSize) +
           parities[dcb.Parity] + stopBits[dcb.StopBits];
}

using detail::Fd;

void signalEventFd(int fd)
{
    eventfd_write(fd, 1);
}

// Empties an eventfd or a timerfd (both non-blocking) so that it stops being readable.
void drain(int fd)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

// Arms `timer` to expire after `delay` and then every `period`; a zero
// `delay` disarms it.
void armTimer(int timer, std::chrono::nanoseconds delay, std::chrono::nanoseconds period = {})
{
    const auto toTimespec = [](std::chrono::nanoseconds d) {
        return timespec{static_cast<time_t>(d.count() / 1'000'000'000),
                        static_cast<long>(d.count() % 1'000'000'000)};
    };
    itimerspec timing{};
    timing.it_value = toTimespec(delay);
    timing.it_interval = toTimespec(period);
    timerfd_settime(timer, 0, &timing, nullptr);
}

// Wakes the blocking reads (or writes) that were waiting when wake() ran; a
// later operation is not affected. Each waiting operation listens on an eventfd
// of its own, so no shared flag has to be reset by anybody, and a wake() with
// nobody waiting costs no system call.
class WakeSignal
{
public:
    std::uint64_t generation() const { return m_generation; }

    void wake()
    {
        const std::lock_guard lock(m_mutex);
        ++m_generation;
        for (const int fd : m_listeners)
            signalEventFd(fd);
    }

    class Listener
    {
    public:
        explicit Listener(WakeSignal& signal)
            : m_signal(signal), m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
        {
            const std::lock_guard lock(m_signal.m_mutex);
            m_signal.m_listeners.push_back(m_fd.get());
        }
        Listener(const Listener&) = delete;
        Listener& operator=(const Listener&) = delete;
        ~Listener()
        {
            const std::lock_guard lock(m_signal.m_mutex);
            std::erase(m_signal.m_listeners, m_fd.get());
        }
        int fd() const { return m_fd.get(); }

    private:
        WakeSignal& m_signal;
        Fd m_fd;
    };

private:
    std::atomic<std::uint64_t> m_generation = 0;
    std::mutex m_mutex;
    std::vector<int> m_listeners;
};

enum class Readiness { Ready, TimedOut, Aborted, Failed };

template <class Duration> Deadline deadlineAfter(const std::optional<Duration>& wait)
{
    return wait ? Clock::now() + *wait : noDeadline;
}

// What else ends a wait for a descriptor: an abort, and (for reads) bytes
// that another thread fetched meanwhile; each counts when its generation is
// newer than the one given.
struct WaitEnds
{
    WakeSignal& abort;
    std::uint64_t abortGeneration;
    WakeSignal* fetched = nullptr;
    std::uint64_t fetchedGeneration = 0;
};

// Waits until `fd` is ready for `events`, the deadline passes, or one of
// `ends` comes. Failed sets errno.
Readiness waitReady(int fd, short events, Deadline deadline, const WaitEnds& ends)
{
    const WakeSignal::Listener aborts(ends.abort);
    std::optional<WakeSignal::Listener> fetches;
    if (ends.fetched)
        fetches.emplace(*ends.fetched);
    if (aborts.fd() < 0 || (fetches && fetches->fd() < 0))
        return Readiness::Failed;
    if (ends.abort.generation() != ends.abortGeneration)
        return Readiness::Aborted;
    if (ends.fetched && ends.fetched->generation() != ends.fetchedGeneration)
        return Readiness::Ready;
    for (;;) {
        int timeoutMs = -1;
        if (deadline != noDeadline) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return Readiness::TimedOut;
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            timeoutMs = static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
        }
        // A negative descriptor is left out by poll().
        pollfd fds[] = {
            {fd, events, 0}, {aborts.fd(), POLLIN, 0}, {fetches ? fetches->fd() : -1, POLLIN, 0}};
        if (poll(fds, 3, timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            return Readiness::Failed;
        }
        if (fds[1].revents != 0)
            return Readiness::Aborted;
        if (fds[2].revents != 0)
            return Readiness::Ready;
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            errno = EIO;
            return Readiness::Failed;
        }
        if ((fds[0].revents & events) != 0)
            return Readiness::Ready;
    }
}

std::chrono::milliseconds boundedMs(std::uint64_t ms)
{
    return std::chrono::milliseconds(std::min(ms, longestWaitMs));
}

bool validDcb(const Dcb& dcb)
{
    const std::uint32_t dtr = (dcb.flags >> dcbFlag::dtrShift) & dcbFlag::lineControlMask;
    const std::uint32_t rts = (dcb.flags >> dcbFlag::rtsShift) & dcbFlag::lineControlMask;
    const auto stop = static_cast<StopBits>(dcb.StopBits);
    return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= static_cast<std::uint8_t>(Parity::Space) &&
           dcb.StopBits <= static_cast<std::uint8_t>(StopBits::Two) &&
           // The 8250 family: 1.5 stop bits only with 5 data bits, 2 never with 5.
           (stop != StopBits::OneAndHalf || dcb.ByteSize == 5) &&
           (stop != StopBits::Two || dcb.ByteSize != 5) &&
           (dcb.flags & dcbFlag::unsupported) == 0 && dtr <= dcbFlag::lineEnabled &&
           rts <= dcbFlag::lineEnabled;
}

tcflag_t dataBitsFlag(std::uint8_t byteSize)
{
    constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    return sizes[byteSize - 5];
}

tcflag_t parityFlags(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return 0;
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Even:
        return PARENB;
    case Parity::Mark:
        return PARENB | PARODD | CMSPAR;
    case Parity::Space:
        return PARENB | CMSPAR;
    }
    return 0;
}

tcflag_t stopBitsFlag(StopBits stop)
{
    switch (stop) {
    case StopBits::One:
        return 0;
    // CSTOPB with 5 data bits is 1.5 stop bits on the 8250 family.
    case StopBits::OneAndHalf:
    case StopBits::Two:
        return CSTOPB;
    }
    return 0;
}

constexpr tcflag_t frameFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

// Raw eight-bit transfer with the frame of `dcb`, no flow control, modem
// control lines ignored for input (CLOCAL) and dropped on the last close (HUPCL).
void applyFrame(termios& t, const Dcb& dcb)
{
    cfmakeraw(&t);
    const auto parity = static_cast<Parity>(dcb.Parity);
    t.c_cflag &= ~(frameFlags | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | HUPCL | dataBitsFlag(dcb.ByteSize) | parityFlags(parity) |
                 stopBitsFlag(static_cast<StopBits>(dcb.StopBits));
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK);
    if (parity != Parity::None && (dcb.flags & dcbFlag::parity) != 0)
        t.c_iflag |= INPCK;
    // With O_NONBLOCK, VMIN=1 makes "nothing there" EAGAIN, so that a read of 0
    // bytes can only mean a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

std::chrono::nanoseconds characterTime(std::uint32_t baud, const Dcb& dcb)
{
    const unsigned bits =
        1 + dcb.ByteSize + (dcb.Parity != 0 ? 1 : 0) + (dcb.StopBits != 0 ? 2 : 1);
    return std::chrono::nanoseconds(std::uint64_t(bits) * 1'000'000'000 / std::max(baud, 1u));
}

enum class Source : std::uint32_t { Tty, Wake, Modem, TxTimer, PollTimer };

class LinuxDevice final : public Device
{
public:
    LinuxDevice(Fd tty, detail::UucpLock lock, std::string path)
        : m_path(std::move(path)), m_lock(std::move(lock)), m_tty(std::move(tty))
    {
    }

    ~LinuxDevice() override
    {
        requestStop();
        m_rxAbort.wake();
        m_txAbort.wake();
        m_modemWatcher.reset();
        // The exclusive flag outlives our descriptor where the tty itself
        // lives on (a pty whose master stays open): the next open would fail.
        ioctl(fd(), TIOCNXCL);
        if (changesLogged())
            reportChange(m_path, "closed");
    }

    // Returns 0, or the errno of what could not be set up (reported). TIOCEXCL
    // comes first, so that the destructor clears it after any later failure.
    int setUp()
    {
        if (ioctl(fd(), TIOCEXCL) != 0)
            return setUpFailed("ioctl TIOCEXCL");
        m_epoll = Fd(epoll_create1(EPOLL_CLOEXEC));
        m_wake = Fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        m_modemChange = Fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        m_txTimer = Fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
        m_pollTimer = Fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
        if (!m_epoll.valid() || !m_wake.valid() || !m_modemChange.valid() || !m_txTimer.valid() ||
            !m_pollTimer.valid())
            return setUpFailed("eventfd/timerfd");
        // Edge-triggered: one event per arrival and none while the bytes sit
        // unread, like the receive event of the classic comm API.
        if (!watch(m_tty, Source::Tty, EPOLLIN | EPOLLET) || !watch(m_wake, Source::Wake) ||
            !watch(m_modemChange, Source::Modem) || !watch(m_txTimer, Source::TxTimer) ||
            !watch(m_pollTimer, Source::PollTimer))
            return setUpFailed("epoll_ctl");
        probeLines();
        std::uint32_t baud = 0;
        if (detail::lineSpeed(fd(), baud))
            m_characterTime = characterTime(baud, Dcb{});
        if (m_hasModemLines)
            startModemWatcher();
        return 0;
    }

    bool setupComm(std::uint32_t inQueue, std::uint32_t) override
    {
        // The kernel's queues have a fixed size; the receive size only sets
        // the level of the 80 % event.
        if (inQueue > 0)
            m_inQueue = inQueue;
        return alive();
    }

    bool setCommState(const Dcb& dcb) override
    {
        if (!validDcb(dcb)) {
            errno = EINVAL;
            return failed("line settings", FailureHint::SettingsRefused);
        }
        termios previous{};
        std::uint32_t previousSpeed = 0;
        if (tcgetattr(fd(), &previous) != 0)
            return failed("tcgetattr");
        if (!detail::lineSpeed(fd(), previousSpeed))
            return failed("ioctl TCGETS2");
        termios wanted = previous;
        applyFrame(wanted, dcb);
        if (!applyLineSettings(wanted, dcb.BaudRate)) {
            // Back to what the device had; the failure is reported already.
            tcsetattr(fd(), TCSANOW, &previous);
            std::uint32_t restored = 0;
            detail::setLineSpeed(fd(), previousSpeed, restored);
            return false;
        }
        m_characterTime = characterTime(dcb.BaudRate, dcb);
        if (changesLogged())
            reportChange(m_path, "line settings " + describe(dcb));
        const auto lineOn = [&dcb](unsigned shift) {
            return ((dcb.flags >> shift) & dcbFlag::lineControlMask) == dcbFlag::lineEnabled;
        };
        return switchLine(TIOCM_DTR, lineOn(dcbFlag::dtrShift)) &&
               switchLine(TIOCM_RTS, lineOn(dcbFlag::rtsShift));
    }

    bool setCommTimeouts(const CommTimeouts& timeouts) override
    {
        {
            const std::lock_guard lock(m_timeoutsMutex);
            m_timeouts = timeouts;
        }
        return alive();
    }

    bool setCommMask(std::uint32_t mask) override
    {
        m_mask = mask;
        ++m_maskGeneration;
        signalEventFd(m_wake.get());
        return alive();
    }

    WaitResult waitEvent(std::uint32_t& events) override
    {
        events = 0;
        const std::uint64_t generation = m_maskGeneration;
        for (;;) {
            if (m_stop)
                return WaitResult::Stopped;
            if (m_maskGeneration != generation)
                return WaitResult::Stopped;
            if (m_gone)
                return WaitResult::Failed;
            const std::uint32_t mask = m_mask;
            followModemPolling(mask);
            std::uint32_t occurred = 0;
            if (!collectEvents(occurred))
                return m_stop ? WaitResult::Stopped : WaitResult::Failed;
            events = occurred & mask;
            if (events != 0 && !m_stop && m_maskGeneration == generation)
                return WaitResult::Event;
            events = 0;
        }
    }

    void requestStop() override
    {
        m_stop = true;
        signalEventFd(m_wake.get());
    }

    bool read(void* buffer, std::uint32_t count, std::uint32_t& got) override
    {
        got = 0;
        const std::uint64_t generation = m_rxAbort.generation();
        const detail::ReadPlan plan = detail::readPlan(timeouts(), count);
        const Deadline total = deadlineAfter(plan.total);
        Deadline interval = noDeadline;
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        while (got < count) {
            const std::uint64_t fetchedBefore = m_rxFetched.generation();
            const ssize_t n = consume(bytes + got, count - got);
            if (n > 0) {
                got += static_cast<std::uint32_t>(n);
                if (plan.returnOnFirstBytes)
                    return true;
                if (plan.interval)
                    interval = Clock::now() + *plan.interval;
                continue;
            }
            if (n == 0) {
                // A hung-up tty reads as end of file; bytes still queued are lost.
                errno = EIO;
                return failed("read");
            }
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return failed("read");
            if (plan.returnAtOnce)
                return true;
            const WaitEnds ends{m_rxAbort, generation, &m_rxFetched, fetchedBefore};
            switch (waitReady(fd(), POLLIN, std::min(total, interval), ends)) {
            case Readiness::Ready:
                continue;
            case Readiness::TimedOut:
                return true;
            case Readiness::Aborted:
                errno = ECANCELED;
                return failed("read");
            case Readiness::Failed:
                return failed("read");
            }
        }
        return true;
    }

    bool write(const void* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        written = 0;
        const std::uint64_t generation = m_txAbort.generation();
        const auto limit = detail::writeLimit(timeouts(), count);
        const Deadline deadline = deadlineAfter(limit);
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        while (written < count) {
            const ssize_t n = ::write(fd(), bytes + written, count - written);
            if (n > 0) {
                written += static_cast<std::uint32_t>(n);
                continue;
            }
            if (n == 0)
                errno = EIO;
            else if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return writeEnded(written, failed("write"));
            switch (waitReady(fd(), POLLOUT, deadline, WaitEnds{m_txAbort, generation})) {
            case Readiness::Ready:
                continue;
            case Readiness::TimedOut:
                // Completes the write with fewer bytes, which is a success.
                return writeEnded(written, true);
            case Readiness::Aborted:
                errno = ECANCELED;
                return writeEnded(written, failed("write"));
            case Readiness::Failed:
                return writeEnded(written, failed("write"));
            }
        }
        return writeEnded(written, true);
    }

    void watchTxEmpty(bool wanted) override { m_txWatched = wanted; }

    bool clearError(CommStatus& status) override
    {
        status = {};
        int outQueue = 0;
        {
            const std::lock_guard lock(m_inputMutex);
            int kept = 0;
            if (!ttyKeeps(kept))
                return failed("ioctl FIONREAD");
            if (ioctl(fd(), TIOCOUTQ, &outQueue) != 0)
                return failed("ioctl TIOCOUTQ");
            status.inQueue = static_cast<std::uint32_t>(m_pulled.size() + kept);
        }
        status.outQueue = static_cast<std::uint32_t>(outQueue);
        return clearErrorCounters(status.errors);
    }

    bool inputQueue(std::uint32_t& count) override
    {
        count = 0;
        {
            const std::lock_guard lock(m_inputMutex);
            // While a thread waits for events after it emptied the tty, it
            // fetches every arrival at once: the tty holds at most what came
            // in the last instant, which that thread is about to fetch.
            int kept = 0;
            if (!(m_fetching && m_ttyDrained) && !ttyKeeps(kept))
                return failed("ioctl FIONREAD");
            count = static_cast<std::uint32_t>(m_pulled.size() + kept);
        }
        std::uint32_t errors = 0;
        return clearErrorCounters(errors);
    }

    bool modemStatus(std::uint32_t& status) override
    {
        status = 0;
        int lines = 0;
        if (ioctl(fd(), TIOCMGET, &lines) != 0)
            return unsupportedRequest(errno) || failed("ioctl TIOCMGET");
        status = detail::modemStatusBits(lines);
        return true;
    }

    bool escape(Escape function) override
    {
        switch (function) {
        case Escape::SetRts:
            return switchLine(TIOCM_RTS, true);
        case Escape::ClrRts:
            return switchLine(TIOCM_RTS, false);
        case Escape::SetDtr:
            return switchLine(TIOCM_DTR, true);
        case Escape::ClrDtr:
            return switchLine(TIOCM_DTR, false);
        }
        errno = EINVAL;
        return failed("escape");
    }

    bool purge(std::uint32_t flags) override
    {
        if ((flags & ~purgeFlags) != 0) {
            errno = EINVAL;
            return failed("purge");
        }
        if ((flags & purge::TxAbort) != 0)
            m_txAbort.wake();
        if ((flags & purge::RxAbort) != 0)
            m_rxAbort.wake();
        // Bytes already handed to the kernel can only be dropped by a flush.
        const bool flushed = ((flags & purge::TxClear) == 0 || tcflush(fd(), TCOFLUSH) == 0) &&
                             ((flags & purge::RxClear) == 0 || flushInput());
        return flushed ? alive() : failed("tcflush");
    }

    std::intptr_t nativeHandle() const override { return fd(); }

private:
    int fd() const { return m_tty.get(); }

    bool watch(const Fd& source, Source tag, std::uint32_t events = EPOLLIN)
    {
        epoll_event event{};
        event.events = events;
        event.data.u32 = static_cast<std::uint32_t>(tag);
        return epoll_ctl(m_epoll.get(), EPOLL_CTL_ADD, source.get(), &event) == 0;
    }

    // Reports the call that failed with errno, and remembers a device that
    // has gone so that every later wait fails at once.
    bool failed(const char* call, FailureHint hint = FailureHint::None)
    {
        if (deviceGoneError(errno))
            m_gone = true;
        reportFailure({call, m_path, errno, hint});
        return false;
    }

    int setUpFailed(const char* call)
    {
        const int error = errno;
        failed(call);
        return error;
    }

    bool alive()
    {
        int waiting = 0;
        return ioctl(fd(), FIONREAD, &waiting) == 0 || failed("ioctl FIONREAD");
    }

    CommTimeouts timeouts()
    {
        const std::lock_guard lock(m_timeoutsMutex);
        return m_timeouts;
    }

    bool applyLineSettings(const termios& wanted, std::uint32_t baud)
    {
        // The termios2 speed goes last: the glibc call above keeps the old rate.
        std::uint32_t achieved = 0;
        termios actual{};
        if (tcsetattr(fd(), TCSANOW, &wanted) != 0)
            return failed("tcsetattr");
        if (!detail::setLineSpeed(fd(), baud, achieved))
            return failed("ioctl TCSETS2");
        if (tcgetattr(fd(), &actual) != 0)
            return failed("tcgetattr");
        // tcsetattr succeeds when any part was taken; a pty, for one, forces
        // 8 bits without parity. A frame or rate the driver changed is refused.
        errno = EINVAL;
        if ((actual.c_cflag & frameFlags) != (wanted.c_cflag & frameFlags))
            return failed("tcsetattr", FailureHint::SettingsRefused);
        if (!detail::speedWithinTolerance(baud, achieved))
            return failed("ioctl TCSETS2", FailureHint::SettingsRefused);
        return true;
    }

    bool switchLine(int line, bool on)
    {
        if (ioctl(fd(), on ? TIOCMBIS : TIOCMBIC, &line) == 0) {
            if (changesLogged())
                reportChange(m_path, std::string(line == TIOCM_DTR ? "DTR" : "RTS") +
                                         (on ? " on" : " off"));
            return true;
        }
        // No modem lines (a pty): the switch has nothing to act on.
        return unsupportedRequest(errno) || failed(on ? "ioctl TIOCMBIS" : "ioctl TIOCMBIC");
    }

    void probeLines()
    {
        m_hasModemLines = ioctl(fd(), TIOCMGET, &m_waitModemLines) == 0;
        m_hasCounters = ioctl(fd(), TIOCGICOUNT, &m_waitBase) == 0;
        m_errorBase = m_waitBase;
    }

    void startModemWatcher()
    {
        m_modemWatcher = std::make_unique<detail::InterruptibleThread>(
            [this](const std::atomic<bool>& stopping) {
                constexpr int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;
                while (!stopping) {
                    if (ioctl(fd(), TIOCMIWAIT, lines) == 0) {
                        signalEventFd(m_modemChange.get());
                        continue;
                    }
                    if (errno == EINTR)
                        continue;
                    // Without TIOCMIWAIT the wait polls the lines instead. Any
                    // other error means the device is gone, which the wait sees
                    // on the tty itself.
                    if (unsupportedRequest(errno)) {
                        m_modemPolling = true;
                        signalEventFd(m_modemChange.get());
                    } else {
                        reportFailure({"ioctl TIOCMIWAIT", m_path, errno});
                    }
                    return;
                }
            });
        // Without the helper thread the lines are polled. The polling switch
        // is only ever turned on, here or by the helper: the helper may have
        // found TIOCMIWAIT missing and turned it on before this line runs.
        if (!m_modemWatcher->running())
            m_modemPolling = true;
    }

    // The 100 ms poll runs only while a driver without TIOCMIWAIT has modem
    // events in the mask.
    void followModemPolling(std::uint32_t mask)
    {
        const bool wanted = m_modemPolling && (mask & modemEventMask) != 0;
        if (wanted == m_pollArmed)
            return;
        armTimer(m_pollTimer.get(), wanted ? modemPollPeriod : 0ns, wanted ? modemPollPeriod : 0ns);
        m_pollArmed = wanted;
    }

    // One epoll_wait; false when the device has gone or the wait failed.
    bool collectEvents(std::uint32_t& occurred)
    {
        epoll_event ready[5];
        m_fetching = true;
        const int n = epoll_wait(m_epoll.get(), ready, 5, -1);
        m_fetching = false;
        if (n < 0) {
            if (errno == EINTR)
                return true;
            m_gone = true;
            return failed("epoll_wait");
        }
        bool lineActivity = false;
        for (int i = 0; i < n; ++i) {
            switch (static_cast<Source>(ready[i].data.u32)) {
            case Source::Tty:
                if ((ready[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
                    epoll_ctl(m_epoll.get(), EPOLL_CTL_DEL, fd(), nullptr);
                    // A hung-up tty: every later call on it gives EIO.
                    errno = EIO;
                    return failed("epoll_wait");
                }
                occurred |= receiveEvents();
                break;
            case Source::Wake:
                drain(m_wake.get());
                break;
            case Source::Modem:
            case Source::PollTimer:
                drain(ready[i].data.u32 == static_cast<std::uint32_t>(Source::Modem)
                          ? m_modemChange.get()
                          : m_pollTimer.get());
                occurred |= modemLineEvents();
                break;
            case Source::TxTimer:
                drain(m_txTimer.get());
                occurred |= txEmptyEvent();
                break;
            }
            lineActivity = true;
        }
        if (lineActivity)
            occurred |= counterEvents();
        return true;
    }

    // Takes bytes out of the input queue, the ones fetched ahead first,
    // noting when the system's queue shrank.
    ssize_t consume(std::uint8_t* bytes, std::size_t count)
    {
        const std::lock_guard lock(m_inputMutex);
        if (const std::size_t fetched = m_pulled.take(bytes, count))
            return static_cast<ssize_t>(fetched);
        const ssize_t n = ::read(fd(), bytes, count);
        if (n > 0)
            ++m_inputTaken;
        return n;
    }

    // The bytes the tty holds (not yet fetched); a count that includes some
    // keeps later counts from leaving them out. Under m_inputMutex.
    bool ttyKeeps(int& kept)
    {
        kept = 0;
        if (ioctl(fd(), FIONREAD, &kept) != 0)
            return false;
        if (kept > 0)
            m_ttyDrained = false;
        return true;
    }

    // Fetches what has arrived into m_pulled, as far as the receive size
    // allows; the byte count, or -1 with errno (EAGAIN: nothing there).
    // Under m_inputMutex.
    ssize_t fetchArrived(std::size_t& room)
    {
        std::uint8_t* into = m_pulled.room(m_inQueue, room);
        if (room == 0)
            return 0;
        for (;;) {
            const ssize_t n = ::read(fd(), into, room);
            if (n > 0) {
                m_pulled.added(static_cast<std::size_t>(n));
                ++m_inputTaken;
            }
            if (n == 0) {
                // A hung-up tty reads as end of file.
                errno = EIO;
                return -1;
            }
            if (n > 0 || errno != EINTR)
                return n;
        }
    }

    bool flushInput()
    {
        const std::lock_guard lock(m_inputMutex);
        ++m_inputTaken;
        m_pulled.clear();
        const bool flushed = tcflush(fd(), TCIFLUSH) == 0;
        m_ttyDrained = flushed;
        return flushed;
    }

    // The error bits since the last look; they count from now on.
    bool clearErrorCounters(std::uint32_t& errors)
    {
        errors = 0;
        if (!m_hasCounters)
            return true;
        const std::lock_guard lock(m_errorMutex);
        serial_icounter_struct now{};
        if (ioctl(fd(), TIOCGICOUNT, &now) != 0)
            return failed("ioctl TIOCGICOUNT");
        errors = detail::errorBits(m_errorBase, now);
        m_errorBase = now;
        return true;
    }

    // Each edge fetches what arrived into m_pulled, so that the count and the
    // read that a handler makes need no system call. The tty wakes its
    // pollers for more than arrivals, and each wake-up is an edge: an edge
    // that fetched nothing, after which the tty holds exactly what it held at
    // the last look, with nothing taken out since, brought no byte. (The tty
    // keeps bytes only while m_pulled is full.)
    std::uint32_t receiveEvents()
    {
        bool fetched = false;
        int kept = 0;
        std::uint64_t taken = 0;
        std::size_t queued = 0;
        {
            const std::lock_guard lock(m_inputMutex);
            std::size_t room = 0;
            const ssize_t n = fetchArrived(room);
            if (n < 0 && errno != EAGAIN) {
                // A device that has gone fails the next wait; anything else
                // is left to the delivery to find out.
                failed("read");
                return m_gone ? 0 : ev::RxChar;
            }
            fetched = n > 0;
            // A fetch that filled the room may have left bytes behind.
            m_ttyDrained = n < 0 || std::size_t(n) < room;
            if (!m_ttyDrained && !ttyKeeps(kept))
                return ev::RxChar;
            taken = m_inputTaken;
            queued = m_pulled.size() + std::size_t(kept);
        }
        if (fetched)
            m_rxFetched.wake();
        const bool arrived = fetched || taken != m_seenInputTaken || kept != m_seenWaiting;
        m_seenInputTaken = taken;
        m_seenWaiting = kept;
        if (!arrived)
            return 0;
        const bool full = std::uint64_t(queued) * 10 >= std::uint64_t(m_inQueue) * 8;
        const bool crossedFull = full && !m_rxFull;
        m_rxFull = full;
        return ev::RxChar | (crossedFull ? ev::Rx80Full : 0);
    }

    // There is no notification for an empty transmitter: after a write the
    // timer fires when the queue should have drained and looks again.
    bool writeEnded(std::uint32_t written, bool ok)
    {
        if (written > 0 && m_txWatched) {
            m_txPending = true;
            armTxTimer();
        }
        return ok;
    }

    void armTxTimer()
    {
        int queued = 0;
        ioctl(fd(), TIOCOUTQ, &queued);
        armTimer(m_txTimer.get(), std::max(queued, 0) * m_characterTime.load() + txEmptyMargin);
    }

    std::uint32_t txEmptyEvent()
    {
        int queued = 0;
        if (ioctl(fd(), TIOCOUTQ, &queued) == 0 && queued > 0) {
            armTxTimer();
            return 0;
        }
        return m_txPending.exchange(false) ? ev::TxEmpty : 0;
    }

    std::uint32_t modemLineEvents()
    {
        int lines = 0;
        if (!m_hasModemLines || ioctl(fd(), TIOCMGET, &lines) != 0)
            return 0;
        const std::uint32_t events = detail::lineChangeEvents(m_waitModemLines, lines);
        m_waitModemLines = lines;
        return events;
    }

    std::uint32_t counterEvents()
    {
        serial_icounter_struct now{};
        if (!m_hasCounters || ioctl(fd(), TIOCGICOUNT, &now) != 0)
            return 0;
        const std::uint32_t events = detail::counterEvents(m_waitBase, now);
        m_waitBase = now;
        return events;
    }

    const std::string m_path; // as opened, for what is reported
    // Destroyed in reverse: the watcher first, the tty (HUPCL drops DTR and
    // RTS, the flock goes with it) before the lock file.
    detail::UucpLock m_lock;
    Fd m_tty;
    Fd m_epoll;
    Fd m_wake;
    Fd m_modemChange;
    Fd m_txTimer;
    Fd m_pollTimer;

    bool m_hasModemLines = false; // fixed after setUp
    bool m_hasCounters = false;   // fixed after setUp

    std::atomic<std::uint32_t> m_mask = 0;
    std::atomic<std::uint64_t> m_maskGeneration = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_gone = false;
    std::atomic<bool> m_modemPolling = false;
    std::atomic<bool> m_txPending = false;
    std::atomic<bool> m_txWatched = true;
    std::atomic<std::uint32_t> m_inQueue = defaultInQueue;
    std::atomic<std::chrono::nanoseconds> m_characterTime = characterTime(9600, Dcb{});

    std::mutex m_timeoutsMutex;
    CommTimeouts m_timeouts;

    std::mutex m_errorMutex;
    serial_icounter_struct m_errorBase = {};

    WakeSignal m_rxAbort;
    WakeSignal m_txAbort;
    WakeSignal m_rxFetched; // the waiting thread fetched bytes

    // Counts every removal from the system's input queue (reads, fetches
    // ahead and flushes).
    std::mutex m_inputMutex;
    std::uint64_t m_inputTaken = 0;
    detail::InputBuffer m_pulled;         // the bytes fetched ahead
    bool m_ttyDrained = false;            // the tty held nothing when last looked at
    std::atomic<bool> m_fetching = false; // a thread waits for events, fetching arrivals

    // Owned by the thread in waitEvent.
    serial_icounter_struct m_waitBase = {};
    int m_waitModemLines = 0;
    bool m_pollArmed = false;
    bool m_rxFull = false;
    int m_seenWaiting = 0;
    std::uint64_t m_seenInputTaken = 0;

    std::unique_ptr<detail::InterruptibleThread> m_modemWatcher;
};

class LinuxOpener final : public Opener
{
public:
    std::unique_ptr<Device> open(const std::string& path, OpenError& error) override
    {
        return detail::openDevice(path, detail::defaultLockDirectory, error);
    }
};

} // namespace

namespace detail {

ReadPlan readPlan(const CommTimeouts& timeouts, std::uint32_t count)
{
    ReadPlan plan;
    const std::uint32_t interval = timeouts.ReadIntervalTimeout;
    const std::uint32_t multiplier = timeouts.ReadTotalTimeoutMultiplier;
    const std::uint32_t constant = timeouts.ReadTotalTimeoutConstant;
    if (interval == maxDword && multiplier == 0 && constant == 0) {
        plan.returnAtOnce = true;
        return plan;
    }
    if (interval == maxDword && multiplier == maxDword && constant != 0 && constant != maxDword) {
        plan.returnOnFirstBytes = true;
        plan.total = std::chrono::milliseconds(constant);
        return plan;
    }
    if (multiplier != 0 || constant != 0)
        plan.total = boundedMs(std::uint64_t(multiplier) * count + constant);
    if (interval != 0 && interval != maxDword)
        plan.interval = std::chrono::milliseconds(interval);
    return plan;
}

bool speedWithinTolerance(std::uint32_t wanted, std::uint32_t achieved)
{
    const std::uint64_t difference = wanted > achieved ? wanted - achieved : achieved - wanted;
    return difference * 100 <= std::uint64_t(wanted) * 3;
}

std::uint32_t modemStatusBits(int lines)
{
    return ((lines & TIOCM_CTS) ? ms::CtsOn : 0) | ((lines & TIOCM_DSR) ? ms::DsrOn : 0) |
           ((lines & TIOCM_RNG) ? ms::RingOn : 0) | ((lines & TIOCM_CD) ? ms::RlsdOn : 0);
}

std::uint32_t lineChangeEvents(int before, int after)
{
    const int changed = before ^ after;
    // A ring is reported when the indicator comes on, not when it goes off.
    const bool ringStarted = (changed & after & TIOCM_RNG) != 0;
    return ((changed & TIOCM_CTS) ? ev::Cts : 0) | ((changed & TIOCM_DSR) ? ev::Dsr : 0) |
           ((changed & TIOCM_CD) ? ev::Rlsd : 0) | (ringStarted ? ev::Ring : 0);
}

// The counters also catch a line that changed and changed back between two looks.
std::uint32_t counterEvents(const serial_icounter_struct& was, const serial_icounter_struct& now)
{
    const bool lineError =
        now.frame != was.frame || now.parity != was.parity || now.overrun != was.overrun;
    return (lineError ? ev::Err : 0) | (now.brk != was.brk ? ev::Break : 0) |
           (now.cts != was.cts ? ev::Cts : 0) | (now.dsr != was.dsr ? ev::Dsr : 0) |
           (now.dcd != was.dcd ? ev::Rlsd : 0) | (now.rng != was.rng ? ev::Ring : 0);
}

std::uint32_t errorBits(const serial_icounter_struct& was, const serial_icounter_struct& now)
{
    return (now.frame != was.frame ? ce::Frame : 0) |
           (now.parity != was.parity ? ce::RxParity : 0) |
           (now.overrun != was.overrun ? ce::Overrun : 0) |
           (now.buf_overrun != was.buf_overrun ? ce::RxOver : 0) |
           (now.brk != was.brk ? ce::Break : 0);
}

std::optional<std::chrono::milliseconds> writeLimit(const CommTimeouts& timeouts,
                                                    std::uint32_t count)
{
    const std::uint32_t multiplier = timeouts.WriteTotalTimeoutMultiplier;
    const std::uint32_t constant = timeouts.WriteTotalTimeoutConstant;
    if (multiplier == 0 && constant == 0)
        return std::nullopt;
    return boundedMs(std::uint64_t(multiplier) * count + constant);
}

// Covers the three conventions terminal programs use to keep off a busy port:
// a UUCP lock file, flock() and TIOCEXCL (which root bypasses; flock it does not).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenError& error)
{
    error = OpenError::None;
    const auto fail = [&](const char* call, const std::string& on, int code,
                          FailureHint hint = FailureHint::None) -> std::unique_ptr<Device> {
        reportFailure({call, on, code, hint});
        error = openErrorFromErrno(code);
        return nullptr;
    };
    // The lock file comes first: opening a serial port raises DTR and RTS,
    // which must not happen under a program that holds it.
    UucpLock lock;
    const std::string lockFile = lockFilePath(lockDirectory, path);
    if (!lock.acquire(lockFile))
        return fail("lock", lockFile, EBUSY);
    // O_NOCTTY: the port must never become our controlling terminal, or a
    // hang-up would send us SIGHUP.
    Fd tty(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!tty.valid()) {
        const int code = errno;
        return fail("open", path, code, openFailureHint(path, code));
    }
    termios attributes{};
    if (tcgetattr(tty.get(), &attributes) != 0)
        return fail("tcgetattr", path, errno,
                    errno == ENOTTY ? FailureHint::NotASerialPort : FailureHint::None);
    if (flock(tty.get(), LOCK_EX | LOCK_NB) != 0)
        return fail("flock", path, errno);
    auto device = std::make_unique<LinuxDevice>(std::move(tty), std::move(lock), path);
    if (const int problem = device->setUp()) {
        error = openErrorFromErrno(problem);
        return nullptr;
    }
    if (changesLogged())
        reportChange(path, "opened");
    return device;
}

} // namespace detail

Opener& systemOpener()
{
    static LinuxOpener opener;
    return opener;
}

std::string devicePath(const std::string& portName)
{
    return portName.starts_with('/') ? portName : "/dev/" + portName;
}

} // namespace serial
