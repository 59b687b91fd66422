// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Linux internals of the serial device that the tests reach directly, with
// the pure mappings they test (SerialMapping_linux.h).

#include "Fd_linux.h"
#include "SerialLock_linux.h"
#include "SerialMapping_linux.h"
#include "platform/SerialDevice.h"

#include <memory>
#include <string>

namespace serial::detail {

// Opens `path` like systemOpener() does, but keeps its UUCP lock file in
// `lockDirectory` (none when empty).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenFailure& failure);

// The device on a tty that openDevice has opened, checked and locked; it
// takes over both. Null, with what failed in `problem`, when its event wait
// cannot be set up.
std::unique_ptr<Device> makeDevice(Fd tty, UucpLock lock, const std::string& path, Result& problem);

} // namespace serial::detail
