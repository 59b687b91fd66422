#pragma once

// Linux internals of the serial device that the tests reach directly.

#include "SerialDevice.h"

#include <chrono>
#include <optional>

namespace serial::detail {

// Opens `path` like systemOpener() does, but keeps its UUCP lock file in
// `lockDirectory` (none when empty).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenError& error);

// How a read of `count` bytes waits under the given time-outs.
struct ReadPlan
{
    bool returnAtOnce = false;      // take what is there, never wait
    bool returnOnFirstBytes = false; // wait for the first byte only, then return
    std::optional<std::chrono::milliseconds> total;    // from the start of the read
    std::optional<std::chrono::milliseconds> interval; // between two bytes
};
ReadPlan readPlan(const CommTimeouts& timeouts, std::uint32_t count);

// The write deadline of `count` bytes from now; none when both write values are 0.
std::optional<std::chrono::milliseconds> writeLimit(const CommTimeouts& timeouts,
                                                    std::uint32_t count);

} // namespace serial::detail
