// SPDX-License-Identifier: GPL-3.0-or-later

#include "Convert.h"

#include <cstdint>
#include <optional>

namespace {

std::optional<int> hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (isDecimalDigit(c))
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return std::nullopt;
}

// Hexadecimal input may fill all 32 bits ("$FFFFFFFF" is -1); decimal input
// must fit the signed range.
std::optional<int> parseDecimalOrHexInteger(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    const std::uint64_t limit =
        base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const std::optional<int> digit = hexDigit(text[i]);
        if (!digit || *digit >= base)
            return std::nullopt;
        magnitude = magnitude * base + *digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
    return static_cast<int>(bits);
}

} // namespace

bool TryStrToInt(const QString& text, int& value)
{
    const std::optional<int> parsed = parseDecimalOrHexInteger(text);
    if (parsed)
        value = *parsed;
    return parsed.has_value();
}

int StrToInt(const QString& text)
{
    const std::optional<int> parsed = parseDecimalOrHexInteger(text);
    if (!parsed)
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return *parsed;
}
