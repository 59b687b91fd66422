// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComThread.h"

#include "ComDiagnostics.h"
#include "ComErrors.h"
#include "ComMapping.h"
#include "platform/SerialDevice.h"
#include "platform/SystemError.h"

#include <QCoreApplication>
#include <QEvent>
#include <exception>
#include <utility>

namespace {

const QEvent::Type notifyEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
// Wakes the user-interface thread for a hand-off; the hand-off itself waits
// in the thread's own state, where a waiting Close finds it too.
const QEvent::Type handOffEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TNotifyMessage : public QEvent
{
public:
    explicit TNotifyMessage(std::uint32_t maskBit) : QEvent(notifyEventType), m_maskBit(maskBit) {}
    std::uint32_t maskBit() const { return m_maskBit; }

private:
    std::uint32_t m_maskBit = 0;
};

std::exception_ptr eventsInterrupted()
{
    return std::make_exception_ptr(EComPort(ComPortMessages::EventsInterrupted));
}

} // namespace

TNotifyWindow::TNotifyWindow(QObject* owner, WindowProc windowProc)
    : QObject(owner), m_windowProc(std::move(windowProc))
{
}

void TNotifyWindow::postNotification(std::uint32_t maskBit)
{
    QCoreApplication::postEvent(this, new TNotifyMessage(maskBit));
}

void TNotifyWindow::deliverQueued()
{
    QCoreApplication::sendPostedEvents(this, notifyEventType);
}

bool TNotifyWindow::event(QEvent* event)
{
    if (event->type() != notifyEventType)
        return QObject::event(event);
    if (m_windowProc)
        m_windowProc(static_cast<TNotifyMessage*>(event)->maskBit());
    return true;
}

TComThread::TComThread(Delivery delivery, std::shared_ptr<serial::Device> device)
    : m_delivery(std::move(delivery)), m_device(std::move(device))
{
    // Open may run on the event thread of the port's previous opening (from
    // a handler under smNone); the object still belongs to the port's thread,
    // which serves its hand-offs.
    moveToThread(m_delivery.portThread);
    // The result is not examined: a device that refuses the mask fails its wait.
    m_device->setCommMask(comport::eventMask(m_delivery.watchedEvents));
}

TComThread::~TComThread()
{
    stopAndWait();
}

void TComThread::startWaiting(QThread::Priority priority)
{
    start(priority);
    // QThread tells of a thread it could not create only by leaving it
    // neither running nor finished.
    if (!isRunning() && !isFinished()) {
        reportStop(eventsInterrupted());
        finish();
        return;
    }
    // The thread takes a descriptor for its event dispatcher before run();
    // until then this thread opens nothing that could take it first.
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_began; });
}

void TComThread::StopThread()
{
    m_stopRequested = true;
    std::shared_ptr<serial::Device> device;
    {
        std::lock_guard lock(m_mutex);
        device = m_device;
    }
    if (device)
        device->requestStop();
}

bool TComThread::deliveringHere() const
{
    const QThread* const current = QThread::currentThread();
    return current == this || (current == thread() && m_uiDeliveryDepth > 0);
}

void TComThread::abandon()
{
    m_stopRequested = true;
    std::unique_lock lock(m_mutex);
    m_abandoned = true;
    if (QThread::currentThread() != this) {
        // The event thread may be waiting on the device meanwhile: woken, it
        // leaves the device and waits for the delivery that is calling us.
        if (m_device)
            m_device->requestStop();
        m_changed.wait(lock, [this] { return m_threadWaiting || m_finished; });
    }
    m_device.reset();
}

void TComThread::replyMessage()
{
    {
        std::lock_guard lock(m_mutex);
        m_replyPending = false;
    }
    m_changed.notify_all();
}

void TComThread::finishWithDevice(serial::Device& device)
{
    device.setCommMask(0);
    device.purge(serial::purge::TxClear | serial::purge::RxClear);
}

void TComThread::run()
{
    {
        std::lock_guard lock(m_mutex);
        m_began = true;
    }
    m_changed.notify_all();
    std::exception_ptr stopReason;
    // A handler's exception ends the thread body; the device is left as it is.
    try {
        waitLoop();
        if (m_hungUp)
            stopReason =
                std::make_exception_ptr(EComPort(ComPortMessages::ReadError, m_hangUpDetail));
    } catch (const std::exception&) {
        stopReason = std::current_exception();
    } catch (...) {
        stopReason = eventsInterrupted();
    }
    if (stopReason && !m_stopRequested)
        reportStop(std::move(stopReason));
    finish();
}

void TComThread::waitLoop()
{
    while (!m_stopRequested) {
        std::uint32_t events = 0;
        serial::forgetFailure();
        const serial::WaitResult result = m_device->waitEvent(events);
        if (result == serial::WaitResult::Stopped)
            break;
        if (result == serial::WaitResult::Failed) {
            // Taken before the last steps below report failures of their own.
            m_hangUpDetail = comport::takeFailureDetail();
            m_hungUp = true;
            break;
        }
        deliver(comport::lineEvents(events));
    }
    // A batch still with the user-interface thread is served first.
    awaitHandOff();
    if (!m_abandoned)
        finishWithDevice(*m_device);
}

void TComThread::deliver(TLineEvents pending)
{
    switch (m_delivery.syncMethod) {
    case TSyncMethod::smThreadSync:
        handOffToUiThread(pending);
        return;
    case TSyncMethod::smWindowSync:
        m_pendingEvents = pending;
        ForwardEvents();
        return;
    case TSyncMethod::smNone:
        m_pendingEvents = pending;
        DispatchEvents();
        return;
    }
}

void TComThread::DispatchEvents()
{
    const TLineEvents pending = m_pendingEvents.load();
    for (const TLineEvent event : comport::deliveryOrder) {
        // A handler that closed the port has taken this thread off it.
        if (m_abandoned)
            return;
        if (pending.testFlag(event))
            m_delivery.fire(event);
    }
}

void TComThread::ForwardEvents()
{
    const TLineEvents pending = m_pendingEvents.load();
    for (const TLineEvent event : comport::deliveryOrder) {
        if (pending.testFlag(event))
            sendNotification(comport::eventMask(event));
    }
}

// The event thread does not wait for the handlers here but before it hands
// over the next batch (and before it ends): meanwhile it can wait for the
// next event, which saves waking it just to say that a batch was served.
// One batch is with the user-interface thread at a time.
void TComThread::handOffToUiThread(TLineEvents pending)
{
    awaitHandOff();
    QEvent* wakeUp = nullptr;
    {
        std::lock_guard lock(m_mutex);
        // A handler that closed the port has taken this thread off it.
        if (m_abandoned)
            return;
        m_pendingEvents = pending;
        m_handOff = HandOff::Pending;
        // Made under the lock, which the user-interface thread takes before
        // Qt deletes the event there: the two threads' uses of it are ordered
        // by our own mutex, not only by Qt's queue.
        wakeUp = new QEvent(handOffEventType);
        m_changed.notify_all();
    }
    QCoreApplication::postEvent(this, wakeUp);
}

void TComThread::awaitHandOff()
{
    std::exception_ptr error;
    {
        std::unique_lock lock(m_mutex);
        if (m_handOff == HandOff::Pending || m_handOff == HandOff::Running) {
            m_threadWaiting = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_handOff == HandOff::Done; });
            m_threadWaiting = false;
        }
        if (m_handOff == HandOff::Done) {
            m_handOff = HandOff::None;
            error = std::exchange(m_handlerError, nullptr);
        }
    }
    if (error)
        std::rethrow_exception(error);
}

void TComThread::serveHandOff()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_handOff != HandOff::Pending)
            return;
        m_handOff = HandOff::Running;
    }
    ++m_uiDeliveryDepth;
    std::exception_ptr error;
    try {
        DispatchEvents();
    } catch (...) {
        error = std::current_exception();
    }
    --m_uiDeliveryDepth;
    const bool failed = static_cast<bool>(error);
    std::shared_ptr<serial::Device> device;
    {
        std::lock_guard lock(m_mutex);
        // Moved, so that one thread at a time holds the exception: it goes on
        // to the event thread, and may come back as the reason of the stop.
        m_handlerError = std::move(error);
        m_handOff = HandOff::Done;
        device = m_device;
    }
    // Nobody waits in the common case, and then this costs nothing.
    m_changed.notify_all();
    // The exception ends the thread: it is woken from its wait for the next
    // event to take it.
    if (failed && device)
        device->requestStop();
}

bool TComThread::event(QEvent* event)
{
    if (event->type() != handOffEventType)
        return QThread::event(event);
    serveHandOff();
    return true;
}

void TComThread::sendNotification(std::uint32_t maskBit)
{
    std::unique_lock lock(m_mutex);
    m_replyPending = true;
    // Posted under the lock, so that a waiting Close that sees the flag
    // finds the message queued.
    m_delivery.notifyWindow->postNotification(maskBit);
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_replyPending; });
}

void TComThread::reportStop(std::exception_ptr reason)
{
    // Handed over under m_mutex, as everything the two threads share; the
    // queued call only says that it is there.
    {
        std::lock_guard lock(m_mutex);
        m_stopReason = std::move(reason);
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            std::exception_ptr stopReason;
            {
                std::lock_guard lock(m_mutex);
                stopReason = std::exchange(m_stopReason, nullptr);
            }
            // Once Close has begun, the port is closing anyway.
            if (!m_stopRequested)
                m_delivery.stopped(stopReason);
        },
        Qt::QueuedConnection);
}

void TComThread::finish()
{
    bool abandoned = false;
    {
        // Notified under the lock: a waiter that sees the end may destroy
        // the condition as soon as it has the lock.
        std::lock_guard lock(m_mutex);
        m_finished = true;
        abandoned = m_abandoned;
        m_changed.notify_all();
    }
    // Nobody owns an abandoned thread: it goes on the port's thread, where
    // its destructor finds it ended. (An owned one may be gone already.)
    if (abandoned)
        deleteLater();
}

void TComThread::stopAndWait()
{
    StopThread();
    // Deliveries are served only on the thread they are meant for.
    const bool serving = QThread::currentThread() == thread();
    std::unique_lock lock(m_mutex);
    while (!m_finished) {
        if (serving && m_handOff == HandOff::Pending) {
            lock.unlock();
            serveHandOff();
            lock.lock();
        } else if (serving && m_replyPending && m_delivery.notifyWindow) {
            lock.unlock();
            m_delivery.notifyWindow->deliverQueued();
            lock.lock();
        } else {
            m_changed.wait(lock);
        }
    }
    lock.unlock();
    // QThread's own last steps after run().
    wait();
}
