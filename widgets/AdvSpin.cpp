// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"

#include "AdvSpinAccessible.h"
#include "AdvSpinText.h"

#include <QAccessible>
#include <QApplication>
#include <QScopedValueRollback>

#include <cmath>
#include <utility>

using namespace advspin;

namespace {

std::function<void()>& beepFunction()
{
    static std::function<void()> beep = [] { QApplication::beep(); };
    return beep;
}

} // namespace

void MessageBeep()
{
    if (const std::function<void()>& beep = beepFunction())
        beep();
}

void setMessageBeep(std::function<void()> beep)
{
    beepFunction() = std::move(beep);
}

TAdvSpinEdit::FormLoading::FormLoading()
{
    ++s_formLoadingDepth;
}

TAdvSpinEdit::FormLoading::~FormLoading()
{
    --s_formLoadingDepth;
}

TAdvSpinEdit::TAdvSpinEdit(QWidget* parent) : QLineEdit(parent), m_loading{s_formLoadingDepth > 0}
{
    // Every character must pass the key filter, so dropped text is not taken.
    setAcceptDrops(false);
    // The edit takes the focus from a press itself (mousePressEvent), and from its buttons only by
    // a left press (TAdvSpinButton): with the toolkit's click focus any press on a button, of any
    // mouse button, would pass the focus up to the edit first.
    setFocusPolicy(Qt::TabFocus);
    installAdvSpinAccessibility();
    createButtonPair();
    connect(this, &QLineEdit::textChanged, this, &TAdvSpinEdit::textChangedHandler);
    setText(QStringLiteral("0"));
}

// --- reading and writing the value ---------------------------------------------------------

int TAdvSpinEdit::Value() const
{
    return readInteger(text(), m_minValue);
}

void TAdvSpinEdit::setValue(int value)
{
    replaceText(QString::number(ClampValue(value)));
    if (!m_editorEnabled && m_autoSelect)
        selectAll();
}

double TAdvSpinEdit::FloatValue() const
{
    return readFloat(text(), localeFormat().decimalSeparator, m_minValue);
}

void TAdvSpinEdit::setFloatValue(double value)
{
    replaceText(formatFloat(ClampFloatValue(value), m_precision, localeFormat().decimalSeparator));
}

double TAdvSpinEdit::DateValue() const
{
    const QString t = text();
    if (t.isEmpty() || t == u"0")
        return currentDateTime();
    const LocaleFormat& format = localeFormat();
    const std::optional<double> date = parseDate(t, format.shortDateFormat, format.dateSeparator);
    return date ? *date + timeFractionOf(m_storedDate) : m_minDateValue;
}

// A NaN has no date and is refused; any other value is limited to the dates the text can show.
void TAdvSpinEdit::setDateValue(double value)
{
    if (std::isnan(value))
        return;
    m_storedDate = limitedToDateRange(value);
    if (m_loading)
        return;
    m_storedDate = limitedToDateRange(ClampDateValue(value));
    const int caret = caretPosition();
    replaceText(formatDate(m_storedDate, localeFormat().shortDateFormat));
    setCursorPosition(caret);
}

double TAdvSpinEdit::TimeValue() const
{
    QString t = text();
    if (t.trimmed().isEmpty())
        return 0.0;
    const QChar separator = localeFormat().timeSeparator;
    if (!m_showSeconds)
        t += separator + QStringLiteral("00");
    const std::optional<double> time = parseTime(t, separator);
    return time ? *time + wholeDaysOf(m_storedTime) : 0.0;
}

// The same date-time rules as for dates.
void TAdvSpinEdit::setTimeValue(double value)
{
    if (std::isnan(value))
        return;
    m_storedTime = limitedToDateRange(value);
    if (m_loading)
        return;
    m_storedTime = limitedToDateRange(ClampDateValue(value));
    const int caret = caretPosition();
    replaceText(formatTime(m_storedTime, localeFormat().timeSeparator, m_showSeconds));
    setCursorPosition(caret);
}

int TAdvSpinEdit::HexValue() const
{
    return parseHex(text());
}

void TAdvSpinEdit::setHexValue(int value)
{
    const QString hex = formatHex(value);
    if (maxLength() > 0 && hex.size() > maxLength())
        return;
    m_storedHex = value;
    if (!m_loading)
        replaceText(hex);
}

// --- clamps ----------------------------------------------------------------------------------

int TAdvSpinEdit::ClampValue(int value) const
{
    return m_loading ? value : clampInteger(value, m_minValue, m_maxValue);
}

double TAdvSpinEdit::ClampFloatValue(double value) const
{
    return m_loading ? value : clampReal(value, m_minFloatValue, m_maxFloatValue);
}

double TAdvSpinEdit::ClampDateValue(double value) const
{
    return m_loading ? value : clampReal(value, m_minDateValue, m_maxDateValue);
}

// --- kind, precision, seconds ----------------------------------------------------------------

void TAdvSpinEdit::setSpinType(TAdvSpinType value)
{
    m_spinType = value;
    if (!m_loading)
        reapplySpinType();
}

// Re-reads the value in the current kind and writes it back, so that the text takes the kind's
// format and range; a kind change is not a change of the value, so OnChange stays quiet.
void TAdvSpinEdit::reapplySpinType()
{
    const QScopedValueRollback detached(m_changeDetached, true);
    switch (m_spinType) {
    case sptNormal:
        setValue(Value());
        break;
    case sptFloat:
        setFloatValue(FloatValue());
        break;
    case sptDate:
        setDateValue(DateValue());
        break;
    case sptTime:
        setTimeValue(TimeValue());
        break;
    case sptHex:
        setHexValue(HexValue());
        break;
    }
}

void TAdvSpinEdit::setPrecision(int value)
{
    value = std::min(value, maxPrecision);
    if (value == m_precision)
        return;
    m_precision = value;
    if (m_spinType == sptFloat)
        setFloatValue(FloatValue());
}

void TAdvSpinEdit::setShowSeconds(bool value)
{
    if (m_spinType != sptTime || value == m_showSeconds)
        return;
    const double storedTime = m_storedTime;
    m_showSeconds = value;
    setTimeValue(storedTime);
}

// --- end of loading --------------------------------------------------------------------------

void TAdvSpinEdit::Loaded()
{
    m_loading = false;
    const QScopedValueRollback guard(m_loadGuard, true);
    const LocaleFormat& format = localeFormat();
    switch (m_spinType) {
    case sptDate:
        replaceText(formatDate(m_storedDate, format.shortDateFormat));
        break;
    case sptTime:
        replaceText(formatTime(m_storedTime, format.timeSeparator, m_showSeconds));
        break;
    case sptHex:
        replaceText(formatHex(m_storedHex));
        break;
    case sptNormal:
    case sptFloat:
        break;
    }
    reapplySpinType();
    applyLoadedLook();
}

// --- text and caret --------------------------------------------------------------------------

int TAdvSpinEdit::caretPosition() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

// QLineEdit::setText clears the modified flag, and then signals the change; the flag is put back
// before OnChange runs.
void TAdvSpinEdit::setText(const QString& text)
{
    const bool modified = isModified();
    const QScopedValueRollback kept(m_keptModified, std::optional<bool>(modified));
    QLineEdit::setText(text);
    setModified(modified);
}

// An equal text is left alone: no OnChange and the caret stays where it is.
void TAdvSpinEdit::replaceText(const QString& text)
{
    if (text != this->text())
        setText(text);
}

void TAdvSpinEdit::setCaretAndSelection(int caret, int length)
{
    const int bounded = std::clamp(caret, 0, static_cast<int>(text().size()));
    if (length > 0)
        setSelection(bounded, length);
    else
        setCursorPosition(bounded);
}

// QLineEdit also signals an insertion of nothing (an empty paste); only a real change counts.
void TAdvSpinEdit::textChangedHandler()
{
    if (m_keptModified)
        setModified(*m_keptModified);
    const QString now = text();
    if (now == m_lastText)
        return;
    m_lastText = now;
    postValueReport();
    if (m_loadGuard || m_changeDetached || !OnChange)
        return;
    OnChange(this);
}

// Assistive technology hears of the value once the change has settled: an OnChange handler may
// write the value again (a carry writes 10, then 0), and only the last text counts.
void TAdvSpinEdit::postValueReport()
{
    if (!QAccessible::isActive() || std::exchange(m_valueReportPosted, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_valueReportPosted = false;
            reportAccessibleValueChange(this);
        },
        Qt::QueuedConnection);
}

// --- steps -----------------------------------------------------------------------------------

void TAdvSpinEdit::StepUp()
{
    stepBy(+1, StepSize::Digit);
}

void TAdvSpinEdit::StepDown()
{
    stepBy(-1, StepSize::Digit);
}

void TAdvSpinEdit::UpClick(QObject* /*Sender*/)
{
    buttonStep(+1);
    if (OnUpClick)
        OnUpClick(this);
}

void TAdvSpinEdit::DownClick(QObject* /*Sender*/)
{
    buttonStep(-1);
    if (OnDownClick)
        OnDownClick(this);
}

// A failed time composition leaves by exception before anything changed, so the click event is
// not raised for an abandoned step.
void TAdvSpinEdit::buttonStep(int direction)
{
    const int caret = caretPosition();
    const int selection = selectionLength();
    const QString before = text();
    if (isReadOnly())
        MessageBeep();
    else
        stepBy(direction, StepSize::Click);
    const QString after = text();
    const bool hadMinus = before.contains(u'-');
    const bool hasMinus = after.contains(u'-');
    const int repaired = caret - (hadMinus && !hasMinus ? 1 : 0) + (!hadMinus && hasMinus ? 1 : 0);
    setCaretAndSelection(repaired, selection);
    const bool dateOrTime = m_spinType == sptDate || m_spinType == sptTime;
    if (direction > 0 && after.size() != before.size() && !dateOrTime)
        setCaretAndSelection(repaired, static_cast<int>(after.size()));
    if (after != before)
        setModified(true);
}

// Every step ends here, whatever started it: the program, a button, an arrow or a page key.
// The date, time and hex kinds step only on a click; the number kinds by the size below.
void TAdvSpinEdit::stepBy(int direction, StepSize size)
{
    switch (m_spinType) {
    case sptNormal:
        if (const std::optional<double> step = numberStep(size))
            setValue(addSaturated(Value(), direction * *step));
        break;
    case sptFloat:
        if (const std::optional<double> step = numberStep(size))
            setFloatValue(FloatValue() + direction * *step);
        break;
    case sptDate:
        if (size == StepSize::Click)
            stepDateField(direction, caretPosition());
        break;
    case sptTime:
        if (size == StepSize::Click)
            stepTimeField(direction, caretPosition());
        break;
    case sptHex:
        // In 64 bits, so that stepping down by an Increment of INT_MIN does not overflow.
        if (size == StepSize::Click)
            setHexValue(addWrapping(HexValue(), qint64{direction} * m_increment));
        break;
    }
}

// One step of the integer or float kind: a click steps by the increment, or by the digit left of
// the caret when IncrementSmart is set; a digit at the front (or after a minus) steps by the
// increment too. An integer has no fraction digit to step.
std::optional<double> TAdvSpinEdit::numberStep(StepSize size) const
{
    const bool isFloat = m_spinType == sptFloat;
    const double increment = isFloat ? m_incrementFloat : m_increment;
    if (size == StepSize::Page)
        return isFloat ? m_incrementFloatPage : m_incrementPage;
    if (size == StepSize::Click && !m_incrementSmart)
        return increment;
    const SmartStep step = smartStep(text(), caretPosition(), localeFormat().decimalSeparator);
    if (step.kind == SmartStepKind::Fraction && !isFloat)
        return std::nullopt;
    return step.kind == SmartStepKind::Plain ? increment : step.size;
}

void TAdvSpinEdit::stepDateField(int direction, int caret)
{
    const LocaleFormat& format = localeFormat();
    const double date = DateValue();
    switch (dateFieldAt(text(), caret, format.dateSeparator, format.shortDateFormat)) {
    case DateField::Day:
        setDateValue(date + direction);
        break;
    case DateField::Month:
        setDateValue(addMonths(date, direction));
        break;
    case DateField::Year:
        setDateValue(addYears(date, direction));
        break;
    }
}

// The hour field steps by IncrementHours (or IncrementMinutes when that is 0), the seconds field
// by one second while seconds are shown, everything else by IncrementMinutes.
double TAdvSpinEdit::timeStepAt(int caret) const
{
    const QString t = text();
    const QChar separator = localeFormat().timeSeparator;
    const auto first = static_cast<int>(t.indexOf(separator)) + 1;
    const auto second = first == 0 ? 0 : static_cast<int>(t.indexOf(separator, first)) + 1;
    if (caret < first)
        return m_incrementHours != 0 ? encodeTime(m_incrementHours, 0, 0)
                                     : encodeTime(0, m_incrementMinutes, 0);
    if (caret >= second && m_showSeconds)
        return encodeTime(0, 0, 1);
    return encodeTime(0, m_incrementMinutes, 0);
}

// A down step never goes below zero; an up step past midnight carries into the next day.
void TAdvSpinEdit::stepTimeField(int direction, int caret)
{
    const double step = timeStepAt(caret);
    const double time = TimeValue();
    if (direction > 0)
        setTimeValue(time + step);
    else if (time >= step)
        setTimeValue(time - step);
}
