#include "Settings.h"

#include "IniFile.h"

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

void writePortSettings(TIniFile& file, const PortSettings& settings)
{
    using namespace SettingsKey;
    file.writeString(Section, Frequency, settings.frequency);
    file.writeInteger(Section, Port, settings.port);
    file.writeInteger(Section, BaudRateIndex, settings.baudRateIndex);
    file.writeBool(Section, Div4, settings.div4);
}

std::array<QString, FrequencyDigitCount> spreadFrequency(const QString& stored)
{
    std::array<QString, FrequencyDigitCount> digits;
    for (qsizetype i = 0; i < FrequencyDigitCount; ++i)
        digits[static_cast<std::size_t>(i)] =
            i < stored.size() ? QString(stored[i]) : QStringLiteral("0");
    return digits;
}

namespace {

QString userConfigDir(const QProcessEnvironment& environment)
{
    // Relative values of XDG_CONFIG_HOME are invalid and are ignored.
    const QString xdg = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    QString home = environment.value(QStringLiteral("HOME"));
    if (home.isEmpty())
        home = QDir::homePath();
    return QDir(home).filePath(QStringLiteral(".config"));
}

} // namespace

QString chooseSettingsFilePath(const QString& executableDir, bool executableDirWritable,
                               const QProcessEnvironment& environment)
{
    if (executableDirWritable)
        return QDir(executableDir).filePath(SettingsFileName);
    return QDir(userConfigDir(environment))
        .filePath(QStringLiteral("quartzel/") + SettingsFileName);
}

bool isDirectoryWritable(const QString& directory)
{
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".quartzel-probe-XXXXXX")));
    return probe.open();
}

QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment)
{
    return chooseSettingsFilePath(executableDir, isDirectoryWritable(executableDir), environment);
}

QString startingSettingsFile(const QString& settingsFile, const QString& executableDir)
{
    const QString besideProgram = QDir(executableDir).filePath(SettingsFileName);
    if (QFileInfo::exists(settingsFile) || !QFileInfo::exists(besideProgram))
        return settingsFile;
    return besideProgram;
}
