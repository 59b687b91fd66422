// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The operating-system side of the serial port component. Shaped like the
// calls the component makes (open, configure, time-outs, read, write, wait
// for events, cancel, modem status, escape, purge, clear error), so that each
// operating system supplies one file behind it. No Qt and no OS types here.

#include "platform/SystemError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace serial {

// Line settings as the component builds them (a device control block).
// Flag bits of `flags`, lowest first: fBinary 0x0001, fParity 0x0002,
// fOutxCtsFlow 0x0004, fOutxDsrFlow 0x0008, fDtrControl bits 4-5 (1 = enable),
// fDsrSensitivity 0x0040, fTXContinueOnXoff 0x0080, fOutX 0x0100, fInX 0x0200,
// fErrorChar 0x0400, fNull 0x0800, fRtsControl bits 12-13 (1 = enable),
// fAbortOnError 0x4000.
struct Dcb
{
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t flags = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8; // 5..8
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    bool operator==(const Dcb&) const = default;
};

// Time-outs in milliseconds; 0xFFFFFFFF is "MAXDWORD".
struct CommTimeouts
{
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const CommTimeouts&) const = default;
};

// Event-mask bits of the wait (the values of the classic comm API).
namespace ev {
inline constexpr std::uint32_t RxChar = 0x0001;
inline constexpr std::uint32_t TxEmpty = 0x0004;
inline constexpr std::uint32_t Cts = 0x0008;
inline constexpr std::uint32_t Dsr = 0x0010;
inline constexpr std::uint32_t Rlsd = 0x0020;
inline constexpr std::uint32_t Break = 0x0040;
inline constexpr std::uint32_t Err = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
inline constexpr std::uint32_t Rx80Full = 0x0400;
} // namespace ev

// Error bits reported by clearError.
namespace ce {
inline constexpr std::uint32_t RxOver = 0x0001;
inline constexpr std::uint32_t Overrun = 0x0002;
inline constexpr std::uint32_t RxParity = 0x0004;
inline constexpr std::uint32_t Frame = 0x0008;
inline constexpr std::uint32_t Break = 0x0010;
inline constexpr std::uint32_t TxFull = 0x0100;
inline constexpr std::uint32_t IOE = 0x0400;
inline constexpr std::uint32_t Mode = 0x8000;
} // namespace ce

// Modem status bits reported by modemStatus.
namespace ms {
inline constexpr std::uint32_t CtsOn = 0x0010;
inline constexpr std::uint32_t DsrOn = 0x0020;
inline constexpr std::uint32_t RingOn = 0x0040;
inline constexpr std::uint32_t RlsdOn = 0x0080;
} // namespace ms

// Purge flags.
namespace purge {
inline constexpr std::uint32_t TxAbort = 0x0001;
inline constexpr std::uint32_t RxAbort = 0x0002;
inline constexpr std::uint32_t TxClear = 0x0004;
inline constexpr std::uint32_t RxClear = 0x0008;
} // namespace purge

enum class Escape { SetRts = 3, ClrRts = 4, SetDtr = 5, ClrDtr = 6 };

struct CommStatus
{
    std::uint32_t errors = 0;   // ce:: bits since the last clearError
    std::uint32_t inQueue = 0;  // bytes waiting to be read
    std::uint32_t outQueue = 0; // bytes not yet sent
};

// Why an open failed. NotFound and AccessDenied map to the component's two
// opening messages; Other leaves the port without a device, as the component
// expects of an unexplained failure.
enum class OpenError { None, NotFound, AccessDenied, Other };

// A failed open: the component's reading of it, and what the system said.
struct OpenFailure
{
    OpenError error = OpenError::None;
    std::optional<SystemError> reason;
};

enum class WaitResult {
    Event,   // `events` holds the mask bits that occurred
    Stopped, // requestStop() was called, or the mask was changed while waiting
    Failed,  // the device is gone (hang-up) or the wait could not be made
};

// One open serial device. Thread contract: one thread may sit in waitEvent
// while any other thread calls the remaining operations. Every call fails
// (or gives Failed) when the device has gone; a failed call gives what the
// system said about it.
class Device
{
public:
    virtual ~Device() = default;

    virtual Result setupComm(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual Result setCommState(const Dcb& dcb) = 0;
    virtual Result setCommTimeouts(const CommTimeouts& timeouts) = 0;

    // Sets the events that waitEvent reports; wakes a pending wait.
    virtual Result setCommMask(std::uint32_t mask) = 0;
    // Blocks until an event of the mask occurs, a stop is requested, or the
    // device fails; `failure` then says why.
    virtual WaitResult waitEvent(std::uint32_t& events, Result& failure) = 0;
    // Ends the current and every later waitEvent with Stopped. Callable from any thread.
    virtual void requestStop() = 0;

    // Reads what has arrived, bounded by the read time-outs (with the
    // defaults: at once, possibly 0 bytes).
    virtual Result read(void* buffer, std::uint32_t count, std::uint32_t& got) = 0;
    // Writes, bounded by the write time-outs; on time-out succeeds with fewer bytes.
    virtual Result write(const void* buffer, std::uint32_t count, std::uint32_t& written) = 0;

    // Whether a write arms the transmit-empty event (a timer per write, for
    // a handler that waits for it); on until told otherwise.
    virtual void watchTxEmpty(bool wanted) = 0;

    virtual Result clearError(CommStatus& status) = 0;
    // The receive-queue count alone, clearing the error state as clearError
    // does; cheaper where the system can fetch the bytes in the same call.
    virtual Result inputQueue(std::uint32_t& count) = 0;
    virtual Result modemStatus(std::uint32_t& status) = 0;
    virtual Result escape(Escape function) = 0;
    virtual Result purge(std::uint32_t flags) = 0;

    // True once a call has found the device gone (unplugged, hung up); every
    // later call fails. Any thread.
    virtual bool gone() const = 0;

    // A number that identifies the open device (a file descriptor on POSIX).
    virtual std::intptr_t nativeHandle() const = 0;
};

// Opens devices. The component uses the operating system's opener unless a
// test gives it another one.
class Opener
{
public:
    virtual ~Opener() = default;
    // `path` is the full device path. Returns null and fills `failure` on failure.
    virtual std::unique_ptr<Device> open(const std::string& path, OpenFailure& failure) = 0;
};

// The opener of the operating system the program was built for.
Opener& systemOpener();

// The device path for a port name as the operating system lists it
// (on Linux "/dev/" + name, or the name itself when it starts with "/").
std::string devicePath(const std::string& portName);

// Whether the process may open one more descriptor: POSIX systems limit how
// many it holds at once (ulimit -n). Each thread that Qt starts takes one for
// its event dispatcher, and Qt ends the process when it cannot have it. When
// none is free, fails with the reason, made for the device at `path`.
Result descriptorAvailable(const std::string& path);

} // namespace serial
