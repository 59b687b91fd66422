// SPDX-License-Identifier: GPL-3.0-or-later

#include "HandOff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <utility>

namespace comport {

namespace {

// Wakes the serving thread for a batch; the batch itself waits in the
// hand-off's own state, where awaitEnd() finds it too.
const QEvent::Type batchEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

HandOff::HandOff(QThread* servingThread, std::function<void()> serve,
                 std::function<void()> wakeEventThread)
    : m_serve(std::move(serve)), m_wakeEventThread(std::move(wakeEventThread))
{
    moveToThread(servingThread);
}

// The event thread does not wait for the handlers here but before it hands
// over the next batch (and before it ends): meanwhile it can wait for the
// next event, which saves waking it just to say that a batch was served.
void HandOff::post()
{
    QEvent* wakeUp = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_batch = Batch::Pending;
        // Made under the lock, which the serving thread takes before Qt
        // deletes the event there: the two threads' uses of it are ordered by
        // our own mutex, not only by Qt's queue.
        wakeUp = new QEvent(batchEventType);
        m_changed.notify_all();
    }
    QCoreApplication::postEvent(this, wakeUp);
}

void HandOff::await()
{
    std::exception_ptr error;
    {
        std::unique_lock lock(m_mutex);
        if (m_batch == Batch::Pending || m_batch == Batch::Running) {
            m_eventThreadAwaits = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_batch == Batch::Done; });
            m_eventThreadAwaits = false;
        }
        if (m_batch == Batch::Done) {
            m_batch = Batch::None;
            error = std::exchange(m_handlerError, nullptr);
        }
    }
    if (error)
        std::rethrow_exception(error);
}

void HandOff::sendAndAwaitReply(const std::function<void()>& send)
{
    std::unique_lock lock(m_mutex);
    m_replyPending = true;
    // Sent under the lock, so that awaitEnd() finds the notification queued
    // once it sees the flag.
    send();
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_replyPending; });
}

void HandOff::end()
{
    // Notified under the lock: a waiter that sees the end may destroy the
    // condition as soon as it has the lock.
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

void HandOff::reply()
{
    {
        std::lock_guard lock(m_mutex);
        m_replyPending = false;
    }
    m_changed.notify_all();
}

void HandOff::serve()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_batch != Batch::Pending)
            return;
        m_batch = Batch::Running;
    }
    ++m_servingDepth;
    std::exception_ptr error;
    try {
        m_serve();
    } catch (...) {
        error = std::current_exception();
    }
    --m_servingDepth;
    const bool failed = static_cast<bool>(error);
    {
        std::lock_guard lock(m_mutex);
        // Moved, so that one thread at a time holds the exception: it goes on
        // to the event thread, and may come back as the reason it ended.
        m_handlerError = std::move(error);
        m_batch = Batch::Done;
    }
    // Nobody waits in the common case, and then this costs nothing.
    m_changed.notify_all();
    // The exception ends the event thread, which comes to take it.
    if (failed)
        m_wakeEventThread();
}

bool HandOff::event(QEvent* event)
{
    if (event->type() != batchEventType)
        return QObject::event(event);
    serve();
    return true;
}

void HandOff::awaitEnd(const std::function<void()>& deliverNotifications)
{
    // Deliveries are served only on the thread they are meant for.
    const bool serving = QThread::currentThread() == thread();
    std::unique_lock lock(m_mutex);
    while (!m_ended) {
        if (serving && m_batch == Batch::Pending) {
            lock.unlock();
            serve();
            lock.lock();
        } else if (serving && m_replyPending) {
            lock.unlock();
            deliverNotifications();
            lock.lock();
        } else {
            m_changed.wait(lock);
        }
    }
}

void HandOff::awaitEventThreadHeld()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_eventThreadAwaits || m_ended; });
}

} // namespace comport
