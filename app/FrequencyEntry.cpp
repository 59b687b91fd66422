// SPDX-License-Identifier: GPL-3.0-or-later

#include "FrequencyEntry.h"

#include "TypedFrequency.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <utility>

namespace {

// Two lines of the window's font under the entry, over whatever is there.
constexpr int messageHeight = 30;

} // namespace

TFrequencyEntry::TFrequencyEntry(QWidget* parent)
    : QFrame(parent), m_edit(new QLineEdit(this)), m_message(new QLabel(this))
{
    hide();
    m_edit->installEventFilter(this);
    m_message->setWordWrap(true);
    m_message->setAutoFillBackground(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(m_edit, &QLineEdit::returnPressed, this, &TFrequencyEntry::accept);
}

void TFrequencyEntry::open(const QRect& strip, const QWidget* looks, const QString& current)
{
    m_returnFocus = QApplication::focusWidget();
    m_edit->setAccessibleName(tr("Frequency to dial")); // in the language of the moment
    m_edit->setFont(looks->font());
    m_edit->setPalette(looks->palette());
    m_edit->setAlignment(Qt::AlignCenter);
    m_edit->setGeometry(0, 0, strip.width(), strip.height());
    m_message->setGeometry(0, strip.height(), strip.width(), messageHeight);
    m_message->hide();
    m_edit->setAccessibleDescription(QString());
    setGeometry(strip);
    m_edit->setText(current);
    m_edit->selectAll();
    raise();
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
}

// The focus goes back where it was, which closes the entry as any focus that
// moves on does.
void TFrequencyEntry::close()
{
    if (const QPointer<QWidget> back = std::exchange(m_returnFocus, nullptr))
        back->setFocus(Qt::OtherFocusReason);
    hide();
}

void TFrequencyEntry::accept()
{
    const FrequencyReading reading = readTypedFrequency(m_edit->text());
    if (!reading.hertz) {
        m_message->setText(reading.problem);
        m_message->show();
        resize(width(), m_edit->height() + messageHeight);
        m_edit->setAccessibleDescription(reading.problem);
        QApplication::beep();
        return;
    }
    close();
    if (OnAccepted)
        OnAccepted(*reading.hertz);
}

// Escape and a focus that moves on within the window close the entry; a
// switch to another window or a menu leaves it open.
bool TFrequencyEntry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (watched == m_edit && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            m_returnFocus = nullptr;
            hide();
        }
    }
    return QFrame::eventFilter(watched, event);
}
