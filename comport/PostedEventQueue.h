// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

namespace comport {

// Stands for the port's hidden notify window of smWindowSync: a queue of
// events that the event thread posts to the user-interface thread, where each
// is handed to the window procedure (the port's PortWindowProc). Lives on the
// user-interface thread. An exception from a handler leaves event(), so that
// the application's notify() reports it.
class PostedEventQueue : public QObject
{
public:
    using WindowProc = std::function<void(std::uint32_t eventMaskBit)>;

    // A child of `owner` (the port), so that it goes with the port at the latest.
    PostedEventQueue(QObject* owner, WindowProc windowProc);

    // Posts one notification for the event with the device mask bit `maskBit`.
    // Any thread.
    void postNotification(std::uint32_t maskBit);
    // Delivers the notifications that are still queued, here and now.
    void deliverQueued();
    // Cuts the link to the window procedure: queued notifications are dropped unseen.
    void detach() { m_windowProc = nullptr; }

protected:
    bool event(QEvent* event) override;

private:
    WindowProc m_windowProc;
};

} // namespace comport
