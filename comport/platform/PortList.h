// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The operating system's list of serial ports. No Qt here.

#include "platform/SystemError.h"

#include <string>
#include <vector>

namespace serial {

// Fills `names` with the port names found under `root` (on Linux the sysfs
// tty class directory; empty: the system's own), in no particular order.
// Fails, leaving `names` untouched, when the list cannot be read.
Result listPortNames(const std::string& root, std::vector<std::string>& names);

} // namespace serial
