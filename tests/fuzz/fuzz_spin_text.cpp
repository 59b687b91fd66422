// SPDX-License-Identifier: GPL-3.0-or-later

// The spin edit's text readers on arbitrary text, in an English and a
// day-first German locale: the pure parsers must accept every text that the
// matching formatter writes and give back the same value, and a real spin
// edit (offscreen) must read back each value it has just written.
//
// The buttons' and the smart step's stepping then runs on the same text from a
// caret the input chooses: it may raise EConvertError (a date or time that
// cannot be composed), and nothing else.
//
// Input: one byte choosing the locale (bits 0-1), whether a time shows
// seconds (bit 2) and whether steps are smart (bit 3), one byte with the
// caret position, then the text as UTF-8.

#include "AdvSpin.h"
#include "AdvSpinText.h"
#include "Convert.h"
#include "FuzzInput.h"

#include <QApplication>
#include <QLocale>

#include <array>
#include <cmath>

using namespace advspin;

namespace {

const std::array<QLocale, 3> locales{QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                     QLocale(QLocale::German, QLocale::Germany)};

bool nearlyEqual(double a, double b)
{
    return std::fabs(a - b) <= 1e-13 * std::max(1.0, std::fabs(a));
}

void checkParsers(const QString& text, const LocaleFormat& format)
{
    if (const std::optional<int> value = parseDecimalInteger(text))
        FUZZ_CHECK(parseDecimalInteger(QString::number(*value)) == value);
    if (const std::optional<double> value = parseFloat(text, format.decimalSeparator)) {
        for (const int precision : {-1, 0, 3}) {
            const QString written = formatFloat(*value, precision, format.decimalSeparator);
            FUZZ_CHECK(parseFloat(written, format.decimalSeparator).has_value());
        }
        const QString general = formatFloat(*value, 0, format.decimalSeparator);
        FUZZ_CHECK(nearlyEqual(*parseFloat(general, format.decimalSeparator), *value));
    }
    const int hex = parseHex(text);
    FUZZ_CHECK(parseHex(formatHex(hex)) == hex);
    if (const std::optional<double> date =
            parseDate(text, format.shortDateFormat, format.dateSeparator)) {
        const QString written = formatDate(*date, format.shortDateFormat);
        FUZZ_CHECK(parseDate(written, format.shortDateFormat, format.dateSeparator) == date);
    }
    if (const std::optional<double> time = parseTime(text, format.timeSeparator)) {
        const std::optional<double> reread =
            parseTime(formatTime(*time, format.timeSeparator, true), format.timeSeparator);
        FUZZ_CHECK(reread && nearlyEqual(*reread, *time));
    }
}

// Writes the text into the spin edit in the kind, reads the value, writes it
// back through the setter and reads it again.
template <typename Value>
void checkRoundTrip(TAdvSpinEdit& edit, TAdvSpinType kind, const QString& text,
                    Value (TAdvSpinEdit::*get)() const, void (TAdvSpinEdit::*set)(Value))
{
    edit.setSpinType(kind);
    edit.setText(text);
    const Value value = (edit.*get)();
    (edit.*set)(value);
    if constexpr (std::is_floating_point_v<Value>)
        FUZZ_CHECK(nearlyEqual((edit.*get)(), value));
    else
        FUZZ_CHECK((edit.*get)() == value);
}

// A button step and a smart step in each direction, each from the text and
// the caret.
void checkStepping(TAdvSpinEdit& edit, TAdvSpinType kind, const QString& text, int caret)
{
    edit.setSpinType(kind);
    for (const int direction : {+1, -1}) {
        for (const bool button : {true, false}) {
            edit.setText(text);
            edit.setCursorPosition(caret);
            try {
                if (button)
                    direction > 0 ? edit.UpClick(&edit) : edit.DownClick(&edit);
                else
                    direction > 0 ? edit.StepUp() : edit.StepDown();
            } catch (const EConvertError&) {
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    setMessageBeep({});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t options = input.takeByte();
    QLocale::setDefault(locales[(options & 0x03) % locales.size()]);
    reloadLocaleFormat();
    TAdvSpinEdit edit;
    edit.setShowSeconds((options & 0x04) != 0);
    edit.setIncrementSmart((options & 0x08) != 0);
    const int caret = input.takeByte();
    const QString text = QString::fromUtf8(input.rest());

    checkParsers(text, localeFormat());
    checkRoundTrip(edit, sptNormal, text, &TAdvSpinEdit::Value, &TAdvSpinEdit::setValue);
    checkRoundTrip(edit, sptFloat, text, &TAdvSpinEdit::FloatValue, &TAdvSpinEdit::setFloatValue);
    checkRoundTrip(edit, sptHex, text, &TAdvSpinEdit::HexValue, &TAdvSpinEdit::setHexValue);
    checkRoundTrip(edit, sptDate, text, &TAdvSpinEdit::DateValue, &TAdvSpinEdit::setDateValue);
    checkRoundTrip(edit, sptTime, text, &TAdvSpinEdit::TimeValue, &TAdvSpinEdit::setTimeValue);
    for (const TAdvSpinType kind : {sptNormal, sptFloat, sptHex, sptDate, sptTime})
        checkStepping(edit, kind, text, caret);
    return 0;
}
