// SPDX-License-Identifier: GPL-3.0-or-later

#include "Memories.h"

#include "FrequencyRegister.h"
#include "IniFile.h"

#include <optional>

namespace {

const QString section = QStringLiteral("MEMORIES");

std::optional<Memory> parseMemory(const QString& text)
{
    const QString frequency = text.section(u',', 0, 0);
    const QString div4 = text.section(u',', 1, 1);
    const QString name = text.section(u',', 2).trimmed();
    const std::optional<quint32> hertz =
        frequency.size() == FrequencyDigitCount ? dialledHertz(frequency) : std::nullopt;
    if (!hertz || (div4 != u"0" && div4 != u"1") || name.isEmpty())
        return std::nullopt;
    return Memory{name, *hertz, div4 == u"1"};
}

QString formatMemory(const Memory& memory)
{
    return QStringLiteral("%1,%2,%3")
        .arg(frequencyText(memory.hertz), memory.div4 ? QStringLiteral("1") : QStringLiteral("0"),
             memory.name.trimmed());
}

} // namespace

Memories readMemories(const TIniFile& file)
{
    Memories memories;
    for (int key = 1;; ++key) {
        const QString text = file.readString(section, QString::number(key), QString());
        if (text.isEmpty())
            return memories;
        if (const std::optional<Memory> memory = parseMemory(text))
            memories.append(*memory);
    }
}

void writeMemories(TIniFile& file, const Memories& memories)
{
    int key = 1;
    for (const Memory& memory : memories)
        file.writeString(section, QString::number(key++), formatMemory(memory));
    if (file.valueExists(section, QString::number(key)))
        file.writeString(section, QString::number(key), QString());
}
