// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"
#include "AdvSpinText.h"
#include "Convert.h"

#include <QAccessible>
#include <QDate>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace advspin;

Q_DECLARE_METATYPE(TAdvSpinType)

namespace {

double timeOfDay(int h, int m, int s)
{
    return ((h * 60.0 + m) * 60.0 + s) / 86400.0;
}

const QLocale usEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale ukEnglish(QLocale::English, QLocale::UnitedKingdom);

void pinLocale(const QLocale& locale)
{
    QLocale::setDefault(locale);
    reloadLocaleFormat();
}

void clickStep(TAdvSpinEdit& edit, bool up)
{
    if (up)
        edit.UpClick(nullptr);
    else
        edit.DownClick(nullptr);
}

} // namespace

class TestAdvSpinValue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void valueWriteClamps_data();
    void valueWriteClamps();
    void floatWriteClamps_data();
    void floatWriteClamps();
    void valueReads_data();
    void valueReads();
    void emptyTextReads();
    void dateValue();
    void timeValue();
    void hexValueWrites_data();
    void hexValueWrites();
    void valueWriteSelectsAllWhenEditorDisabled();
    void onChangeOncePerActualChange();
    void nestedWritesFromOnChangeRunDepthFirst();
    void programmaticWritesKeepModified_data();
    void programmaticWritesKeepModified();
    void stepUpDown_data();
    void stepUpDown();
    void upDownClick_data();
    void upDownClick();
    void dateFieldSteps_data();
    void dateFieldSteps();
    void timeFieldSteps_data();
    void timeFieldSteps();
    void caretRepairAndSelection_data();
    void caretRepairAndSelection();
    void readOnlyClickBeepsAndStillReports();
    void timeIncrementsOutOfRangeAbandonStep_data();
    void timeIncrementsOutOfRangeAbandonStep();
    void spinTypeChange_data();
    void spinTypeChange();
    void precisionReformats();
    void unsafeValues_data();
    void unsafeValues();
    void precisionIsLimited();
    void showSecondsOnlyInTimeKind();
    void loadingPassesValuesThrough();
    void loadedAppliesStoredValuesWithoutOnChange_data();
    void loadedAppliesStoredValuesWithoutOnChange();

private:
    int m_beeps{0};
};

void TestAdvSpinValue::init()
{
    pinLocale(usEnglish);
    m_beeps = 0;
    setMessageBeep([this] { ++m_beeps; });
}

void TestAdvSpinValue::cleanup()
{
    setMessageBeep(nullptr);
}

void TestAdvSpinValue::valueWriteClamps_data()
{
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("expected");
    QTest::newRow("range 0..2: 3 gives 2") << 0 << 2 << 3 << "2";
    QTest::newRow("range 0..2: -1 gives 0") << 0 << 2 << -1 << "0";
    QTest::newRow("digit control: 10 stays") << -1 << 10 << 10 << "10";
    QTest::newRow("digit control: -1 stays") << -1 << 10 << -1 << "-1";
    QTest::newRow("both bounds 0: 123456 stays") << 0 << 0 << 123456 << "123456";
    QTest::newRow("both bounds 0: -7 stays") << 0 << 0 << -7 << "-7";
    QTest::newRow("bounds 5..5: 0 gives 5") << 5 << 5 << 0 << "5";
    QTest::newRow("bounds 5..5: 9 gives 5") << 5 << 5 << 9 << "5";
}

void TestAdvSpinValue::valueWriteClamps()
{
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    QFETCH(int, written);
    QFETCH(QString, expected);
    TAdvSpinEdit edit;
    edit.setText("1");
    edit.setMinValue(minValue);
    edit.setMaxValue(maxValue);
    int changes = 0;
    edit.OnChange = [&](QObject* sender) {
        QCOMPARE(sender, &edit);
        ++changes;
    };
    edit.setValue(written);
    QCOMPARE(edit.text(), expected);
    QCOMPARE(edit.Value(), expected.toInt());
    QCOMPARE(changes, 1);
    // Assistive technology is told the same range (none for 0..0) and writes through the clamp.
    QAccessibleValueInterface* value =
        QAccessible::queryAccessibleInterface(&edit)->valueInterface();
    const bool bounded = minValue != 0 || maxValue != 0;
    QCOMPARE(value->maximumValue(), bounded ? QVariant(maxValue) : QVariant());
    edit.setText("1");
    value->setCurrentValue(written);
    QCOMPARE(value->currentValue(), QVariant(expected.toInt()));
}

void TestAdvSpinValue::floatWriteClamps_data()
{
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("written");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bounds 5.0..5.0 do not clamp") << 5.0 << 5.0 << 7.5 << "7.5";
    QTest::newRow("bounds 0..0 do not clamp") << 0.0 << 0.0 << -7.5 << "-7.5";
    QTest::newRow("above the range") << 0.0 << 1.0 << 1.5 << "1";
    QTest::newRow("below the range") << 0.5 << 1.0 << 0.25 << "0.5";
}

void TestAdvSpinValue::floatWriteClamps()
{
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, written);
    TAdvSpinEdit edit;
    edit.setMinFloatValue(minValue);
    edit.setMaxFloatValue(maxValue);
    edit.setFloatValue(written);
    QTEST(edit.text(), "expected");
}

void TestAdvSpinValue::valueReads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("floatValue");
    QTest::newRow("007 reads 7") << "007" << 7 << 7.0;
    QTest::newRow("blank reads 0") << "   " << 0 << 0.0;
    QTest::newRow("abc falls back to MinValue") << "abc" << -1 << -1.0;
    QTest::newRow("1.5 is no integer") << "1.5" << -1 << 1.5;
    QTest::newRow("2E3 is a float") << "2E3" << -1 << 2000.0;
    QTest::newRow("overflow falls back to MinValue") << "99999999999" << -1 << 99999999999.0;
}

void TestAdvSpinValue::valueReads()
{
    QFETCH(QString, text);
    TAdvSpinEdit edit;
    edit.setMinValue(-1);
    edit.setMaxValue(10);
    edit.setText(text);
    QTEST(edit.Value(), "value");
    QTEST(edit.FloatValue(), "floatValue");
}

void TestAdvSpinValue::emptyTextReads()
{
    TAdvSpinEdit edit;
    edit.setMinValue(3);
    edit.setText("");
    QCOMPARE(edit.Value(), 0);
    QCOMPARE(edit.FloatValue(), 0.0);
    QCOMPARE(edit.HexValue(), 0);
    QCOMPARE(edit.TimeValue(), 0.0);
    const double before = currentDateTime();
    const double date = edit.DateValue();
    QVERIFY(date >= before && date <= currentDateTime());
    edit.setText("0");
    QVERIFY(edit.DateValue() >= before);
}

void TestAdvSpinValue::dateValue()
{
    TAdvSpinEdit edit;
    edit.setSpinType(sptDate);
    const double noon = dateTimeOf(QDate(2026, 12, 8)) + 0.5;
    edit.setDateValue(noon);
    QCOMPARE(edit.text(), "12/8/2026");
    QCOMPARE(edit.DateValue(), noon);
    edit.setText("1/31/2025");
    QCOMPARE(edit.DateValue(), dateTimeOf(QDate(2025, 1, 31)) + 0.5);
    edit.setMinDateValue(dateTimeOf(QDate(2000, 1, 1)));
    edit.setText("31/1/2025");
    QCOMPARE(edit.DateValue(), edit.MinDateValue());
    edit.setMaxDateValue(dateTimeOf(QDate(2001, 1, 1)));
    edit.setDateValue(noon);
    QCOMPARE(edit.text(), "1/1/2001");
}

void TestAdvSpinValue::timeValue()
{
    TAdvSpinEdit edit;
    edit.setSpinType(sptTime);
    QCOMPARE(edit.text(), "0:00:00");
    edit.setTimeValue(2.0 + timeOfDay(9, 5, 30));
    QCOMPARE(edit.text(), "9:05:30");
    QCOMPARE(edit.TimeValue(), 2.0 + timeOfDay(9, 5, 30));
    edit.setShowSeconds(false);
    QCOMPARE(edit.text(), "9:05");
    QCOMPARE(edit.TimeValue(), 2.0 + timeOfDay(9, 5, 0));
    edit.setText("25:00");
    QCOMPARE(edit.TimeValue(), 0.0);
}

void TestAdvSpinValue::hexValueWrites_data()
{
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedValue");
    QTest::newRow("255 gives 0xFF") << 32767 << 255 << "0xFF" << 255;
    QTest::newRow("-1 gives eight F digits") << 32767 << -1 << "0xFFFFFFFF" << -1;
    QTest::newRow("not clamped by the range") << 32767 << 100 << "0x64" << 100;
    QTest::newRow("MaxLength 4 refuses 0x1000") << 4 << 4096 << "0x1F" << 31;
    QTest::newRow("MaxLength 4 takes 0xFF") << 4 << 255 << "0xFF" << 255;
}

void TestAdvSpinValue::hexValueWrites()
{
    QFETCH(int, maxLength);
    QFETCH(int, written);
    TAdvSpinEdit edit;
    edit.setSpinType(sptHex);
    edit.setMinValue(0);
    edit.setMaxValue(10);
    edit.setHexValue(31);
    edit.setMaxLength(maxLength);
    edit.setHexValue(written);
    QTEST(edit.text(), "expected");
    QTEST(edit.HexValue(), "expectedValue");
}

void TestAdvSpinValue::valueWriteSelectsAllWhenEditorDisabled()
{
    TAdvSpinEdit edit;
    edit.setEditorEnabled(false);
    edit.setValue(123);
    QCOMPARE(edit.selectedText(), "123");
    edit.setAutoSelect(false);
    edit.setValue(45);
    QVERIFY(!edit.hasSelectedText());
}

void TestAdvSpinValue::onChangeOncePerActualChange()
{
    TAdvSpinEdit edit;
    QStringList seen;
    edit.OnChange = [&](QObject*) { seen << edit.text(); };
    edit.setValue(5);
    edit.setValue(5);
    edit.setText("5");
    edit.setFloatValue(5.0);
    edit.setText("abc");
    edit.StepUp();
    QCOMPARE(seen, QStringList({"5", "abc", "1"}));
}

// The main window's carry: a digit that reaches 10 writes 0 and raises its left neighbour.
void TestAdvSpinValue::nestedWritesFromOnChangeRunDepthFirst()
{
    TAdvSpinEdit tens;
    TAdvSpinEdit units;
    for (TAdvSpinEdit* e : {&tens, &units}) {
        e->setMinValue(-1);
        e->setMaxValue(10);
        e->setValue(9);
    }
    QStringList log;
    const auto carry = [&](TAdvSpinEdit& digit, TAdvSpinEdit* left, const QString& name) {
        return [&digit, left, name, &log](QObject*) {
            log << name + "=" + digit.text();
            if (digit.Value() == 10) {
                digit.setValue(0);
                if (left)
                    left->setValue(left->Value() + 1);
            }
            log << name + " done";
        };
    };
    tens.OnChange = carry(tens, nullptr, "tens");
    units.OnChange = carry(units, &tens, "units");
    units.StepUp();
    QCOMPARE(units.text(), "0");
    QCOMPARE(tens.text(), "0");
    QCOMPARE(log, QStringList({"units=10", "units=0", "units done", "tens=10", "tens=0",
                               "tens done", "tens done", "units done"}));
}

void TestAdvSpinValue::programmaticWritesKeepModified_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* write, TAdvSpinType kind, const char* expected) {
        QTest::newRow(write) << kind << QString(write) << QString(expected);
    };
    row("Text", sptNormal, "7");
    row("Value", sptNormal, "7");
    row("StepUp", sptNormal, "1");
    row("FloatValue", sptFloat, "2.5");
    row("DateValue", sptDate, "1/2/2026");
    row("TimeValue", sptTime, "9:05:00");
    row("HexValue", sptHex, "0xFF");
    row("SpinType", sptNormal, "0x0");
}

// The user's edit sets the modified flag; writes by the program leave it as it is.
void TestAdvSpinValue::programmaticWritesKeepModified()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, write);
    TAdvSpinEdit edit;
    edit.setSpinType(kind);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QVERIFY(edit.isModified());
    QList<bool> modifiedInOnChange;
    edit.OnChange = [&](QObject*) { modifiedInOnChange << edit.isModified(); };
    if (write == "Text")
        edit.setText("7");
    else if (write == "Value")
        edit.setValue(7);
    else if (write == "StepUp")
        edit.StepUp();
    else if (write == "FloatValue")
        edit.setFloatValue(2.5);
    else if (write == "DateValue")
        edit.setDateValue(dateTimeOf(QDate(2026, 1, 2)));
    else if (write == "TimeValue")
        edit.setTimeValue(timeOfDay(9, 5, 0));
    else if (write == "HexValue")
        edit.setHexValue(255);
    else
        edit.setSpinType(sptHex);
    QTEST(edit.text(), "expected");
    QVERIFY(edit.isModified());
    QVERIFY(!modifiedInOnChange.contains(false));
}

void TestAdvSpinValue::stepUpDown_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<QString>("expected");
    QTest::newRow("123 caret 3 up") << sptNormal << "123" << 3 << true << 0 << 0 << "124";
    QTest::newRow("123 caret 2 up") << sptNormal << "123" << 2 << true << 0 << 0 << "133";
    QTest::newRow("123 caret 1 up") << sptNormal << "123" << 1 << true << 0 << 0 << "223";
    QTest::newRow("123 caret 0 up by Increment")
        << sptNormal << "123" << 0 << true << 0 << 0 << "124";
    QTest::newRow("5 caret 1 down") << sptNormal << "5" << 1 << false << 0 << 0 << "4";
    QTest::newRow("0 caret 1 down, unbounded") << sptNormal << "0" << 1 << false << 0 << 0 << "-1";
    QTest::newRow("digit 9 up gives 10") << sptNormal << "9" << 1 << true << -1 << 10 << "10";
    QTest::newRow("digit 10 up stays 10") << sptNormal << "10" << 2 << true << -1 << 10 << "10";
    QTest::newRow("-5 caret 1 plain step") << sptNormal << "-5" << 1 << true << 0 << 0 << "-4";
    QTest::newRow("integer kind ignores a fraction digit")
        << sptNormal << "1.5" << 3 << true << 0 << 0 << "1.5";
    QTest::newRow("float 1.25 caret 4 up") << sptFloat << "1.25" << 4 << true << 0 << 0 << "1.26";
    QTest::newRow("float 1.25 caret 1 up") << sptFloat << "1.25" << 1 << true << 0 << 0 << "2.25";
    QTest::newRow("float 1.25 caret 0 up by IncrementFloat")
        << sptFloat << "1.25" << 0 << true << 0 << 0 << "1.35";
    QTest::newRow("float 12.345 caret 5 down")
        << sptFloat << "12.345" << 5 << false << 0 << 0 << "12.335";
    QTest::newRow("hex: no smart step") << sptHex << "0x12" << 4 << true << 0 << 0 << "0x12";
    QTest::newRow("time: no smart step")
        << sptTime << "9:05:00" << 7 << true << 0 << 0 << "9:05:00";
}

void TestAdvSpinValue::stepUpDown()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, up);
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    TAdvSpinEdit edit;
    edit.setMinValue(minValue);
    edit.setMaxValue(maxValue);
    edit.setPrecision(kind == sptFloat ? static_cast<int>(text.size() - text.indexOf('.') - 1) : 0);
    edit.setSpinType(kind);
    edit.setText(text);
    edit.setCursorPosition(caret);
    if (up)
        edit.StepUp();
    else
        edit.StepDown();
    QTEST(edit.text(), "expected");
    QVERIFY(!edit.isModified());
}

void TestAdvSpinValue::upDownClick_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<bool>("smart");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer up by Increment 3") << sptNormal << false << "12" << 2 << true << "15";
    QTest::newRow("integer down by Increment 3") << sptNormal << false << "12" << 2 << false << "9";
    QTest::newRow("integer smart up, caret 1") << sptNormal << true << "12" << 1 << true << "22";
    QTest::newRow("float up by IncrementFloat")
        << sptFloat << false << "1.5" << 3 << true << "1.75";
    QTest::newRow("float smart down, caret 3") << sptFloat << true << "1.5" << 3 << false << "1.4";
    QTest::newRow("hex up by Increment") << sptHex << false << "0xFF" << 4 << true << "0x102";
    QTest::newRow("hex ignores IncrementSmart") << sptHex << true << "0xFF" << 3 << true << "0x102";
    QTest::newRow("hex down below zero wraps")
        << sptHex << false << "0x1" << 3 << false << "0xFFFFFFFE";
}

void TestAdvSpinValue::upDownClick()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(bool, smart);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, up);
    TAdvSpinEdit edit;
    edit.setSpinType(kind);
    edit.setIncrement(3);
    edit.setIncrementFloat(0.25);
    edit.setIncrementSmart(smart);
    edit.setText(text);
    edit.setCursorPosition(caret);
    QStringList events;
    edit.OnUpClick = [&](QObject* sender) {
        events << (sender == &edit ? "up" : "up, other sender");
    };
    edit.OnDownClick = [&](QObject* sender) {
        events << (sender == &edit ? "down" : "down, other sender");
    };
    clickStep(edit, up);
    QTEST(edit.text(), "expected");
    QCOMPARE(events, QStringList(up ? "up" : "down"));
    QVERIFY(edit.isModified());
    // Assistive technology's increase and decrease are the same clicks.
    edit.setText(text);
    edit.setCursorPosition(caret);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&edit);
    accessible->actionInterface()->doAction(up ? QAccessibleActionInterface::increaseAction()
                                               : QAccessibleActionInterface::decreaseAction());
    QTEST(accessible->text(QAccessible::Value), "expected");
}

void TestAdvSpinValue::dateFieldSteps_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    QTest::newRow("day first: day up") << ukEnglish << "31/01/2025" << 1 << true << "01/02/2025";
    QTest::newRow("day first: month up keeps the day in range")
        << ukEnglish << "31/01/2025" << 4 << true << "28/02/2025";
    QTest::newRow("day first: year down")
        << ukEnglish << "31/01/2025" << 8 << false << "31/01/2024";
    QTest::newRow("day first: year up from 29 February")
        << ukEnglish << "29/02/2024" << 10 << true << "28/02/2025";
    QTest::newRow("month first: month up") << usEnglish << "1/31/2025" << 0 << true << "2/28/2025";
    QTest::newRow("month first: day down") << usEnglish << "1/31/2025" << 3 << false << "1/30/2025";
    QTest::newRow("month first: day up across the month")
        << usEnglish << "1/31/2025" << 4 << true << "2/1/2025";
    QTest::newRow("month first: year up") << usEnglish << "1/31/2025" << 5 << true << "1/31/2026";
    QTest::newRow("Hungarian year first: day up")
        << QLocale(QLocale::Hungarian, QLocale::Hungary) << "2024. 05. 07." << 12 << true
        << "2024. 05. 08.";
    QTest::newRow("Arabic with direction marks: day up")
        << QLocale(QLocale::Arabic, QLocale::Egypt) << QString::fromUtf8("7\u200f/5\u200f/2024")
        << 0 << true << QString::fromUtf8("8\u200f/5\u200f/2024");
}

void TestAdvSpinValue::dateFieldSteps()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, up);
    pinLocale(locale);
    TAdvSpinEdit edit;
    edit.setSpinType(sptDate);
    edit.setText(text);
    edit.setCursorPosition(caret);
    clickStep(edit, up);
    QTEST(edit.text(), "expected");
    QCOMPARE(edit.caretPosition(), caret);
    QVERIFY(!edit.hasSelectedText());
}

void TestAdvSpinValue::timeFieldSteps_data()
{
    QTest::addColumn<bool>("seconds");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hour field up") << false << 1 << 1 << "9:05" << 0 << true << "10:05";
    QTest::newRow("minute field up") << false << 1 << 1 << "9:05" << 2 << true << "9:06";
    QTest::newRow("hour field by IncrementHours 2")
        << false << 2 << 1 << "9:05" << 1 << true << "11:05";
    QTest::newRow("hour field by minutes when IncrementHours is 0")
        << false << 0 << 15 << "9:05" << 0 << true << "9:20";
    QTest::newRow("minute field by IncrementMinutes 15")
        << false << 1 << 15 << "9:05" << 3 << false << "8:50";
    QTest::newRow("seconds field up") << true << 1 << 1 << "9:05:59" << 6 << true << "9:06:00";
    QTest::newRow("minute field with seconds shown")
        << true << 1 << 1 << "9:05:59" << 3 << true << "9:06:59";
    QTest::newRow("down at 0:00 changes nothing")
        << false << 1 << 1 << "0:00" << 0 << false << "0:00";
    QTest::newRow("down below zero changes nothing")
        << false << 1 << 1 << "0:30" << 0 << false << "0:30";
    QTest::newRow("down to exactly zero") << false << 1 << 30 << "0:30" << 3 << false << "0:00";
    QTest::newRow("up across midnight wraps") << false << 1 << 1 << "23:30" << 0 << true << "0:30";
}

void TestAdvSpinValue::timeFieldSteps()
{
    QFETCH(bool, seconds);
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, up);
    TAdvSpinEdit edit;
    edit.setSpinType(sptTime);
    edit.setShowSeconds(seconds);
    edit.setIncrementHours(hours);
    edit.setIncrementMinutes(minutes);
    edit.setText(text);
    edit.setCursorPosition(caret);
    int clicks = 0;
    edit.OnUpClick = edit.OnDownClick = [&](QObject*) { ++clicks; };
    clickStep(edit, up);
    QTEST(edit.text(), "expected");
    QCOMPARE(clicks, 1);
}

void TestAdvSpinValue::timeIncrementsOutOfRangeAbandonStep_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("caret");
    QTest::newRow("IncrementHours 24 in the hour field") << 24 << 1 << 0;
    QTest::newRow("IncrementMinutes 60 in the minute field") << 1 << 60 << 3;
    QTest::newRow("IncrementMinutes -1 in the hour field with IncrementHours 0") << 0 << -1 << 0;
}

void TestAdvSpinValue::timeIncrementsOutOfRangeAbandonStep()
{
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QFETCH(int, caret);
    TAdvSpinEdit edit;
    edit.setSpinType(sptTime);
    edit.setShowSeconds(false);
    edit.setText("9:05");
    edit.setIncrementHours(hours);
    edit.setIncrementMinutes(minutes);
    edit.setCursorPosition(caret);
    int clicks = 0;
    edit.OnUpClick = [&](QObject*) { ++clicks; };
    QVERIFY_THROWS_EXCEPTION(EConvertError, edit.UpClick(nullptr));
    QCOMPARE(edit.text(), "9:05");
    QCOMPARE(clicks, 0);
    QVERIFY(!edit.isModified());
}

void TestAdvSpinValue::caretRepairAndSelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("selection");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCaret");
    QTest::addColumn<int>("expectedSelection");
    QTest::newRow("down into a minus moves the caret right")
        << "0" << 1 << 0 << false << "-1" << 2 << 0;
    QTest::newRow("up out of a minus moves the caret left")
        << "-1" << 2 << 0 << true << "0" << 1 << 0;
    QTest::newRow("up to a longer text selects to the end")
        << "9" << 1 << 0 << true << "10" << 1 << 1;
    QTest::newRow("up with the same length keeps the selection")
        << "12" << 0 << 2 << true << "13" << 0 << 2;
    QTest::newRow("down to a shorter text has no extension")
        << "10" << 2 << 0 << false << "9" << 1 << 0;
}

void TestAdvSpinValue::caretRepairAndSelection()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, selection);
    QFETCH(bool, up);
    TAdvSpinEdit edit;
    edit.setText(text);
    if (selection > 0)
        edit.setSelection(caret, selection);
    else
        edit.setCursorPosition(caret);
    clickStep(edit, up);
    QTEST(edit.text(), "expected");
    QTEST(edit.caretPosition(), "expectedCaret");
    QTEST(static_cast<int>(edit.selectedText().size()), "expectedSelection");
}

void TestAdvSpinValue::readOnlyClickBeepsAndStillReports()
{
    TAdvSpinEdit edit;
    edit.setReadOnly(true);
    edit.setText("5");
    int ups = 0;
    edit.OnUpClick = [&](QObject*) { ++ups; };
    edit.UpClick(nullptr);
    QCOMPARE(edit.text(), "5");
    QCOMPARE(m_beeps, 1);
    QCOMPARE(ups, 1);
    QVERIFY(!edit.isModified());
    edit.StepUp();
    QCOMPARE(edit.text(), "6");
    QCOMPARE(m_beeps, 1);
}

void TestAdvSpinValue::spinTypeChange_data()
{
    QTest::addColumn<TAdvSpinType>("from");
    QTest::addColumn<QString>("text");
    QTest::addColumn<TAdvSpinType>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("12 to hex drops two characters") << sptNormal << "12" << sptHex << "0x0";
    QTest::newRow("0x1F to integer falls back to MinValue") << sptHex << "0x1F" << sptNormal << "2";
    QTest::newRow("1.5 to integer falls back to MinValue") << sptFloat << "1.5" << sptNormal << "2";
    QTest::newRow("12 to float") << sptNormal << "12" << sptFloat << "12";
    QTest::newRow("abc to float falls back to MinValue") << sptNormal << "abc" << sptFloat << "2";
    QTest::newRow("007 to integer again is clamped and normalised")
        << sptNormal << "007" << sptNormal << "5";
    QTest::newRow("abc to date falls back to MinDateValue")
        << sptNormal << "abc" << sptDate << "1/1/2000";
    QTest::newRow("9:05 to time shows seconds") << sptNormal << "9:05" << sptTime << "9:05:00";
    QTest::newRow("abc to time is midnight") << sptNormal << "abc" << sptTime << "0:00:00";
}

void TestAdvSpinValue::spinTypeChange()
{
    QFETCH(TAdvSpinType, from);
    QFETCH(QString, text);
    QFETCH(TAdvSpinType, to);
    TAdvSpinEdit edit;
    edit.setMinValue(2);
    edit.setMaxValue(5);
    if (to == sptDate) {
        edit.setMinDateValue(dateTimeOf(QDate(2000, 1, 1)));
        edit.setMaxDateValue(dateTimeOf(QDate(2100, 1, 1)));
    }
    edit.setSpinType(from);
    edit.setText(text);
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    edit.setSpinType(to);
    QTEST(edit.text(), "expected");
    QCOMPARE(edit.SpinType(), to);
    QCOMPARE(changes, 0);
    edit.setText("");
    QCOMPARE(changes, 1);
}

void TestAdvSpinValue::precisionReformats()
{
    TAdvSpinEdit edit;
    edit.setText("1.25");
    edit.setPrecision(3);
    QCOMPARE(edit.text(), "1.25");
    edit.setSpinType(sptFloat);
    QCOMPARE(edit.text(), "1.250");
    edit.setPrecision(-1);
    QCOMPARE(edit.text(), "1.25");
    edit.setPrecision(1);
    QCOMPARE(edit.text(), "1.3");
}

void TestAdvSpinValue::unsafeValues_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("write");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("hex step down by Increment INT_MIN wraps like the hex digits")
        << sptHex << "Increment" << double(std::numeric_limits<int>::min()) << "0x80000001";
    QTest::newRow("NaN as a date is refused") << sptDate << "DateValue" << nan << "12/8/2026";
    QTest::newRow("1e300 as a date is limited to the last day of 9999")
        << sptDate << "DateValue" << 1e300 << "12/31/9999";
    QTest::newRow("-1e300 as a date is limited to the first day of year 1")
        << sptDate << "DateValue" << -1e300 << "1/1/0001";
    QTest::newRow("NaN as a time is refused") << sptTime << "TimeValue" << nan << "9:05:00";
}

// Values that no text can show: each is refused or limited to what the text can show, and the
// edit reads back what it shows.
void TestAdvSpinValue::unsafeValues()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, write);
    QFETCH(double, value);
    TAdvSpinEdit edit;
    edit.setSpinType(kind);
    if (kind == sptDate)
        edit.setDateValue(dateTimeOf(QDate(2026, 12, 8)));
    else if (kind == sptTime)
        edit.setTimeValue(timeOfDay(9, 5, 0));
    else
        edit.setHexValue(1);
    if (write == "Increment") {
        edit.setIncrement(static_cast<int>(value));
        edit.DownClick(nullptr);
    } else if (write == "DateValue") {
        edit.setDateValue(value);
    } else {
        edit.setTimeValue(value);
    }
    QTEST(edit.text(), "expected");
    QVERIFY(std::isfinite(edit.DateValue()));
    QVERIFY(std::isfinite(edit.TimeValue()));
}

// Decimals past the last digit a double can hold only pad the text with zeros; a Precision near
// INT_MAX must not ask for gigabytes of them.
void TestAdvSpinValue::precisionIsLimited()
{
    TAdvSpinEdit edit;
    edit.setText("1.5");
    edit.setPrecision(std::numeric_limits<int>::max());
    QCOMPARE(edit.Precision(), maxPrecision);
    edit.setSpinType(sptFloat);
    QCOMPARE(edit.text(), "1.5" + QString(maxPrecision - 1, u'0'));
    QCOMPARE(edit.FloatValue(), 1.5);
}

void TestAdvSpinValue::showSecondsOnlyInTimeKind()
{
    TAdvSpinEdit edit;
    edit.setShowSeconds(false);
    QVERIFY(edit.ShowSeconds());
    edit.setSpinType(sptTime);
    QCOMPARE(edit.text(), "0:00:00");
    edit.setTimeValue(timeOfDay(9, 5, 30));
    edit.setShowSeconds(false);
    QVERIFY(!edit.ShowSeconds());
    QCOMPARE(edit.text(), "9:05");
    edit.setShowSeconds(true);
    QCOMPARE(edit.text(), "9:05:30");
}

void TestAdvSpinValue::loadingPassesValuesThrough()
{
    TAdvSpinEdit outside;
    QVERIFY(!outside.isLoading());
    std::unique_ptr<TAdvSpinEdit> loaded;
    {
        const TAdvSpinEdit::FormLoading loading;
        loaded = std::make_unique<TAdvSpinEdit>();
    }
    TAdvSpinEdit after;
    QVERIFY(!after.isLoading());
    QVERIFY(loaded->isLoading());
    loaded->setMinValue(0);
    loaded->setMaxValue(2);
    loaded->setValue(7);
    QCOMPARE(loaded->text(), "7");
    QCOMPARE(loaded->ClampValue(9), 9);
    loaded->setMinFloatValue(0.0);
    loaded->setMaxFloatValue(1.0);
    QCOMPARE(loaded->ClampFloatValue(5.0), 5.0);
    loaded->setHexValue(255);
    loaded->setDateValue(40000.0);
    QCOMPARE(loaded->text(), "7");
}

void TestAdvSpinValue::loadedAppliesStoredValuesWithoutOnChange_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer text is clamped") << sptNormal << "2";
    QTest::newRow("hex text from the stored value") << sptHex << "0xFF";
    QTest::newRow("date text from the stored date") << sptDate << "12/8/2026";
    QTest::newRow("time text from the stored time") << sptTime << "9:05";
}

void TestAdvSpinValue::loadedAppliesStoredValuesWithoutOnChange()
{
    QFETCH(TAdvSpinType, kind);
    std::unique_ptr<TAdvSpinEdit> edit;
    {
        const TAdvSpinEdit::FormLoading loading;
        edit = std::make_unique<TAdvSpinEdit>();
    }
    int changes = 0;
    edit->OnChange = [&](QObject*) { ++changes; };
    edit->setMinValue(0);
    edit->setMaxValue(2);
    edit->setValue(7);
    edit->setHexValue(255);
    edit->setDateValue(dateTimeOf(QDate(2026, 12, 8)));
    edit->setTimeValue(timeOfDay(9, 5, 0));
    edit->setSpinType(kind);
    edit->setShowSeconds(false);
    changes = 0;
    edit->Loaded();
    QVERIFY(!edit->isLoading());
    QTEST(edit->text(), "expected");
    QCOMPARE(changes, 0);
    edit->setText("");
    QCOMPARE(changes, 1);
}

QTEST_MAIN(TestAdvSpinValue)
#include "tst_advspin_value.moc"
