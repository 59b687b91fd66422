// SPDX-License-Identifier: GPL-3.0-or-later

#include "CommandLine.h"

#include "Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QString versionText()
{
    return QStringLiteral("Quartzel %1").arg(QLatin1String(QuartzelVersion));
}

// Qt's own options, which QGuiApplication, QApplication and the X11 platform
// take out of the arguments, with one dash or two: those followed by a
// value, those without one, and those whose value may also follow a '='.
// Qt 6.4 takes these; its X11 platform alone takes -geometry, -title, -icon,
// -display, -name, -visual, -nograb and -dograb.
bool isToolkitOption(QStringView name, bool& takesValue)
{
    static const QStringList withValue =
        QStringLiteral("platform platformpluginpath platformtheme plugin qwindowgeometry geometry "
                       "qwindowtitle title qwindowicon icon session qmljsdebugger display name "
                       "visual style stylesheet")
            .split(u' ');
    static const QStringList withoutValue =
        QStringLiteral("reverse testability nograb dograb widgetcount qdevel qdebug").split(u' ');
    static const QStringList withAttachedValue =
        QStringLiteral("qmljsdebugger style stylesheet").split(u' ');
    takesValue = withValue.contains(name);
    return takesValue || withoutValue.contains(name) ||
           (name.contains(u'=') && withAttachedValue.contains(name.left(name.indexOf(u'='))));
}

// The arguments as Qt leaves them to the program. Before the application
// object exists, Qt's options are all there; after, those of another
// platform are left (-display where there is no X11), which Qt ignores, and
// so does the program.
QStringList withoutToolkitOptions(const QStringList& arguments)
{
    QStringList left = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const qsizetype dashes = argument.startsWith(u"--") ? 2 : argument.startsWith(u'-');
        bool takesValue = false;
        if (dashes == 0 || !isToolkitOption(QStringView(argument).sliced(dashes), takesValue))
            left.append(argument);
        else if (takesValue)
            ++i;
    }
    return left;
}

const QLatin1String OptionOff{"off"};

// --also-port, --pty and --reconnect into `options`; what was wrong, if
// anything.
std::optional<QString> readLinesOptions(const QCommandLineParser& parser,
                                        CommandLineOptions& options,
                                        const QCommandLineOption& alsoPort,
                                        const QCommandLineOption& pty,
                                        const QCommandLineOption& reconnect, bool virtualPorts)
{
    if (parser.isSet(alsoPort)) {
        QList<AlsoPort> lines;
        for (const QString& value : parser.values(alsoPort)) {
            const std::optional<AlsoPort> line = parseAlsoPort(value);
            if (value == OptionOff)
                lines.clear();
            else if (line)
                lines.append(*line);
            else
                return QCoreApplication::translate(
                    "CommandLine", "Option 'also-port' needs port[@baud], or 'off'.");
        }
        options.alsoPorts = lines;
    }
    if (parser.isSet(pty)) {
        const QString link = parser.value(pty);
        if (link.isEmpty())
            return QCoreApplication::translate("CommandLine",
                                               "Option 'pty' needs a path for the link, or 'off'.");
        if (link != OptionOff && !virtualPorts)
            return QCoreApplication::translate(
                "CommandLine", "Option 'pty' is for Linux: on this system a serial port of the "
                               "program's own needs a driver of its own.");
        options.pty = link == OptionOff ? QString() : link;
    }
    if (parser.isSet(reconnect)) {
        const QString value = parser.value(reconnect);
        if (value != QLatin1String("on") && value != OptionOff)
            return QCoreApplication::translate("CommandLine",
                                               "Option 'reconnect' needs 'on' or 'off'.");
        options.reconnect = value != OptionOff;
    }
    return std::nullopt;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments, bool oneCopyPerSettingsFile,
                                   bool virtualPorts)
{
    QCommandLineParser parser;
    QString description =
        QCoreApplication::translate("CommandLine", "Front panel for an Si570 synthesizer.");
    if (oneCopyPerSettingsFile)
        description += u'\n' + QCoreApplication::translate(
                                   "CommandLine",
                                   "One copy runs per settings file: started again with the same "
                                   "settings file, the program brings the running window to the "
                                   "front and ends, and the options given go nowhere. Start a "
                                   "copy for a second device with --settings.");
    parser.setApplicationDescription(description);
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
            "4532); 'off' stops it. The mode a program sets is remembered, not applied. Kept in "
            "quartzel.ini."),
        QStringLiteral("[address:]port"));
    const QCommandLineOption kenwoodOption(
        QStringLiteral("kenwood"),
        QCoreApplication::translate(
            "CommandLine",
            "'on' answers every serial line (the panel's, --also-port, --pty) as a Kenwood "
            "TS-2000 does (ID;, FA;, FB;, IF;, AI;, "
            "MD;, ...), for devices and programs that speak Kenwood CAT: amplifiers, tuners, "
            "band decoders, Hamlib programs on the serial line; 'off' answers IF; alone. Kept "
            "in quartzel.ini."),
        QStringLiteral("on|off"));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QCoreApplication::translate("CommandLine",
                                    "On exit, write the line monitor (what the device asked, "
                                    "and what got no answer) to standard error."));
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QCoreApplication::translate(
            "CommandLine",
            "Keep the settings in <file> instead of quartzel.ini (a relative path is taken beside "
            "quartzel.ini). One copy runs for each settings file, so a second device gets a copy "
            "and settings of its own."),
        QStringLiteral("file"));
    const QCommandLineOption alsoPortOption(
        QStringLiteral("also-port"),
        QCoreApplication::translate(
            "CommandLine",
            "Answer \"IF;\" on <port> too, 8N1 at <baud> (the panel's rate unless given), opened "
            "and closed with Connect and Disconnect; give it once for each further port. 'off' "
            "empties the list. Kept in quartzel.ini."),
        QStringLiteral("port[@baud]"));
    const QCommandLineOption ptyOption(
        QStringLiteral("pty"),
        QCoreApplication::translate(
            "CommandLine",
            "Linux: make a serial port of the program's own, a pseudo-terminal linked at <link> "
            "(such as $XDG_RUNTIME_DIR/quartzel-cat), answered as the further ports are; the link "
            "goes at exit. 'off' stops it. Kept in quartzel.ini."),
        QStringLiteral("link"));
    const QCommandLineOption reconnectOption(
        QStringLiteral("reconnect"),
        QCoreApplication::translate(
            "CommandLine",
            "'on': a port whose device goes away (an adapter pulled out) is waited for and opened "
            "again when it is back; 'off' stops that. Kept in quartzel.ini."),
        QStringLiteral("on|off"));
    parser.addOption(portOption);
    parser.addOption(connectOption);
    parser.addOption(rigctldOption);
    parser.addOption(kenwoodOption);
    parser.addOption(verboseOption);
    parser.addOption(alsoPortOption);
    parser.addOption(ptyOption);
    parser.addOption(reconnectOption);
    if (oneCopyPerSettingsFile)
        parser.addOption(settingsOption);

    if (!parser.parse(withoutToolkitOptions(arguments)))
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
    if (oneCopyPerSettingsFile && parser.isSet(settingsOption)) {
        const QString file = parser.value(settingsOption);
        if (file.isEmpty())
            return {
                CommandLineAction::Fail,
                {},
                QCoreApplication::translate("CommandLine", "Option 'settings' needs a file name.")};
        result.options.settingsFile = file;
    }
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
    if (parser.isSet(kenwoodOption)) {
        const QString value = parser.value(kenwoodOption);
        if (value != u"on" && value != u"off")
            return {CommandLineAction::Fail,
                    {},
                    QCoreApplication::translate("CommandLine",
                                                "Option 'kenwood' needs 'on' or 'off'.")};
        result.options.kenwood = value == u"on";
    }
    result.options.verbose = parser.isSet(verboseOption);
    if (const std::optional<QString> failure = readLinesOptions(
            parser, result.options, alsoPortOption, ptyOption, reconnectOption, virtualPorts))
        return {CommandLineAction::Fail, {}, *failure};
    return result;
}

std::optional<LinesSetting> applyLinesOptions(std::optional<LinesSetting> stored,
                                              const CommandLineOptions& options)
{
    if (!options.alsoPorts && !options.pty && !options.reconnect)
        return stored;
    LinesSetting setting = stored.value_or(LinesSetting{});
    if (options.alsoPorts) {
        setting.alsoPorts = *options.alsoPorts;
        setting.unreadable.clear();
    }
    if (options.pty)
        setting.pty = *options.pty;
    if (options.reconnect)
        setting.reconnect = *options.reconnect;
    return setting;
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

RefreshedPortList refreshPortList(QStringList systemPorts, const std::optional<QString>& selected,
                                  const CommandLineOptions& options)
{
    RefreshedPortList result;
    result.commandLinePort = applyPortOption(systemPorts, options);
    if (selected) {
        if (!systemPorts.contains(*selected))
            systemPorts.append(*selected);
        result.selected = static_cast<int>(systemPorts.indexOf(*selected));
    }
    result.ports = std::move(systemPorts);
    return result;
}
