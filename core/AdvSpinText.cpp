// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpinText.h"

#include "Convert.h"
#include "DatePattern.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace advspin {

namespace {

constexpr double msecsPerDay = 86400000.0;
constexpr int significantDigitsGeneral = 15;
constexpr int significantDigitsShort = 4;
constexpr int shortExponentDigits = 4;

const QDate& dateTimeEpoch()
{
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!isDecimalDigit(c))
            return false;
    return true;
}

// Blanks and control characters at both ends go, as the toolkit's Trim does.
QString trimmedText(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= u' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

// The first character that is not a letter after a letter: the separator of a pattern. Quotes
// and invisible format marks (Arabic dates put a right-to-left mark before each "/") are passed
// over: they are not what a user types between the fields.
QChar patternSeparator(const QString& pattern, QChar fallback)
{
    bool seenLetter = false;
    for (const QChar c : pattern) {
        if (isAsciiLetter(c))
            seenLetter = true;
        else if (seenLetter && c != u'\'' && c.category() != QChar::Other_Format)
            return c;
    }
    return fallback;
}

QString widenTwoDigitYear(QString pattern)
{
    const qsizetype at = pattern.indexOf(u'y');
    if (at < 0)
        return pattern;
    qsizetype end = at;
    while (end < pattern.size() && pattern[end] == u'y')
        ++end;
    if (end - at < 4)
        pattern.replace(at, end - at, QStringLiteral("yyyy"));
    return pattern;
}

// The decimal digits of |value| rounded to `digits` significant digits: value = d.ddd *
// 10^exponent.
struct DecimalDigits
{
    QString digits;
    int exponent{0};
};

DecimalDigits decimalDigitsOf(double value, int digits)
{
    const QString e = QString::number(std::fabs(value), 'e', digits - 1);
    const qsizetype ePos = e.indexOf(u'e');
    DecimalDigits result;
    result.digits = e.left(ePos).remove(u'.');
    result.exponent = e.mid(ePos + 1).toInt();
    return result;
}

QString withoutTrailingZeros(QString digits)
{
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    return digits;
}

QString signOf(double value, const QString& digits)
{
    const bool allZero = digits.count(u'0') == digits.size();
    return value < 0 && !allZero ? QStringLiteral("-") : QString();
}

// Digits d0 d1 d2 ... with the decimal point after position exponent + 1, written out fixed.
QString fixedFromDigits(const QString& digits, int exponent, QChar decimalSeparator)
{
    QString whole;
    QString fraction;
    if (exponent >= 0) {
        whole = digits.left(exponent + 1).leftJustified(exponent + 1, u'0');
        fraction = digits.mid(exponent + 1);
    } else {
        whole = QStringLiteral("0");
        fraction = QString(-exponent - 1, u'0') + digits;
    }
    return fraction.isEmpty() ? whole : whole + decimalSeparator + fraction;
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// The toolkit's general format: fixed while the integer part has at most `digits` digits and the
// magnitude is at least 0.00001, otherwise scientific; trailing zeros removed either way.
QString generalFormat(double value, int digits, int minExponentDigits, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    if (value == 0.0)
        return QStringLiteral("0");
    const DecimalDigits d = decimalDigitsOf(value, digits);
    const QString mantissa = withoutTrailingZeros(d.digits);
    const QString sign = signOf(value, mantissa);
    if (d.exponent >= digits || d.exponent < -5) {
        QString text = sign + mantissa.left(1);
        if (mantissa.size() > 1)
            text += decimalSeparator + mantissa.mid(1);
        const QString exponentSign = d.exponent < 0 ? QStringLiteral("-") : QString();
        return text + u'E' + exponentSign +
               QString::number(std::abs(d.exponent)).rightJustified(minExponentDigits, u'0');
    }
    return sign + fixedFromDigits(mantissa, d.exponent, decimalSeparator);
}

// Rounds a digit string half up so that `keep` (>= 0) digits remain; a carry may add a digit in
// front and so raise the exponent.
void roundDigits(QString& digits, int& exponent, int keep)
{
    if (keep >= digits.size())
        return;
    const bool roundUp = digits[keep] >= u'5';
    digits.truncate(keep);
    if (!roundUp)
        return;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = u'0';
    }
    digits.prepend(u'1');
    ++exponent;
}

// Fixed notation with exactly `decimals` decimals, rounded at 15 significant digits first.
QString fixedFormat(double value, int decimals, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    DecimalDigits d = decimalDigitsOf(value, significantDigitsGeneral);
    if (d.exponent >= significantDigitsGeneral)
        return generalFormat(value, significantDigitsGeneral, 0, decimalSeparator);
    const int keep = d.exponent + 1 + decimals;
    if (keep < 0)
        d.digits.clear();
    else
        roundDigits(d.digits, d.exponent, keep);
    if (d.digits.count(u'0') == d.digits.size())
        return QStringLiteral("0") + decimalSeparator + QString(decimals, u'0');
    const QString padded = d.digits.leftJustified(d.exponent + 1 + decimals, u'0');
    return signOf(value, d.digits) + fixedFromDigits(padded, d.exponent, decimalSeparator);
}

// The lower bound is tested first, so inverted bounds give the lower one.
template <typename T> T boundedBy(T value, T minValue, T maxValue)
{
    if (value < minValue)
        return minValue;
    if (value > maxValue)
        return maxValue;
    return value;
}

int msecsOfDayOf(double dateTime)
{
    const auto msecs =
        static_cast<qint64>(std::llround(std::fabs(timeFractionOf(dateTime)) * msecsPerDay));
    return msecs >= static_cast<qint64>(msecsPerDay) ? 0 : static_cast<int>(msecs);
}

std::optional<int> fieldValue(const QString& field, int limit)
{
    if (!allDigits(field) || field.size() > 4)
        return std::nullopt;
    const int value = field.toInt();
    return value < limit ? std::optional<int>(value) : std::nullopt;
}

} // namespace

LocaleFormat localeFormatOf(const QLocale& locale)
{
    LocaleFormat format;
    format.decimalSeparator = locale.decimalPoint().at(0);
    format.thousandSeparator = locale.groupSeparator().at(0);
    format.shortDateFormat = widenTwoDigitYear(locale.dateFormat(QLocale::ShortFormat));
    format.dateSeparator = patternSeparator(format.shortDateFormat, u'/');
    format.timeSeparator = patternSeparator(locale.timeFormat(QLocale::ShortFormat), u':');
    return format;
}

namespace {
std::optional<LocaleFormat>& cachedLocaleFormat()
{
    static std::optional<LocaleFormat> cached;
    return cached;
}
} // namespace

const LocaleFormat& localeFormat()
{
    std::optional<LocaleFormat>& cached = cachedLocaleFormat();
    if (!cached)
        cached = localeFormatOf(QLocale());
    return *cached;
}

void reloadLocaleFormat()
{
    cachedLocaleFormat() = localeFormatOf(QLocale());
}

// --- integers -------------------------------------------------------------------------------

std::optional<int> parseDecimalInteger(const QString& text)
{
    const QString t = trimmedText(text);
    qsizetype i = 0;
    const bool negative = !t.isEmpty() && t[0] == u'-';
    if (!t.isEmpty() && (t[0] == u'-' || t[0] == u'+'))
        ++i;
    const QString digits = t.mid(i);
    if (!allDigits(digits))
        return std::nullopt;
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 magnitude = 0;
    for (const QChar c : digits) {
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int readInteger(const QString& text, int fallback)
{
    if (trimmedText(text).isEmpty())
        return 0;
    return parseDecimalInteger(text).value_or(fallback);
}

int addSaturated(int value, double delta)
{
    const double sum = static_cast<double>(value) + delta;
    if (std::isnan(sum))
        return value;
    if (sum >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (sum <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(sum);
}

int clampInteger(int value, int minValue, int maxValue)
{
    return minValue == 0 && maxValue == 0 ? value : boundedBy(value, minValue, maxValue);
}

// --- floating point -------------------------------------------------------------------------

std::optional<double> parseFloat(const QString& text, QChar decimalSeparator)
{
    const QString t = trimmedText(text);
    QString plain;
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'-' || t[i] == u'+'))
        plain += t[i++];
    int mantissaDigits = 0;
    for (; i < n && isDecimalDigit(t[i]); ++i, ++mantissaDigits)
        plain += t[i];
    if (i < n && t[i] == decimalSeparator) {
        plain += u'.';
        for (++i; i < n && isDecimalDigit(t[i]); ++i, ++mantissaDigits)
            plain += t[i];
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        plain += u'e';
        ++i;
        if (i < n && (t[i] == u'-' || t[i] == u'+'))
            plain += t[i++];
        int exponentDigits = 0;
        for (; i < n && isDecimalDigit(t[i]); ++i, ++exponentDigits)
            plain += t[i];
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double readFloat(const QString& text, QChar decimalSeparator, double fallback)
{
    if (trimmedText(text).isEmpty())
        return 0.0;
    return parseFloat(text, decimalSeparator).value_or(fallback);
}

QString formatFloat(double value, int precision, QChar decimalSeparator)
{
    precision = std::min(precision, maxPrecision);
    if (precision < 0)
        return generalFormat(value, significantDigitsShort, shortExponentDigits, decimalSeparator);
    if (precision == 0)
        return generalFormat(value, significantDigitsGeneral, 0, decimalSeparator);
    return fixedFormat(value, precision, decimalSeparator);
}

double clampReal(double value, double minValue, double maxValue)
{
    return minValue == maxValue ? value : boundedBy(value, minValue, maxValue);
}

// --- hexadecimal ----------------------------------------------------------------------------

int parseHex(const QString& text)
{
    const auto digitOf = [](QChar c) {
        const char16_t u = c.toUpper().unicode();
        return static_cast<std::uint32_t>(u <= u':' ? u - 48 : u - 55);
    };
    const QString digits = text.mid(2);
    std::uint32_t result = 0;
    qsizetype i = 0;
    for (; i + 1 < digits.size(); i += 2)
        result = result * 256u + digitOf(digits[i]) * 16u + digitOf(digits[i + 1]);
    if (i < digits.size())
        result = result * 16u + digitOf(digits[i]);
    return static_cast<int>(result);
}

QString formatHex(int value)
{
    return QStringLiteral("0x") + QString::number(static_cast<std::uint32_t>(value), 16).toUpper();
}

int addWrapping(int value, qint64 delta)
{
    return static_cast<int>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(delta));
}

// --- the smart step -------------------------------------------------------------------------

SmartStep smartStep(const QString& text, int caret, QChar decimalSeparator)
{
    if (caret == 0 || (caret == 1 && text.contains(u'-')))
        return {};
    const auto length = static_cast<int>(text.size());
    const int separatorAt = static_cast<int>(text.indexOf(decimalSeparator)) + 1;
    const int right = length - caret;
    const int fractionDigits = separatorAt == 0 ? -1 : length - separatorAt;
    if (right >= fractionDigits) {
        double size = 1.0;
        for (int k = right - fractionDigits - 1; k > 0; --k)
            size *= 10.0;
        return {SmartStepKind::Whole, size};
    }
    double size = 1.0;
    for (int k = fractionDigits - right; k > 0; --k)
        size /= 10.0;
    return {SmartStepKind::Fraction, size};
}

// --- dates and times ------------------------------------------------------------------------

std::array<DateField, 3> dateFieldOrder(const QString& shortDateFormat)
{
    std::array<DateField, 3> order{DateField::Day, DateField::Month, DateField::Year};
    std::size_t found = 0;
    for (const DatePatternToken& token : datePatternTokens(shortDateFormat)) {
        const std::optional<DateField> field =
            token.field == u'd'   ? std::optional(DateField::Day)
            : token.field == u'M' ? std::optional(DateField::Month)
            : token.field == u'y' ? std::optional(DateField::Year)
                                  : std::nullopt;
        if (!field ||
            std::find(order.begin(), order.begin() + found, *field) != order.begin() + found)
            continue;
        order[found++] = *field;
        if (found == order.size())
            return order;
    }
    return {DateField::Day, DateField::Month, DateField::Year};
}

DateField dateFieldAt(const QString& text, int caret, QChar dateSeparator,
                      const QString& shortDateFormat)
{
    const auto first = static_cast<int>(text.indexOf(dateSeparator)) + 1;
    const auto second = first == 0 ? 0 : static_cast<int>(text.indexOf(dateSeparator, first)) + 1;
    const std::array<DateField, 3> order = dateFieldOrder(shortDateFormat);
    if (caret < first)
        return order[0];
    if (caret < second)
        return order[1];
    return order[2];
}

double dateTimeOf(const QDate& date, int msecsOfDay)
{
    return static_cast<double>(dateTimeEpoch().daysTo(date)) + msecsOfDay / msecsPerDay;
}

double limitedToDateRange(double dateTime)
{
    // A negative date-time carries its time of day as a positive fraction below the whole days.
    const double lastMsecOfDay = (msecsPerDay - 1.0) / msecsPerDay;
    static const double first = dateTimeOf(QDate(1, 1, 1)) - lastMsecOfDay;
    static const double last = dateTimeOf(QDate(9999, 12, 31)) + lastMsecOfDay;
    return std::clamp(dateTime, first, last);
}

QDate dateOf(double dateTime)
{
    return dateTimeEpoch().addDays(static_cast<qint64>(wholeDaysOf(dateTime)));
}

double currentDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    return dateTimeOf(now.date(), now.time().msecsSinceStartOfDay());
}

double timeFractionOf(double dateTime)
{
    return dateTime - wholeDaysOf(dateTime);
}

double wholeDaysOf(double dateTime)
{
    return std::trunc(dateTime);
}

std::optional<double> parseDate(const QString& text, const QString& shortDateFormat,
                                QChar dateSeparator)
{
    const std::optional<std::array<QString, 3>> fields =
        dateDigitRuns(trimmedText(text), shortDateFormat, dateSeparator);
    if (!fields)
        return std::nullopt;
    const std::array<DateField, 3> order = dateFieldOrder(shortDateFormat);
    int day = 0;
    int month = 0;
    int year = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::optional<int> value = fieldValue((*fields)[i], 10000);
        if (!value)
            return std::nullopt;
        switch (order[i]) {
        case DateField::Day:
            day = *value;
            break;
        case DateField::Month:
            month = *value;
            break;
        case DateField::Year:
            year = *value;
            break;
        }
    }
    const QDate date(year, month, day);
    if (year < 1 || !date.isValid())
        return std::nullopt;
    return dateTimeOf(date);
}

QString formatDate(double dateTime, const QString& shortDateFormat)
{
    const QDate date = dateOf(dateTime);
    const auto padded = [](int value, qsizetype width) {
        return QString::number(value).rightJustified(width, u'0');
    };
    QString text;
    for (const DatePatternToken& token : datePatternTokens(shortDateFormat)) {
        const qsizetype width = std::min<qsizetype>(token.run, 2);
        if (token.field == u'd')
            text += padded(date.day(), width);
        else if (token.field == u'M')
            text += padded(date.month(), width);
        else if (token.field == u'y')
            text += token.run <= 2 ? padded(date.year() % 100, 2) : padded(date.year(), 4);
        else
            text += token.literal;
    }
    return text;
}

double addMonths(double dateTime, int months)
{
    const QDate date = dateOf(dateTime);
    return dateTimeOf(date.addMonths(months)) + timeFractionOf(dateTime);
}

double addYears(double dateTime, int years)
{
    const QDate date = dateOf(dateTime);
    const int year = date.year() + years;
    if (year < 1 || year > 9999)
        throw EConvertError("Invalid argument to date encode");
    const int day = std::min(date.day(), QDate(year, date.month(), 1).daysInMonth());
    return dateTimeOf(QDate(year, date.month(), day));
}

std::optional<double> parseTime(const QString& text, QChar timeSeparator)
{
    const QStringList fields = trimmedText(text).split(timeSeparator);
    if (fields.size() < 2 || fields.size() > 3)
        return std::nullopt;
    const std::optional<int> hours = fieldValue(fields[0], 24);
    const std::optional<int> minutes = fieldValue(fields[1], 60);
    const std::optional<int> seconds = fields.size() == 3 ? fieldValue(fields[2], 60) : 0;
    if (!hours || !minutes || !seconds)
        return std::nullopt;
    return encodeTime(*hours, *minutes, *seconds);
}

QString formatTime(double dateTime, QChar timeSeparator, bool showSeconds)
{
    const int msecs = msecsOfDayOf(dateTime);
    const int hours = msecs / 3600000;
    const int minutes = msecs / 60000 % 60;
    const int seconds = msecs / 1000 % 60;
    QString text =
        QString::number(hours) + timeSeparator + QString::number(minutes).rightJustified(2, u'0');
    if (showSeconds)
        text += timeSeparator + QString::number(seconds).rightJustified(2, u'0');
    return text;
}

double encodeTime(int hours, int minutes, int seconds)
{
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        throw EConvertError("Invalid argument to time encode");
    return ((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0 / msecsPerDay;
}

} // namespace advspin
