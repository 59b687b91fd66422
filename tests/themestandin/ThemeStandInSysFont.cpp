// SPDX-License-Identifier: GPL-3.0-or-later

// The one entry point that the incomplete stand-in library lacks.
extern "C" int GetThemeSysFont()
{
    return 0;
}
