#pragma once

// Linux internals of the serial device that the tests reach directly.

#include "SerialDevice.h"

#include <chrono>
#include <linux/serial.h>
#include <optional>

namespace serial::detail {

// Opens `path` like systemOpener() does, but keeps its UUCP lock file in
// `lockDirectory` (none when empty).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenError& error);

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

// True when the rate a driver made is within 3 % of the one asked for.
bool speedWithinTolerance(std::uint32_t wanted, std::uint32_t achieved);

// ms:: bits of the TIOCM_* line bits of TIOCMGET.
std::uint32_t modemStatusBits(int lines);

// ev:: bits for the TIOCM_* line bits that differ between two looks.
std::uint32_t lineChangeEvents(int before, int after);

// ev:: bits (line changes, errors, breaks) for two TIOCGICOUNT snapshots.
std::uint32_t counterEvents(const serial_icounter_struct& was, const serial_icounter_struct& now);

// ce:: bits for two TIOCGICOUNT snapshots.
std::uint32_t errorBits(const serial_icounter_struct& was, const serial_icounter_struct& now);

} // namespace serial::detail
