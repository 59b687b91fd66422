// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "FrequencyRegister.h"

#include <QList>
#include <QObject>
#include <array>

class QWidget;
class TAdvSpinEdit;

// The nine digit controls as assistive technology (a screen reader) sees them: one group,
// "Frequency", whose value is the frequency that the digits show ("14 070 000 Hz"), with the
// digits inside it. It lives in the panel that holds the digits, and tells assistive technology
// of every change of that value once it has settled: a carry, which changes two digits, is one
// change. Which widgets
// of that panel are no objects of their own (the strip's separators, a lamp's lit face drawn
// over the lamp) it keeps too. UI thread only.
class TFrequencyStrip : public QObject
{
    Q_OBJECT

public:
    using Digits = std::array<TAdvSpinEdit*, FrequencyDigitCount>;

    // `digits` from the highest place to the hertz; their parent holds the strip.
    TFrequencyStrip(const Digits& digits, const QList<QWidget*>& leftOut);

    const Digits& digits() const { return m_digits; }
    bool isDigit(const QObject* object) const;
    const QList<QWidget*>& leftOut() const { return m_leftOut; }
    QWidget* holder() const;

    // The digits' values at their places, in hertz.
    qint64 hertz() const;

private:
    void digitChanged();
    void report();

    Digits m_digits;
    QList<QWidget*> m_leftOut;
    qint64 m_reportedHertz = 0;
    bool m_reportPosted = false;
};

// A frequency as it is said: "14 070 000 Hz".
QString spokenFrequency(qint64 hertz);

// Gives the main window's panel and its frequency strip their own accessible objects (once).
void installMainFormAccessibility();
