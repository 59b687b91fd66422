// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A serial line of the program's own, for programs on the same machine that
// want a serial port to talk to. No Qt here.

#include "platform/SerialDevice.h"

namespace serial {

// Opens virtual ports: opening the path LINK makes a pseudo-terminal, serves
// its master side as the device and puts a symbolic link to its far end (the
// terminal that other programs open, /dev/pts/N) at LINK. LINK must be a full
// path in a folder that exists. Something already at LINK is replaced only
// when it is a link that an earlier run left behind: one into /dev/pts/ whose
// terminal no longer exists (or is the one just made); anything else fails
// the opening with NotOurLink. A program may close its end and open it again
// as often as it likes: the line stays. Closing the device removes the link
// (when it still leads to this terminal) and the pseudo-terminal.
//
// Null where the system has no pseudo-terminals to serve (Windows, where a
// virtual serial port needs a kernel driver).
Opener* virtualPortOpener();

} // namespace serial
