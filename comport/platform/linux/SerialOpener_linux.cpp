// SPDX-License-Identifier: GPL-3.0-or-later

// Opening a serial device on Linux: the checks and locks before the tty
// becomes a Device, and the one place where errno becomes the reason an open
// failed.

#include "SerialDevice_linux.h"
#include "SerialLock_linux.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <vector>

namespace serial {

namespace {

// Debian gives serial devices to the group dialout; a user outside it may
// not open them.
bool ownedByDialout(const std::string& path)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
        return false;
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (std::size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    return found && std::strcmp(found->gr_name, "dialout") == 0;
}

FailureHint openFailureHint(const std::string& path, int error)
{
    return error == EACCES && ownedByDialout(path) ? FailureHint::NotInDialoutGroup
                                                   : FailureHint::None;
}

class LinuxOpener final : public Opener
{
public:
    std::unique_ptr<Device> open(const std::string& path, OpenFailure& failure) override
    {
        return detail::openDevice(path, detail::defaultLockDirectory, failure);
    }
};

} // namespace

namespace detail {

// Covers the three conventions terminal programs use to keep off a busy port:
// a UUCP lock file, flock() and TIOCEXCL (which root bypasses; flock it does
// not; the device sets it up).
std::unique_ptr<Device> openDevice(const std::string& path, const std::string& lockDirectory,
                                   OpenFailure& failure)
{
    failure = {};
    const auto fail = [&](const char* call, const std::string& on, int code,
                          FailureHint hint = FailureHint::None) -> std::unique_ptr<Device> {
        failure = openFailure({call, on, code, hint});
        return nullptr;
    };
    // The lock file comes first: opening a serial port raises DTR and RTS,
    // which must not happen under a program that holds it.
    auto lock = std::make_shared<UucpLock>();
    const std::string lockFile = lockFilePath(lockDirectory, path);
    if (!lock->acquire(lockFile))
        return fail("lock", lockFile, EBUSY);
    // O_NOCTTY: the port must never become our controlling terminal, or a
    // hang-up would send us SIGHUP.
    Fd tty(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!tty.valid()) {
        const int code = errno;
        return fail("open", path, code, openFailureHint(path, code));
    }
    termios attributes{};
    if (tcgetattr(tty.get(), &attributes) != 0)
        return fail("tcgetattr", path, errno,
                    errno == ENOTTY ? FailureHint::NotASerialPort : FailureHint::None);
    if (flock(tty.get(), LOCK_EX | LOCK_NB) != 0)
        return fail("flock", path, errno);
    return finishOpening(std::move(tty), std::move(lock), path, failure);
}

std::unique_ptr<Device> finishOpening(Fd tty, std::shared_ptr<void> held, const std::string& path,
                                      OpenFailure& failure)
{
    Result problem;
    auto device = makeDevice(std::move(tty), std::move(held), path, problem);
    if (!device) {
        failure = {openErrorFromErrno(problem.reason()->code), problem.reason()};
        return nullptr;
    }
    if (changesLogged())
        reportChange(path, "opened");
    return device;
}

OpenFailure openFailure(SystemError error)
{
    const OpenError reading = openErrorFromErrno(error.code);
    return {reading, reportFailure(std::move(error)).reason()};
}

} // namespace detail

Opener& systemOpener()
{
    static LinuxOpener opener;
    return opener;
}

std::string devicePath(const std::string& portName)
{
    return portName.starts_with('/') ? portName : "/dev/" + portName;
}

// An eventfd, as GLib's and Qt's event dispatchers take for their wake-up.
Result descriptorAvailable(const std::string& path)
{
    const detail::Fd probe(eventfd(0, EFD_CLOEXEC));
    if (!probe.valid())
        return reportFailure({"eventfd", path, errno});
    return {};
}

} // namespace serial
