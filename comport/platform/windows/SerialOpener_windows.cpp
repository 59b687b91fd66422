// SPDX-License-Identifier: GPL-3.0-or-later

// Opening a serial device on Windows. A port opened without sharing is the
// system's own lock: a second open, by this or another program, is refused
// with ERROR_ACCESS_DENIED, so no lock files are needed.

#include "SerialDevice_windows.h"

#include "SerialMapping_windows.h"
#include "platform/SystemError.h"

#include <string_view>

namespace serial {

namespace {

// The device namespace, in which COM10 and above can be opened too.
constexpr std::string_view deviceNamespace = "\\\\.\\";

class WindowsOpener final : public Opener
{
public:
    std::unique_ptr<Device> open(const std::string& path, OpenFailure& failure) override
    {
        failure = {};
        const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            failure = {detail::openErrorFromCode(code),
                       reportFailure({"CreateFileA", path, static_cast<int>(code)}).reason()};
            return nullptr;
        }
        Result problem;
        auto device = detail::makeDevice(handle, path, problem);
        if (!device) {
            failure = {detail::openErrorFromCode(static_cast<DWORD>(problem.reason()->code)),
                       problem.reason()};
            return nullptr;
        }
        if (changesLogged())
            reportChange(path, "opened");
        return device;
    }
};

} // namespace

Opener& systemOpener()
{
    static WindowsOpener opener;
    return opener;
}

std::string devicePath(const std::string& portName)
{
    return portName.starts_with(deviceNamespace) ? portName
                                                 : std::string(deviceNamespace) + portName;
}

// Windows sets no limit on the handles a thread's event dispatcher takes
// that a process could reach.
Result descriptorAvailable(const std::string&)
{
    return {};
}

} // namespace serial
