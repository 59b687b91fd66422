// SPDX-License-Identifier: GPL-3.0-or-later

// Windows has no pseudo-terminals that a program could open as a COM port: a
// virtual serial port there needs a kernel driver.

#include "platform/VirtualPort.h"

namespace serial {

Opener* virtualPortOpener()
{
    return nullptr;
}

} // namespace serial
