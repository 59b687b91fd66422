// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1String>
#include <QString>

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

// The section of the four settings and their keys, named once.
namespace SettingsKey {
inline constexpr QLatin1String Section{"PORT"};
inline constexpr QLatin1String Frequency{"frequency"};
inline constexpr QLatin1String Port{"port"};
inline constexpr QLatin1String BaudRateIndex{"BaudRateIndex"};
inline constexpr QLatin1String Div4{"div4"};
} // namespace SettingsKey

// Reads the four settings; each key that is missing or unreadable keeps the
// value it has in `current`.
PortSettings readPortSettings(const TIniFile& file, const PortSettings& current);

// Writes frequency, port, BaudRateIndex and div4 in this order. Raises
// EIniFileException at the first write that fails; later keys are then not
// written.
void writePortSettings(TIniFile& file, const PortSettings& settings);
