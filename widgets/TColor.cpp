// SPDX-License-Identifier: GPL-3.0-or-later

#include "TColor.h"

#include <array>

namespace {

// The system colours by index, in the order the platform numbers them, as the
// palette roles that play the same part in Qt.
constexpr std::array<QPalette::ColorRole, 25> systemColorRoles = {
    QPalette::Window,          // scroll bar
    QPalette::Window,          // desktop
    QPalette::Highlight,       // active caption
    QPalette::Window,          // inactive caption
    QPalette::Window,          // menu
    QPalette::Base,            // window background
    QPalette::Shadow,          // window frame
    QPalette::WindowText,      // menu text
    QPalette::Text,            // window text
    QPalette::HighlightedText, // caption text
    QPalette::Window,          // active border
    QPalette::Window,          // inactive border
    QPalette::Dark,            // application workspace
    QPalette::Highlight,       // highlight
    QPalette::HighlightedText, // highlighted text
    QPalette::Button,          // button face
    QPalette::Dark,            // button shadow
    QPalette::PlaceholderText, // grey text
    QPalette::ButtonText,      // button text
    QPalette::WindowText,      // inactive caption text
    QPalette::Light,           // button highlight
    QPalette::Shadow,          // dark 3D shadow
    QPalette::Midlight,        // 3D light
    QPalette::ToolTipText,     // tool-tip text
    QPalette::ToolTipBase,     // tool-tip background
};

} // namespace

QColor toQColor(TColor color, const QPalette& palette)
{
    if (color == clNone) {
        return {};
    }
    if (isSystemColor(color)) {
        const auto index = color & 0xFFFFFF;
        const auto role =
            index < systemColorRoles.size() ? systemColorRoles[index] : QPalette::Window;
        return palette.color(role);
    }
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

TColor fromQColor(const QColor& color)
{
    return colorFromRgb(color.red(), color.green(), color.blue());
}
