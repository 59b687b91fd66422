// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the operating system said when one of its calls failed, and the
// changes a device goes through. A failure is recorded where the call
// failed and carried back, as the call's Result, to the caller that raises
// the error for it; the platform files also tell failures and changes to the
// diagnostics that the component installs (its log). Any thread.

#include <optional>
#include <string>
#include <utility>

namespace serial {

// What the system's own words leave out.
enum class FailureHint {
    None,
    NotInDialoutGroup, // EACCES on a device of group dialout, as Debian has them
    NotASerialPort,    // the path opened, but is no terminal
    SettingsRefused,   // the driver did not take the line settings as asked
    NotOurLink,        // a virtual port's link would replace something the program did not make
};

struct SystemError
{
    std::string call; // "open", "tcsetattr", "ioctl TIOCMBIS", ...
    std::string path; // what it was made on
    int code = 0;     // the system's error number (errno on POSIX)
    FailureHint hint = FailureHint::None;
};

// What one call on the system came to: success, or a failure with what the
// system said about it. Tested as a bool: true for success.
class [[nodiscard]] Result
{
public:
    // Success.
    Result() = default;
    // A failure, and why.
    explicit Result(SystemError reason) : m_failed(true), m_reason(std::move(reason)) {}
    // A failure with no reason to give (a stand-in for a device may have none).
    static Result failedWithoutReason()
    {
        Result result;
        result.m_failed = true;
        return result;
    }

    explicit operator bool() const { return !m_failed; }
    // Why the call failed; none after a success.
    const std::optional<SystemError>& reason() const { return m_reason; }

private:
    bool m_failed = false;
    std::optional<SystemError> m_reason;
};

// Tells the diagnostics that a call failed, and gives the failure to return.
Result reportFailure(SystemError error);

// The system's own words for its error number `code`, in its local 8-bit
// encoding (strerror on POSIX). Each operating system's files define it.
std::string describeSystemError(int code);

// True when device changes are logged; reportChange is only worth calling then.
bool changesLogged();
// Logs a change of the device at `path` (opened, closed, new line settings).
void reportChange(const std::string& path, const std::string& change);

// Where failures and changes are told. Plain functions, so that an installed
// set stays valid to the end of the process.
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
