// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComMapping.h"

#include <array>
#include <utility>

namespace comport {

namespace {

constexpr std::uint32_t fBinary = 0x0001;
constexpr std::uint32_t fParity = 0x0002;
constexpr std::uint32_t dtrControlEnable = 0x0010;
constexpr std::uint32_t rtsControlEnable = 0x1000;
constexpr char xonChar = 0x11;
constexpr char xoffChar = 0x13;

std::uint32_t timeoutValue(std::int32_t value)
{
    return value < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

template <typename Flag, std::size_t N>
QFlags<Flag> flagsFromBits(std::uint32_t bits,
                           const std::array<std::pair<std::uint32_t, Flag>, N>& table)
{
    QFlags<Flag> result;
    for (const auto& [bit, flag] : table) {
        if (bits & bit)
            result |= flag;
    }
    return result;
}

constexpr std::array<std::pair<std::uint32_t, TLineEvent>, 8> eventBits{{
    {serial::ev::RxChar, TLineEvent::evRxChar},
    {serial::ev::TxEmpty, TLineEvent::evTxEmpty},
    {serial::ev::Ring, TLineEvent::evRing},
    {serial::ev::Cts, TLineEvent::evCTS},
    {serial::ev::Dsr, TLineEvent::evDSR},
    {serial::ev::Rlsd, TLineEvent::evRLSD},
    {serial::ev::Err, TLineEvent::evError},
    {serial::ev::Rx80Full, TLineEvent::evRx80Full},
}};

constexpr std::array<std::pair<std::uint32_t, TComError>, 8> errorBitsTable{{
    {serial::ce::Frame, TComError::ceFrame},
    {serial::ce::RxParity, TComError::ceRxParity},
    {serial::ce::Overrun, TComError::ceOverrun},
    {serial::ce::RxOver, TComError::ceRxOver},
    {serial::ce::TxFull, TComError::ceTxFull},
    {serial::ce::Break, TComError::ceBreak},
    {serial::ce::IOE, TComError::ceIO},
    {serial::ce::Mode, TComError::ceMode},
}};

constexpr std::array<std::pair<std::uint32_t, TModemLine>, 4> modemBits{{
    {serial::ms::CtsOn, TModemLine::mlCTS},
    {serial::ms::DsrOn, TModemLine::mlDSR},
    {serial::ms::RingOn, TModemLine::mlRing},
    {serial::ms::RlsdOn, TModemLine::mlRLSD},
}};

} // namespace

std::optional<std::uint32_t> baudRateSpeed(TBaudRate rate)
{
    switch (rate) {
    case TBaudRate::br110:
        return 110;
    case TBaudRate::br300:
        return 300;
    case TBaudRate::br600:
        return 600;
    case TBaudRate::br1200:
        return 1200;
    case TBaudRate::br2400:
        return 2400;
    case TBaudRate::br4800:
        return 4800;
    case TBaudRate::br9600:
        return 9600;
    case TBaudRate::br14400:
        return 14400;
    case TBaudRate::br19200:
        return 19200;
    case TBaudRate::br38400:
        return 38400;
    case TBaudRate::br56000:
        return 56000;
    case TBaudRate::br57600:
        return 57600;
    case TBaudRate::br115200:
        return 115200;
    case TBaudRate::br128000:
        return 128000;
    case TBaudRate::br256000:
        return 256000;
    }
    // The main window stores the selected list index, -1 when nothing is selected.
    return std::nullopt;
}

std::optional<serial::Dcb> lineSettings(TBaudRate rate, TByteSize byteSize, TParity parity,
                                        TStopBits stopBits)
{
    const std::optional<std::uint32_t> speed = baudRateSpeed(rate);
    if (!speed)
        return std::nullopt;
    serial::Dcb dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = *speed;
    dcb.flags = fBinary | dtrControlEnable | rtsControlEnable;
    if (parity != TParity::paNone)
        dcb.flags |= fParity;
    dcb.ByteSize = static_cast<std::uint8_t>(static_cast<std::uint8_t>(byteSize) + 5);
    dcb.Parity = static_cast<std::uint8_t>(parity);
    dcb.StopBits = static_cast<std::uint8_t>(stopBits);
    dcb.XonChar = xonChar;
    dcb.XoffChar = xoffChar;
    return dcb;
}

serial::CommTimeouts commTimeouts(std::int32_t readInterval, std::int32_t readTotalMultiplier,
                                  std::int32_t readTotalConstant, std::int32_t writeTotalMultiplier,
                                  std::int32_t writeTotalConstant)
{
    return {timeoutValue(readInterval), timeoutValue(readTotalMultiplier),
            timeoutValue(readTotalConstant), timeoutValue(writeTotalMultiplier),
            timeoutValue(writeTotalConstant)};
}

std::uint32_t eventMask(TLineEvents events)
{
    std::uint32_t mask = 0;
    for (const auto& [bit, event] : eventBits) {
        if (events.testFlag(event))
            mask |= bit;
    }
    return mask;
}

TLineEvents lineEvents(std::uint32_t mask)
{
    return flagsFromBits(mask, eventBits);
}

TComErrors comErrors(std::uint32_t errorBits, TParity parity)
{
    TComErrors errors = flagsFromBits(errorBits, errorBitsTable);
    if (parity == TParity::paNone)
        errors &= ~TComErrors(TComError::ceRxParity);
    return errors;
}

TModemLines modemLines(std::uint32_t status)
{
    return flagsFromBits(status, modemBits);
}

} // namespace comport
