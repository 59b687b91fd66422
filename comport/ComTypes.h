// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The value types of the serial port component: line settings, event sets,
// line errors and modem lines. No OS types.

#include <QFlags>
#include <cstdint>

// Line speed; the ordinal indexes the table of 15 speeds (br110 = 110 bit/s
// ... br256000 = 256000 bit/s). A value outside the table can be stored; the
// line settings are never built from it.
enum class TBaudRate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

// Data bits per character: ordinal + 5.
enum class TByteSize : std::uint8_t { bs5, bs6, bs7, bs8 };

// The ordinal is the device's parity code (0 none ... 4 space).
enum class TParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };

// The ordinal is the device's stop-bit code (0 one, 1 one and a half, 2 two).
enum class TStopBits : std::uint8_t { sb1, sb1_5, sb2 };

// How line events reach their handlers: on the user-interface thread with the
// event thread waiting for the handlers (smThreadSync), on the user-interface
// thread through a hidden notify object (smWindowSync), or on the event thread
// itself (smNone).
enum class TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };

// One line event; TLineEvents is a set of them.
enum class TLineEvent : std::uint8_t {
    evRxChar = 0x01,   // character received
    evTxEmpty = 0x02,  // transmit queue empty
    evRing = 0x04,     // ring indicator
    evCTS = 0x08,      // CTS changed
    evDSR = 0x10,      // DSR changed
    evRLSD = 0x20,     // RLSD (carrier detect) changed
    evError = 0x40,    // line error
    evRx80Full = 0x80, // receive queue 80 % full
};
Q_DECLARE_FLAGS(TLineEvents, TLineEvent)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLineEvents)
inline constexpr TLineEvents allLineEvents = TLineEvents::fromInt(0xFF);

// One line error; TComErrors is a set of them.
enum class TComError : std::uint8_t {
    ceFrame = 0x01,
    ceRxParity = 0x02,
    ceOverrun = 0x04,
    ceBreak = 0x08,
    ceIO = 0x10,
    ceMode = 0x20,
    ceRxOver = 0x40,
    ceTxFull = 0x80,
};
Q_DECLARE_FLAGS(TComErrors, TComError)
Q_DECLARE_OPERATORS_FOR_FLAGS(TComErrors)

// One modem input line; TModemLines is the set ModemState returns.
enum class TModemLine : std::uint8_t {
    mlCTS = 0x01,
    mlDSR = 0x02,
    mlRing = 0x04,
    mlRLSD = 0x08,
};
Q_DECLARE_FLAGS(TModemLines, TModemLine)
Q_DECLARE_OPERATORS_FOR_FLAGS(TModemLines)
