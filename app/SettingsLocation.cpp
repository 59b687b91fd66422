// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

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
