// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>

// The language the program speaks, as the options dialog sets it. Unless one
// is kept, the system's applies.
enum class LanguageSetting {
    System, // the user's first language (Translations.h)
    English,
    Russian,
};

// "system", "en" or "ru"; nothing for any other text.
std::optional<LanguageSetting> parseLanguageSetting(const QString& text);
// The text parseLanguageSetting reads back.
QString formatLanguageSetting(const LanguageSetting& setting);
