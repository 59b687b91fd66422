// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QChar>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// Short date patterns in Qt's notation and the shape of the date texts they write. Part of the
// spin edit's text conversions (AdvSpinText.h); nothing here depends on the user's locale.
namespace advspin {

// One piece of a pattern: a field (a run of "d", "M" or "y") or literal text, with the quotes
// of quoted text removed ("''" stands for one quote).
struct DatePatternToken
{
    QChar field;      // u'd', u'M' or u'y'; null for literal text
    qsizetype run{0}; // the length of a field's letter run
    QString literal;
};

QList<DatePatternToken> datePatternTokens(const QString& pattern);

// The three runs of digits of a date text, in the order of the text, when the text has the
// pattern's shape: exactly three runs of ASCII digits, with the pattern's literal text before,
// between and after them. Blanks and invisible format marks (the right-to-left marks of Arabic
// dates) do not count in that comparison. Between two runs the date separator alone serves as
// well, and before the first and after the last nothing does: that is how a user types a date.
std::optional<std::array<QString, 3>> dateDigitRuns(const QString& text, const QString& pattern,
                                                    QChar dateSeparator);

} // namespace advspin
