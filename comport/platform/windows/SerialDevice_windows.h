// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Windows internals of the serial device: the opener hands the handle that
// CreateFileA gave over to the device here.

#include "platform/SerialDevice.h"

#include <memory>
#include <string>
#include <windows.h>

namespace serial::detail {

// The device on `handle`, a port opened for overlapped I/O; it takes the
// handle over (and closes it on failure too). Null, with what failed in
// `problem`, when its events cannot be made.
std::unique_ptr<Device> makeDevice(HANDLE handle, const std::string& path, Result& problem);

} // namespace serial::detail
