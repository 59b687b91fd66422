// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>

// A frequency as the operator types it into the frequency entry, read into
// hertz. The forms an operator types:
//   7074000, 7 074 000        hertz (blanks group the digits)
//   7.074, 7,074              megahertz: one decimal point or comma
//   7074k, 7074.5 kHz         kilohertz
//   7.074M, 7.074 MHz         megahertz
//   14.070.000, 14,070,000    hertz: several points or commas group the
//                             digits by three
//   14 070 000 Hz             hertz, with the unit
// The units are read in any case, and in Russian too (Гц, кГц, МГц, к, М). A frequency must be a
// whole number of hertz from 0 to 299 999 999; anything else is refused with a sentence that says
// why, fit to show the operator.
struct FrequencyReading
{
    std::optional<quint32> hertz; // none when refused
    QString problem;              // why it was refused; empty when read
};

FrequencyReading readTypedFrequency(const QString& typed);

// Hertz with its digits grouped by three with blanks, as the entry shows the
// dial and reads it back: "14 070 000".
QString groupedHertz(qint64 hertz);
