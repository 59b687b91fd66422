// SPDX-License-Identifier: GPL-3.0-or-later

#include "FrequencyRegister.h"

#include "Convert.h"

#include <QStringView>
#include <algorithm>
#include <cstdint>

namespace {

// Floor division, so that negative dials round the same way as positive ones.
std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool isDecimalText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isDecimalDigit);
}

} // namespace

std::array<QString, FrequencyDigitCount> spreadFrequency(const QString& stored)
{
    std::array<QString, FrequencyDigitCount> digits;
    for (qsizetype i = 0; i < FrequencyDigitCount; ++i)
        digits[static_cast<std::size_t>(i)] =
            i < stored.size() ? QString(stored[i]) : QStringLiteral("0");
    return digits;
}

bool isDialableFrequency(const QString& stored)
{
    return isDecimalText(QStringView(stored).left(FrequencyDigitCount));
}

QString frequencyText(quint32 hertz)
{
    return QStringLiteral("%1").arg(hertz, FrequencyDigitCount, 10, QLatin1Char('0'));
}

std::optional<quint32> dialledHertz(const QString& dialled)
{
    bool ok = false;
    const uint hertz = dialled.toUInt(&ok);
    if (!ok || dialled.isEmpty() || !isDecimalText(dialled))
        return std::nullopt;
    return hertz;
}

QString div4FrequencyString(const QString& dialled)
{
    // N / 4 + 10000 = (N + 40000) / 4 exactly; the remainder decides the rounding.
    const std::int64_t quarters = std::int64_t{StrToInt(dialled)} + 40000;
    std::int64_t result = floorDiv(quarters, 4);
    const std::int64_t remainder = quarters - result * 4;
    if (remainder == 3 || (remainder == 2 && result % 2 != 0))
        ++result;
    return QStringLiteral("0") + QString::number(result);
}
