// SPDX-License-Identifier: GPL-3.0-or-later

#include "TypedFrequency.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr quint64 highestHertz = 299'999'999;
// More digits than this before the decimal separator are above the dial in any unit.
constexpr qsizetype longestWholePart = 12;

struct Unit
{
    QLatin1StringView name; // lower case
    quint64 hertz;
    int decimals; // the places after the separator that still make whole hertz
};

// The longer names first, so that "khz" is not taken for "hz".
constexpr Unit units[] = {{QLatin1StringView("mhz"), 1'000'000, 6},
                          {QLatin1StringView("khz"), 1'000, 3},
                          {QLatin1StringView("hz"), 1, 0},
                          {QLatin1StringView("m"), 1'000'000, 6},
                          {QLatin1StringView("k"), 1'000, 3}};
// The same in Russian: МГц, кГц, Гц, М, к.
constexpr std::pair<const char16_t*, const Unit*> russianUnits[] = {{u"мгц", &units[0]},
                                                                    {u"кгц", &units[1]},
                                                                    {u"гц", &units[2]},
                                                                    {u"м", &units[3]},
                                                                    {u"к", &units[4]}};
constexpr Unit hertzUnit{QLatin1StringView("hz"), 1, 0};
constexpr Unit megahertzUnit{QLatin1StringView("mhz"), 1'000'000, 6};

// The texts are marked where they are used, in this context.
QString translated(const char* text)
{
    return QCoreApplication::translate("FrequencyReading", text);
}

FrequencyReading notAFrequency(const QString& typed)
{
    return {std::nullopt,
            translated(QT_TRANSLATE_NOOP(
                           "FrequencyReading",
                           "'%1' is not a frequency: type it as 7074000, 7.074, 7074k or 7.074M"))
                .arg(typed.trimmed())};
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Several points or commas group the digits by three: one to three digits
// first, then three in each group.
std::optional<QString> ungrouped(const QString& number, QChar separator)
{
    const QStringList groups = number.split(separator);
    if (groups.first().isEmpty() || groups.first().size() > 3)
        return std::nullopt;
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3)
            return std::nullopt;
    }
    return groups.join(QString());
}

} // namespace

FrequencyReading readTypedFrequency(const QString& typed)
{
    // Blanks of every kind group digits or stand before the unit.
    QString number = typed.simplified();
    const Unit* unit = nullptr;
    for (const Unit& candidate : units) {
        if (number.endsWith(candidate.name, Qt::CaseInsensitive)) {
            unit = &candidate;
            number.chop(candidate.name.size());
            break;
        }
    }
    for (const auto& [name, candidate] : russianUnits) {
        if (!unit && number.endsWith(QStringView(name), Qt::CaseInsensitive)) {
            unit = candidate;
            number.chop(QStringView(name).size());
        }
    }
    number.remove(u' ');
    const qsizetype points = number.count(u'.');
    const qsizetype commas = number.count(u',');
    if (points > 0 && commas > 0)
        return notAFrequency(typed);
    QString whole = number;
    QString fraction;
    if (points + commas == 1) {
        const qsizetype at = std::max(number.indexOf(u'.'), number.indexOf(u','));
        whole = number.left(at);
        fraction = number.mid(at + 1);
        if (!unit)
            unit = &megahertzUnit;
    } else if (points + commas > 1) {
        const std::optional<QString> digits = ungrouped(number, points > 0 ? u'.' : u',');
        if (!digits)
            return notAFrequency(typed);
        whole = *digits;
    }
    if (!unit)
        unit = &hertzUnit;
    if ((whole.isEmpty() && fraction.isEmpty()) || !allDigits(whole) || !allDigits(fraction))
        return notAFrequency(typed);

    // Exact arithmetic: the fraction's places are whole hertz or nothing.
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (fraction.size() > unit->decimals)
        return {std::nullopt, translated(QT_TRANSLATE_NOOP("FrequencyReading",
                                                           "%1 is not a whole number of hertz"))
                                  .arg(typed.trimmed())};
    while (whole.startsWith(u'0'))
        whole.remove(0, 1);
    quint64 hertz = whole.size() > longestWholePart ? highestHertz + 1 : whole.toULongLong();
    hertz *= unit->hertz;
    if (!fraction.isEmpty()) {
        quint64 placeValue = unit->hertz;
        for (qsizetype i = 0; i < fraction.size(); ++i)
            placeValue /= 10;
        hertz += fraction.toULongLong() * placeValue;
    }
    if (hertz > highestHertz)
        return {std::nullopt,
                translated(QT_TRANSLATE_NOOP(
                               "FrequencyReading",
                               "%1 is above the highest frequency of the dial, 299 999 999 Hz"))
                    .arg(typed.trimmed())};
    return {quint32(hertz), QString()};
}

QString groupedHertz(qint64 hertz)
{
    QString digits = QString::number(std::abs(hertz));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u' ');
    if (hertz < 0)
        digits.prepend(u'-');
    return digits;
}
