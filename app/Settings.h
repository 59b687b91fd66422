#pragma once

#include <QLatin1String>
#include <QProcessEnvironment>
#include <QString>
#include <array>

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

// Reads the four settings; each key that is missing or unreadable keeps the
// value it has in `current`.
PortSettings readPortSettings(const TIniFile& file, const PortSettings& current);

// Writes frequency, port, BaudRateIndex and div4 in this order. Raises
// EIniFileException at the first write that fails; later keys are then not
// written.
void writePortSettings(TIniFile& file, const PortSettings& settings);

inline constexpr int FrequencyDigitCount = 9;

// The texts of the nine digit controls for a stored frequency, highest digit
// first: one character each from the stored text. Characters after the ninth
// are ignored; positions the text does not reach get "0".
std::array<QString, FrequencyDigitCount> spreadFrequency(const QString& stored);

// Where the settings file lives: "quartzel.ini" in the executable's
// directory when a file can be written there, else in the user's
// configuration directory, $XDG_CONFIG_HOME/quartzel/ or else
// $HOME/.config/quartzel/ (an installed program). Looks at the file system
// (a probe file, removed at once).
QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment);

// The same choice with the file-system fact given.
QString chooseSettingsFilePath(const QString& executableDir, bool executableDirWritable,
                               const QProcessEnvironment& environment);

// True when a file can be created in the directory. Asks the file system
// itself, since permission bits do not tell it for root or read-only mounts.
bool isDirectoryWritable(const QString& directory);

// The file that start-up reads: the settings file when it exists, else a
// "quartzel.ini" beside a program that cannot write there (one an
// administrator left, say), else the settings file (which does not exist
// yet). Closing always writes the settings file.
QString startingSettingsFile(const QString& settingsFile, const QString& executableDir);
