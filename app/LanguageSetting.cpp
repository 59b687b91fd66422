// SPDX-License-Identifier: GPL-3.0-or-later

#include "LanguageSetting.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<LanguageSetting, QLatin1StringView>, 3> languageTexts{{
    {LanguageSetting::System, QLatin1StringView("system")},
    {LanguageSetting::English, QLatin1StringView("en")},
    {LanguageSetting::Russian, QLatin1StringView("ru")},
}};

} // namespace

std::optional<LanguageSetting> parseLanguageSetting(const QString& text)
{
    for (const auto& [setting, name] : languageTexts) {
        if (text == name)
            return setting;
    }
    return std::nullopt;
}

QString formatLanguageSetting(const LanguageSetting& setting)
{
    for (const auto& [known, name] : languageTexts) {
        if (known == setting)
            return name;
    }
    return {};
}
