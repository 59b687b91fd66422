// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Pure mappings between the component's values and the device's records and
// bit masks. No state, no device calls; each is tested on its own.

#include "ComTypes.h"
#include "platform/SerialDevice.h"

#include <array>
#include <cstdint>
#include <optional>

namespace comport {

// Speed in bit/s of a table ordinal; none for a value outside the 15 ordinals.
std::optional<std::uint32_t> baudRateSpeed(TBaudRate rate);

// The line settings block: binary mode, DTR and RTS on while open, no
// handshake, XON 0x11 / XOFF 0x13, fParity set when there is parity (flags
// 0x1011 without parity, 0x1013 with). None when `rate` has no speed.
std::optional<serial::Dcb> lineSettings(TBaudRate rate, TByteSize byteSize, TParity parity,
                                        TStopBits stopBits);

// The five time-outs in milliseconds, in record order; a negative value
// becomes 0xFFFFFFFF ("no limit" / MAXDWORD).
serial::CommTimeouts commTimeouts(std::int32_t readInterval, std::int32_t readTotalMultiplier,
                                  std::int32_t readTotalConstant, std::int32_t writeTotalMultiplier,
                                  std::int32_t writeTotalConstant);

// Event set <-> the device's event mask (all eight events give 0x05BD).
// Mask bits that no line event stands for are ignored.
std::uint32_t eventMask(TLineEvents events);
TLineEvents lineEvents(std::uint32_t mask);

// The order in which the events of one batch are delivered: the line error
// first, so that its device state is cleared before the receive count is
// queried.
inline constexpr std::array<TLineEvent, 8> deliveryOrder{
    TLineEvent::evError, TLineEvent::evRxChar, TLineEvent::evTxEmpty, TLineEvent::evRing,
    TLineEvent::evCTS,   TLineEvent::evDSR,    TLineEvent::evRLSD,    TLineEvent::evRx80Full,
};

// The device's error bits as a TComErrors set. A parity error counts only
// when the port uses parity: with paNone the bit is noise of the line.
TComErrors comErrors(std::uint32_t errorBits, TParity parity);

// The device's modem status bits as a TModemLines set.
TModemLines modemLines(std::uint32_t status);

} // namespace comport
