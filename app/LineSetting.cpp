// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineSetting.h"

#include "IniFile.h"

namespace {

constexpr QChar EntrySeparator{u','};

std::optional<quint32> bitsPerSecond(const QString& text)
{
    bool ok = false;
    const uint rate = text.toUInt(&ok);
    if (!ok || rate == 0 || text.startsWith(u'+'))
        return std::nullopt;
    return rate;
}

} // namespace

// The rate follows the last '@', so a port name may hold one too.
std::optional<AlsoPort> parseAlsoPort(const QString& text)
{
    const qsizetype at = text.lastIndexOf(u'@');
    AlsoPort line{at < 0 ? text : text.left(at), std::nullopt};
    if (line.port.isEmpty())
        return std::nullopt;
    if (at >= 0) {
        line.baudRate = bitsPerSecond(text.mid(at + 1));
        if (!line.baudRate)
            return std::nullopt;
    }
    return line;
}

QString formatAlsoPort(const AlsoPort& line)
{
    return line.baudRate ? QStringLiteral("%1@%2").arg(line.port).arg(*line.baudRate) : line.port;
}

std::optional<LinesSetting> readLinesSetting(const TIniFile& file)
{
    using namespace SettingsKey;
    if (!file.valueExists(LinesSection, AlsoPorts) && !file.valueExists(LinesSection, Pty) &&
        !file.valueExists(LinesSection, Reconnect))
        return std::nullopt;
    LinesSetting setting;
    const QString list = file.readString(LinesSection, AlsoPorts, QString());
    for (const QString& entry : list.split(EntrySeparator, Qt::SkipEmptyParts)) {
        if (const std::optional<AlsoPort> line = parseAlsoPort(entry.trimmed()))
            setting.alsoPorts.append(*line);
        else
            setting.unreadable.append(entry);
    }
    setting.pty = file.readString(LinesSection, Pty, QString());
    setting.reconnect = file.readBool(LinesSection, Reconnect, false);
    return setting;
}

void writeLinesSetting(TIniFile& file, const LinesSetting& setting)
{
    using namespace SettingsKey;
    QStringList entries;
    for (const AlsoPort& line : setting.alsoPorts)
        entries.append(formatAlsoPort(line));
    file.writeString(LinesSection, AlsoPorts, entries.join(EntrySeparator));
    file.writeString(LinesSection, Pty, setting.pty);
    file.writeBool(LinesSection, Reconnect, setting.reconnect);
}
