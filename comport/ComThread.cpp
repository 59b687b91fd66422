#include "ComThread.h"

#include "BCPort.h"
#include "ComMapping.h"
#include "platform/SerialDevice.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <array>
#include <exception>
#include <utility>

namespace {

// One row of the delivery order: the line error first, so that its device
// state is cleared before the receive count is queried.
struct DispatchStep
{
    TLineEvent event;
    std::uint32_t maskBit;
    void (TBComPort::*fire)();
};

constexpr std::array<DispatchStep, 8> dispatchTable{{
    {TLineEvent::evError, serial::ev::Err, &TBComPort::FireError},
    {TLineEvent::evRxChar, serial::ev::RxChar, &TBComPort::FireRxChar},
    {TLineEvent::evTxEmpty, serial::ev::TxEmpty, &TBComPort::FireTxEmpty},
    {TLineEvent::evRing, serial::ev::Ring, &TBComPort::FireRing},
    {TLineEvent::evCTS, serial::ev::Cts, &TBComPort::FireCTSChange},
    {TLineEvent::evDSR, serial::ev::Dsr, &TBComPort::FireDSRChange},
    {TLineEvent::evRLSD, serial::ev::Rlsd, &TBComPort::FireRLSDChange},
    {TLineEvent::evRx80Full, serial::ev::Rx80Full, &TBComPort::FireRx80Full},
}};

const QEvent::Type notifyEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class TNotifyMessage : public QEvent
{
public:
    explicit TNotifyMessage(std::uint32_t maskBit) : QEvent(notifyEventType), m_maskBit(maskBit) {}
    std::uint32_t maskBit() const { return m_maskBit; }

private:
    std::uint32_t m_maskBit = 0;
};

QString reasonOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QString::fromUtf8(ComPortMessages::EventsInterrupted);
    }
}

} // namespace

void TNotifyWindow::postNotification(std::uint32_t maskBit)
{
    QCoreApplication::postEvent(this, new TNotifyMessage(maskBit));
}

bool TNotifyWindow::event(QEvent* event)
{
    if (event->type() != notifyEventType)
        return QObject::event(event);
    m_port->PortWindowProc(static_cast<TNotifyMessage*>(event)->maskBit());
    return true;
}

void TBComPort::PortWindowProc(std::uint32_t eventMaskBit)
{
    // Release the event thread before the handler runs, as a sent message
    // replied at once would.
    if (m_EventThread)
        m_EventThread->replyMessage();
    if (!m_Connected)
        return;
    for (const DispatchStep& step : dispatchTable) {
        if (step.maskBit == eventMaskBit)
            (this->*step.fire)();
    }
}

TComThread::TComThread(TBComPort* ComPort, std::shared_ptr<serial::Device> device)
    : m_ComPort(ComPort), m_device(std::move(device)), m_syncMethod(ComPort->SyncMethod()),
      m_notifyWindow(ComPort->m_NotifyWindow.get())
{
    // The result is not examined: a device that refuses the mask fails its wait.
    m_device->setCommMask(comport::eventMask(ComPort->WatchedEvents()));
}

TComThread::~TComThread()
{
    StopThread();
    waitServingHandOffs();
}

void TComThread::StopThread()
{
    {
        std::lock_guard lock(m_replyMutex);
        m_stopRequested = true;
    }
    m_replyChanged.notify_all();
    m_device->requestStop();
    QThread::yieldCurrentThread();
}

void TComThread::replyMessage()
{
    {
        std::lock_guard lock(m_replyMutex);
        m_replyPending = false;
    }
    m_replyChanged.notify_all();
}

void TComThread::releaseFromPort()
{
    // The thread is blocked in the delivery that called us, so it has not
    // finished yet and its finishWaiting() is still to come; that frees it.
    m_released = true;
    StopThread();
}

void TComThread::run()
{
    QString stopReason;
    try {
        waitLoop();
        if (m_hungUp)
            stopReason = QString::fromUtf8(ComPortMessages::ReadError);
    } catch (...) {
        // A handler's exception ends the thread body; the device is left as it is.
        stopReason = reasonOf(std::current_exception());
    }
    if (!stopReason.isEmpty() && !m_stopRequested)
        reportStop(stopReason);
    finishWaiting();
}

void TComThread::waitLoop()
{
    for (;;) {
        std::uint32_t events = 0;
        const serial::WaitResult result = m_device->waitEvent(events);
        if (result == serial::WaitResult::Stopped)
            break;
        if (result == serial::WaitResult::Failed) {
            m_hungUp = true;
            break;
        }
        m_PendingEvents = comport::lineEvents(events);
        deliver();
    }
    m_device->setCommMask(0);
    m_device->purge(serial::purge::TxClear | serial::purge::RxClear);
}

void TComThread::deliver()
{
    switch (m_syncMethod) {
    case TSyncMethod::smThreadSync:
        dispatchOnUiThread();
        return;
    case TSyncMethod::smWindowSync:
        ForwardEvents();
        return;
    case TSyncMethod::smNone:
        DispatchEvents();
        return;
    }
}

void TComThread::DispatchEvents()
{
    const TLineEvents pending = m_PendingEvents.load();
    for (const DispatchStep& step : dispatchTable) {
        // A handler may have closed the port: deliver nothing more then.
        if (m_stopRequested)
            return;
        if (pending.testFlag(step.event))
            (m_ComPort->*step.fire)();
    }
}

void TComThread::ForwardEvents()
{
    const TLineEvents pending = m_PendingEvents.load();
    for (const DispatchStep& step : dispatchTable) {
        if (m_stopRequested)
            return;
        if (pending.testFlag(step.event))
            sendNotification(step.maskBit);
    }
}

void TComThread::dispatchOnUiThread()
{
    if (QThread::currentThread() == thread()) {
        DispatchEvents();
        return;
    }
    // A blocking queued call to ourselves from the user-interface thread
    // would hang, hence the direct call above.
    QMetaObject::invokeMethod(
        this,
        [this] {
            ++m_uiDeliveryDepth;
            std::exception_ptr error;
            try {
                DispatchEvents();
            } catch (...) {
                error = std::current_exception();
            }
            --m_uiDeliveryDepth;
            // Under the lock, so that the exception object is handed over
            // in a way ThreadSanitizer sees as well as Qt's semaphore.
            std::lock_guard lock(m_replyMutex);
            m_handlerError = error;
        },
        Qt::BlockingQueuedConnection);
    std::exception_ptr error;
    {
        std::lock_guard lock(m_replyMutex);
        error = std::exchange(m_handlerError, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
}

void TComThread::sendNotification(std::uint32_t maskBit)
{
    {
        std::lock_guard lock(m_replyMutex);
        m_replyPending = true;
    }
    m_notifyWindow->postNotification(maskBit);
    std::unique_lock lock(m_replyMutex);
    m_replyChanged.wait(lock, [this] { return !m_replyPending || m_stopRequested; });
}

void TComThread::reportStop(const QString& reason)
{
    // The reason goes over under the lock rather than inside the queued
    // functor, whose hand-over happens inside Qt where ThreadSanitizer
    // cannot see it.
    {
        std::lock_guard lock(m_replyMutex);
        m_stopReason = reason;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            QString stopReason;
            {
                std::lock_guard lock(m_replyMutex);
                stopReason = m_stopReason;
            }
            if (!m_released)
                m_ComPort->eventsStopped(stopReason);
        },
        Qt::QueuedConnection);
}

void TComThread::finishWaiting()
{
    m_finished = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_waitLoop)
                m_waitLoop->quit();
            // The destructor waits for the last steps of the thread. Freeing
            // from here rather than on QThread::finished spares a signal that
            // Qt would queue from the ending thread, a hand-over that
            // ThreadSanitizer cannot follow.
            if (m_released)
                deleteLater();
        },
        Qt::QueuedConnection);
}

void TComThread::waitServingHandOffs()
{
    // A bare join here would deadlock while the thread waits for a hand-off to
    // this thread; the local loop serves it and is quit by finishWaiting().
    // Leaving only once m_finished reads true also orders the thread's last
    // steps before the destruction in a way ThreadSanitizer sees: the quit
    // and QThread::wait() synchronise inside Qt, where it cannot look.
    if (!m_finished) {
        QEventLoop loop;
        m_waitLoop = &loop;
        while (!m_finished)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waitLoop = nullptr;
    }
    wait();
}
