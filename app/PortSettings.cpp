// SPDX-License-Identifier: GPL-3.0-or-later

#include "PortSettings.h"

#include "IniFile.h"

PortSettings readPortSettings(const TIniFile& file, const PortSettings& current)
{
    using namespace SettingsKey;
    PortSettings read;
    read.frequency = file.readString(Section, Frequency, current.frequency);
    read.port = file.readInteger(Section, Port, current.port);
    read.baudRateIndex = file.readInteger(Section, BaudRateIndex, current.baudRateIndex);
    read.div4 = file.readBool(Section, Div4, current.div4);
    return read;
}

void writePortSettings(TIniFile& file, const PortSettings& settings)
{
    using namespace SettingsKey;
    file.writeString(Section, Frequency, settings.frequency);
    file.writeInteger(Section, Port, settings.port);
    file.writeInteger(Section, BaudRateIndex, settings.baudRateIndex);
    file.writeBool(Section, Div4, settings.div4);
}
