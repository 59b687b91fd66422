// SPDX-License-Identifier: GPL-3.0-or-later

#include "SerialSpeed_linux.h"

// Never include <termios.h> here: it clashes with the kernel's termios2 header.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace serial::detail {

bool lineSpeed(int fd, std::uint32_t& baud)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    baud = t.c_ospeed;
    return true;
}

bool setLineSpeed(int fd, std::uint32_t baud, std::uint32_t& achieved)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // Clear CIBAUD as well: glibc never touches those bits, and a stale input
    // rate there would survive a change of the output rate.
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER;
    t.c_ospeed = baud;
    t.c_ispeed = baud;
    if (ioctl(fd, TCSETS2, &t) != 0)
        return false;
    // A real UART driver stores the rate its divisor makes, which the caller checks.
    return lineSpeed(fd, achieved);
}

} // namespace serial::detail
