// SPDX-License-Identifier: GPL-3.0-or-later

#include "StoredSettings.h"

#include "IniFile.h"

StoredSettings readStoredSettings(const TIniFile& file, const PortSettings& current)
{
    if (!file.exists())
        return {};
    if (!file.readError().isEmpty())
        return {std::nullopt, std::nullopt, file.readError()};
    return {readPortSettings(file, current), readRigctldText(file), {}};
}

std::optional<QString> readRigctldText(const TIniFile& file)
{
    using namespace SettingsKey;
    if (!file.valueExists(RigctldSection, RigctldListen))
        return std::nullopt;
    return file.readString(RigctldSection, RigctldListen, QString());
}

void writeRigctldSetting(TIniFile& file, const RigctldSetting& setting)
{
    using namespace SettingsKey;
    file.writeString(RigctldSection, RigctldListen, formatRigctldSetting(setting));
}
