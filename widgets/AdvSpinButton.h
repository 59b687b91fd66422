// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;

// A notification event; Sender is the object that raises it.
using TNotifyEvent = std::function<void(QObject* Sender)>;

// A mouse-button event: the button, the modifier keys and the position in the
// sender's coordinates.
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, QPoint Position)>;

// Arrangement of the two spin buttons.
enum class TSpinDirection { spVertical, spHorizontal };

// The arrow that a spin button shows.
enum class TButtonArrow { baLeft, baRight, baUp, baDown };

// A small arrow button drawn on its parent. A left press puts it into its
// pressed state with the mouse held; releasing over it raises OnClick. With
// AutoRepeat a press (of any mouse button) starts AutoRepeatTimer: the first
// tick comes after 400 ms, then one every 100 ms, and each tick clicks while the
// button is pressed and holds the mouse. The press and its repeat end without a
// release once the left button is up at a tick, or when the button is disabled,
// hidden or blocked by a modal window. UI thread only.
class TAdvTimerSpeedButton : public QWidget
{
    Q_OBJECT

public:
    explicit TAdvTimerSpeedButton(QWidget* parent = nullptr);

    // Raised by every click: at a release over the button, by a repeat tick,
    // or by Click().
    TNotifyEvent OnClick;
    // Raised first at every mouse press, whatever the button.
    TMouseEvent OnMouseDown;

    bool AutoRepeat() const { return m_autoRepeat; }
    void setAutoRepeat(bool autoRepeat);
    TButtonArrow ButtonArrow() const { return m_buttonArrow; }
    void setButtonArrow(TButtonArrow arrow);
    // The glyph holds NumGlyphs images side by side (normal, disabled, pressed);
    // its bottom-left pixel names the colour that is drawn transparent.
    QImage Glyph() const { return m_glyph; }
    void setGlyph(const QImage& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    // Clamped to 1..4.
    void setNumGlyphs(int numGlyphs);
    // Flat: the frame shows only while the pointer is over the button or it is pressed.
    bool Flat() const { return m_flat; }
    void setFlat(bool flat);
    // Transparent: the face is not filled, the parent shows through.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);

    bool Hot() const { return m_hot; }
    bool isPressed() const { return m_pressed; }
    // Fixed at construction: whether this system draws through a desktop theme.
    bool ThemeCapableOS() const { return m_themeCapableOS; }
    // Absent (nullptr) until the first press; then owned by the button.
    QTimer* AutoRepeatTimer() const { return m_repeatTimer; }

    // Raises OnClick when assigned.
    void Click();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // One tick of AutoRepeatTimer. An exception from the click stops the timer
    // and goes on to the caller.
    void RepeatTick();

private:
    void startRepeatTimer();
    void stopRepeatTimer();
    void abandonPress();
    void dropPress();
    void invalidateParent();
    bool themedDrawing() const;
    void paintThemed();
    void paintFrame(QPainter& painter) const;
    void paintGlyph(QPainter& painter) const;
    void paintScrollArrow(QPainter& painter) const;
    int themeState() const;

    QImage m_glyph;
    int m_numGlyphs = 1;
    bool m_flat = false;
    bool m_transparent = true;
    bool m_autoRepeat = false;
    TButtonArrow m_buttonArrow = TButtonArrow::baUp;
    bool m_themeCapableOS = false;
    bool m_hot = false;
    bool m_pressed = false;
    bool m_holdsMouse = false;
    QTimer* m_repeatTimer = nullptr;
};

// The up/down button pair of a spin edit, also usable on its own. It only
// reports clicks (OnUpClick, OnDownClick; Sender is the pair); the stepping
// belongs to whoever handles them. Pressing a button gives the keyboard focus to
// FocusControl. While the pair itself holds the focus, Space clicks the focused
// button and Up / Down click the up / down button; it swallows every other key
// (Tab still moves the focus). UI thread only.
class TAdvSpinButton : public QWidget
{
    Q_OBJECT

public:
    explicit TAdvSpinButton(QWidget* parent = nullptr);

    TNotifyEvent OnUpClick;
    TNotifyEvent OnDownClick;

    // spVertical: width at least 15, up above down. spHorizontal: width at
    // least 20, the left-arrow (down) button left, the right-arrow (up) right.
    TSpinDirection Direction() const { return m_direction; }
    void setDirection(TSpinDirection direction);

    // Writing a null image loads the built-in arrow and sets NumGlyphs to 1.
    QImage UpGlyph() const;
    void setUpGlyph(const QImage& glyph);
    QImage DownGlyph() const;
    void setDownGlyph(const QImage& glyph);
    int UpNumGlyphs() const;
    void setUpNumGlyphs(int numGlyphs);
    int DownNumGlyphs() const;
    void setDownNumGlyphs(int numGlyphs);

    // Becomes nullptr when the control is destroyed.
    QWidget* FocusControl() const { return m_focusControl; }
    void setFocusControl(QWidget* control);

    // Whether the pair takes the keyboard focus itself (default false).
    bool TabStop() const;
    void setTabStop(bool tabStop);

    TAdvTimerSpeedButton* UpButton() const { return m_upButton; }
    TAdvTimerSpeedButton* DownButton() const { return m_downButton; }
    TAdvTimerSpeedButton* FocusedButton() const { return m_focusedButton; }

    // Sets the geometry after passing the size through AdjustButtons.
    void SetBounds(int left, int top, int width, int height);
    // Raises the size to the least one for Direction and lays the buttons out.
    void AdjustButtons(int& width, int& height);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TAdvTimerSpeedButton* CreateArrowButton();
    void ButtonMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                         QPoint Position);
    void SetFocusedButton(TAdvTimerSpeedButton* button);
    void ButtonClick(QObject* Sender);

    TAdvTimerSpeedButton* m_upButton = nullptr;
    TAdvTimerSpeedButton* m_downButton = nullptr;
    TAdvTimerSpeedButton* m_focusedButton = nullptr;
    QPointer<QWidget> m_focusControl;
    TSpinDirection m_direction = TSpinDirection::spVertical;
};
