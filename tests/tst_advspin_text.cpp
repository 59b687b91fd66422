// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpinText.h"
#include "Convert.h"

#include <QDate>
#include <QTest>

#include <limits>

using namespace advspin;

Q_DECLARE_METATYPE(SmartStepKind)
Q_DECLARE_METATYPE(DateField)

namespace {

constexpr double newYear2025 = 45658.0; // 1 January 2025 as a date-time
constexpr double oneMinute = 1.0 / 1440.0;

double timeOfDay(int h, int m, int s)
{
    return ((h * 60.0 + m) * 60.0 + s) / 86400.0;
}

} // namespace

class TestAdvSpinText : public QObject
{
    Q_OBJECT

private slots:
    void localeFormatOf_data();
    void localeFormatOf();
    void clampInteger_data();
    void clampInteger();
    void clampReal_data();
    void clampReal();
    void readInteger_data();
    void readInteger();
    void addSaturated_data();
    void addSaturated();
    void readFloat_data();
    void readFloat();
    void formatFloat_data();
    void formatFloat();
    void floatTextReadsBack_data();
    void floatTextReadsBack();
    void parseHex_data();
    void parseHex();
    void formatHex_data();
    void formatHex();
    void smartStep_data();
    void smartStep();
    void dateTimeOf();
    void formatDate_data();
    void formatDate();
    void parseDate_data();
    void parseDate();
    void shortDateReadsBackInEveryLocale();
    void dateFieldAt_data();
    void dateFieldAt();
    void addMonths_data();
    void addMonths();
    void addYears_data();
    void addYears();
    void addYearsOutOfRange();
    void parseTime_data();
    void parseTime();
    void formatTime_data();
    void formatTime();
    void encodeTimeOutOfRange_data();
    void encodeTimeOutOfRange();
};

void TestAdvSpinText::localeFormatOf_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands");
    QTest::addColumn<QChar>("date");
    QTest::addColumn<QChar>("time");
    QTest::addColumn<QString>("shortDate");
    QTest::newRow("en_US: month first, two-digit year widened")
        << QLocale(QLocale::English, QLocale::UnitedStates) << QChar(u'.') << QChar(u',')
        << QChar(u'/') << QChar(u':') << QString("M/d/yyyy");
    QTest::newRow("en_GB: day first")
        << QLocale(QLocale::English, QLocale::UnitedKingdom) << QChar(u'.') << QChar(u',')
        << QChar(u'/') << QChar(u':') << QString("dd/MM/yyyy");
    QTest::newRow("de_DE: comma decimal, dotted date")
        << QLocale(QLocale::German, QLocale::Germany) << QChar(u',') << QChar(u'.') << QChar(u'.')
        << QChar(u':') << QString("dd.MM.yyyy");
    QTest::newRow("fi_FI: dotted time")
        << QLocale(QLocale::Finnish, QLocale::Finland) << QChar(u',') << QChar(u'\u00a0')
        << QChar(u'.') << QChar(u'.') << QString("d.M.yyyy");
    QTest::newRow("ar_EG: the date separator is the slash, not the direction mark")
        << QLocale(QLocale::Arabic, QLocale::Egypt) << QChar(u'\u066b') << QChar(u'\u066c')
        << QChar(u'/') << QChar(u':') << QString::fromUtf8("d\u200f/M\u200f/yyyy");
}

void TestAdvSpinText::localeFormatOf()
{
    QFETCH(QLocale, locale);
    const LocaleFormat format = advspin::localeFormatOf(locale);
    QTEST(format.decimalSeparator, "decimal");
    QTEST(format.thousandSeparator, "thousands");
    QTEST(format.dateSeparator, "date");
    QTEST(format.timeSeparator, "time");
    QTEST(format.shortDateFormat, "shortDate");
}

void TestAdvSpinText::clampInteger_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("expected");
    QTest::newRow("both bounds 0: large value unbounded") << 123456 << 0 << 0 << 123456;
    QTest::newRow("both bounds 0: negative value unbounded") << -7 << 0 << 0 << -7;
    QTest::newRow("equal bounds 5 pin a low value") << 0 << 5 << 5 << 5;
    QTest::newRow("equal bounds 5 pin a high value") << 9 << 5 << 5 << 5;
    QTest::newRow("0..2: 3 gives 2") << 3 << 0 << 2 << 2;
    QTest::newRow("0..2: -1 gives 0") << -1 << 0 << 2 << 0;
    QTest::newRow("-1..10: 10 stays") << 10 << -1 << 10 << 10;
    QTest::newRow("-1..10: -1 stays") << -1 << -1 << 10 << -1;
    QTest::newRow("inverted bounds: lower bound tested first") << 7 << 9 << 3 << 9;
}

void TestAdvSpinText::clampInteger()
{
    QFETCH(int, value);
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    QTEST(advspin::clampInteger(value, minValue, maxValue), "expected");
}

void TestAdvSpinText::clampReal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("expected");
    QTest::newRow("equal bounds 5.0 are unbounded") << 7.5 << 5.0 << 5.0 << 7.5;
    QTest::newRow("both 0.0 are unbounded") << -3.0 << 0.0 << 0.0 << -3.0;
    QTest::newRow("below the range") << -0.5 << 0.0 << 1.0 << 0.0;
    QTest::newRow("above the range") << 1.5 << 0.0 << 1.0 << 1.0;
    QTest::newRow("inside the range") << 0.25 << 0.0 << 1.0 << 0.25;
}

void TestAdvSpinText::clampReal()
{
    QFETCH(double, value);
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QTEST(advspin::clampReal(value, minValue, maxValue), "expected");
}

void TestAdvSpinText::readInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty reads 0") << "" << 0;
    QTest::newRow("blanks read 0") << "  " << 0;
    QTest::newRow("plain digits") << "42" << 42;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("negative") << "-12" << -12;
    QTest::newRow("plus sign") << "+5" << 5;
    QTest::newRow("blanks and a tab around") << " \t9 " << 9;
    QTest::newRow("lowest 32-bit value") << "-2147483648" << std::numeric_limits<int>::min();
    QTest::newRow("highest 32-bit value") << "2147483647" << std::numeric_limits<int>::max();
    QTest::newRow("letters give the fallback") << "abc" << -99;
    QTest::newRow("a decimal separator gives the fallback") << "1.5" << -99;
    QTest::newRow("overflow gives the fallback") << "2147483648" << -99;
    QTest::newRow("a hex prefix is not decimal") << "0x10" << -99;
    QTest::newRow("a lone minus gives the fallback") << "-" << -99;
    QTest::newRow("an inner blank gives the fallback") << "1 2" << -99;
}

void TestAdvSpinText::readInteger()
{
    QFETCH(QString, text);
    QTEST(advspin::readInteger(text, -99), "expected");
}

void TestAdvSpinText::addSaturated_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("delta");
    QTest::addColumn<int>("expected");
    constexpr int top = std::numeric_limits<int>::max();
    constexpr int bottom = std::numeric_limits<int>::min();
    QTest::newRow("ordinary step") << 9 << 1.0 << 10;
    QTest::newRow("step down below zero") << 0 << -1.0 << -1;
    QTest::newRow("past the top stays at the top") << top << 1.0 << top;
    QTest::newRow("past the bottom stays at the bottom") << bottom << -10.0 << bottom;
    QTest::newRow("a huge power of ten saturates") << 5 << 1e300 << top;
}

void TestAdvSpinText::addSaturated()
{
    QFETCH(int, value);
    QFETCH(double, delta);
    QTEST(advspin::addSaturated(value, delta), "expected");
}

void TestAdvSpinText::readFloat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty reads 0") << "" << QChar(u'.') << 0.0;
    QTest::newRow("plain decimal") << "1.5" << QChar(u'.') << 1.5;
    QTest::newRow("comma locale") << "1,5" << QChar(u',') << 1.5;
    QTest::newRow("comma in a dot locale gives the fallback") << "1,5" << QChar(u'.') << -7.0;
    QTest::newRow("dot in a comma locale gives the fallback") << "1.5" << QChar(u',') << -7.0;
    QTest::newRow("exponent") << "2E3" << QChar(u'.') << 2000.0;
    QTest::newRow("negative exponent") << "-1.5e-2" << QChar(u'.') << -0.015;
    QTest::newRow("leading separator") << ".5" << QChar(u'.') << 0.5;
    QTest::newRow("trailing separator") << "5." << QChar(u'.') << 5.0;
    QTest::newRow("surrounding blanks") << " 3 " << QChar(u'.') << 3.0;
    QTest::newRow("thousands separator gives the fallback") << "1,000.5" << QChar(u'.') << -7.0;
    QTest::newRow("separator alone gives the fallback") << "." << QChar(u'.') << -7.0;
    QTest::newRow("exponent without digits gives the fallback") << "1E" << QChar(u'.') << -7.0;
    QTest::newRow("overflow gives the fallback") << "1E999" << QChar(u'.') << -7.0;
    QTest::newRow("letters give the fallback") << "abc" << QChar(u'.') << -7.0;
}

void TestAdvSpinText::readFloat()
{
    QFETCH(QString, text);
    QFETCH(QChar, decimal);
    QTEST(advspin::readFloat(text, decimal, -7.0), "expected");
}

void TestAdvSpinText::formatFloat_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QString>("expected");
    const QChar dot(u'.');
    QTest::newRow("general 15: zero") << 0.0 << 0 << dot << "0";
    QTest::newRow("general 15: 1.5") << 1.5 << 0 << dot << "1.5";
    QTest::newRow("general 15: 0.1 + 0.2 rounds at 15 digits") << 0.1 + 0.2 << 0 << dot << "0.3";
    QTest::newRow("general 15: negative") << -2.5 << 0 << dot << "-2.5";
    QTest::newRow("general 15: fifteen integer digits stay fixed")
        << 123456789012345.0 << 0 << dot << "123456789012345";
    QTest::newRow("general 15: sixteen integer digits go scientific")
        << 1234567890123456.0 << 0 << dot << "1.23456789012346E15";
    QTest::newRow("general 15: 1E20") << 1e20 << 0 << dot << "1E20";
    QTest::newRow("general 15: 0.00001 stays fixed") << 0.00001 << 0 << dot << "0.00001";
    QTest::newRow("general 15: below 0.00001 goes scientific") << 0.0000015 << 0 << dot << "1.5E-6";
    QTest::newRow("general 15: comma locale") << 12.75 << 0 << QChar(u',') << "12,75";
    QTest::newRow("general 4: rounds to four digits") << 3.14159 << -1 << dot << "3.142";
    QTest::newRow("general 4: trailing zeros removed") << 2.5 << -3 << dot << "2.5";
    QTest::newRow("general 4: four integer digits stay fixed") << 1234.4 << -1 << dot << "1234";
    QTest::newRow("general 4: five integer digits, four-digit exponent")
        << 12346.0 << -1 << dot << "1.235E0004";
    QTest::newRow("general 4: rounding up to a fifth digit") << 99999.0 << -1 << dot << "1E0005";
    QTest::newRow("general 4: tiny value") << 0.000001234 << -1 << dot << "1.234E-0006";
    QTest::newRow("general 4: negative scientific") << -123456.0 << -1 << dot << "-1.235E0005";
    QTest::newRow("fixed 2") << 1.25 << 2 << dot << "1.25";
    QTest::newRow("fixed 2: pads zeros") << 2.0 << 2 << dot << "2.00";
    QTest::newRow("fixed 2: rounds at 15 digits, 1.005 up") << 1.005 << 2 << dot << "1.01";
    QTest::newRow("fixed 2: carry into a new digit") << 9.999 << 2 << dot << "10.00";
    QTest::newRow("fixed 2: rounds up from below the last decimal") << 0.006 << 2 << dot << "0.01";
    QTest::newRow("fixed 2: tiny negative shows no minus") << -0.001 << 2 << dot << "0.00";
    QTest::newRow("fixed 2: negative") << -3.5 << 2 << dot << "-3.50";
    QTest::newRow("fixed 3: comma locale") << 1.5 << 3 << QChar(u',') << "1,500";
    QTest::newRow("fixed 4: digits past the fifteenth are zero")
        << 123456789012.34567 << 4 << dot << "123456789012.3460";
    QTest::newRow("fixed 2: sixteen integer digits go scientific") << 1e16 << 2 << dot << "1E16";
}

void TestAdvSpinText::formatFloat()
{
    QFETCH(double, value);
    QFETCH(int, precision);
    QFETCH(QChar, decimal);
    QTEST(advspin::formatFloat(value, precision, decimal), "expected");
}

// Every text the formatter writes must read back, or a float control could not step its own text.
void TestAdvSpinText::floatTextReadsBack_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision");
    QTest::newRow("scientific short format") << 123456.0 << -1;
    QTest::newRow("tiny short format") << 0.0000012 << -1;
    QTest::newRow("general 15") << 1234567890123456.0 << 0;
    QTest::newRow("fixed") << 12.5 << 3;
}

void TestAdvSpinText::floatTextReadsBack()
{
    QFETCH(double, value);
    QFETCH(int, precision);
    const QString text = advspin::formatFloat(value, precision, u',');
    const std::optional<double> back = parseFloat(text, u',');
    QVERIFY2(back.has_value(), qPrintable(text));
    QVERIFY(qAbs(*back - value) <= qAbs(value) * 1e-3);
}

void TestAdvSpinText::parseHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("0x0") << "0x0" << 0;
    QTest::newRow("0xFF") << "0xFF" << 255;
    QTest::newRow("lower-case digits") << "0xff" << 255;
    QTest::newRow("odd digit count") << "0x123" << 0x123;
    QTest::newRow("eight F digits are -1") << "0xFFFFFFFF" << -1;
    QTest::newRow("nine digits wrap at 32 bits") << "0x1FFFFFFFF" << -1;
    QTest::newRow("any two leading characters are dropped") << "ab12" << 0x12;
    QTest::newRow("decimal 12 loses both digits") << "12" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestAdvSpinText::parseHex()
{
    QFETCH(QString, text);
    QTEST(advspin::parseHex(text), "expected");
}

void TestAdvSpinText::formatHex_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero has one digit") << 0 << "0x0";
    QTest::newRow("255") << 255 << "0xFF";
    QTest::newRow("4096") << 4096 << "0x1000";
    QTest::newRow("-1 as two's complement") << -1 << "0xFFFFFFFF";
    QTest::newRow("lowest value") << std::numeric_limits<int>::min() << "0x80000000";
}

void TestAdvSpinText::formatHex()
{
    QFETCH(int, value);
    QTEST(advspin::formatHex(value), "expected");
}

void TestAdvSpinText::smartStep_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<SmartStepKind>("kind");
    QTest::addColumn<double>("size");
    const QChar dot(u'.');
    QTest::newRow("123 caret 3 steps 1") << "123" << 3 << dot << SmartStepKind::Whole << 1.0;
    QTest::newRow("123 caret 2 steps 10") << "123" << 2 << dot << SmartStepKind::Whole << 10.0;
    QTest::newRow("123 caret 1 steps 100") << "123" << 1 << dot << SmartStepKind::Whole << 100.0;
    QTest::newRow("123 caret 0 is plain") << "123" << 0 << dot << SmartStepKind::Plain << 0.0;
    QTest::newRow("-5 caret 1 is plain") << "-5" << 1 << dot << SmartStepKind::Plain << 0.0;
    QTest::newRow("-5 caret 2 steps 1") << "-5" << 2 << dot << SmartStepKind::Whole << 1.0;
    QTest::newRow("-12 caret 2 steps 10") << "-12" << 2 << dot << SmartStepKind::Whole << 10.0;
    QTest::newRow("12.345 caret 6 steps 0.001")
        << "12.345" << 6 << dot << SmartStepKind::Fraction << 0.001;
    QTest::newRow("12.345 caret 4 steps 0.1")
        << "12.345" << 4 << dot << SmartStepKind::Fraction << 0.1;
    QTest::newRow("12.345 caret 3, after the separator, steps 1")
        << "12.345" << 3 << dot << SmartStepKind::Whole << 1.0;
    QTest::newRow("12.345 caret 2 steps 1") << "12.345" << 2 << dot << SmartStepKind::Whole << 1.0;
    QTest::newRow("12.345 caret 1 steps 10")
        << "12.345" << 1 << dot << SmartStepKind::Whole << 10.0;
    QTest::newRow("comma locale 12,345 caret 6 steps 0.001")
        << "12,345" << 6 << QChar(u',') << SmartStepKind::Fraction << 0.001;
    QTest::newRow("a comma is no separator in a dot locale")
        << "12,345" << 6 << dot << SmartStepKind::Whole << 1.0;
    QTest::newRow("1.25 caret 1 steps 1") << "1.25" << 1 << dot << SmartStepKind::Whole << 1.0;
}

void TestAdvSpinText::smartStep()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QChar, decimal);
    QFETCH(SmartStepKind, kind);
    QFETCH(double, size);
    const SmartStep step = advspin::smartStep(text, caret, decimal);
    QCOMPARE(step.kind, kind);
    if (kind != SmartStepKind::Plain)
        QCOMPARE(step.size, size);
}

void TestAdvSpinText::dateTimeOf()
{
    QCOMPARE(advspin::dateTimeOf(QDate(1899, 12, 30)), 0.0);
    QCOMPARE(advspin::dateTimeOf(QDate(1900, 1, 1)), 2.0);
    QCOMPARE(advspin::dateTimeOf(QDate(2025, 1, 1)), newYear2025);
    QCOMPARE(advspin::dateTimeOf(QDate(2025, 1, 1), 43200000), newYear2025 + 0.5);
    QCOMPARE(dateOf(newYear2025 + 0.75), QDate(2025, 1, 1));
    QCOMPARE(timeFractionOf(newYear2025 + 0.25), 0.25);
    QCOMPARE(wholeDaysOf(newYear2025 + 0.25), newYear2025);
}

void TestAdvSpinText::formatDate_data()
{
    QTest::addColumn<double>("date");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("day first, padded") << newYear2025 << "dd/MM/yyyy"
                                       << "01/01/2025";
    QTest::newRow("month first, unpadded") << newYear2025 + 40 << "M/d/yyyy"
                                           << "2/10/2025";
    QTest::newRow("dotted") << newYear2025 + 40 << "dd.MM.yyyy"
                            << "10.02.2025";
    QTest::newRow("year first") << newYear2025 + 40 << "yyyy/MM/dd"
                                << "2025/02/10";
    QTest::newRow("the time of day is not shown") << newYear2025 + 0.9 << "d/M/yyyy"
                                                  << "1/1/2025";
    QTest::newRow("two-digit year") << newYear2025 << "d.M.yy"
                                    << "1.1.25";
}

void TestAdvSpinText::formatDate()
{
    QFETCH(double, date);
    QFETCH(QString, pattern);
    QTEST(advspin::formatDate(date, pattern), "expected");
}

void TestAdvSpinText::parseDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDate>("expected");
    const QChar slash(u'/');
    QTest::newRow("day first") << "8/12/2026"
                               << "d/M/yyyy" << slash << true << QDate(2026, 12, 8);
    QTest::newRow("month first") << "8/12/2026"
                                 << "M/d/yyyy" << slash << true << QDate(2026, 8, 12);
    QTest::newRow("padded fields") << "08/02/2026"
                                   << "dd/MM/yyyy" << slash << true << QDate(2026, 2, 8);
    QTest::newRow("year first") << "2026.2.8"
                                << "yyyy.M.d" << QChar(u'.') << true << QDate(2026, 2, 8);
    QTest::newRow("31 February is no date") << "31/2/2026"
                                            << "d/M/yyyy" << slash << false << QDate();
    QTest::newRow("two fields are not enough") << "8/12"
                                               << "d/M/yyyy" << slash << false << QDate();
    QTest::newRow("letters") << "a/b/c"
                             << "d/M/yyyy" << slash << false << QDate();
    QTest::newRow("wrong separator") << "8.12.2026"
                                     << "d/M/yyyy" << slash << false << QDate();
    QTest::newRow("year 0") << "1/1/0"
                            << "d/M/yyyy" << slash << false << QDate();
    const QChar dot(u'.');
    QTest::newRow("Hungarian as written") << "2024. 05. 07."
                                          << "yyyy. MM. dd." << dot << true << QDate(2024, 5, 7);
    QTest::newRow("Bulgarian as written, with the year word")
        << QString::fromUtf8("7.05.2024 г.") << QString::fromUtf8("d.MM.yyyy 'г'.") << dot << true
        << QDate(2024, 5, 7);
    QTest::newRow("Arabic as written, with right-to-left marks")
        << QString::fromUtf8("7\u200f/5\u200f/2024") << QString::fromUtf8("d\u200f/M\u200f/yyyy")
        << slash << true << QDate(2024, 5, 7);
    QTest::newRow("different separators as written")
        << "07/05 2024"
        << "dd/MM yyyy" << slash << true << QDate(2024, 5, 7);
}

// Every locale's short date text, as the edit writes it, must read back as the same date.
void TestAdvSpinText::shortDateReadsBackInEveryLocale()
{
    const QList<QDate> dates{QDate(1, 1, 1), QDate(1899, 12, 30), QDate(2024, 5, 7),
                             QDate(2026, 12, 31), QDate(9999, 12, 31)};
    QStringList unreadable;
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 100);
    for (const QLocale& locale : locales) {
        const LocaleFormat format = advspin::localeFormatOf(locale);
        for (const QDate& date : dates) {
            const QString text =
                advspin::formatDate(advspin::dateTimeOf(date), format.shortDateFormat);
            const std::optional<double> read =
                advspin::parseDate(text, format.shortDateFormat, format.dateSeparator);
            if (!read || dateOf(*read) != date)
                unreadable << locale.name() + u' ' + format.shortDateFormat + u' ' + text;
        }
    }
    QCOMPARE(unreadable, QStringList());
}

void TestAdvSpinText::parseDate()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QChar, separator);
    QFETCH(bool, valid);
    QFETCH(QDate, expected);
    const std::optional<double> date = advspin::parseDate(text, pattern, separator);
    QCOMPARE(date.has_value(), valid);
    if (valid)
        QCOMPARE(dateOf(*date), expected);
}

void TestAdvSpinText::dateFieldAt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("caret");
    QTest::addColumn<DateField>("expected");
    QTest::newRow("day first, caret 0") << "08/12/2026"
                                        << "dd/MM/yyyy" << 0 << DateField::Day;
    QTest::newRow("day first, caret before the separator") << "08/12/2026"
                                                           << "dd/MM/yyyy" << 2 << DateField::Day;
    QTest::newRow("day first, caret after the separator") << "08/12/2026"
                                                          << "dd/MM/yyyy" << 3 << DateField::Month;
    QTest::newRow("day first, caret before the second separator")
        << "08/12/2026"
        << "dd/MM/yyyy" << 5 << DateField::Month;
    QTest::newRow("day first, caret in the year") << "08/12/2026"
                                                  << "dd/MM/yyyy" << 6 << DateField::Year;
    QTest::newRow("day first, caret at the end") << "08/12/2026"
                                                 << "dd/MM/yyyy" << 10 << DateField::Year;
    QTest::newRow("month first, caret 0") << "12/8/2026"
                                          << "M/d/yyyy" << 0 << DateField::Month;
    QTest::newRow("month first, second field") << "12/8/2026"
                                               << "M/d/yyyy" << 4 << DateField::Day;
    QTest::newRow("month first, year") << "12/8/2026"
                                       << "M/d/yyyy" << 5 << DateField::Year;
    QTest::newRow("year first, caret 0") << "2026/12/08"
                                         << "yyyy/MM/dd" << 0 << DateField::Year;
    QTest::newRow("year first, last field") << "2026/12/08"
                                            << "yyyy/MM/dd" << 9 << DateField::Day;
    QTest::newRow("no separator: the last field") << "0"
                                                  << "dd/MM/yyyy" << 0 << DateField::Year;
}

void TestAdvSpinText::dateFieldAt()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(int, caret);
    QTEST(advspin::dateFieldAt(text, caret, u'/', pattern), "expected");
}

void TestAdvSpinText::addMonths_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("months");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("31 January + 1 is 28 February") << QDate(2025, 1, 31) << 1 << QDate(2025, 2, 28);
    QTest::newRow("31 January 2024 + 1 is 29 February")
        << QDate(2024, 1, 31) << 1 << QDate(2024, 2, 29);
    QTest::newRow("December + 1 is January") << QDate(2025, 12, 5) << 1 << QDate(2026, 1, 5);
    QTest::newRow("January - 1 is December") << QDate(2025, 1, 5) << -1 << QDate(2024, 12, 5);
    QTest::newRow("31 March - 1 is 28 February") << QDate(2025, 3, 31) << -1 << QDate(2025, 2, 28);
}

void TestAdvSpinText::addMonths()
{
    QFETCH(QDate, from);
    QFETCH(int, months);
    QFETCH(QDate, expected);
    const double stepped = advspin::addMonths(advspin::dateTimeOf(from) + 0.25, months);
    QCOMPARE(dateOf(stepped), expected);
    QCOMPARE(timeFractionOf(stepped), 0.25);
}

void TestAdvSpinText::addYears_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("years");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("ordinary year up") << QDate(2025, 6, 15) << 1 << QDate(2026, 6, 15);
    QTest::newRow("ordinary year down") << QDate(2025, 6, 15) << -1 << QDate(2024, 6, 15);
    QTest::newRow("29 February to a common year is 28 February")
        << QDate(2024, 2, 29) << 1 << QDate(2025, 2, 28);
    QTest::newRow("29 February four years on stays")
        << QDate(2024, 2, 29) << 4 << QDate(2028, 2, 29);
}

void TestAdvSpinText::addYears()
{
    QFETCH(QDate, from);
    QFETCH(int, years);
    QFETCH(QDate, expected);
    const double stepped = advspin::addYears(advspin::dateTimeOf(from) + 0.25, years);
    QCOMPARE(dateOf(stepped), expected);
    QCOMPARE(timeFractionOf(stepped), 0.0);
}

void TestAdvSpinText::addYearsOutOfRange()
{
    QVERIFY_THROWS_EXCEPTION(EConvertError,
                             advspin::addYears(advspin::dateTimeOf(QDate(9999, 1, 1)), 1));
}

void TestAdvSpinText::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("expected");
    const QChar colon(u':');
    QTest::newRow("hours and minutes") << "9:05" << colon << true << timeOfDay(9, 5, 0);
    QTest::newRow("with seconds") << "9:05:30" << colon << true << timeOfDay(9, 5, 30);
    QTest::newRow("midnight") << "0:00:00" << colon << true << 0.0;
    QTest::newRow("last second") << "23:59:59" << colon << true << timeOfDay(23, 59, 59);
    QTest::newRow("dotted separator") << "9.05" << QChar(u'.') << true << timeOfDay(9, 5, 0);
    QTest::newRow("hour 24") << "24:00" << colon << false << 0.0;
    QTest::newRow("minute 60") << "9:60" << colon << false << 0.0;
    QTest::newRow("hours alone") << "9" << colon << false << 0.0;
    QTest::newRow("four fields") << "1:2:3:4" << colon << false << 0.0;
    QTest::newRow("letters") << "a:bc" << colon << false << 0.0;
}

void TestAdvSpinText::parseTime()
{
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QFETCH(bool, valid);
    const std::optional<double> time = advspin::parseTime(text, separator);
    QCOMPARE(time.has_value(), valid);
    if (valid)
        QTEST(*time, "expected");
}

void TestAdvSpinText::formatTime_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("seconds");
    QTest::addColumn<QString>("expected");
    const QChar colon(u':');
    QTest::newRow("no leading zero in the hour") << timeOfDay(9, 5, 30) << colon << false << "9:05";
    QTest::newRow("with seconds") << timeOfDay(9, 5, 30) << colon << true << "9:05:30";
    QTest::newRow("midnight") << 0.0 << colon << true << "0:00:00";
    QTest::newRow("the whole days are not shown")
        << 3.0 + timeOfDay(23, 0, 1) << colon << true << "23:00:01";
    QTest::newRow("one minute past by steps")
        << timeOfDay(9, 5, 0) + oneMinute << colon << false << "9:06";
    QTest::newRow("dotted separator") << timeOfDay(14, 30, 0) << QChar(u'.') << false << "14.30";
}

void TestAdvSpinText::formatTime()
{
    QFETCH(double, time);
    QFETCH(QChar, separator);
    QFETCH(bool, seconds);
    QTEST(advspin::formatTime(time, separator, seconds), "expected");
}

void TestAdvSpinText::encodeTimeOutOfRange_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::newRow("24 hours") << 24 << 0;
    QTest::newRow("negative hours") << -1 << 0;
    QTest::newRow("60 minutes") << 0 << 60;
}

void TestAdvSpinText::encodeTimeOutOfRange()
{
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QVERIFY_THROWS_EXCEPTION(EConvertError, advspin::encodeTime(hours, minutes, 0));
}

QTEST_GUILESS_MAIN(TestAdvSpinText)
#include "tst_advspin_text.moc"
