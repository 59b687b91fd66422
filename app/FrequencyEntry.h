// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFrame>
#include <QPointer>
#include <functional>

class QLabel;
class QLineEdit;

// The one-line entry for a typed frequency, which opens over the digit strip
// and closes again. Enter reads what was typed (readTypedFrequency): a
// frequency closes the entry and goes to OnAccepted; anything else is
// refused, with the reason shown under the entry (and given to assistive
// technology), and the entry stays open. Escape, or the keyboard focus going
// elsewhere in the window, closes it and hands nothing on. UI thread only.
class TFrequencyEntry : public QFrame
{
    Q_OBJECT

public:
    // Hidden until opened; drawn over its siblings in `parent`.
    explicit TFrequencyEntry(QWidget* parent);

    // Opens over `strip` (in the parent's coordinates), in `looks`' font and
    // colours, showing `current` selected, with the keyboard focus.
    void open(const QRect& strip, const QWidget* looks, const QString& current);
    void close();

    QLineEdit* edit() const { return m_edit; }
    QLabel* message() const { return m_message; }

    std::function<void(quint32 hertz)> OnAccepted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void accept();

    QLineEdit* m_edit;
    QLabel* m_message;
    QPointer<QWidget> m_returnFocus; // where the focus was when the entry opened
};
