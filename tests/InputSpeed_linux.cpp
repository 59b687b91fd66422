// SPDX-License-Identifier: GPL-3.0-or-later

#include "InputSpeed_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ttyInputSpeed(int fd, std::uint32_t& baud)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    baud = t.c_ispeed;
    return true;
}
