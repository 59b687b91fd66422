// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandLine.h"

#include <optional>

// What main() does with the command line that parseCommandLine() has judged,
// while a core application exists, before the window's application, so that
// none of this needs a display: answers --help and --version on standard
// output (exit status 0), and a command line that is wrong with what is wrong
// and the help hint on standard error (the usage status, 2), and returns that
// status; returns nothing for a command line that starts the program.
std::optional<int> answerCommandLine(const ParsedCommandLine& parsed);
