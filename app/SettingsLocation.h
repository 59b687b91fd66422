// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1String>
#include <QProcessEnvironment>
#include <QString>

// The settings file's name, wherever it lives.
inline constexpr QLatin1String SettingsFileName{"quartzel.ini"};

// Where the settings file lives: settingsFilePath() gathers the facts about
// the program's folder, chooseSettingsFilePath() decides.
QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment);

// The user's own folder for the settings file of a program that does not
// keep them beside itself: on POSIX systems $XDG_CONFIG_HOME/quartzel or else
// $HOME/.config/quartzel, on Windows %APPDATA%\Quartzel. Each system's
// UserSettingsDirectory_<system>.cpp defines it.
QString userSettingsDirectory(const QProcessEnvironment& environment);

// What the place of the settings depends on: the folder the program runs
// from.
struct ProgramFolder
{
    QString path;           // the executable's directory
    bool installed = false; // an install put the program there
    bool writable = false;  // a file can be created there
};

// "quartzel.ini" beside a program that runs from a folder of its own which
// it can write (its build or unpacked folder); else in userSettingsDirectory():
// for an installed program whoever runs it (root could write into a system
// folder, where no package owns the file and none removes it), and for one
// that cannot write beside itself.
QString chooseSettingsFilePath(const ProgramFolder& folder, const QProcessEnvironment& environment);

// Whether an install put the program into the folder. Each system's
// UserSettingsDirectory_<system>.cpp defines it: on POSIX systems a system
// program folder (/usr/bin, /usr/local/bin, /bin, their sbin, and the folder
// this build installs to), by name; on Windows a folder where the installer
// left its uninstaller beside the program.
bool isInstalledProgramFolder(const QString& folder);

// True when a file can be created in the directory. Asks the file system
// itself, since permission bits do not tell it for root or read-only mounts.
bool isDirectoryWritable(const QString& directory);

// The file that start-up reads: the settings file when it exists, else a
// "quartzel.ini" beside a program that cannot write there (one an
// administrator left, say), else the settings file (which does not exist
// yet). Closing always writes the settings file.
QString startingSettingsFile(const QString& settingsFile, const QString& executableDir);
