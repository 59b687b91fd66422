// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdio>

class QString;

// Makes the program's terminal output (the answers to the command line, the
// errors it logs) fit the system it runs on. Call it first in main(), before
// any output and before the application object exists.
//
// POSIX systems: Qt's GUI start-up looks into the session's runtime
// directory for a sandbox marker and, where there is no login session (su, a
// container, a system service), warns on standard error that
// XDG_RUNTIME_DIR is not set. This program keeps nothing in that directory,
// so the warning tells the user nothing to act on: it is left out; every
// other message goes where it went before.
//
// Windows: a program with windows starts without a console. Started from
// one, it writes there what has no other place to go (output that was not
// redirected), and Ctrl+C in that console stops it.
void prepareTerminalOutput();

// Writes `text` to `stream` (stdout or stderr) so that the user can read it.
// POSIX systems: in the locale's encoding, as the terminal expects it.
// Windows: a console gets the characters themselves (WriteConsoleW), whatever
// its code page, which for Russian is seldom the one of the program's
// locale; output redirected to a file or a pipe gets UTF-8.
void writeTerminalText(std::FILE* stream, const QString& text);
