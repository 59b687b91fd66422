// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>

class TAdvSpinEdit;

// A spin edit as assistive technology (a screen reader, through the platform's accessibility
// interface) sees it: a spin box whose value is the number it shows (integer, float or
// hexadecimal; a date or a time only as its text), bounded by MinValue..MaxValue where the range
// is bounded, with the increase and decrease actions of its up and down buttons. The button pair
// is part of the spin box, not an object of its own. The edit reports every change of its text
// as a change of this value. UI thread only.
class TAdvSpinEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit TAdvSpinEditAccessible(TAdvSpinEdit* edit);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QVariant currentValue() const override;
    // Writes the value as the program would (clamped), which raises OnChange.
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

protected:
    TAdvSpinEdit* edit() const;
};

// Qt's accessibility makes a TAdvSpinEditAccessible for every spin edit from now on. Installed by
// the first spin edit; a factory installed later is asked first and may give a spin edit another
// interface.
void installAdvSpinAccessibility();

// Tells assistive technology, while one is listening, that the edit's value has changed.
void reportAccessibleValueChange(TAdvSpinEdit* edit);
