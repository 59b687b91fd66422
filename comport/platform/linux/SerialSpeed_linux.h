// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Line speed through the termios2 interface. Kept apart from SerialDevice_linux.cpp
// because <asm/termbits.h> redefines struct termios of <termios.h>; this header
// uses plain types only, so both sides can include it.

#include <cstdint>

namespace serial::detail {

// Sets the input and output speed of the tty `fd` to `baud` bits per second
// (any rate, not only the B-constants) and reports in `achieved` the rate that
// the driver reads back. Returns false with errno set when the driver refuses.
bool setLineSpeed(int fd, std::uint32_t baud, std::uint32_t& achieved);

// Reads the current output speed of the tty `fd` in bits per second.
bool lineSpeed(int fd, std::uint32_t& baud);

} // namespace serial::detail
