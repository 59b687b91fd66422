// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LineSetting.h"
#include "RigctldSetting.h"
#include "SettingsFileSharing.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks of a normal start. Without options nothing
// differs from a start without a command line.
struct CommandLineOptions
{
    // --port PATH: a port name or device path to add to the port list and
    // select, in place of the stored port index.
    std::optional<QString> port;
    // --connect: press Connect once start-up is complete.
    bool connect = false;
    // --rigctld [ADDRESS:]PORT or "off": the listener for Hamlib's network
    // rig protocol, in place of the stored setting (and kept from now on).
    std::optional<RigctldSetting> rigctld;
    // --kenwood on|off: whether the panel's line answers as a Kenwood radio
    // does, in place of the stored setting (and kept from now on).
    std::optional<bool> kenwood;
    // --verbose: the line monitor on standard error when the program ends.
    bool verbose = false;
    // --settings FILE, where one copy runs per settings file (Windows): this
    // copy's settings file, as given (SettingsFileSharing.h).
    std::optional<QString> settingsFile;
    // --also-port PORT[@BAUD], as often as wanted ("off" empties the list):
    // the further lines, in place of the stored ones (and kept from now on).
    std::optional<QList<AlsoPort>> alsoPorts;
    // --pty LINK or "off" (empty): the link to the program's own line.
    std::optional<QString> pty;
    // --reconnect on|off.
    std::optional<bool> reconnect;
};

enum class CommandLineAction {
    Run,         // start the program with `options`
    ShowHelp,    // print `message` (the help text) and end successfully
    ShowVersion, // print `message` ("Quartzel <version>") and end successfully
    Fail,        // print `message` (what was wrong) and end with an error
};

struct ParsedCommandLine
{
    CommandLineAction action = CommandLineAction::Run;
    CommandLineOptions options;
    QString message;
};

// Parses the arguments, the program's name first (as
// QCoreApplication::arguments() gives them), passing over Qt's own options
// (-platform, -style, ... with their values), whether Qt has taken them out
// yet or not. Does not print or exit. With `oneCopyPerSettingsFile` the help
// says what a second start does, and --settings is an option.
// Without `virtualPorts` (a system where the program cannot make a serial
// port of its own) --pty other than "off" is refused.
ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   bool oneCopyPerSettingsFile = OneCopyPerSettingsFile,
                                   bool virtualPorts = true);

// The [LINES] setting in effect: the stored one (none: nothing set) with
// what the command line gives in its place; nothing when neither sets any.
std::optional<LinesSetting> applyLinesOptions(std::optional<LinesSetting> stored,
                                              const CommandLineOptions& options);

// Applies --port to the port list: a name already in the list is selected
// where it stands, any other is appended. Returns the index to select, or
// nothing when no port was given (keep the stored index).
std::optional<int> applyPortOption(QStringList& ports, const CommandLineOptions& options);

// The port list once the system's list has changed: the system's ports in
// their order, then, where the system does not list them, the port --port
// named and the port that was selected. So the listed ports stand where the
// stored index finds them at the next start, and the selection stays on its
// port (none stays none).
struct RefreshedPortList
{
    QStringList ports;
    int selected = -1;                  // -1: none
    std::optional<int> commandLinePort; // where the port --port named stands
};
RefreshedPortList refreshPortList(QStringList systemPorts, const std::optional<QString>& selected,
                                  const CommandLineOptions& options);
