// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1String>
#include <QProcessEnvironment>
#include <QString>
#include <optional>

class TIniFile;

// The four values the front panel keeps between runs, with their in-memory
// start values.
struct PortSettings
{
    QString frequency;     // the dialled frequency, normally nine decimal digits
    int port = 0;          // item index in the port list, -1 when none was selected
    int baudRateIndex = 0; // item index in the baud-rate list, 0..14
    bool div4 = false;     // div4 mode (the button captioned "VFO")

    bool operator==(const PortSettings&) const = default;
};

// The names under which the settings are stored, defined once.
namespace SettingsKey {
inline constexpr QLatin1String Section{"PORT"};
inline constexpr QLatin1String Frequency{"frequency"};
inline constexpr QLatin1String Port{"port"};
inline constexpr QLatin1String BaudRateIndex{"BaudRateIndex"};
inline constexpr QLatin1String Div4{"div4"};
} // namespace SettingsKey

inline constexpr QLatin1String SettingsFileName{"quartzel.ini"};

// Where the listener for Hamlib's network rig protocol (rigctld's) listens.
// Off unless asked; kept in a section of its own, beside [PORT].
struct RigctldSetting
{
    bool enabled = false;
    QString address = QStringLiteral("127.0.0.1"); // an IP address: loopback unless named
    quint16 port = 4532;                           // rigctld's usual port

    bool operator==(const RigctldSetting&) const = default;
};

namespace SettingsKey {
inline constexpr QLatin1String RigctldSection{"RIGCTLD"};
inline constexpr QLatin1String RigctldListen{"listen"};
} // namespace SettingsKey

// "[ADDRESS:]PORT" with an IP address and a port from 1 to 65535 ("4532",
// "0.0.0.0:4532", "[::1]:4532"; an IPv6 address in brackets), or "off".
// Nothing for any other text, host names included. Whether the address is
// one of this machine's shows only when listening.
std::optional<RigctldSetting> parseRigctldSetting(const QString& text);
// The text parseRigctldSetting reads back: "127.0.0.1:4532" or "off".
QString formatRigctldSetting(const RigctldSetting& setting);

// The stored text of the setting, for parseRigctldSetting; nothing when
// the file has no such key.
std::optional<QString> readRigctldText(const TIniFile& file);
// Raises EIniFileException when the file cannot be written.
void writeRigctldSetting(TIniFile& file, const RigctldSetting& setting);

// Reads the four settings; each key that is missing or unreadable keeps the
// value it has in `current`.
PortSettings readPortSettings(const TIniFile& file, const PortSettings& current);

// What start-up reads from the settings file, in one value: the window
// starts from it, and the rigctld listener from the same file's setting.
struct StoredSettings
{
    // Nothing when the file does not exist or cannot be read: the window's
    // defaults apply.
    std::optional<PortSettings> port;
    // readRigctldText's: nothing when the file names no setting.
    std::optional<QString> rigctldText;
    // Why the file that exists could not be read (TIniFile::readError);
    // empty when it was read or does not exist.
    QString readError;
};

// Reads the four settings as readPortSettings does, and the rigctld setting's
// text; or, from a file that cannot be read, only why not.
StoredSettings readStoredSettings(const TIniFile& file, const PortSettings& current);

// Writes frequency, port, BaudRateIndex and div4 in this order. Raises
// EIniFileException at the first write that fails; later keys are then not
// written.
void writePortSettings(TIniFile& file, const PortSettings& settings);

// Where the settings file lives: settingsFilePath() gathers the facts about
// the program's folder, chooseSettingsFilePath() decides.
QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment);

// The user's own folder for the settings file of a program that does not
// keep them beside itself: on POSIX systems $XDG_CONFIG_HOME/quartzel or else
// $HOME/.config/quartzel, on Windows %APPDATA%\Quartzel. Each system's
// UserSettingsDirectory_<system>.cpp defines it.
QString userSettingsDirectory(const QProcessEnvironment& environment);

// What the place of the settings depends on: the folder the program runs
// from.
struct ProgramFolder
{
    QString path;           // the executable's directory
    bool installed = false; // an install put the program there
    bool writable = false;  // a file can be created there
};

// "quartzel.ini" beside a program that runs from a folder of its own which
// it can write (its build or unpacked folder); else in userSettingsDirectory():
// for an installed program whoever runs it (root could write into a system
// folder, where no package owns the file and none removes it), and for one
// that cannot write beside itself.
QString chooseSettingsFilePath(const ProgramFolder& folder, const QProcessEnvironment& environment);

// Whether an install put the program into the folder. Each system's
// UserSettingsDirectory_<system>.cpp defines it: on POSIX systems a system
// program folder (/usr/bin, /usr/local/bin, /bin, their sbin, and the folder
// this build installs to), by name; on Windows a folder where the installer
// left its uninstaller beside the program.
bool isInstalledProgramFolder(const QString& folder);

// True when a file can be created in the directory. Asks the file system
// itself, since permission bits do not tell it for root or read-only mounts.
bool isDirectoryWritable(const QString& directory);

// The file that start-up reads: the settings file when it exists, else a
// "quartzel.ini" beside a program that cannot write there (one an
// administrator left, say), else the settings file (which does not exist
// yet). Closing always writes the settings file.
QString startingSettingsFile(const QString& settingsFile, const QString& executableDir);
