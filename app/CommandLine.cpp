// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"

#include "Translations.h"
#include "Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// As rigctld and most tools end on a command line they cannot use.
constexpr int usageErrorStatus = 2;

QString versionText()
{
    return QStringLiteral("Quartzel %1").arg(QLatin1String(QuartzelVersion));
}

void printText(std::FILE* stream, QString text)
{
    if (!text.endsWith(u'\n'))
        text += u'\n';
    std::fputs(text.toLocal8Bit().constData(), stream);
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

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Front panel for an Si570 synthesizer."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QCoreApplication::translate("CommandLine", "Add <port> (a name such as ttyUSB0, or a "
                                                   "device path) to the port list and select it."),
        QStringLiteral("port"));
    const QCommandLineOption connectOption(
        QStringLiteral("connect"),
        QCoreApplication::translate("CommandLine", "Connect when start-up is complete."));
    const QCommandLineOption rigctldOption(
        QStringLiteral("rigctld"),
        QCoreApplication::translate(
            "CommandLine",
            "Let programs that use Hamlib (model 2, NET rigctl) read and set the frequency over "
            "TCP on [<address>:]<port>, address 127.0.0.1 unless given (rigctld's usual port is "
            "4532); 'off' stops it. Kept in quartzel.ini."),
        QStringLiteral("[address:]port"));
    parser.addOption(portOption);
    parser.addOption(connectOption);
    parser.addOption(rigctldOption);

    if (!parser.parse(arguments))
        return {CommandLineAction::Fail, {}, parser.errorText()};
    // addHelpOption() also lists --help-all (with Qt's own options); the
    // plain help is what this program can show of it.
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all")))
        return {CommandLineAction::ShowHelp, {}, parser.helpText()};
    if (parser.isSet(versionOption))
        return {CommandLineAction::ShowVersion, {}, versionText()};
    if (!parser.positionalArguments().isEmpty())
        return {CommandLineAction::Fail,
                {},
                QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.")
                    .arg(parser.positionalArguments().first())};
    ParsedCommandLine result;
    if (parser.isSet(portOption)) {
        const QString port = parser.value(portOption);
        if (port.isEmpty())
            return {CommandLineAction::Fail,
                    {},
                    QCoreApplication::translate("CommandLine", "Option 'port' needs a port name.")};
        result.options.port = port;
    }
    result.options.connect = parser.isSet(connectOption);
    if (parser.isSet(rigctldOption)) {
        result.options.rigctld = parseRigctldSetting(parser.value(rigctldOption));
        if (!result.options.rigctld)
            return {CommandLineAction::Fail,
                    {},
                    QCoreApplication::translate("CommandLine",
                                                "Option 'rigctld' needs [address:]port with an "
                                                "IP address and a port from 1 to 65535, or "
                                                "'off'.")};
    }
    return result;
}

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

std::optional<int> applyPortOption(QStringList& ports, const CommandLineOptions& options)
{
    if (!options.port)
        return std::nullopt;
    const qsizetype listed = ports.indexOf(*options.port);
    if (listed >= 0)
        return static_cast<int>(listed);
    ports.append(*options.port);
    return static_cast<int>(ports.size() - 1);
}
