// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

// A colour as forms store it: 0x00BBGGRR for an RGB colour; a high byte 0xFF
// names a system colour by its index (clWindow is 0xFF000005); clNone means
// "no colour" and switches a colour feature off.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x00000000;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clWindow = 0xFF000005;
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clBtnFace = 0xFF00000F;

constexpr TColor colorFromRgb(int red, int green, int blue)
{
    return TColor(red & 0xFF) | TColor(green & 0xFF) << 8 | TColor(blue & 0xFF) << 16;
}

constexpr bool isSystemColor(TColor color)
{
    return (color >> 24) == 0xFF;
}

// The colour to paint with: system colours come from the palette (clWindow is
// its Base, clWindowText its Text, ...); clNone gives an invalid QColor.
QColor toQColor(TColor color, const QPalette& palette);

// The RGB TColor of a Qt colour (its alpha is dropped).
TColor fromQColor(const QColor& color);
