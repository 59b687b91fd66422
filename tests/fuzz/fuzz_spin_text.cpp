// The spin edit's text readers on arbitrary text, in an English and a
// day-first German locale: the pure parsers must accept every text that the
// matching formatter writes and give back the same value, and a real spin
// edit (offscreen) must read back each value it has just written.
//
// Input: one byte choosing the locale (bits 0-1) and whether a time shows
// seconds (bit 2), then the text as UTF-8.

#include "AdvSpin.h"
#include "AdvSpinText.h"
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
    if (const std::optional<int> value = parseInteger(text))
        FUZZ_CHECK(parseInteger(QString::number(*value)) == value);
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
    if (const std::optional<double> date = parseDate(text, format.shortDateFormat, format.dateSeparator)) {
        const QString written = formatDate(*date, format.shortDateFormat);
        FUZZ_CHECK(parseDate(written, format.shortDateFormat, format.dateSeparator) == date);
    }
    if (const std::optional<double> time = parseTime(text, format.timeSeparator)) {
        const std::optional<double> reread = parseTime(formatTime(*time, format.timeSeparator, true),
                                                       format.timeSeparator);
        FUZZ_CHECK(reread && nearlyEqual(*reread, *time));
    }
}

// Writes the text into a spin edit of the kind, reads the value, writes it
// back through the setter and reads it again.
template <typename Value>
void checkRoundTrip(TAdvSpinType kind, const QString& text, bool showSeconds,
                    Value (TAdvSpinEdit::*get)() const, void (TAdvSpinEdit::*set)(Value))
{
    TAdvSpinEdit edit;
    edit.setShowSeconds(showSeconds);
    edit.setSpinType(kind);
    edit.setText(text);
    const Value value = (edit.*get)();
    (edit.*set)(value);
    if constexpr (std::is_floating_point_v<Value>)
        FUZZ_CHECK(nearlyEqual((edit.*get)(), value));
    else
        FUZZ_CHECK((edit.*get)() == value);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    SetMessageBeep({});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t options = input.takeByte();
    QLocale::setDefault(locales[(options & 0x03) % locales.size()]);
    reloadLocaleFormat();
    const bool showSeconds = (options & 0x04) != 0;
    const QString text = QString::fromUtf8(input.rest());

    checkParsers(text, localeFormat());
    checkRoundTrip(sptNormal, text, showSeconds, &TAdvSpinEdit::Value, &TAdvSpinEdit::setValue);
    checkRoundTrip(sptFloat, text, showSeconds, &TAdvSpinEdit::FloatValue, &TAdvSpinEdit::setFloatValue);
    checkRoundTrip(sptHex, text, showSeconds, &TAdvSpinEdit::HexValue, &TAdvSpinEdit::setHexValue);
    checkRoundTrip(sptDate, text, showSeconds, &TAdvSpinEdit::DateValue, &TAdvSpinEdit::setDateValue);
    checkRoundTrip(sptTime, text, showSeconds, &TAdvSpinEdit::TimeValue, &TAdvSpinEdit::setTimeValue);
    return 0;
}
