// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Linux internals of the serial device that the tests reach directly, with
// the pure mappings they test (SerialMapping_linux.h).

#include "Fd_linux.h"
#include "SerialMapping_linux.h"
#include "platform/SerialDevice.h"

#include <memory>
#include <string>

namespace serial::detail {

// Opens `path` like systemOpener() does, but keeps its UUCP lock file in
// `lockDirectory` (none when empty).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenFailure& failure);

// The device on a tty that an opener has opened and checked. It takes over
// the tty and `held`, what it keeps until it closes and lets go of after the
// tty: a port's lock file, the far end and the link of a virtual port. Null,
// with what failed in `problem`, when its event wait cannot be set up.
std::unique_ptr<Device> makeDevice(Fd tty, std::shared_ptr<void> held, const std::string& path,
                                   Result& problem);

// The last step of every opening: the device on `tty` (makeDevice), or null
// with why in `failure`.
std::unique_ptr<Device> finishOpening(Fd tty, std::shared_ptr<void> held, const std::string& path,
                                      OpenFailure& failure);

// A failed opening: the component's reading of the call's error, and what
// the system said (which the diagnostics are told).
OpenFailure openFailure(SystemError error);

} // namespace serial::detail
