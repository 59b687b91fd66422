// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandLine.h"

#include <optional>

// What main() does with the command line that parseCommandLine() has judged:
// the answers it prints on the terminal and the exit status they end with.

// For main(), before the application object exists, so that none of this
// needs a display: answers --help and --version on standard output (exit
// status 0), and a command line that is wrong with what is wrong and the help
// hint on standard error (the usage status, 2); returns the exit status.
// Returns nothing for a command line that starts the program, and for one
// that may hold Qt's own options (such as -platform): their values are known
// only once the application object has taken them out, and
// processCommandLine() judges the rest then.
std::optional<int> answerWithoutDisplay(int argc, char** argv);

// For main(), after the application object exists: parses its arguments;
// answers as answerWithoutDisplay() does and exits with that status, or
// returns the options.
CommandLineOptions processCommandLine();
