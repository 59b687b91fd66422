// SPDX-License-Identifier: GPL-3.0-or-later

// The Windows backend's pure parts: the line settings as SetCommState gets
// them (the flags word in the DCB's bit-fields), the time-outs, the reasons
// an open fails, the device path of a port name and the system's wording of
// an error code.

#include "SerialMapping_windows.h"
#include "SystemErrorText_windows.h"
#include "WinTest.h"

#include <cstddef>
#include <cstring>

using namespace serial;
using serial::detail::deviceGoneError;
using serial::detail::openErrorFromCode;
using serial::detail::winDcb;
using serial::detail::winTimeouts;

namespace {

// The packed flags word as SetCommState reads it: the 32 bits after BaudRate.
std::uint32_t packedFlags(const DCB& block)
{
    static_assert(sizeof(DCB) == 28, "the DCB of the classic comm API");
    std::uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&block) + 8, sizeof word);
    return word;
}

void dcbFlagsWord()
{
    static const struct
    {
        const char* name;
        std::uint32_t flags;
        std::uint32_t packed;
    } rows[] = {
        {"binary, DTR and RTS enabled, no parity", 0x1011, 0x1011},
        {"the same with parity checked", 0x1013, 0x1013},
        {"DTR handshake, RTS toggle", 0x3021, 0x3021},
        {"every flag and both line fields full", 0x7fff, 0x7fff},
        {"bits above fAbortOnError are no flags", 0xffff8000, 0},
        {"each single flag in its own place", 0x0004 | 0x0100 | 0x0800, 0x0904},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        Dcb dcb;
        dcb.flags = row.flags;
        const DCB block = winDcb(dcb);
        CHECK_EQ(packedFlags(block), row.packed);
    }
}

void dcbFields()
{
    Dcb dcb;
    dcb.BaudRate = 115200;
    dcb.XonLim = 0x1234;
    dcb.XoffLim = 0x5678;
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    dcb.StopBits = 2;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1a;
    dcb.EvtChar = '\n';
    const DCB block = winDcb(dcb);
    CHECK_EQ(block.DCBlength, DWORD(28));
    CHECK_EQ(block.BaudRate, DWORD(115200));
    CHECK_EQ(block.XonLim, WORD(0x1234));
    CHECK_EQ(block.XoffLim, WORD(0x5678));
    CHECK_EQ(int(block.ByteSize), 7);
    CHECK_EQ(int(block.Parity), EVENPARITY);
    CHECK_EQ(int(block.StopBits), TWOSTOPBITS);
    CHECK_EQ(int(block.XonChar), 0x11);
    CHECK_EQ(int(block.XoffChar), 0x13);
    CHECK_EQ(block.ErrorChar, '?');
    CHECK_EQ(int(block.EofChar), 0x1a);
    CHECK_EQ(block.EvtChar, '\n');
    // What the component's default line settings mean to Windows.
    dcb.flags = 0x1011;
    const DCB line = winDcb(dcb);
    CHECK_EQ(DWORD(line.fBinary), DWORD(1));
    CHECK_EQ(DWORD(line.fParity), DWORD(0));
    CHECK_EQ(DWORD(line.fDtrControl), DWORD(DTR_CONTROL_ENABLE));
    CHECK_EQ(DWORD(line.fRtsControl), DWORD(RTS_CONTROL_ENABLE));
    CHECK_EQ(DWORD(line.fOutxCtsFlow), DWORD(0));
    CHECK_EQ(DWORD(line.fOutX), DWORD(0));
}

void timeouts()
{
    static const struct
    {
        const char* name;
        CommTimeouts timeouts;
    } rows[] = {
        {"the component's defaults: reads return at once", {0xffffffff, 0, 0, 100, 1000}},
        {"every field its own value", {1, 2, 3, 4, 5}},
        {"all zero: no time-outs", {0, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        const COMMTIMEOUTS block = winTimeouts(row.timeouts);
        CHECK_EQ(block.ReadIntervalTimeout, DWORD(row.timeouts.ReadIntervalTimeout));
        CHECK_EQ(block.ReadTotalTimeoutMultiplier, DWORD(row.timeouts.ReadTotalTimeoutMultiplier));
        CHECK_EQ(block.ReadTotalTimeoutConstant, DWORD(row.timeouts.ReadTotalTimeoutConstant));
        CHECK_EQ(block.WriteTotalTimeoutMultiplier,
                 DWORD(row.timeouts.WriteTotalTimeoutMultiplier));
        CHECK_EQ(block.WriteTotalTimeoutConstant, DWORD(row.timeouts.WriteTotalTimeoutConstant));
    }
}

void openErrors()
{
    static const struct
    {
        const char* name;
        DWORD code;
        OpenError error;
    } rows[] = {
        {"no such port", ERROR_FILE_NOT_FOUND, OpenError::NotFound},
        {"held by another program", ERROR_ACCESS_DENIED, OpenError::AccessDenied},
        {"a path that does not exist is no missing port", ERROR_PATH_NOT_FOUND, OpenError::Other},
        {"a sharing violation", ERROR_SHARING_VIOLATION, OpenError::Other},
        {"a bad name", ERROR_INVALID_NAME, OpenError::Other},
        {"success is no reason", ERROR_SUCCESS, OpenError::Other},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        CHECK_EQ(openErrorFromCode(row.code), row.error);
    }
}

void goneErrors()
{
    static const struct
    {
        const char* name;
        DWORD code;
        bool gone;
    } rows[] = {
        {"a hung-up line is not ready", ERROR_NOT_READY, true},
        {"a pulled adapter's driver refuses the handle", ERROR_ACCESS_DENIED, true},
        {"an adapter's driver no longer knows the call", ERROR_BAD_COMMAND, true},
        {"a device reported removed", ERROR_DEVICE_REMOVED, true},
        {"a wait ended by a mask change", ERROR_OPERATION_ABORTED, false},
        {"a time-out", ERROR_SEM_TIMEOUT, false},
        {"a bad parameter", ERROR_INVALID_PARAMETER, false},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        CHECK_EQ(deviceGoneError(row.code), row.gone);
    }
}

void devicePaths()
{
    static const struct
    {
        const char* name;
        const char* port;
        const char* path;
    } rows[] = {
        {"a low port", "COM2", "\\\\.\\COM2"},
        {"COM10 and above need the device namespace", "COM10", "\\\\.\\COM10"},
        {"a device path stays as it is", "\\\\.\\COM7", "\\\\.\\COM7"},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        CHECK_EQ(devicePath(row.port), std::string(row.path));
    }
}

void systemErrorTexts()
{
    static const struct
    {
        const char* name;
        int code;
    } rows[] = {
        {"file not found", ERROR_FILE_NOT_FOUND},
        {"access denied", ERROR_ACCESS_DENIED},
        {"device not ready", ERROR_NOT_READY},
    };
    for (const auto& row : rows) {
        const wintest::Row named(row.name);
        const std::string text = describeSystemError(row.code);
        CHECK(!text.empty());
        CHECK(text.find_first_of("\r\n") == std::string::npos);
        CHECK(text.back() != '.' && text.back() != ' ');
        CHECK(text != "error " + std::to_string(row.code));
    }
    CHECK_EQ(describeSystemError(0x2badf00d), std::string("error 732819469"));
}

} // namespace

int main(int argc, char** argv)
{
    return wintest::runCases(
        {
            {"dcbFlagsWord", dcbFlagsWord},
            {"dcbFields", dcbFields},
            {"timeouts", timeouts},
            {"openErrors", openErrors},
            {"goneErrors", goneErrors},
            {"devicePaths", devicePaths},
            {"systemErrorTexts", systemErrorTexts},
        },
        argc, argv);
}
