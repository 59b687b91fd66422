// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialDevice_linux.h"

#include "InterruptibleThread_linux.h"
#include "ReceiveQueue_linux.h"
#include "SerialMapping_linux.h"
#include "SerialSpeed_linux.h"
#include "WakeSignal_linux.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace serial::detail {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t modemEventMask = ev::Cts | ev::Dsr | ev::Rlsd | ev::Ring;
constexpr std::uint32_t purgeFlags =
    purge::TxAbort | purge::RxAbort | purge::TxClear | purge::RxClear;
constexpr auto modemPollPeriod = 100ms;
constexpr auto txEmptyMargin = 2ms;

enum class Source : std::uint32_t { Tty, Wake, Modem, TxTimer, PollTimer };

class LinuxDevice final : public Device
{
public:
    LinuxDevice(Fd tty, std::shared_ptr<void> held, std::string path)
        : m_path(std::move(path)), m_held(std::move(held)), m_tty(std::move(tty)),
          m_input(m_tty.get())
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

    // Fails with what could not be set up. TIOCEXCL comes first, so that the
    // destructor clears it after any later failure.
    Result setUp()
    {
        if (ioctl(fd(), TIOCEXCL) != 0)
            return failed("ioctl TIOCEXCL");
        m_epoll = Fd(epoll_create1(EPOLL_CLOEXEC));
        m_wake = Fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        m_modemChange = Fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        m_txTimer = Fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
        m_pollTimer = Fd(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
        if (!m_epoll.valid() || !m_wake.valid() || !m_modemChange.valid() || !m_txTimer.valid() ||
            !m_pollTimer.valid())
            return failed("eventfd/timerfd");
        // Edge-triggered: one event per arrival and none while the bytes sit
        // unread, like the receive event of the classic comm API.
        if (!watch(m_tty, Source::Tty, EPOLLIN | EPOLLET) || !watch(m_wake, Source::Wake) ||
            !watch(m_modemChange, Source::Modem) || !watch(m_txTimer, Source::TxTimer) ||
            !watch(m_pollTimer, Source::PollTimer))
            return failed("epoll_ctl");
        probeLines();
        std::uint32_t baud = 0;
        if (lineSpeed(fd(), baud))
            m_characterTime = characterTime(baud, Dcb{});
        if (m_hasModemLines)
            startModemWatcher();
        return {};
    }

    Result setupComm(std::uint32_t inQueue, std::uint32_t) override
    {
        // The kernel's queues have a fixed size; the receive size bounds what
        // is fetched ahead of reads and sets the level of the 80 % event.
        if (inQueue > 0 && !m_input.setSize(inQueue))
            return failed("receive size");
        return alive();
    }

    Result setCommState(const Dcb& dcb) override
    {
        if (!validDcb(dcb)) {
            errno = EINVAL;
            return failed("line settings", FailureHint::SettingsRefused);
        }
        termios previous{};
        std::uint32_t previousSpeed = 0;
        if (tcgetattr(fd(), &previous) != 0)
            return failed("tcgetattr");
        if (!lineSpeed(fd(), previousSpeed))
            return failed("ioctl TCGETS2");
        termios wanted = previous;
        applyFrame(wanted, dcb);
        if (Result applied = applyLineSettings(wanted, dcb.BaudRate); !applied) {
            // Back to what the device had.
            tcsetattr(fd(), TCSANOW, &previous);
            std::uint32_t restored = 0;
            setLineSpeed(fd(), previousSpeed, restored);
            return applied;
        }
        m_characterTime = characterTime(dcb.BaudRate, dcb);
        if (changesLogged())
            reportChange(m_path, "line settings " + describe(dcb));
        if (Result switched = switchLine(TIOCM_DTR, dtrOn(dcb)); !switched)
            return switched;
        return switchLine(TIOCM_RTS, rtsOn(dcb));
    }

    Result setCommTimeouts(const CommTimeouts& timeouts) override
    {
        {
            const std::lock_guard lock(m_timeoutsMutex);
            m_timeouts = timeouts;
        }
        return alive();
    }

    Result setCommMask(std::uint32_t mask) override
    {
        m_mask = mask;
        ++m_maskGeneration;
        signalEventFd(m_wake.get());
        return alive();
    }

    WaitResult waitEvent(std::uint32_t& events, Result& failure) override
    {
        events = 0;
        const std::uint64_t generation = m_maskGeneration;
        for (;;) {
            if (m_stop)
                return WaitResult::Stopped;
            if (m_maskGeneration != generation)
                return WaitResult::Stopped;
            if (const int error = m_goneError) {
                // A call found the device gone (a read of this wait, or a
                // call on another thread): the wait fails and says why.
                errno = error;
                failure = failed("epoll_wait");
                return WaitResult::Failed;
            }
            const std::uint32_t mask = m_mask;
            followModemPolling(mask);
            std::uint32_t occurred = 0;
            if (Result collected = collectEvents(occurred); !collected) {
                if (m_stop)
                    return WaitResult::Stopped;
                failure = std::move(collected);
                return WaitResult::Failed;
            }
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

    Result read(void* buffer, std::uint32_t count, std::uint32_t& got) override
    {
        got = 0;
        const std::uint64_t generation = m_rxAbort.generation();
        const ReadPlan plan = readPlan(timeouts(), count);
        const Deadline total = deadlineAfter(plan.total);
        Deadline interval = noDeadline;
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        while (got < count) {
            const std::uint64_t fetchedBefore = m_input.fetched().generation();
            const ssize_t n = m_input.take(bytes + got, count - got);
            if (n > 0) {
                got += static_cast<std::uint32_t>(n);
                if (plan.returnOnFirstBytes)
                    return {};
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
                return {};
            const WaitEnds ends{m_rxAbort, generation, &m_input.fetched(), fetchedBefore};
            switch (waitReady(fd(), POLLIN, std::min(total, interval), ends)) {
            case Readiness::Ready:
                continue;
            case Readiness::TimedOut:
                return {};
            case Readiness::Aborted:
                errno = ECANCELED;
                return failed("read");
            case Readiness::Failed:
                return failed("read");
            }
        }
        return {};
    }

    Result write(const void* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        written = 0;
        const std::uint64_t generation = m_txAbort.generation();
        const auto limit = writeLimit(timeouts(), count);
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
                return writeEnded(written, {});
            case Readiness::Aborted:
                errno = ECANCELED;
                return writeEnded(written, failed("write"));
            case Readiness::Failed:
                return writeEnded(written, failed("write"));
            }
        }
        return writeEnded(written, {});
    }

    void watchTxEmpty(bool wanted) override { m_txWatched = wanted; }

    Result clearError(CommStatus& status) override
    {
        status = {};
        int outQueue = 0;
        if (!m_input.count(status.inQueue, true))
            return failed("ioctl FIONREAD");
        if (ioctl(fd(), TIOCOUTQ, &outQueue) != 0)
            return failed("ioctl TIOCOUTQ");
        status.outQueue = static_cast<std::uint32_t>(outQueue);
        return clearErrorCounters(status.errors);
    }

    Result inputQueue(std::uint32_t& count) override
    {
        if (!m_input.count(count, false))
            return failed("ioctl FIONREAD");
        std::uint32_t errors = 0;
        return clearErrorCounters(errors);
    }

    Result modemStatus(std::uint32_t& status) override
    {
        status = 0;
        int lines = 0;
        if (ioctl(fd(), TIOCMGET, &lines) != 0)
            return failedUnlessUnsupported("ioctl TIOCMGET");
        status = modemStatusBits(lines);
        return {};
    }

    Result escape(Escape function) override
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

    Result purge(std::uint32_t flags) override
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
                             ((flags & purge::RxClear) == 0 || m_input.flush());
        return flushed ? alive() : failed("tcflush");
    }

    bool gone() const override { return m_goneError != 0; }

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

    // The failure of `call` with errno; a device that has gone is
    // remembered (by the error that showed it) so that every later wait
    // fails at once.
    Result failed(const char* call, FailureHint hint = FailureHint::None)
    {
        if (deviceGoneError(errno))
            m_goneError = errno;
        return reportFailure({call, m_path, errno, hint});
    }

    // A request that the driver does not know (a pty has no modem lines) has
    // nothing to act on, which is no failure.
    Result failedUnlessUnsupported(const char* call)
    {
        return unsupportedRequest(errno) ? Result() : failed(call);
    }

    Result alive()
    {
        int waiting = 0;
        return ioctl(fd(), FIONREAD, &waiting) == 0 ? Result() : failed("ioctl FIONREAD");
    }

    CommTimeouts timeouts()
    {
        const std::lock_guard lock(m_timeoutsMutex);
        return m_timeouts;
    }

    Result applyLineSettings(const termios& wanted, std::uint32_t baud)
    {
        // The termios2 speed goes last: the glibc call above keeps the old rate.
        std::uint32_t achieved = 0;
        termios actual{};
        if (tcsetattr(fd(), TCSANOW, &wanted) != 0)
            return failed("tcsetattr");
        if (!setLineSpeed(fd(), baud, achieved))
            return failed("ioctl TCSETS2");
        if (tcgetattr(fd(), &actual) != 0)
            return failed("tcgetattr");
        // tcsetattr succeeds when any part was taken; a pty, for one, forces
        // 8 bits without parity. A frame or rate the driver changed is refused.
        errno = EINVAL;
        if (!frameKept(wanted, actual))
            return failed("tcsetattr", FailureHint::SettingsRefused);
        if (!speedWithinTolerance(baud, achieved))
            return failed("ioctl TCSETS2", FailureHint::SettingsRefused);
        return {};
    }

    Result switchLine(int line, bool on)
    {
        if (ioctl(fd(), on ? TIOCMBIS : TIOCMBIC, &line) == 0) {
            if (changesLogged())
                reportChange(m_path, std::string(line == TIOCM_DTR ? "DTR" : "RTS") +
                                         (on ? " on" : " off"));
            return {};
        }
        return failedUnlessUnsupported(on ? "ioctl TIOCMBIS" : "ioctl TIOCMBIC");
    }

    void probeLines()
    {
        m_hasModemLines = ioctl(fd(), TIOCMGET, &m_waitModemLines) == 0;
        m_hasCounters = ioctl(fd(), TIOCGICOUNT, &m_waitBase) == 0;
        m_errorBase = m_waitBase;
    }

    void startModemWatcher()
    {
        m_modemWatcher =
            std::make_unique<InterruptibleThread>([this](const std::atomic<bool>& stopping) {
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
                        // Only logged: nobody raises it.
                        static_cast<void>(reportFailure({"ioctl TIOCMIWAIT", m_path, errno}));
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

    // One epoll_wait; fails when the device has gone or the wait failed.
    Result collectEvents(std::uint32_t& occurred)
    {
        epoll_event ready[5];
        m_input.setFetching(true);
        const int n = epoll_wait(m_epoll.get(), ready, 5, -1);
        m_input.setFetching(false);
        if (n < 0) {
            if (errno == EINTR)
                return {};
            m_goneError = errno;
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
            occurred |= counterChanges();
        return {};
    }

    // The error bits since the last look; they count from now on.
    Result clearErrorCounters(std::uint32_t& errors)
    {
        errors = 0;
        if (!m_hasCounters)
            return {};
        const std::lock_guard lock(m_errorMutex);
        serial_icounter_struct now{};
        if (ioctl(fd(), TIOCGICOUNT, &now) != 0)
            return failed("ioctl TIOCGICOUNT");
        errors = errorBits(m_errorBase, now);
        m_errorBase = now;
        return {};
    }

    // Each edge of the tty fetches what arrived (see ReceiveQueue).
    std::uint32_t receiveEvents()
    {
        std::uint32_t events = 0;
        if (m_input.arrivals(events))
            return events;
        // Only logged here: a device that has gone fails the next wait, and
        // anything else is left to the delivery to find out.
        static_cast<void>(failed("read"));
        return gone() ? 0 : ev::RxChar;
    }

    // There is no notification for an empty transmitter: after a write the
    // timer fires when the queue should have drained and looks again.
    Result writeEnded(std::uint32_t written, Result outcome)
    {
        if (written > 0 && m_txWatched) {
            m_txPending = true;
            armTxTimer();
        }
        return outcome;
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
        const std::uint32_t events = lineChangeEvents(m_waitModemLines, lines);
        m_waitModemLines = lines;
        return events;
    }

    std::uint32_t counterChanges()
    {
        serial_icounter_struct now{};
        if (!m_hasCounters || ioctl(fd(), TIOCGICOUNT, &now) != 0)
            return 0;
        const std::uint32_t events = counterEvents(m_waitBase, now);
        m_waitBase = now;
        return events;
    }

    const std::string m_path; // as opened, for what is reported
    // Destroyed in reverse: the watcher first, the tty (HUPCL drops DTR and
    // RTS, the flock goes with it) before what the opener gave to keep (the
    // lock file).
    std::shared_ptr<void> m_held;
    Fd m_tty;
    ReceiveQueue m_input;
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
    std::atomic<int> m_goneError = 0; // the errno that showed the device gone
    std::atomic<bool> m_modemPolling = false;
    std::atomic<bool> m_txPending = false;
    std::atomic<bool> m_txWatched = true;
    std::atomic<std::chrono::nanoseconds> m_characterTime = characterTime(9600, Dcb{});

    std::mutex m_timeoutsMutex;
    CommTimeouts m_timeouts;

    std::mutex m_errorMutex;
    serial_icounter_struct m_errorBase = {};

    WakeSignal m_rxAbort;
    WakeSignal m_txAbort;

    // Owned by the thread in waitEvent.
    serial_icounter_struct m_waitBase = {};
    int m_waitModemLines = 0;
    bool m_pollArmed = false;

    std::unique_ptr<InterruptibleThread> m_modemWatcher;
};

} // namespace

std::unique_ptr<Device> makeDevice(Fd tty, std::shared_ptr<void> held, const std::string& path,
                                   Result& problem)
{
    auto device = std::make_unique<LinuxDevice>(std::move(tty), std::move(held), path);
    problem = device->setUp();
    if (!problem)
        return nullptr;
    return device;
}

} // namespace serial::detail
