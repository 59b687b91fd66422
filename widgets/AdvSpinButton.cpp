// SPDX-License-Identifier: GPL-3.0-or-later

// The arrow button's press, release and auto-repeat, and the button pair.
#include "AdvSpinButton.h"

#include "ASXPVS.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int firstRepeatDelayMs = 400;
constexpr int repeatIntervalMs = 100;
constexpr int maxNumGlyphs = 4;
constexpr int verticalMinWidth = 15;
constexpr int horizontalMinWidth = 20;
constexpr int constructionHeight = 25;

QImage builtInGlyph(const char* resourceName)
{
    return QImage(QStringLiteral(":/") + QLatin1String(resourceName));
}

bool canTakeFocus(const QWidget* widget)
{
    return widget->isVisible() && widget->isEnabled();
}

bool isTabStop(const QWidget* widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

void assignGlyph(TAdvTimerSpeedButton* button, const QImage& glyph, const char* builtIn)
{
    if (glyph.isNull()) {
        button->setGlyph(builtInGlyph(builtIn));
        button->setNumGlyphs(1);
    } else {
        button->setGlyph(glyph);
    }
}

} // namespace

TAdvTimerSpeedButton::TAdvTimerSpeedButton(QWidget* parent)
    : QWidget(parent), m_themeCapableOS(::ThemeCapableOS())
{
    setFocusPolicy(Qt::NoFocus);
}

void TAdvTimerSpeedButton::setAutoRepeat(bool autoRepeat)
{
    m_autoRepeat = autoRepeat;
}

void TAdvTimerSpeedButton::setButtonArrow(TButtonArrow arrow)
{
    if (arrow == m_buttonArrow) {
        return;
    }
    m_buttonArrow = arrow;
    update();
}

void TAdvTimerSpeedButton::setGlyph(const QImage& glyph)
{
    m_glyph = glyph;
    update();
}

void TAdvTimerSpeedButton::setNumGlyphs(int numGlyphs)
{
    numGlyphs = std::clamp(numGlyphs, 1, maxNumGlyphs);
    if (numGlyphs == m_numGlyphs) {
        return;
    }
    m_numGlyphs = numGlyphs;
    update();
}

void TAdvTimerSpeedButton::setFlat(bool flat)
{
    if (flat == m_flat) {
        return;
    }
    m_flat = flat;
    update();
}

void TAdvTimerSpeedButton::setTransparent(bool transparent)
{
    if (transparent == m_transparent) {
        return;
    }
    m_transparent = transparent;
    update();
}

void TAdvTimerSpeedButton::Click()
{
    if (OnClick) {
        OnClick(this);
    }
}

void TAdvTimerSpeedButton::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown) {
        OnMouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
    }
    // Qt routes the moves and the release to the pressed widget until the
    // release: that is the mouse hold that a repeat tick asks for.
    if (event->button() == Qt::LeftButton && isEnabled()) {
        m_pressed = true;
        m_holdsMouse = true;
        update();
    }
    if (m_autoRepeat) {
        startRepeatTimer();
    }
    invalidateParent();
}

void TAdvTimerSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_holdsMouse) {
        return;
    }
    const bool over = rect().contains(event->position().toPoint());
    if (over != m_pressed) {
        m_pressed = over;
        update();
    }
}

void TAdvTimerSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicks = event->button() == Qt::LeftButton && m_holdsMouse &&
                        rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        dropPress();
    }
    // The timer stops before the click so that a click that throws leaves no
    // timer running.
    stopRepeatTimer();
    invalidateParent();
    if (clicks) {
        Click();
    }
}

void TAdvTimerSpeedButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_hot = true;
    update();
}

void TAdvTimerSpeedButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hot = false;
    update();
}

void TAdvTimerSpeedButton::changeEvent(QEvent* event)
{
    // A disabled widget gets no release, so a press it holds would never end
    // and its timer would click on once the button is enabled again.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        abandonPress();
    }
    QWidget::changeEvent(event);
}

// A hidden button, or one in a window that a modal window blocks, gets no
// release either.
void TAdvTimerSpeedButton::hideEvent(QHideEvent* event)
{
    abandonPress();
    QWidget::hideEvent(event);
}

bool TAdvTimerSpeedButton::event(QEvent* event)
{
    if (event->type() == QEvent::WindowBlocked) {
        abandonPress();
    }
    return QWidget::event(event);
}

void TAdvTimerSpeedButton::RepeatTick()
{
    m_repeatTimer->setInterval(repeatIntervalMs);
    // A popup or another window may have taken the release: once the left
    // button is up, no release will come here.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        abandonPress();
        return;
    }
    if (!m_pressed || !m_holdsMouse) {
        return;
    }
    try {
        Click();
    } catch (...) {
        m_repeatTimer->stop();
        throw;
    }
}

void TAdvTimerSpeedButton::startRepeatTimer()
{
    if (!m_repeatTimer) {
        m_repeatTimer = new QTimer(this);
        connect(m_repeatTimer, &QTimer::timeout, this, &TAdvTimerSpeedButton::RepeatTick);
    }
    m_repeatTimer->setInterval(firstRepeatDelayMs);
    m_repeatTimer->start();
}

void TAdvTimerSpeedButton::stopRepeatTimer()
{
    if (m_repeatTimer) {
        m_repeatTimer->stop();
    }
}

void TAdvTimerSpeedButton::abandonPress()
{
    dropPress();
    stopRepeatTimer();
}

void TAdvTimerSpeedButton::dropPress()
{
    m_pressed = false;
    m_holdsMouse = false;
    update();
}

void TAdvTimerSpeedButton::invalidateParent()
{
    if (parentWidget()) {
        parentWidget()->update();
    }
}

TAdvSpinButton::TAdvSpinButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // The buttons have no menu, and a right click on them must not open the parent's.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAutoFillBackground(true);
    m_upButton = CreateArrowButton();
    m_downButton = CreateArrowButton();
    setUpGlyph(QImage());
    setDownGlyph(QImage());
    m_upButton->setButtonArrow(TButtonArrow::baUp);
    m_downButton->setButtonArrow(TButtonArrow::baDown);
    SetBounds(x(), y(), verticalMinWidth, constructionHeight);
    m_focusedButton = m_upButton;
}

TAdvTimerSpeedButton* TAdvSpinButton::CreateArrowButton()
{
    auto* button = new TAdvTimerSpeedButton(this);
    button->OnClick = [this](QObject* sender) { ButtonClick(sender); };
    button->OnMouseDown = [this](QObject* sender, Qt::MouseButton mouseButton,
                                 Qt::KeyboardModifiers shift, QPoint position) {
        ButtonMouseDown(sender, mouseButton, shift, position);
    };
    button->setVisible(true);
    button->setEnabled(true);
    button->setAutoRepeat(true);
    return button;
}

void TAdvSpinButton::setDirection(TSpinDirection direction)
{
    if (direction == m_direction) {
        return;
    }
    m_direction = direction;
    switch (direction) {
    case TSpinDirection::spVertical:
        m_upButton->setButtonArrow(TButtonArrow::baUp);
        m_downButton->setButtonArrow(TButtonArrow::baDown);
        SetBounds(x(), y(), verticalMinWidth, height());
        break;
    case TSpinDirection::spHorizontal:
        m_upButton->setButtonArrow(TButtonArrow::baRight);
        m_downButton->setButtonArrow(TButtonArrow::baLeft);
        SetBounds(x(), y(), horizontalMinWidth, height());
        break;
    }
}

QImage TAdvSpinButton::UpGlyph() const
{
    return m_upButton->Glyph();
}

void TAdvSpinButton::setUpGlyph(const QImage& glyph)
{
    assignGlyph(m_upButton, glyph, "AdvSpinUp");
}

QImage TAdvSpinButton::DownGlyph() const
{
    return m_downButton->Glyph();
}

void TAdvSpinButton::setDownGlyph(const QImage& glyph)
{
    assignGlyph(m_downButton, glyph, "AdvSpinDown");
}

int TAdvSpinButton::UpNumGlyphs() const
{
    return m_upButton->NumGlyphs();
}

void TAdvSpinButton::setUpNumGlyphs(int numGlyphs)
{
    m_upButton->setNumGlyphs(numGlyphs);
}

int TAdvSpinButton::DownNumGlyphs() const
{
    return m_downButton->NumGlyphs();
}

void TAdvSpinButton::setDownNumGlyphs(int numGlyphs)
{
    m_downButton->setNumGlyphs(numGlyphs);
}

void TAdvSpinButton::setFocusControl(QWidget* control)
{
    m_focusControl = control;
}

bool TAdvSpinButton::TabStop() const
{
    return isTabStop(this);
}

void TAdvSpinButton::setTabStop(bool tabStop)
{
    // No click focus: only a left press on a button focuses the pair (ButtonMouseDown).
    setFocusPolicy(tabStop ? Qt::TabFocus : Qt::NoFocus);
}

void TAdvSpinButton::SetBounds(int left, int top, int width, int height)
{
    AdjustButtons(width, height);
    setGeometry(left, top, width, height);
}

void TAdvSpinButton::AdjustButtons(int& width, int& height)
{
    if (!m_upButton || !m_downButton) {
        return;
    }
    switch (m_direction) {
    case TSpinDirection::spVertical: {
        // Both buttons get half of the height plus one, so that their frames
        // share the middle row; the down button's last row may fall outside.
        const int half = (height + 2) / 2;
        width = std::max(width, verticalMinWidth);
        m_upButton->setGeometry(0, 0, width, half);
        m_downButton->setGeometry(0, m_upButton->height(), width, half);
        break;
    }
    case TSpinDirection::spHorizontal: {
        width = std::max(width, horizontalMinWidth);
        const int half = width / 2;
        m_downButton->setGeometry(0, 0, half, height);
        m_upButton->setGeometry(half + 1, 0, half, height);
        break;
    }
    }
}

void TAdvSpinButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    int adjustedWidth = width();
    int adjustedHeight = height();
    AdjustButtons(adjustedWidth, adjustedHeight);
    if (adjustedWidth != width() || adjustedHeight != height()) {
        setGeometry(x(), y(), adjustedWidth, adjustedHeight);
    }
}

void TAdvSpinButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        m_focusedButton->Click();
        break;
    case Qt::Key_Up:
        SetFocusedButton(m_upButton);
        m_upButton->Click();
        break;
    case Qt::Key_Down:
        SetFocusedButton(m_downButton);
        m_downButton->Click();
        break;
    default:
        // Accepted, so that a key the pair ignores does not travel on to the parent: inside a
        // spin edit it would type into the edit.
        event->accept();
        break;
    }
}

void TAdvSpinButton::ButtonMouseDown(QObject* Sender, Qt::MouseButton Button,
                                     Qt::KeyboardModifiers /*Shift*/, QPoint /*Position*/)
{
    if (Button != Qt::LeftButton) {
        return;
    }
    SetFocusedButton(Sender == m_upButton ? m_upButton : m_downButton);
    if (m_focusControl && isTabStop(m_focusControl) && canTakeFocus(m_focusControl) &&
        !m_focusControl->hasFocus()) {
        m_focusControl->setFocus(Qt::MouseFocusReason);
        return;
    }
    if (TabStop() && !hasFocus() && canTakeFocus(this)) {
        setFocus(Qt::MouseFocusReason);
    }
}

void TAdvSpinButton::SetFocusedButton(TAdvTimerSpeedButton* button)
{
    if (!TabStop() || !canTakeFocus(this) || button == m_focusedButton) {
        return;
    }
    m_focusedButton = button;
    if (hasFocus()) {
        update();
    }
}

void TAdvSpinButton::ButtonClick(QObject* Sender)
{
    if (Sender == m_upButton) {
        if (OnUpClick) {
            OnUpClick(this);
        }
    } else if (OnDownClick) {
        OnDownClick(this);
    }
}
