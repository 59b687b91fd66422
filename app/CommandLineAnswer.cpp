// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLineAnswer.h"

#include "TerminalOutput.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// As rigctld and most tools end on a command line they cannot use.
constexpr int usageErrorStatus = 2;

void printText(std::FILE* stream, QString text)
{
    if (!text.endsWith(u'\n'))
        text += u'\n';
    writeTerminalText(stream, text);
}

} // namespace

std::optional<int> answerCommandLine(const ParsedCommandLine& parsed)
{
    switch (parsed.action) {
    case CommandLineAction::Run:
        return std::nullopt;
    case CommandLineAction::ShowHelp:
    case CommandLineAction::ShowVersion:
        printText(stdout, parsed.message);
        return EXIT_SUCCESS;
    case CommandLineAction::Fail:
        printText(stderr, parsed.message + u'\n' +
                              QCoreApplication::translate("CommandLine",
                                                          "Try '--help' for more information."));
        return usageErrorStatus;
    }
    std::abort(); // not reached: every action returns above
}
