// SPDX-License-Identifier: GPL-3.0-or-later

#include "KenwoodSetting.h"

#include "Convert.h"

#include <algorithm>

std::optional<bool> parseKenwoodEnabled(const QString& text)
{
    if (text == u"1" || text == u"0")
        return text == u"1";
    return std::nullopt;
}

QString formatKenwoodEnabled(const bool& enabled)
{
    return enabled ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<QString> parseKenwoodId(const QString& text)
{
    if (text.size() == 3 && std::all_of(text.begin(), text.end(), isDecimalDigit))
        return text;
    return std::nullopt;
}

QString formatKenwoodId(const QString& id)
{
    return id;
}
