// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsLocation.h"

#include <QDir>
#include <QStringList>

namespace {

// The XDG base directory's configuration home, else ~/.config.
QString configHome(const QProcessEnvironment& environment)
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

QString userSettingsDirectory(const QProcessEnvironment& environment)
{
    return QDir(configHome(environment)).filePath(QStringLiteral("quartzel"));
}

// Where packages and `make install` put programs; QUARTZEL_INSTALL_BINDIR is
// the folder this build's install uses, whatever its prefix.
bool isInstalledProgramFolder(const QString& folder)
{
    static const QStringList systemFolders{
        QDir::cleanPath(QStringLiteral(QUARTZEL_INSTALL_BINDIR)),
        QStringLiteral("/usr/bin"),
        QStringLiteral("/usr/local/bin"),
        QStringLiteral("/bin"),
        QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/sbin"),
    };
    return systemFolders.contains(QDir::cleanPath(folder));
}
