// SPDX-License-Identifier: GPL-3.0-or-later

#include "PostedEventQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

namespace comport {

namespace {

const QEvent::Type notifyEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TNotifyMessage : public QEvent
{
public:
    explicit TNotifyMessage(std::uint32_t maskBit) : QEvent(notifyEventType), m_maskBit(maskBit) {}
    std::uint32_t maskBit() const { return m_maskBit; }

private:
    std::uint32_t m_maskBit = 0;
};

} // namespace

PostedEventQueue::PostedEventQueue(QObject* owner, WindowProc windowProc)
    : QObject(owner), m_windowProc(std::move(windowProc))
{
}

void PostedEventQueue::postNotification(std::uint32_t maskBit)
{
    QCoreApplication::postEvent(this, new TNotifyMessage(maskBit));
}

void PostedEventQueue::deliverQueued()
{
    QCoreApplication::sendPostedEvents(this, notifyEventType);
}

bool PostedEventQueue::event(QEvent* event)
{
    if (event->type() != notifyEventType)
        return QObject::event(event);
    if (m_windowProc)
        m_windowProc(static_cast<TNotifyMessage*>(event)->maskBit());
    return true;
}

} // namespace comport
