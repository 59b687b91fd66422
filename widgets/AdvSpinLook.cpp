// SPDX-License-Identifier: GPL-3.0-or-later

// The spin edit's appearance: its button pair and where it sits, the text area
// clear of the buttons, the least height for the font, colours and focus
// colours, the flat style, transparency and the attached label.
#include "AdvSpin.h"

#include "ASXPVS.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {

constexpr int pairWidth = 15;
constexpr int pairHeight = 17;
// The height of a system border line, in pixels.
constexpr int systemBorderHeight = 1;
constexpr quint32 versionNumber = 0x01040801;

Qt::Alignment alignmentOf(TAdvSpinEdit::TEditAlign align)
{
    switch (align) {
    case TAdvSpinEdit::TEditAlign::eaLeft:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case TAdvSpinEdit::TEditAlign::eaRight:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TAdvSpinEdit::TEditAlign::eaCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

void setBold(QLabel* label, bool bold)
{
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    label->adjustSize();
}

} // namespace

void TAdvSpinEdit::createButtonPair()
{
    m_buttonPair = new TAdvSpinButton(this);
    m_buttonPair->SetBounds(0, 0, pairWidth, pairHeight);
    m_buttonPair->setVisible(true);
    m_buttonPair->setFocusControl(this);
    m_buttonPair->OnUpClick = [this](QObject* sender) { UpClick(sender); };
    m_buttonPair->OnDownClick = [this](QObject* sender) { DownClick(sender); };
    // The pair's background is the edit's current colour, focus colour included.
    m_buttonPair->setBackgroundRole(QPalette::Base);
    m_buttonPair->setCursor(Qt::ArrowCursor);
    m_labelFont = QApplication::font();
    setAutoFillBackground(true);
    applyColor();
}

TAdvSpinEdit::~TAdvSpinEdit()
{
    // The label is a sibling; it may already be gone with the parent.
    delete m_label.data();
}

// --- colours ---------------------------------------------------------------------------------

void TAdvSpinEdit::setColor(TColor color)
{
    if (color == m_color) {
        return;
    }
    m_color = color;
    applyColor();
}

void TAdvSpinEdit::applyColor()
{
    const QScopedValueRollback applying(m_applyingColor, true);
    QPalette palette = this->palette();
    const QColor colour = toQColor(m_color, QApplication::palette(this));
    palette.setColor(QPalette::Base,
                     m_transparent || !colour.isValid() ? QColor(Qt::transparent) : colour);
    setPalette(palette);
}

// A form may give the background as the palette's Base colour: that is Color then.
void TAdvSpinEdit::adoptPaletteColor()
{
    if (m_applyingColor || m_transparent) {
        return;
    }
    const QColor base = palette().color(QPalette::Base);
    if (base != toQColor(m_color, QApplication::palette(this))) {
        m_color = fromQColor(base);
    }
}

void TAdvSpinEdit::setTransparent(bool transparent)
{
    if (transparent == m_transparent) {
        return;
    }
    m_transparent = transparent;
    setAutoFillBackground(!transparent);
    applyColor();
    update();
}

void TAdvSpinEdit::lookFocusIn()
{
    if (m_focusBorderColor != clNone) {
        update();
    }
    if (m_focusColor != clNone) {
        setColor(m_focusColor);
    }
    if (m_focusLabel && m_label) {
        setBold(m_label, true);
    }
}

void TAdvSpinEdit::lookFocusOut()
{
    if (m_focusColor != clNone && m_normalColor != clNone) {
        setColor(m_normalColor);
    }
    if (m_focusLabel && m_label) {
        setBold(m_label, false);
    }
    update();
}

// --- flat style, border and alignment --------------------------------------------------------

void TAdvSpinEdit::setFlat(bool flat)
{
    if (isLoading()) {
        m_flat = flat;
        return;
    }
    if (flat == m_flat) {
        return;
    }
    m_flat = flat;
    if (flat) {
        m_normalColor = m_color;
        setBorderStyle(TBorderStyle::bsNone);
    } else {
        if (m_normalColor != clNone) {
            setColor(m_normalColor);
        }
        setBorderStyle(TBorderStyle::bsSingle);
    }
    ApplyFlatRect(flat);
    update();
}

void TAdvSpinEdit::setFlatLineColor(TColor color)
{
    m_flatLineColor = color;
    update();
}

void TAdvSpinEdit::setSpinFlat(bool flat)
{
    m_buttonPair->UpButton()->setFlat(flat);
    m_buttonPair->DownButton()->setFlat(flat);
    m_spinFlat = flat;
}

void TAdvSpinEdit::setSpinTransparent(bool transparent)
{
    m_buttonPair->UpButton()->setTransparent(transparent);
    m_buttonPair->DownButton()->setTransparent(transparent);
    m_spinTransparent = transparent;
    update();
}

void TAdvSpinEdit::setEditAlign(TEditAlign align)
{
    if (align == m_editAlign) {
        return;
    }
    m_editAlign = align;
    setAlignment(alignmentOf(align));
}

void TAdvSpinEdit::setDirection(TSpinDirection direction)
{
    if (direction == m_buttonPair->Direction()) {
        return;
    }
    m_buttonPair->setDirection(direction);
    layOut();
}

void TAdvSpinEdit::setBorderStyle(TBorderStyle style)
{
    if (style == m_borderStyle) {
        return;
    }
    m_borderStyle = style;
    setFrame(style == TBorderStyle::bsSingle);
    layOut();
}

void TAdvSpinEdit::setCtl3D(bool ctl3D)
{
    if (ctl3D == m_ctl3D) {
        return;
    }
    m_ctl3D = ctl3D;
    layOut();
}

bool TAdvSpinEdit::ParentFont() const
{
    return !testAttribute(Qt::WA_SetFont);
}

// --- size and layout -------------------------------------------------------------------------

int TAdvSpinEdit::MinimumHeight() const
{
    const int systemHeight = QFontMetrics(QApplication::font()).height();
    const int fontHeight = QFontMetrics(font()).height();
    const int smaller = std::min(systemHeight, fontHeight);
    const int border = m_borderStyle == TBorderStyle::bsSingle ? 4 * systemBorderHeight : 0;
    return fontHeight + smaller / 4 + 2 + border;
}

void TAdvSpinEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    layOut();
    PlaceLabel();
}

void TAdvSpinEdit::moveEvent(QMoveEvent* event)
{
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TAdvSpinEdit::layOut()
{
    // A hidden widget receives its size change only when it is shown, so the
    // layout below already uses the grown height.
    if (height() < MinimumHeight()) {
        resize(width(), MinimumHeight());
    }
    placeButtonPair();
    ApplyEditRect();
}

int TAdvSpinEdit::borderWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    return option.lineWidth;
}

// Qt has no non-client area: the client area is what lies inside the frame.
// Flush right in it and one pixel shorter with the new-style look; the old look
// keeps two pixels above.
void TAdvSpinEdit::placeButtonPair()
{
    const int border = borderWidth();
    const int pair = m_buttonPair->width();
    const int d = 2 * border + 1;
    QRect bounds = NewStyleWindowLook() && m_ctl3D
                       ? QRect(width() - pair - d + 1, 0, pair, height() - d)
                       : QRect(width() - pair - 1, 2, pair, height() - 3);
    bounds.translate(border, border);
    m_buttonPair->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
}

void TAdvSpinEdit::ApplyEditRect()
{
    const int inset = m_borderStyle == TBorderStyle::bsNone ? 2 : 0;
    const int left = inset + (m_ctl3D ? 0 : 2);
    applyFormatMargins(QMargins(left, inset, m_buttonPair->width() + 2 + inset, 0));
}

void TAdvSpinEdit::ApplyFlatRect(bool flat)
{
    const int pair = m_buttonPair->width();
    applyFormatMargins(flat ? QMargins(2, 4, pair + 4, 4) : QMargins(0, 0, pair + 2, 0));
}

void TAdvSpinEdit::applyFormatMargins(const QMargins& margins)
{
    m_formatMargins = margins;
    setTextMargins(margins);
}

// --- painting --------------------------------------------------------------------------------

void TAdvSpinEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    PaintFlatLine(painter);
    PaintFocusBorder(painter);
}

void TAdvSpinEdit::PaintFlatLine(QPainter& painter) const
{
    if (!m_flat) {
        return;
    }
    const int border = borderWidth();
    const int left = border + m_formatMargins.left();
    const int right = width() - border - m_formatMargins.right();
    painter.setPen(toQColor(m_flatLineColor, QApplication::palette(this)));
    painter.drawLine(left, height() - 1, right - 1, height() - 1);
}

void TAdvSpinEdit::PaintFocusBorder(QPainter& painter) const
{
    if (m_focusBorderColor == clNone || !hasFocus()) {
        return;
    }
    painter.setPen(toQColor(m_focusBorderColor, QApplication::palette(this)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// --- enabled, visible, parent, fonts ---------------------------------------------------------

void TAdvSpinEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // The buttons are children and follow the edit by themselves.
        if (m_label && !m_labelAlwaysEnabled && !isLoading()) {
            m_label->setEnabled(isEnabled());
        }
        break;
    case QEvent::ParentChange:
        if (m_label) {
            m_label->setParent(parentWidget());
            m_label->setVisible(!isHidden());
            PlaceLabel();
        }
        break;
    case QEvent::PaletteChange:
        adoptPaletteColor();
        break;
    case QEvent::FontChange:
        ApplyFlatRect(m_flat);
        PlaceLabel();
        break;
    default:
        break;
    }
}

void TAdvSpinEdit::setVisible(bool visible)
{
    QLineEdit::setVisible(visible);
    if (m_label && m_label->parentWidget()) {
        m_label->setVisible(visible);
    }
}

// --- the attached label ----------------------------------------------------------------------

void TAdvSpinEdit::MakeLabel()
{
    m_label = new QLabel(parentWidget());
    m_label->setBuddy(this);
    m_label->setFont(font());
    m_label->setVisible(parentWidget() && !isHidden());
}

QString TAdvSpinEdit::LabelCaption() const
{
    return m_label ? m_label->text() : QString();
}

void TAdvSpinEdit::setLabelCaption(const QString& caption)
{
    if (!m_label) {
        MakeLabel();
    }
    m_label->setText(caption);
    PlaceLabel();
}

void TAdvSpinEdit::setLabelPosition(TLabelPosition position)
{
    m_labelPosition = position;
    PlaceLabel();
}

void TAdvSpinEdit::setLabelMargin(int margin)
{
    m_labelMargin = margin;
    PlaceLabel();
}

void TAdvSpinEdit::setLabelTransparent(bool transparent)
{
    m_labelTransparent = transparent;
    PlaceLabel();
}

void TAdvSpinEdit::setLabelFont(const QFont& font)
{
    m_labelFont = font;
    PlaceLabel();
}

void TAdvSpinEdit::setLabelAlwaysEnabled(bool alwaysEnabled)
{
    m_labelAlwaysEnabled = alwaysEnabled;
    if (alwaysEnabled && m_label) {
        m_label->setEnabled(true);
    }
    update();
}

void TAdvSpinEdit::PlaceLabel()
{
    if (!m_label) {
        return;
    }
    // A transparent label leaves its background to its parent.
    m_label->setAutoFillBackground(!m_labelTransparent);
    m_label->setFont(ParentFont() ? font() : m_labelFont);
    m_label->adjustSize();

    const QRect edit = geometry();
    const int labelWidth = m_label->width();
    const int labelHeight = m_label->height();
    const int textWidth = m_label->fontMetrics().horizontalAdvance(m_label->text());
    const int margin = m_labelMargin;
    const int centredTop = edit.top() + (edit.height() - labelHeight) / 2;
    const int centredLeft = edit.left() + (edit.width() - labelWidth) / 2;
    QPoint at;
    switch (m_labelPosition) {
    case TLabelPosition::lpLeftTop:
        at = {edit.left() - textWidth - margin, edit.top()};
        break;
    case TLabelPosition::lpLeftCenter:
        at = {edit.left() - textWidth - margin, centredTop};
        break;
    case TLabelPosition::lpLeftBottom:
        at = {edit.left() - textWidth - margin, edit.top() + edit.height() - labelHeight};
        break;
    case TLabelPosition::lpTopLeft:
        at = {edit.left(), edit.top() - labelHeight - margin};
        break;
    case TLabelPosition::lpBottomLeft:
        at = {edit.left(), edit.top() + edit.height() + margin};
        break;
    case TLabelPosition::lpLeftTopLeft:
        at = {edit.left() - margin, edit.top()};
        break;
    case TLabelPosition::lpLeftCenterLeft:
        at = {edit.left() - margin, centredTop};
        break;
    case TLabelPosition::lpLeftBottomLeft:
        at = {edit.left() - margin, edit.top() + edit.height() - labelHeight};
        break;
    case TLabelPosition::lpTopCenter:
        at = {centredLeft, edit.top() - labelHeight - margin};
        break;
    case TLabelPosition::lpBottomCenter:
        at = {centredLeft, edit.top() + edit.height() + margin};
        break;
    }
    m_label->move(at);
}

// --- version and end of loading ----------------------------------------------------------------

quint32 TAdvSpinEdit::VersionNumber() const
{
    return versionNumber;
}

QString TAdvSpinEdit::Version() const
{
    const quint32 number = VersionNumber();
    return QStringLiteral("%1.%2.%3.%4")
        .arg(number >> 24 & 0xFF)
        .arg(number >> 16 & 0xFF)
        .arg(number >> 8 & 0xFF)
        .arg(number & 0xFF);
}

void TAdvSpinEdit::setVersion(const QString& /*version*/) {}

void TAdvSpinEdit::applyLoadedLook()
{
    m_normalColor = m_color;
    // Writing the stored flag through the setter applies the border, the text
    // area and the colour that go with it, whatever the form stored.
    const bool flat = m_flat;
    m_flat = !flat;
    setFlat(flat);
    PlaceLabel();
    if (m_label && !isEnabled() && !m_labelAlwaysEnabled) {
        m_label->setEnabled(false);
    }
    if (!m_ctl3D) {
        layOut();
    }
}
