// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

// The user's roaming application data (%APPDATA%), which follows the user
// from machine to machine in a domain, as a program's settings should; else
// where Windows keeps it in the user's profile.
QString userSettingsDirectory(const QProcessEnvironment& environment)
{
    QString appData = QDir::fromNativeSeparators(environment.value(QStringLiteral("APPDATA")));
    if (appData.isEmpty() || !QDir::isAbsolutePath(appData))
        appData = QDir::home().filePath(QStringLiteral("AppData/Roaming"));
    return QDir(appData).filePath(QStringLiteral("Quartzel"));
}

// The installer (packaging/windows/quartzel.nsi) writes its uninstaller
// beside the program, wherever the user chose to install it.
bool isInstalledProgramFolder(const QString& folder)
{
    return QFileInfo::exists(QDir(folder).filePath(QStringLiteral("uninstall.exe")));
}
