// SPDX-License-Identifier: GPL-3.0-or-later

// How the arrow button draws itself: through the desktop theme where one is
// active, otherwise classically, with its glyph or a scroll-bar arrow.
#include "AdvSpinButton.h"

#include "ASXPVS.h"
#include "TransparentBitmap.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

// Theme parts of the "spin" class and the button states.
constexpr int spinPartUp = 1;
constexpr int spinPartDown = 2;
constexpr int spinPartUpHorizontal = 3;
constexpr int spinPartDownHorizontal = 4;
constexpr int themeStateNormal = 1;
constexpr int themeStateHot = 2;
constexpr int themeStatePressed = 3;
constexpr int themeStateDisabled = 4;

// Which of the glyph's images a state shows, when the glyph has it.
constexpr int disabledGlyphIndex = 1;
constexpr int pressedGlyphIndex = 2;

int themePart(TButtonArrow arrow)
{
    switch (arrow) {
    case TButtonArrow::baUp:
        return spinPartUp;
    case TButtonArrow::baDown:
        return spinPartDown;
    case TButtonArrow::baRight:
        return spinPartUpHorizontal;
    case TButtonArrow::baLeft:
        return spinPartDownHorizontal;
    }
    return spinPartUp;
}

// The opaque pixels of an image in one colour, for the embossed disabled look.
QImage silhouette(const QImage& image, const QColor& colour)
{
    QImage result = image;
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    return result;
}

} // namespace

bool TAdvTimerSpeedButton::themedDrawing() const
{
    // Whether a theme is active is asked on every paint, so switching the
    // desktop theme shows at the next repaint.
    return m_themeCapableOS && ThemeApiLoaded() && IsThemeActive() != 0;
}

int TAdvTimerSpeedButton::themeState() const
{
    if (!isEnabled()) {
        return themeStateDisabled;
    }
    if (m_pressed) {
        return themeStatePressed;
    }
    return m_hot ? themeStateHot : themeStateNormal;
}

void TAdvTimerSpeedButton::paintEvent(QPaintEvent* /*event*/)
{
    if (themedDrawing()) {
        paintThemed();
        return;
    }
    QPainter painter(this);
    switch (m_buttonArrow) {
    case TButtonArrow::baLeft:
    case TButtonArrow::baRight:
        paintScrollArrow(painter);
        break;
    case TButtonArrow::baUp:
    case TButtonArrow::baDown:
        paintGlyph(painter);
        break;
    }
}

void TAdvTimerSpeedButton::paintThemed()
{
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    const HTHEME theme = OpenThemeData(reinterpret_cast<void*>(owner->effectiveWinId()), u"spin");
    if (!theme) {
        return;
    }
    const ThemeRect bounds{0, 0, width(), height()};
    // Qt hands out no GDI device context on Linux, where no theme library
    // exists either; a Windows build has to pass the paint device's context here.
    DrawThemeBackground(theme, nullptr, themePart(m_buttonArrow), themeState(), &bounds, nullptr);
    CloseThemeData(theme);
}

void TAdvTimerSpeedButton::paintFrame(QPainter& painter) const
{
    if (!m_flat) {
        qDrawWinButton(&painter, rect(), palette(), m_pressed);
    } else if (m_pressed || (m_hot && isEnabled())) {
        qDrawShadePanel(&painter, rect(), palette(), m_pressed, 1);
    }
}

void TAdvTimerSpeedButton::paintGlyph(QPainter& painter) const
{
    if (!m_transparent) {
        painter.fillRect(rect(), palette().button());
    }
    paintFrame(painter);
    if (m_glyph.isNull()) {
        return;
    }
    int index = 0;
    if (!isEnabled() && m_numGlyphs > disabledGlyphIndex) {
        index = disabledGlyphIndex;
    } else if (m_pressed && m_numGlyphs > pressedGlyphIndex) {
        index = pressedGlyphIndex;
    }
    const int glyphWidth = m_glyph.width() / m_numGlyphs;
    // Placed by its size in pixels, drawn at the screen's resolution.
    const QImage image = bitmapForDevice(
        transparentBitmap(m_glyph, QRect(index * glyphWidth, 0, glyphWidth, m_glyph.height())),
        devicePixelRatioF());
    const int shift = m_pressed ? 1 : 0;
    const QPoint at((width() - glyphWidth + 1) / 2 + shift,
                    (height() - m_glyph.height() + 1) / 2 + shift);
    if (isEnabled() || index == disabledGlyphIndex) {
        painter.drawImage(at, image);
        return;
    }
    painter.drawImage(at + QPoint(1, 1), silhouette(image, palette().color(QPalette::Light)));
    painter.drawImage(at, silhouette(image, palette().color(QPalette::Mid)));
}

void TAdvTimerSpeedButton::paintScrollArrow(QPainter& painter) const
{
    // The system's scroll-bar arrow buttons always fill their face.
    painter.fillRect(rect(), palette().button());
    if (m_flat) {
        qDrawPlainRect(&painter, rect(), palette().color(QPalette::Mid));
    } else {
        qDrawWinButton(&painter, rect(), palette(), m_pressed);
    }
    QStyleOption option;
    option.initFrom(this);
    const int shift = m_pressed ? 1 : 0;
    option.rect = rect().adjusted(2, 2, -2, -2).translated(shift, shift);
    const auto arrow = m_buttonArrow == TButtonArrow::baLeft ? QStyle::PE_IndicatorArrowLeft
                                                             : QStyle::PE_IndicatorArrowRight;
    style()->drawPrimitive(arrow, &option, &painter, this);
}
