// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The input speed of a tty as the kernel keeps it, which the serial layer
// sets together with the output speed but never reads back. In a file of its
// own: the termios2 header it needs clashes with <termios.h>.

#include <cstdint>

// The input speed of the tty `fd` in bits per second; false when it cannot be read.
bool ttyInputSpeed(int fd, std::uint32_t& baud);
