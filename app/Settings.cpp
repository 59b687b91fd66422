// SPDX-License-Identifier: GPL-3.0-or-later

#include "Settings.h"

#include "IniFile.h"
#include "IpAddress.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

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

StoredSettings readStoredSettings(const TIniFile& file, const PortSettings& current)
{
    if (!file.exists())
        return {};
    if (!file.readError().isEmpty())
        return {std::nullopt, std::nullopt, file.readError()};
    return {readPortSettings(file, current), readRigctldText(file), {}};
}

void writePortSettings(TIniFile& file, const PortSettings& settings)
{
    using namespace SettingsKey;
    file.writeString(Section, Frequency, settings.frequency);
    file.writeInteger(Section, Port, settings.port);
    file.writeInteger(Section, BaudRateIndex, settings.baudRateIndex);
    file.writeBool(Section, Div4, settings.div4);
}

namespace {

constexpr QLatin1String RigctldOff{"off"};

std::optional<quint16> portNumber(const QString& text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || text.startsWith(u'+'))
        return std::nullopt;
    return static_cast<quint16>(port);
}

} // namespace

QString chooseSettingsFilePath(const ProgramFolder& folder, const QProcessEnvironment& environment)
{
    if (folder.writable && !folder.installed)
        return QDir(folder.path).filePath(SettingsFileName);
    return QDir(userSettingsDirectory(environment)).filePath(SettingsFileName);
}

bool isDirectoryWritable(const QString& directory)
{
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".quartzel-probe-XXXXXX")));
    return probe.open();
}

QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment)
{
    ProgramFolder folder{executableDir, isInstalledProgramFolder(executableDir), false};
    // An installed program's folder is not probed: run as root, the probe
    // would write into it.
    folder.writable = !folder.installed && isDirectoryWritable(executableDir);
    return chooseSettingsFilePath(folder, environment);
}

QString startingSettingsFile(const QString& settingsFile, const QString& executableDir)
{
    const QString besideProgram = QDir(executableDir).filePath(SettingsFileName);
    if (QFileInfo::exists(settingsFile) || !QFileInfo::exists(besideProgram))
        return settingsFile;
    return besideProgram;
}

std::optional<RigctldSetting> parseRigctldSetting(const QString& text)
{
    if (text == RigctldOff)
        return RigctldSetting{};
    RigctldSetting setting;
    setting.enabled = true;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        setting.address = text.first(colon);
        portText = text.sliced(colon + 1);
        if (setting.address.startsWith(u'[') && setting.address.endsWith(u']'))
            setting.address = setting.address.sliced(1, setting.address.size() - 2);
        else if (setting.address.contains(u':'))
            return std::nullopt; // an IPv6 address needs its brackets
        // Kept in one form, without the blanks and line breaks around it,
        // which must not reach the settings file.
        const std::optional<QString> address = canonicalIpAddress(setting.address);
        if (!address)
            return std::nullopt;
        setting.address = *address;
    }
    const std::optional<quint16> port = portNumber(portText);
    if (!port)
        return std::nullopt;
    setting.port = *port;
    return setting;
}

QString formatRigctldSetting(const RigctldSetting& setting)
{
    if (!setting.enabled)
        return RigctldOff;
    const QString address =
        setting.address.contains(u':') ? u'[' + setting.address + u']' : setting.address;
    return address + u':' + QString::number(setting.port);
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
