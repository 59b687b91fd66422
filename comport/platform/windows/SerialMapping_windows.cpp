// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialMapping_windows.h"

namespace serial::detail {

namespace {

// The bits of Dcb::flags (see SerialDevice.h), lowest first.
constexpr std::uint32_t binaryFlag = 0x0001;
constexpr std::uint32_t parityFlag = 0x0002;
constexpr std::uint32_t outxCtsFlowFlag = 0x0004;
constexpr std::uint32_t outxDsrFlowFlag = 0x0008;
constexpr int dtrControlShift = 4;
constexpr std::uint32_t dsrSensitivityFlag = 0x0040;
constexpr std::uint32_t txContinueOnXoffFlag = 0x0080;
constexpr std::uint32_t outXFlag = 0x0100;
constexpr std::uint32_t inXFlag = 0x0200;
constexpr std::uint32_t errorCharFlag = 0x0400;
constexpr std::uint32_t nullFlag = 0x0800;
constexpr int rtsControlShift = 12;
constexpr std::uint32_t abortOnErrorFlag = 0x4000;

DWORD flagBit(const Dcb& dcb, std::uint32_t flag)
{
    return (dcb.flags & flag) != 0 ? 1 : 0;
}

DWORD twoBitField(const Dcb& dcb, int shift)
{
    return (dcb.flags >> shift) & 0x3;
}

} // namespace

DCB winDcb(const Dcb& dcb)
{
    DCB out{};
    out.DCBlength = sizeof out;
    out.BaudRate = dcb.BaudRate;
    out.fBinary = flagBit(dcb, binaryFlag);
    out.fParity = flagBit(dcb, parityFlag);
    out.fOutxCtsFlow = flagBit(dcb, outxCtsFlowFlag);
    out.fOutxDsrFlow = flagBit(dcb, outxDsrFlowFlag);
    out.fDtrControl = twoBitField(dcb, dtrControlShift);
    out.fDsrSensitivity = flagBit(dcb, dsrSensitivityFlag);
    out.fTXContinueOnXoff = flagBit(dcb, txContinueOnXoffFlag);
    out.fOutX = flagBit(dcb, outXFlag);
    out.fInX = flagBit(dcb, inXFlag);
    out.fErrorChar = flagBit(dcb, errorCharFlag);
    out.fNull = flagBit(dcb, nullFlag);
    out.fRtsControl = twoBitField(dcb, rtsControlShift);
    out.fAbortOnError = flagBit(dcb, abortOnErrorFlag);
    out.XonLim = dcb.XonLim;
    out.XoffLim = dcb.XoffLim;
    out.ByteSize = dcb.ByteSize;
    out.Parity = dcb.Parity;
    out.StopBits = dcb.StopBits;
    out.XonChar = dcb.XonChar;
    out.XoffChar = dcb.XoffChar;
    out.ErrorChar = dcb.ErrorChar;
    out.EofChar = dcb.EofChar;
    out.EvtChar = dcb.EvtChar;
    return out;
}

COMMTIMEOUTS winTimeouts(const CommTimeouts& timeouts)
{
    COMMTIMEOUTS out{};
    out.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    out.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    out.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    out.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    out.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    return out;
}

OpenError openErrorFromCode(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return OpenError::NotFound;
    case ERROR_ACCESS_DENIED:
        return OpenError::AccessDenied;
    default:
        return OpenError::Other;
    }
}

// What the drivers answer on the handle of a device that has gone: usbser
// and the adapters' own drivers refuse with access denied, a bad command or
// a general failure, the newer ones say so outright, and a serial line whose
// far end hung up is not ready.
bool deviceGoneError(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

} // namespace serial::detail
