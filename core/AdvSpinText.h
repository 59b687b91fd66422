// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>

// Text <-> value conversions of the spin edit, free of any widget so that they can be tested on
// their own. Date-time values are doubles: whole days since 30 December 1899 plus the fraction of
// the day. Nothing here raises except the date and time composers, which raise EConvertError.
namespace advspin {

// The separators and the short date layout of the user's locale.
struct LocaleFormat
{
    QChar decimalSeparator{u'.'};
    QChar thousandSeparator{u','};
    QChar dateSeparator{u'/'};
    QChar timeSeparator{u':'};
    // Qt-style pattern ("d", "M", "y" runs); a two-digit year is widened to four digits so that
    // a date survives a round trip through its text.
    QString shortDateFormat{QStringLiteral("M/d/yyyy")};
};

LocaleFormat localeFormatOf(const QLocale& locale);

// The separators of the default QLocale, read at the first call and kept.
const LocaleFormat& localeFormat();
// Reads them again (after QLocale::setDefault, for example).
void reloadLocaleFormat();

// --- integers -------------------------------------------------------------------------------

// A signed 32-bit decimal number after trimming blanks and control characters; no hex prefixes.
std::optional<int> parseDecimalInteger(const QString& text);
// The value of an integer text: 0 when blank, the fallback when it does not convert.
int readInteger(const QString& text, int fallback);
// value + delta, limited to the 32-bit range instead of wrapping.
int addSaturated(int value, double delta);
// Both bounds 0 means unbounded; otherwise the lower bound is tested first.
int clampInteger(int value, int minValue, int maxValue);

// --- floating point -------------------------------------------------------------------------

// A number with an optional sign, the given decimal separator and an optional exponent;
// surrounding blanks are allowed, thousands separators are not.
std::optional<double> parseFloat(const QString& text, QChar decimalSeparator);
// The value of a float text: 0.0 when blank, the fallback when it does not convert.
double readFloat(const QString& text, QChar decimalSeparator, double fallback);
// The most decimals a float text has: the 15 significant digits of the smallest double
// (4.9E-324) end at the 338th decimal, so more would only add zeros.
constexpr int maxPrecision = 338;
// The float text by precision: < 0 general with 4 significant digits (exponent of at least four
// digits), 0 general with 15 significant digits, > 0 fixed with that many decimals.
QString formatFloat(double value, int precision, QChar decimalSeparator);
// Equal bounds mean unbounded; otherwise the lower bound is tested first. Serves floats, dates
// and times.
double clampReal(double value, double minValue, double maxValue);

// --- hexadecimal ----------------------------------------------------------------------------

// Drops the first two characters ("0x") and adds up the rest two digits at a time, wrapping at
// 32 bits. Characters are not validated.
int parseHex(const QString& text);
// "0x" and upper-case digits without leading zeros; negative values as 32-bit two's complement.
QString formatHex(int value);
// value + delta with 32-bit wrap-around, as the hex digits show it.
int addWrapping(int value, qint64 delta);

// --- the smart step -------------------------------------------------------------------------

enum class SmartStepKind {
    Plain,    // caret at the front (or right after a minus): step by the configured increment
    Whole,    // a digit left of the decimal separator
    Fraction, // a digit of the fraction
};

struct SmartStep
{
    SmartStepKind kind{SmartStepKind::Plain};
    double size{0.0}; // a power of ten for Whole and Fraction
};

// The step that changes the digit immediately left of the caret (0 = before the first character).
SmartStep smartStep(const QString& text, int caret, QChar decimalSeparator);

// --- dates and times ------------------------------------------------------------------------

enum class DateField { Day, Month, Year };

// The order of day, month and year in a short date pattern; day, month, year when the pattern
// does not name all three.
std::array<DateField, 3> dateFieldOrder(const QString& shortDateFormat);
// The field that a caret position in a date text points at: before the first separator the
// first field, before the second the second, otherwise the third.
DateField dateFieldAt(const QString& text, int caret, QChar dateSeparator,
                      const QString& shortDateFormat);

double dateTimeOf(const QDate& date, int msecsOfDay = 0);
// The date-time limited to the days a date text can show, 1 January 0001 to 31 December 9999
// (a NaN stays NaN).
double limitedToDateRange(double dateTime);
QDate dateOf(double dateTime);
double currentDateTime();
// The signed fraction of the day and the whole days (truncated toward zero).
double timeFractionOf(double dateTime);
double wholeDaysOf(double dateTime);

std::optional<double> parseDate(const QString& text, const QString& shortDateFormat,
                                QChar dateSeparator);
QString formatDate(double dateTime, const QString& shortDateFormat);
// Calendar month step: the day is limited to the target month, the time of day stays.
double addMonths(double dateTime, int months);
// Calendar year step at midnight; 29 February goes to 28 February in a year without it.
// Raises EConvertError outside the years 1..9999.
double addYears(double dateTime, int years);

// "h:nn" or "h:nn:ss" with two or three fields; hours 0..23, minutes and seconds 0..59.
std::optional<double> parseTime(const QString& text, QChar timeSeparator);
QString formatTime(double dateTime, QChar timeSeparator, bool showSeconds);
// A time of day from its parts; raises EConvertError when a part is out of range.
double encodeTime(int hours, int minutes, int seconds);

} // namespace advspin
