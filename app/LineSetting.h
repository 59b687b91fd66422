// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class TIniFile;

// A further line as --also-port names it, "PORT[@BAUD]": a port name or
// device path, and its rate in bit/s (none: the panel's rate).
struct AlsoPort
{
    QString port;
    std::optional<quint32> baudRate;

    bool operator==(const AlsoPort&) const = default;
};

// "PORT" or "PORT@BAUD" with a rate of decimal digits above zero; nothing
// for an empty port or another rate.
std::optional<AlsoPort> parseAlsoPort(const QString& text);
QString formatAlsoPort(const AlsoPort& line);

// The further lines, the program's own line and reconnecting, kept under
// [LINES]. Off unless asked: no further line, no own line, no reconnecting.
struct LinesSetting
{
    QList<AlsoPort> alsoPorts;
    QString pty; // the link to the program's own line; empty: none
    bool reconnect = false;
    // Entries of the stored list that do not read: reported when the lines
    // are made, never written back.
    QStringList unreadable;

    bool operator==(const LinesSetting&) const = default;
};

namespace SettingsKey {
inline constexpr QLatin1String LinesSection{"LINES"};
inline constexpr QLatin1String AlsoPorts{"also_port"}; // entries separated by ','
inline constexpr QLatin1String Pty{"pty"};
inline constexpr QLatin1String Reconnect{"reconnect"};
} // namespace SettingsKey

// [LINES]; nothing when the section has none of its keys.
std::optional<LinesSetting> readLinesSetting(const TIniFile& file);
// Writes its three keys. Raises EIniFileException when a write fails.
void writeLinesSetting(TIniFile& file, const LinesSetting& setting);
