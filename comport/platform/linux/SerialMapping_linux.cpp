// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialMapping_linux.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>

namespace serial::detail {

namespace {

constexpr std::uint32_t maxDword = 0xFFFFFFFFu;
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

constexpr tcflag_t frameFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

std::uint32_t lineControl(const Dcb& dcb, unsigned shift)
{
    return (dcb.flags >> shift) & dcbFlag::lineControlMask;
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

std::chrono::milliseconds boundedMs(std::uint64_t ms)
{
    return std::chrono::milliseconds(std::min(ms, longestWaitMs));
}

} // namespace

bool validDcb(const Dcb& dcb)
{
    const auto stop = static_cast<StopBits>(dcb.StopBits);
    return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= static_cast<std::uint8_t>(Parity::Space) &&
           dcb.StopBits <= static_cast<std::uint8_t>(StopBits::Two) &&
           // The 8250 family: 1.5 stop bits only with 5 data bits, 2 never with 5.
           (stop != StopBits::OneAndHalf || dcb.ByteSize == 5) &&
           (stop != StopBits::Two || dcb.ByteSize != 5) &&
           (dcb.flags & dcbFlag::unsupported) == 0 &&
           lineControl(dcb, dcbFlag::dtrShift) <= dcbFlag::lineEnabled &&
           lineControl(dcb, dcbFlag::rtsShift) <= dcbFlag::lineEnabled;
}

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

bool frameKept(const termios& wanted, const termios& actual)
{
    return (actual.c_cflag & frameFlags) == (wanted.c_cflag & frameFlags);
}

bool dtrOn(const Dcb& dcb)
{
    return lineControl(dcb, dcbFlag::dtrShift) == dcbFlag::lineEnabled;
}

bool rtsOn(const Dcb& dcb)
{
    return lineControl(dcb, dcbFlag::rtsShift) == dcbFlag::lineEnabled;
}

std::string describe(const Dcb& dcb)
{
    constexpr const char* parities[] = {"N", "O", "E", "M", "S"};
    constexpr const char* stopBits[] = {"1", "1.5", "2"};
    return std::to_string(dcb.BaudRate) + " bit/s " + std::to_string(dcb.ByteSize) +
           parities[dcb.Parity] + stopBits[dcb.StopBits];
}

std::chrono::nanoseconds characterTime(std::uint32_t baud, const Dcb& dcb)
{
    const unsigned bits =
        1 + dcb.ByteSize + (dcb.Parity != 0 ? 1 : 0) + (dcb.StopBits != 0 ? 2 : 1);
    return std::chrono::nanoseconds(std::uint64_t(bits) * 1'000'000'000 / std::max(baud, 1u));
}

bool unsupportedRequest(int error)
{
    return error == ENOTTY || error == EINVAL;
}

bool deviceGoneError(int error)
{
    return error == EIO || error == ENODEV || error == ENXIO;
}

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

bool speedWithinTolerance(std::uint32_t wanted, std::uint32_t achieved)
{
    const std::uint64_t difference = wanted > achieved ? wanted - achieved : achieved - wanted;
    return difference * 100 <= std::uint64_t(wanted) * 3;
}

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

std::optional<std::chrono::milliseconds> writeLimit(const CommTimeouts& timeouts,
                                                    std::uint32_t count)
{
    const std::uint32_t multiplier = timeouts.WriteTotalTimeoutMultiplier;
    const std::uint32_t constant = timeouts.WriteTotalTimeoutConstant;
    if (multiplier == 0 && constant == 0)
        return std::nullopt;
    return boundedMs(std::uint64_t(multiplier) * count + constant);
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

} // namespace serial::detail
