// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminalOutput.h"

#include <cstdio>
#include <windows.h>

namespace {

bool handleGiven(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

// What was redirected (to a file, a pipe) keeps its place; the console of
// the program that started this one takes the rest. Attached, the console's
// Ctrl+C reaches the stop requests' console handler.
void prepareTerminalOutput()
{
    const bool outputGiven = handleGiven(STD_OUTPUT_HANDLE);
    const bool errorGiven = handleGiven(STD_ERROR_HANDLE);
    if ((outputGiven && errorGiven) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!outputGiven)
        std::freopen("CONOUT$", "w", stdout);
    if (!errorGiven)
        std::freopen("CONOUT$", "w", stderr);
}
