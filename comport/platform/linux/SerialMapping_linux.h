// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Pure mappings between the device's records and what Linux takes and gives:
// termios frame bits, the speed a driver made, the time-out plan of a read or
// write, modem-line bits and the deltas of the line counters. No state and no
// system calls; each is tested on its own. (Never included by
// SerialSpeed_linux.cpp, whose kernel header clashes with <termios.h>.)

#include "platform/SerialDevice.h"

#include <chrono>
#include <cstdint>
#include <linux/serial.h>
#include <optional>
#include <string>
#include <termios.h>

namespace serial::detail {

// True when the device can be given `dcb`: a rate, 5 to 8 data bits, a known
// parity and stop-bit code (1.5 stop bits only with 5 data bits, 2 never with
// 5, as on the 8250 family), DTR and RTS either off or on, and none of the
// handshakes and character rules this layer does not provide.
bool validDcb(const Dcb& dcb);

// Makes `t` raw eight-bit transfer with the frame of `dcb`: data bits,
// parity (mark and space through CMSPAR), stop bits (CSTOPB with 5 data bits
// is 1.5 stop bits on the 8250 family), no flow control, modem control lines
// ignored for input (CLOCAL) and dropped on the last close (HUPCL), parity
// checked on input only with fParity. The speed is left alone. `dcb` must be
// valid.
void applyFrame(termios& t, const Dcb& dcb);

// True when the driver kept the frame (data bits, parity, stop bits) that
// `wanted` asked for; a pty, for one, forces 8 bits without parity.
bool frameKept(const termios& wanted, const termios& actual);

// Whether `dcb` has DTR (RTS) on while open.
bool dtrOn(const Dcb& dcb);
bool rtsOn(const Dcb& dcb);

// "9600 bit/s 8N1": the rate and the frame as terminal programs write them.
std::string describe(const Dcb& dcb);

// The time one character of the frame of `dcb` takes on the line at `baud`.
std::chrono::nanoseconds characterTime(std::uint32_t baud, const Dcb& dcb);

// What a pty, or a driver without modem lines or counters, answers a request
// it does not know.
bool unsupportedRequest(int error);

// What every call gets once the device has been hung up or unplugged.
bool deviceGoneError(int error);

// The component's reading of an errno that made an opening fail.
OpenError openErrorFromErrno(int error);

// True when the rate a driver made is within 3 % of the one asked for.
bool speedWithinTolerance(std::uint32_t wanted, std::uint32_t achieved);

// How a read of `count` bytes waits under the given time-outs.
struct ReadPlan
{
    bool returnAtOnce = false;                         // take what is there, never wait
    bool returnOnFirstBytes = false;                   // wait for the first byte only, then return
    std::optional<std::chrono::milliseconds> total;    // from the start of the read
    std::optional<std::chrono::milliseconds> interval; // between two bytes
};
ReadPlan readPlan(const CommTimeouts& timeouts, std::uint32_t count);

// The write deadline of `count` bytes from now; none when both write values are 0.
std::optional<std::chrono::milliseconds> writeLimit(const CommTimeouts& timeouts,
                                                    std::uint32_t count);

// ms:: bits of the TIOCM_* line bits of TIOCMGET.
std::uint32_t modemStatusBits(int lines);

// ev:: bits for the TIOCM_* line bits that differ between two looks.
std::uint32_t lineChangeEvents(int before, int after);

// ev:: bits (line changes, errors, breaks) for two TIOCGICOUNT snapshots.
std::uint32_t counterEvents(const serial_icounter_struct& was, const serial_icounter_struct& now);

// ce:: bits for two TIOCGICOUNT snapshots.
std::uint32_t errorBits(const serial_icounter_struct& was, const serial_icounter_struct& now);

} // namespace serial::detail
