// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "KenwoodSetting.h"
#include "LanguageSetting.h"
#include "LineSetting.h"
#include "Memories.h"
#include "PortSettings.h"
#include "RigctldSetting.h"

#include <QLatin1String>
#include <QString>
#include <optional>

class TIniFile;

// A setting kept as the text of one key in a section beside [PORT]: where
// it is kept, and how its text reads and is written.
template <typename T> struct TextSettingKey
{
    QLatin1String section;
    QLatin1String key;
    std::optional<T> (*parse)(const QString& text); // nothing: the text does not read
    QString (*format)(const T& setting);
};

// Such a setting, as start-up found it and as it is in effect.
template <typename T> struct StoredSetting
{
    // The setting in effect: the stored one, until the service that uses it
    // puts in the one it took (the command line's, say). Written at close;
    // nothing, and nothing is written.
    std::optional<T> inEffect;
    // The stored text, when it does not read: the service that uses the
    // setting reports it. Never written back.
    std::optional<QString> unreadable;
};

namespace SettingsKey {
// Where the rigctld listener listens, or "off".
inline constexpr TextSettingKey<RigctldSetting> Rigctld{
    QLatin1String("RIGCTLD"), QLatin1String("listen"), parseRigctldSetting, formatRigctldSetting};
// The language the program speaks.
inline constexpr TextSettingKey<LanguageSetting> Language{
    QLatin1String("LANGUAGE"), QLatin1String("language"), parseLanguageSetting,
    formatLanguageSetting};
// Whether the Kenwood profile is on, and the identity it answers with.
inline constexpr TextSettingKey<bool> KenwoodEnabled{
    QLatin1String("KENWOOD"), QLatin1String("enabled"), parseKenwoodEnabled, formatKenwoodEnabled};
inline constexpr TextSettingKey<QString> KenwoodId{QLatin1String("KENWOOD"), QLatin1String("id"),
                                                   parseKenwoodId, formatKenwoodId};
} // namespace SettingsKey

// [KENWOOD]: the Kenwood profile's keys, each read and written on its own.
struct KenwoodSettings
{
    StoredSetting<bool> enabled;
    StoredSetting<QString> id;
};

// Every section of the settings file in one value. Start-up reads it
// (TMainForm::FormCreate), the window and the services start from it, the
// services put the settings they use in effect back into it, and closing
// writes it (TMainForm::FormClose).
struct StoredSettings
{
    // [PORT]; nothing when the file does not exist or cannot be read: the
    // settings of a first start apply. Closing puts the window's in.
    std::optional<PortSettings> port;
    StoredSetting<RigctldSetting> rigctld;   // [RIGCTLD]
    KenwoodSettings kenwood;                 // [KENWOOD]
    Memories memories;                       // [MEMORIES]
    StoredSetting<LanguageSetting> language; // [LANGUAGE]
    // [LINES]: the stored setting, until the lines put in the one they took;
    // nothing when neither the file nor the command line names one, and
    // nothing is written.
    std::optional<LinesSetting> lines;
    // Why the file that exists could not be read (TIniFile::readError), and
    // nothing else was; empty when it was read or does not exist.
    QString readError;
};

// Reads [PORT] as readPortSettings does, and each other setting by its key;
// or, from a file that cannot be read, only why not.
StoredSettings readStoredSettings(const TIniFile& file, const PortSettings& current);

// Writes [PORT] when there, its four keys in their order, then each other
// setting that is in effect and the memories. Raises EIniFileException at
// the first write that fails; the keys after it are then not written.
void writeStoredSettings(TIniFile& file, const StoredSettings& settings);
