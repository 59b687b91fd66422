// SPDX-License-Identifier: GPL-3.0-or-later

#include "Settings.h"

#include <QDir>

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
