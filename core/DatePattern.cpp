// SPDX-License-Identifier: GPL-3.0-or-later

#include "DatePattern.h"

#include "Convert.h"

namespace advspin {

namespace {

bool isFieldLetter(QChar c)
{
    return c == u'd' || c == u'M' || c == u'y';
}

QString withoutBlanksAndMarks(const QString& text)
{
    QString visible;
    for (const QChar c : text) {
        if (!c.isSpace() && c.category() != QChar::Other_Format)
            visible += c;
    }
    return visible;
}

// The literal text before the first field, between the fields and after the last; all empty
// for a pattern that does not have exactly three fields.
std::array<QString, 4> literalsAroundFields(const QString& pattern)
{
    std::array<QString, 4> literals;
    std::size_t fields = 0;
    for (const DatePatternToken& token : datePatternTokens(pattern)) {
        if (!token.field.isNull())
            ++fields;
        else if (fields < literals.size())
            literals[fields] += token.literal;
    }
    return fields == 3 ? literals : std::array<QString, 4>{};
}

// The text as runs of digits and the gaps around them: gaps.size() == runs.size() + 1.
struct DigitRuns
{
    QStringList runs;
    QStringList gaps{QString()};
};

DigitRuns splitDigitRuns(const QString& text)
{
    DigitRuns result;
    bool inRun = false;
    for (const QChar c : text) {
        const bool digit = isDecimalDigit(c);
        if (digit && !inRun)
            result.runs.append(QString());
        else if (!digit && inRun)
            result.gaps.append(QString());
        (digit ? result.runs.last() : result.gaps.last()) += c;
        inRun = digit;
    }
    if (inRun)
        result.gaps.append(QString());
    return result;
}

} // namespace

QList<DatePatternToken> datePatternTokens(const QString& pattern)
{
    QList<DatePatternToken> tokens;
    const auto addLiteral = [&tokens](const QString& text) {
        if (tokens.isEmpty() || !tokens.last().field.isNull())
            tokens.append(DatePatternToken{});
        tokens.last().literal += text;
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            qsizetype close = pattern.indexOf(u'\'', i + 1);
            if (close < 0)
                close = pattern.size();
            addLiteral(close == i + 1 ? QStringLiteral("'") : pattern.mid(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (isFieldLetter(c))
            tokens.append(DatePatternToken{c, run, {}});
        else
            addLiteral(QString(run, c));
        i += run;
    }
    return tokens;
}

std::optional<std::array<QString, 3>> dateDigitRuns(const QString& text, const QString& pattern,
                                                    QChar dateSeparator)
{
    const DigitRuns split = splitDigitRuns(text);
    if (split.runs.size() != 3)
        return std::nullopt;
    const std::array<QString, 4> literals = literalsAroundFields(pattern);
    for (std::size_t i = 0; i < literals.size(); ++i) {
        const QString gap = withoutBlanksAndMarks(split.gaps[static_cast<qsizetype>(i)]);
        const bool between = i == 1 || i == 2;
        const bool typed = between ? gap == dateSeparator : gap.isEmpty();
        if (!typed && gap != withoutBlanksAndMarks(literals[i]))
            return std::nullopt;
    }
    return std::array<QString, 3>{split.runs[0], split.runs[1], split.runs[2]};
}

} // namespace advspin
