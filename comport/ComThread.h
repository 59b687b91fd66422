// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ComTypes.h"
#include "HandOff.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {
class Device;
}

namespace comport {
class PostedEventQueue;
}

// The event thread of an open TBComPort: asks the device for the port's
// WatchedEvents, waits for them and delivers each batch by the port's
// SyncMethod. Created by Open, freed by Close; it ends on its own when the
// device hangs up or (smThreadSync, smNone) a handler raises. A batch taken
// from the device is always delivered whole, also when Close starts meanwhile.
// Under smThreadSync and smWindowSync the events go through a HandOff.
class TComThread : public QThread
{
public:
    // What the thread delivers and where to; given by the port that opens it.
    struct Delivery
    {
        TSyncMethod syncMethod = TSyncMethod::smThreadSync;
        // The events asked of the device.
        TLineEvents watchedEvents;
        // The port's thread, where hand-offs and notifications are served.
        QThread* portThread = nullptr;
        // Where the notifications of smWindowSync go: the port's notify window.
        comport::PostedEventQueue* notifyWindow = nullptr;
        // Runs the port's Fire operation for one event: on the port's thread
        // under smThreadSync, on this thread under smNone.
        std::function<void(TLineEvent event)> fire;
        // Runs on the port's thread when delivery has ended on its own, with
        // the reason: a handler's error, or an EComPort for a hang-up or a
        // thread that could not start. Not once the thread has been told to
        // stop.
        std::function<void(const std::exception_ptr& reason)> stopped;
    };

    // Sets the device's event mask; start() lets the thread run. The QObject
    // lives on the port's thread, wherever Open was called from.
    TComThread(Delivery delivery, std::shared_ptr<serial::Device> device);
    // Stops the thread and waits for it, as stopAndWait() does.
    ~TComThread() override;

    // Starts the thread. If it cannot be started, delivery ends at once
    // and is reported like any other end of delivery.
    void startWaiting(QThread::Priority priority);
    // Ends the wait loop; callable from any thread.
    void StopThread();
    // Stops the thread and waits until it has ended. The calling thread
    // serves this thread's deliveries while it waits, and nothing else (no
    // event loop runs), so a delivery under way completes and its handlers
    // may run here.
    void stopAndWait();
    // True when called from inside one of this thread's deliveries: from a
    // handler under smThreadSync (or an event loop nested in one), or on the
    // event thread itself under smNone. The thread cannot end before that
    // handler has returned, so it must not be waited for.
    bool deliveringHere() const;
    // Takes the thread off its port from inside one of its deliveries: the
    // rest of the delivery is dropped, the thread lets go of the device at
    // once, never touches it again, and frees itself once it has ended.
    void abandon();

    // The events of the last completed wait, recorded as they are handed
    // over; written by the event thread, so only a delivery under
    // smThreadSync or smNone sees the batch it serves.
    TLineEvents PendingEvents() const { return m_pendingEvents.load(); }
    // True once a wait ended because the device hung up.
    bool hungUp() const { return m_hungUp.load(); }
    // The notify window received a notification: the thread may go on.
    void replyMessage() { m_handOff.reply(); }

    // What the thread does to its device when it stops: no more events
    // wanted, both queues emptied. Results are not examined.
    static void finishWithDevice(serial::Device& device);

protected:
    void run() override;

private:
    // Waits for events and delivers them until the thread is stopped or the
    // device fails; gives the error for a hang-up, null for a stop.
    std::exception_ptr waitLoop();
    void deliver(TLineEvents pending);
    void DispatchEvents();
    void ForwardEvents();
    void handOffToUiThread(TLineEvents pending);
    void wakeFromDeviceWait();
    void reportStop(std::exception_ptr reason);
    void finish();

    const Delivery m_delivery;
    // Atomic because a delivery under smThreadSync reads it on the
    // user-interface thread.
    std::atomic<TLineEvents> m_pendingEvents = TLineEvents();
    std::atomic<bool> m_stopRequested = false;
    std::atomic<bool> m_abandoned = false;
    std::atomic<bool> m_hungUp = false;
    comport::HandOff m_handOff;

    // Guards what follows, which the two threads share beside the hand-off.
    // The condition wakes the thread that started the event thread once
    // run() has begun.
    mutable std::mutex m_mutex;
    // Dropped by abandon(), once the event thread has left the device to
    // await the delivery that called it (or is the caller).
    std::shared_ptr<serial::Device> m_device;
    // Handed to the port's thread under the lock; the queued call only says
    // that it is there.
    std::exception_ptr m_stopReason;
    std::condition_variable m_changed;
    bool m_began = false; // run() has begun
};
