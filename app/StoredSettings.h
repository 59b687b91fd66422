// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PortSettings.h"
#include "RigctldSetting.h"

#include <QLatin1String>
#include <QString>
#include <optional>

class TIniFile;

// The section and key of the rigctld listener's setting.
namespace SettingsKey {
inline constexpr QLatin1String RigctldSection{"RIGCTLD"};
inline constexpr QLatin1String RigctldListen{"listen"};
} // namespace SettingsKey

// The stored text of the setting, for parseRigctldSetting; nothing when
// the file has no such key.
std::optional<QString> readRigctldText(const TIniFile& file);
// Raises EIniFileException when the file cannot be written.
void writeRigctldSetting(TIniFile& file, const RigctldSetting& setting);

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
