// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the operating system said when one of its calls failed, and the
// changes a device goes through. The platform files report both here. The
// last failure of each thread is kept until the serial component takes it
// as the reason behind the error it raises; everything else goes to the
// diagnostics that the component installs (its log), or nowhere. Any thread.

#include <optional>
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
    int code = 0;     // the system's error number (errno on POSIX)
    FailureHint hint = FailureHint::None;
};

// Reports a failed call on the thread that made it. Each report replaces the
// one before on that thread.
void reportFailure(SystemError error);
// Forgets what was reported on this thread so far. Called before a call whose
// failure is raised, so that the error carries the reason of that call and
// never one left by an earlier call whose failure nobody raised.
void forgetFailure();
// The last failure reported on this thread; none when none is left: each
// failure is given out once.
std::optional<SystemError> takeFailure();

// The system's own words for its error number `code`, in its local 8-bit
// encoding (strerror on POSIX). Each operating system's files define it.
std::string describeSystemError(int code);

// True when device changes are logged; reportChange is only worth calling then.
bool changesLogged();
// Logs a change of the device at `path` (opened, closed, new line settings).
void reportChange(const std::string& path, const std::string& change);

// Where failures and changes are told besides the record above. Plain
// functions, so that an installed set stays valid to the end of the process.
struct Diagnostics
{
    void (*failed)(const SystemError& error) = nullptr;
    bool (*changesWanted)() = nullptr;
    void (*changed)(const std::string& path, const std::string& change) = nullptr;
};
// Installs `diagnostics`, which must live to the end of the process, for
// every thread; none are installed at first.
void installDiagnostics(const Diagnostics* diagnostics);

} // namespace serial
