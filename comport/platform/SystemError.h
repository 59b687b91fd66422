// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the operating system said when one of its calls failed, and the
// changes a device goes through. The platform files report both here; the
// serial component defines these functions (ComDiagnostics.cpp), so that the
// platform files stay free of Qt. Any thread.

#include <string>

namespace serial {

// What the system's own words leave out.
enum class FailureHint {
    None,
    NotInDialoutGroup, // EACCES on a device of group dialout, as Debian has them
    NotASerialPort,    // the path opened, but is no terminal
    SettingsRefused,   // the driver did not take the line settings as asked
};

struct SystemError
{
    std::string call; // "open", "tcsetattr", "ioctl TIOCMBIS", ...
    std::string path; // what it was made on
    int code = 0;     // errno
    FailureHint hint = FailureHint::None;
};

// Reports a failed call on the thread that made it. Each report replaces the
// one before on that thread.
void reportFailure(SystemError error);

// True when device changes are logged; reportChange is only worth calling then.
bool changesLogged();
// Logs a change of the device at `path` (opened, closed, new line settings).
void reportChange(const std::string& path, const std::string& change);

} // namespace serial
