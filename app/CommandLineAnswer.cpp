// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLineAnswer.h"

#include "TerminalOutput.h"
#include "Translations.h"

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

// Prints the help or the version to standard output, or what is wrong with
// the help hint to standard error, and gives the exit status; nothing for a
// command line that starts the program.
std::optional<int> printAnswer(const ParsedCommandLine& parsed)
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

// Qt's own options (QGuiApplication's, QApplication's, the X11 platform's),
// which Qt takes with two dashes as well as with one.
bool isToolkitOption(QStringView name)
{
    static const QStringList names =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry "
                       "geometry qwindowtitle title qwindowicon icon reverse session testability "
                       "qmljsdebugger display name visual sync nograb dograb style stylesheet "
                       "widgetcount qdevel qdebug")
            .split(u' ');
    return names.contains(name.left(name.indexOf(u'=')));
}

// Whether Qt may take some of the arguments out. With one dash, only this
// program's short options are known here: anything else may be Qt's, with a
// value that only Qt knows of.
bool mayHoldToolkitOptions(const QStringList& arguments)
{
    static const QStringList ownShortOptions{QStringLiteral("-h"), QStringLiteral("-v"),
                                             QStringLiteral("-?")};
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(u"--") ? isToolkitOption(QStringView(argument).sliced(2))
                                       : argument.size() > 1 && argument.startsWith(u'-') &&
                                             !ownShortOptions.contains(argument))
            return true;
    }
    return false;
}

} // namespace

std::optional<int> answerWithoutDisplay(int argc, char** argv)
{
    // A core application opens no display; it only gives the parser the
    // program's arguments, and is gone before the window's application comes.
    QCoreApplication core(argc, argv);
    installTranslations(core);
    const QStringList arguments = QCoreApplication::arguments();
    if (mayHoldToolkitOptions(arguments))
        return std::nullopt;
    return printAnswer(parseCommandLine(arguments));
}

CommandLineOptions processCommandLine()
{
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (const std::optional<int> status = printAnswer(parsed))
        std::exit(*status);
    return parsed.options;
}
