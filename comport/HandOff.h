// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

class QThread;

namespace comport {

// What a port's event thread hands to the thread the port lives on, and
// waits for: a batch of line events to serve (smThreadSync), or a
// notification to be received (smWindowSync). The event thread hands a batch
// over and goes back to waiting for the device; it awaits the batch before it
// hands over the next one (and before it ends), and an exception that the
// batch's handlers raised is raised there. So one batch at a time is with the
// serving thread, and handlers run one at a time and in order.
//
// A batch is served by the serving thread's event loop, or at once by
// awaitEnd(), which is how Close waits for the event thread without
// running anything else. Nothing here knows what a batch holds: `serve` does.
class HandOff : public QObject
{
public:
    // Lives on `servingThread`. `serve` runs a batch's handlers there;
    // `wakeEventThread` runs there after they raised, so that an event thread
    // waiting elsewhere (for the device) comes to take the exception.
    HandOff(QThread* servingThread, std::function<void()> serve,
            std::function<void()> wakeEventThread);

    // The event thread:

    // Hands a batch over and wakes the serving thread. The batch before it
    // must have been awaited.
    void post();
    // Waits until the batch handed over last has been served (at once when
    // there is none); raises what its handlers raised.
    void await();
    // Runs `send`, which posts a notification, and waits until the receiver
    // has replied (reply()).
    void sendAndAwaitReply(const std::function<void()>& send);
    // The event thread has ended: nothing more comes. Whoever waits for the
    // end may destroy this object as soon as it sees it.
    void end();

    // The serving thread:

    // The receiver of a notification has it: the event thread goes on.
    void reply();
    // True while a batch is served here, also in an event loop nested in one
    // of its handlers.
    bool serving() const { return m_servingDepth > 0; }

    // Any thread but the event thread:

    // Waits until the event thread has ended. On the serving thread, batches
    // handed over meanwhile are served here, and notifications delivered by
    // `deliverNotifications`; nothing else runs. An exception that a
    // notification's handler raised leaves this.
    void awaitEnd(const std::function<void()>& deliverNotifications);
    // Waits until the event thread awaits a batch or has ended: it then
    // holds nothing but this object until that batch has been served.
    void awaitEventThreadHeld();

protected:
    bool event(QEvent* event) override;

private:
    enum class Batch { None, Pending, Running, Done };

    void serve();

    const std::function<void()> m_serve;
    const std::function<void()> m_wakeEventThread;

    // Orders all the two threads hand each other; Qt's event queue only wakes
    // the serving thread. The condition wakes the event thread (a batch
    // served, a notification received) and whoever awaits the end or the
    // event thread (a batch or notification to deliver, the end, the event
    // thread waiting).
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Batch m_batch = Batch::None;       // guarded
    std::exception_ptr m_handlerError; // guarded
    bool m_eventThreadAwaits = false;  // guarded: in await(), for a batch
    bool m_replyPending = false;       // guarded
    bool m_ended = false;              // guarded

    int m_servingDepth = 0; // the serving thread only
};

} // namespace comport
