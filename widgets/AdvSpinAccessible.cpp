// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpinAccessible.h"

#include "AdvSpin.h"

#include <utility>

namespace {

QAccessibleInterface* advSpinFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("TAdvSpinEdit"))
        return new TAdvSpinEditAccessible(static_cast<TAdvSpinEdit*>(object));
    return nullptr;
}

bool hasNumber(TAdvSpinType kind)
{
    return kind == sptNormal || kind == sptFloat || kind == sptHex;
}

// The least and the greatest value, or none: an integer range of 0..0 and a float range of
// equal bounds are no range at all, as the clamps have it.
std::pair<QVariant, QVariant> bounds(const TAdvSpinEdit& edit)
{
    if (edit.SpinType() == sptFloat) {
        if (edit.MinFloatValue() == edit.MaxFloatValue())
            return {};
        return {edit.MinFloatValue(), edit.MaxFloatValue()};
    }
    if (!hasNumber(edit.SpinType()) || (edit.MinValue() == 0 && edit.MaxValue() == 0))
        return {};
    return {edit.MinValue(), edit.MaxValue()};
}

} // namespace

TAdvSpinEditAccessible::TAdvSpinEditAccessible(TAdvSpinEdit* edit)
    : QAccessibleWidget(edit, QAccessible::SpinBox)
{
}

TAdvSpinEdit* TAdvSpinEditAccessible::edit() const
{
    return static_cast<TAdvSpinEdit*>(widget());
}

void* TAdvSpinEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TAdvSpinEditAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return edit()->text();
    return QAccessibleWidget::text(t);
}

QVariant TAdvSpinEditAccessible::currentValue() const
{
    switch (edit()->SpinType()) {
    case sptNormal:
        return edit()->Value();
    case sptFloat:
        return edit()->FloatValue();
    case sptHex:
        return edit()->HexValue();
    case sptDate:
    case sptTime:
        return {};
    }
    return {};
}

void TAdvSpinEditAccessible::setCurrentValue(const QVariant& value)
{
    switch (edit()->SpinType()) {
    case sptNormal:
        edit()->setValue(value.toInt());
        break;
    case sptFloat:
        edit()->setFloatValue(value.toDouble());
        break;
    case sptHex:
        edit()->setHexValue(value.toInt());
        break;
    case sptDate:
    case sptTime:
        break;
    }
}

QVariant TAdvSpinEditAccessible::maximumValue() const
{
    return bounds(*edit()).second;
}

QVariant TAdvSpinEditAccessible::minimumValue() const
{
    return bounds(*edit()).first;
}

QVariant TAdvSpinEditAccessible::minimumStepSize() const
{
    if (edit()->SpinType() == sptFloat)
        return edit()->IncrementFloat();
    return hasNumber(edit()->SpinType()) ? QVariant(edit()->Increment()) : QVariant();
}

QStringList TAdvSpinEditAccessible::actionNames() const
{
    return QAccessibleWidget::actionNames() << QAccessibleActionInterface::increaseAction()
                                            << QAccessibleActionInterface::decreaseAction();
}

// The actions are the clicks of the up and down buttons.
void TAdvSpinEditAccessible::doAction(const QString& actionName)
{
    if (actionName == QAccessibleActionInterface::increaseAction())
        edit()->UpClick(edit()->buttonPair());
    else if (actionName == QAccessibleActionInterface::decreaseAction())
        edit()->DownClick(edit()->buttonPair());
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList TAdvSpinEditAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == QAccessibleActionInterface::increaseAction())
        return {QStringLiteral("Up")};
    if (actionName == QAccessibleActionInterface::decreaseAction())
        return {QStringLiteral("Down")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void installAdvSpinAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(advSpinFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void reportAccessibleValueChange(TAdvSpinEdit* edit)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
    QAccessibleValueInterface* value = accessible ? accessible->valueInterface() : nullptr;
    QAccessibleValueChangeEvent event(edit, value ? value->currentValue() : edit->text());
    QAccessible::updateAccessibility(&event);
}
