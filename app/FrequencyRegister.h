// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <array>
#include <optional>

// The frequency register's texts, without the window: the dial is a
// frequency in hertz of FrequencyDigitCount decimal digits, highest first,
// one in each digit control (0 to 299 999 999 Hz, the top digit 0..2). The
// window (TMainForm) fills the digits from these texts and composes them
// back; everything that reads or sets the dial goes through the functions
// here.

inline constexpr int FrequencyDigitCount = 9;

// The texts of the nine digit controls for a stored frequency, highest digit
// first: one character each from the stored text. Characters after the ninth
// are ignored; positions the text does not reach get "0".
std::array<QString, FrequencyDigitCount> spreadFrequency(const QString& stored);

// True when every character that spreadFrequency gives the digits is a
// decimal digit, so that the dial composes to a number. A text shorter than
// nine characters counts (its places are filled with "0"); characters after
// the ninth do not.
bool isDialableFrequency(const QString& stored);

// The dial's text for a frequency: nine digits with leading zeros
// (7 074 000 Hz gives "007074000"). For 0 to 999 999 999 Hz.
QString frequencyText(quint32 hertz);

// The hertz of a composed dial: nothing unless the text is one or more
// decimal digits, without sign or blanks, that fit 32 bits.
std::optional<quint32> dialledHertz(const QString& dialled);

// The div4 transform of a dialled frequency in hertz: "0" followed by
// N / 4 + 10000 rounded half to even. Raises EConvertError on bad text.
QString div4FrequencyString(const QString& dialled);
