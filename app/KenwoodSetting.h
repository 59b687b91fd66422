// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>

// The Kenwood profile's keys, kept in a section of their own beside [PORT]:
// whether the panel's line answers as a Kenwood radio does ("1" or "0"; off
// unless asked), and the identity its "ID;" answers with (three decimal
// digits; a TS-2000's unless given). Nothing for any other text.
std::optional<bool> parseKenwoodEnabled(const QString& text);
QString formatKenwoodEnabled(const bool& enabled);
std::optional<QString> parseKenwoodId(const QString& text);
QString formatKenwoodId(const QString& id);
