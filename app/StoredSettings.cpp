// SPDX-License-Identifier: GPL-3.0-or-later

#include "StoredSettings.h"

#include "IniFile.h"

#include <utility>

namespace {

template <typename T>
StoredSetting<T> readSetting(const TIniFile& file, const TextSettingKey<T>& where)
{
    if (!file.valueExists(where.section, where.key))
        return {};
    QString text = file.readString(where.section, where.key, QString());
    if (std::optional<T> setting = where.parse(text))
        return {std::move(setting), std::nullopt};
    return {std::nullopt, std::move(text)};
}

template <typename T>
void writeSetting(TIniFile& file, const TextSettingKey<T>& where, const StoredSetting<T>& setting)
{
    if (setting.inEffect)
        file.writeString(where.section, where.key, where.format(*setting.inEffect));
}

} // namespace

StoredSettings readStoredSettings(const TIniFile& file, const PortSettings& current)
{
    if (!file.exists())
        return {};
    if (!file.readError().isEmpty())
        return {std::nullopt, {}, {}, {}, {}, std::nullopt, file.readError()};
    return {
        readPortSettings(file, current),
        readSetting(file, SettingsKey::Rigctld),
        {readSetting(file, SettingsKey::KenwoodEnabled), readSetting(file, SettingsKey::KenwoodId)},
        readMemories(file),
        readSetting(file, SettingsKey::Language),
        readLinesSetting(file),
        {}};
}

void writeStoredSettings(TIniFile& file, const StoredSettings& settings)
{
    if (settings.port)
        writePortSettings(file, *settings.port);
    writeSetting(file, SettingsKey::Rigctld, settings.rigctld);
    writeSetting(file, SettingsKey::KenwoodEnabled, settings.kenwood.enabled);
    writeSetting(file, SettingsKey::KenwoodId, settings.kenwood.id);
    writeMemories(file, settings.memories);
    writeSetting(file, SettingsKey::Language, settings.language);
    if (settings.lines)
        writeLinesSetting(file, *settings.lines);
}
