// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComThread.h"

#include "ComDiagnostics.h"
#include "ComErrors.h"
#include "ComMapping.h"
#include "PostedEventQueue.h"
#include "platform/SerialDevice.h"

#include <exception>
#include <utility>

namespace {

std::exception_ptr eventsInterrupted()
{
    return std::make_exception_ptr(EComPort(ComPortMessages::EventsInterrupted));
}

} // namespace

TComThread::TComThread(Delivery delivery, std::shared_ptr<serial::Device> device)
    : m_delivery(std::move(delivery)),
      m_handOff(
          m_delivery.portThread, [this] { DispatchEvents(); }, [this] { wakeFromDeviceWait(); }),
      m_device(std::move(device))
{
    // Open may run on the event thread of the port's previous opening (from
    // a handler under smNone); the object still belongs to the port's thread,
    // which serves its hand-offs.
    moveToThread(m_delivery.portThread);
    // The result is not examined: a device that refuses the mask fails its wait.
    static_cast<void>(m_device->setCommMask(comport::eventMask(m_delivery.watchedEvents)));
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
    wakeFromDeviceWait();
}

bool TComThread::deliveringHere() const
{
    const QThread* const current = QThread::currentThread();
    return current == this || (current == thread() && m_handOff.serving());
}

void TComThread::abandon()
{
    m_stopRequested = true;
    m_abandoned = true;
    if (QThread::currentThread() != this) {
        // The event thread may be waiting on the device meanwhile: woken, it
        // leaves the device and awaits the delivery that is calling us.
        wakeFromDeviceWait();
        m_handOff.awaitEventThreadHeld();
    }
    std::lock_guard lock(m_mutex);
    m_device.reset();
}

void TComThread::finishWithDevice(serial::Device& device)
{
    static_cast<void>(device.setCommMask(0));
    static_cast<void>(device.purge(serial::purge::TxClear | serial::purge::RxClear));
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
        stopReason = waitLoop();
    } catch (const std::exception&) {
        stopReason = std::current_exception();
    } catch (...) {
        stopReason = eventsInterrupted();
    }
    if (stopReason && !m_stopRequested)
        reportStop(std::move(stopReason));
    finish();
}

std::exception_ptr TComThread::waitLoop()
{
    std::exception_ptr hangUp;
    while (!m_stopRequested) {
        std::uint32_t events = 0;
        serial::Result failure;
        const serial::WaitResult result = m_device->waitEvent(events, failure);
        if (result == serial::WaitResult::Stopped)
            break;
        if (result == serial::WaitResult::Failed) {
            hangUp = std::make_exception_ptr(
                EComPort(ComPortMessages::ReadError, comport::failureDetail(failure.reason())));
            m_hungUp = true;
            break;
        }
        deliver(comport::lineEvents(events));
    }
    // A batch still with the user-interface thread is served first.
    m_handOff.await();
    if (!m_abandoned)
        finishWithDevice(*m_device);
    return hangUp;
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
        if (!pending.testFlag(event))
            continue;
        m_handOff.sendAndAwaitReply([this, event] {
            m_delivery.notifyWindow->postNotification(comport::eventMask(event));
        });
    }
}

void TComThread::handOffToUiThread(TLineEvents pending)
{
    m_handOff.await();
    // A handler that closed the port has taken this thread off it.
    if (m_abandoned)
        return;
    m_pendingEvents = pending;
    m_handOff.post();
}

void TComThread::wakeFromDeviceWait()
{
    std::shared_ptr<serial::Device> device;
    {
        std::lock_guard lock(m_mutex);
        device = m_device;
    }
    if (device)
        device->requestStop();
}

void TComThread::reportStop(std::exception_ptr reason)
{
    // Handed over under m_mutex; the queued call only says that it is there.
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
    // Read first: once the end is known, an owner may free this object.
    const bool abandoned = m_abandoned;
    m_handOff.end();
    // Nobody owns an abandoned thread: it goes on the port's thread, where
    // its destructor finds it ended.
    if (abandoned)
        deleteLater();
}

void TComThread::stopAndWait()
{
    StopThread();
    m_handOff.awaitEnd([this] {
        if (m_delivery.notifyWindow)
            m_delivery.notifyWindow->deliverQueued();
    });
    // QThread's own last steps after run().
    wait();
}
