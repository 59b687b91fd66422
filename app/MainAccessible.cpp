// SPDX-License-Identifier: GPL-3.0-or-later

// The main window for assistive technology and the keyboard: the names of its controls, the
// nine digits as one frequency, the lamps' states, and how the keyboard reaches the port panel.

#include "MainAccessible.h"

#include "AdvSpin.h"
#include "AdvSpinAccessible.h"
#include "Main.h"
#include "TypedFrequency.h"
#include "ui_Main.h"

#include <QAccessibleObject>
#include <QPointer>
#include <QShortcut>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace {

constexpr qint64 highestFrequency = 299'999'999;
// The property of a lamp that says whether its description is "lit", for a
// change of language.
constexpr const char* lampLit = "quartzelLampLit";

// The places of the digits, from AdvSpinEdit1 to AdvSpinEdit9.
constexpr std::array<const char*, FrequencyDigitCount> digitNames{
    QT_TRANSLATE_NOOP("TMainForm", "100 MHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "10 MHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "1 MHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "100 kHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "10 kHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "1 kHz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "100 Hz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "10 Hz digit"),
    QT_TRANSLATE_NOOP("TMainForm", "1 Hz digit")};

TFrequencyStrip* stripIn(const QObject* holder)
{
    return holder ? holder->findChild<TFrequencyStrip*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

// The strip: a group whose value is the frequency, with the nine digits as its children.
class TFrequencyStripAccessible : public QAccessibleObject, public QAccessibleValueInterface
{
public:
    explicit TFrequencyStripAccessible(TFrequencyStrip* strip) : QAccessibleObject(strip) {}

    TFrequencyStrip* strip() const { return static_cast<TFrequencyStrip*>(object()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : nullptr;
    }
    QWindow* window() const override { return strip()->holder()->window()->windowHandle(); }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(strip()->holder());
    }
    int childCount() const override { return FrequencyDigitCount; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= FrequencyDigitCount)
            return nullptr;
        return QAccessible::queryAccessibleInterface(strip()->digits()[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const TFrequencyStrip::Digits& digits = strip()->digits();
        const auto found = std::find(digits.begin(), digits.end(), child->object());
        return found == digits.end() ? -1 : int(found - digits.begin());
    }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return TFrequencyStrip::tr("Frequency");
        case QAccessible::Value:
        case QAccessible::Description:
            return spokenFrequency(strip()->hertz());
        default:
            return {};
        }
    }
    QAccessible::Role role() const override { return QAccessible::Grouping; }
    QAccessible::State state() const override { return {}; }
    QRect rect() const override
    {
        QRect area;
        for (const TAdvSpinEdit* digit : strip()->digits())
            area |= QRect(digit->mapToGlobal(QPoint(0, 0)), digit->size());
        return area;
    }

    QVariant currentValue() const override { return strip()->hertz(); }
    // The digits are tuned one by one; the strip only reports them.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return highestFrequency; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

// A digit of the strip: a spin edit whose parent is the strip, not the panel. Its range is the
// digits it settles on: -1 and 10 are only the moment of a borrow or a carry.
class TStripDigitAccessible : public TAdvSpinEditAccessible
{
public:
    using TAdvSpinEditAccessible::TAdvSpinEditAccessible;

    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(stripIn(widget()->parentWidget()));
    }
    QVariant minimumValue() const override { return std::max(edit()->MinValue(), 0); }
    QVariant maximumValue() const override { return std::min(edit()->MaxValue(), 9); }
};

// The panel that holds the strip: Qt's children of the panel, with the strip in the place of the
// first digit, and without the digits and the widgets that are part of another object.
class TStripHolderAccessible : public QAccessibleWidget
{
public:
    TStripHolderAccessible(QWidget* holder, TFrequencyStrip* strip)
        : QAccessibleWidget(holder), m_strip(strip)
    {
    }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> list = children();
        return index >= 0 && index < list.size() ? list[index] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(children().indexOf(child));
    }

private:
    QList<QAccessibleInterface*> children() const
    {
        QList<QAccessibleInterface*> list;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface* c = QAccessibleWidget::child(i);
            if (c->object() == m_strip->digits().front())
                list << QAccessible::queryAccessibleInterface(m_strip);
            else if (!m_strip->isDigit(c->object()) &&
                     !m_strip->leftOut().contains(static_cast<QWidget*>(c->object())))
                list << c;
        }
        return list;
    }

    TFrequencyStrip* m_strip;
};

QAccessibleInterface* mainFormFactory(const QString& key, QObject* object)
{
    if (auto* strip = qobject_cast<TFrequencyStrip*>(object))
        return key == QLatin1String("TFrequencyStrip") ? new TFrequencyStripAccessible(strip)
                                                       : nullptr;
    if (!object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (key == QLatin1String("TAdvSpinEdit")) {
        const TFrequencyStrip* strip = stripIn(widget->parentWidget());
        return strip && strip->isDigit(widget)
                   ? new TStripDigitAccessible(static_cast<TAdvSpinEdit*>(widget))
                   : nullptr;
    }
    // The panel's class and each of its base classes are asked for in turn: the first is the one.
    if (key == QLatin1String(object->metaObject()->className()))
        if (TFrequencyStrip* strip = stripIn(widget))
            return new TStripHolderAccessible(widget, strip);
    return nullptr;
}

// The form keeps the port panel out of the Tab order, for the mouse and the keyboard alike. While
// assistive technology is active, Tab reaches it too: a screen reader's user finds the controls by
// Tab, and has no way to see which shortcut reaches which. Off again, the controls take the
// form's focus policy back.
class TAssistedTabStops : public QObject, public QAccessible::ActivationObserver
{
public:
    TAssistedTabStops(const QList<QWidget*>& controls, QObject* owner) : QObject(owner)
    {
        for (QWidget* control : controls)
            m_controls.append({control, control->focusPolicy()});
        QAccessible::installActivationObserver(this);
        accessibilityActiveChanged(QAccessible::isActive());
    }
    ~TAssistedTabStops() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override
    {
        for (const auto& [control, formPolicy] : m_controls) {
            if (control)
                control->setFocusPolicy(active ? Qt::StrongFocus : formPolicy);
        }
    }

private:
    QList<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> m_controls;
};

} // namespace

TFrequencyStrip::TFrequencyStrip(const Digits& digits, const QList<QWidget*>& leftOut)
    : QObject(digits.front()->parentWidget()), m_digits(digits), m_leftOut(leftOut)
{
    for (TAdvSpinEdit* d : m_digits)
        connect(d, &QLineEdit::textChanged, this, &TFrequencyStrip::digitChanged);
    m_reportedHertz = hertz();
}

bool TFrequencyStrip::isDigit(const QObject* object) const
{
    return std::find(m_digits.begin(), m_digits.end(), object) != m_digits.end();
}

QWidget* TFrequencyStrip::holder() const
{
    return static_cast<QWidget*>(parent());
}

qint64 TFrequencyStrip::hertz() const
{
    qint64 sum = 0;
    for (const TAdvSpinEdit* d : m_digits)
        sum = sum * 10 + d->Value();
    return sum;
}

// A carry or a borrow writes its digits one at a time, and the sum of their values passes other
// frequencies on the way; assistive technology hears of the frequency the ripple settles on.
void TFrequencyStrip::digitChanged()
{
    if (!QAccessible::isActive()) {
        m_reportedHertz = hertz();
        return;
    }
    if (std::exchange(m_reportPosted, true))
        return;
    QMetaObject::invokeMethod(this, &TFrequencyStrip::report, Qt::QueuedConnection);
}

void TFrequencyStrip::report()
{
    m_reportPosted = false;
    const qint64 now = hertz();
    if (now == m_reportedHertz)
        return;
    m_reportedHertz = now;
    QAccessibleValueChangeEvent event(this, now);
    QAccessible::updateAccessibility(&event);
    QAccessibleEvent description(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
}

QString spokenFrequency(qint64 hertz)
{
    return TFrequencyStrip::tr("%1 Hz").arg(groupedHertz(hertz));
}

void installMainFormAccessibility()
{
    static const bool installed = [] {
        // Asked before the spin edits' own factory, which must be there first.
        installAdvSpinAccessibility();
        QAccessible::installFactory(mainFormFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

// ---- The window's part ----

void TMainForm::describeForAssistiveTechnology()
{
    installMainFormAccessibility();
    Ui::MainForm& f = *ui;
    // The separators are part of the strip's look, and Image5 is the reply lamp's lit face.
    m_frequencyStrip = new TFrequencyStrip(m_digits, {f.Panel2, f.Panel3, f.Panel4, f.Image5});
    f.Label1->setBuddy(f.cbPort);
    f.Label2->setBuddy(f.cbBaudRate);
    nameForAssistiveTechnology();
    describeLamp(f.Image4, false);
}

// Again whenever the language changes.
void TMainForm::nameForAssistiveTechnology()
{
    Ui::MainForm& f = *ui;
    for (int i = 1; i <= FrequencyDigitCount; ++i)
        digit(i)->setAccessibleName(tr(digitNames[std::size_t(i - 1)]));
    // Assistive technology on Linux names a list by its label, on Windows by its own name.
    f.cbPort->setAccessibleName(tr("Port"));
    f.cbBaudRate->setAccessibleName(tr("Baud rate"));
    f.GroupBox1->setAccessibleName(tr("Output mode"));
    f.SDR->setAccessibleDescription(
        tr("The device is told the dialled frequency divided by four, plus 10 kHz"));
    f.VFO->setAccessibleDescription(tr("The device is told the dialled frequency"));
    f.Image4->setAccessibleName(tr("Reply lamp"));
    f.Image1->setAccessibleName(tr("CTS lamp"));
    f.Image2->setAccessibleName(tr("DSR lamp"));
    f.Image3->setAccessibleName(tr("RLSD lamp"));
    for (QWidget* lamp : {f.Image1, f.Image2, f.Image3, f.Image4})
        describeLamp(lamp, lamp->property(lampLit).toBool());
}

void TMainForm::describeLamp(QWidget* lamp, bool lit)
{
    lamp->setProperty(lampLit, lit);
    lamp->setAccessibleDescription(lit ? tr("lit") : tr("dark"));
}

// The port panel keeps the form's focus policy (no tab stop); shortcuts reach it from anywhere in
// the window, and Tab while assistive technology is active.
void TMainForm::letKeyboardReachPortPanel()
{
    Ui::MainForm& f = *ui;
    const auto focusOn = [this](QKeyCombination keys, QWidget* control) {
        connect(new QShortcut(keys, this), &QShortcut::activated, control,
                [control] { control->setFocus(Qt::ShortcutFocusReason); });
        control->setAccessibleDescription(QKeySequence(keys).toString(QKeySequence::NativeText));
    };
    focusOn(Qt::ALT | Qt::Key_P, f.cbPort);
    focusOn(Qt::ALT | Qt::Key_B, f.cbBaudRate);
    // A button's own shortcut clicks it, and assistive technology reports it as the button's key.
    f.btnConnect->setShortcut(Qt::ALT | Qt::Key_C);
    f.btnDisconnect->setShortcut(Qt::ALT | Qt::Key_D);
    new TAssistedTabStops({f.cbPort, f.cbBaudRate, f.btnConnect, f.btnDisconnect}, this);
}
