// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <stdexcept>

// The toolkit's conversion error, raised when a text is not a valid number.
// what() holds the user-visible message in UTF-8.
class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Converts text to a 32-bit signed integer the way the toolkit does: leading
// blanks, an optional sign, then decimal digits or "$" / "0x" / "x" followed by
// hexadecimal digits. Anything else, or a value outside 32 bits, raises
// EConvertError("'<text>' is not a valid integer value").
int StrToInt(const QString& text);

// The same conversion without raising; false when the text is not an integer.
bool TryStrToInt(const QString& text, int& value);

// Whether the character is one of the decimal digits '0' to '9'. The digits
// of other scripts, which QChar::isDigit takes, count as text.
constexpr bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
