// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ComTypes.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {
class Device;
}

// The hidden notify object of smWindowSync: lives on the user-interface
// thread and hands each notification the event thread posts to its window
// procedure (the port's PortWindowProc). An exception from a handler leaves
// event() so that the application's notify() reports it.
class TNotifyWindow : public QObject
{
public:
    using WindowProc = std::function<void(std::uint32_t eventMaskBit)>;

    // A child of `owner` (the port), so that it goes with the port at the latest.
    TNotifyWindow(QObject* owner, WindowProc windowProc);

    // Posts one notification for the event with the device mask bit `maskBit`.
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

// The event thread of an open TBComPort: asks the device for the port's
// WatchedEvents, waits for them and delivers each batch by the port's
// SyncMethod. Created by Open, freed by Close; it ends on its own when the
// device hangs up or (smThreadSync, smNone) a handler raises. A batch taken
// from the device is always delivered whole, also when Close starts meanwhile.
// Under smThreadSync the thread hands a batch over and goes back to waiting
// for the device; it waits for the batch to have been served before it hands
// over the next one, so handlers still run one at a time and in order.
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
        // Where the notifications of smWindowSync go.
        TNotifyWindow* notifyWindow = nullptr;
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
    // The notify object received a notification: the thread may go on.
    void replyMessage();

    // What the thread does to its device when it stops: no more events
    // wanted, both queues emptied. Results are not examined.
    static void finishWithDevice(serial::Device& device);

protected:
    void run() override;
    bool event(QEvent* event) override;

private:
    enum class HandOff { None, Pending, Running, Done };

    void waitLoop();
    void deliver(TLineEvents pending);
    void DispatchEvents();
    void ForwardEvents();
    void handOffToUiThread(TLineEvents pending);
    // Waits until the batch handed over last has been served; raises what
    // its handlers raised.
    void awaitHandOff();
    void serveHandOff();
    void sendNotification(std::uint32_t maskBit);
    void reportStop(std::exception_ptr reason);
    void finish();

    const Delivery m_delivery;
    // Atomic because a delivery under smThreadSync reads it on the
    // user-interface thread.
    std::atomic<TLineEvents> m_pendingEvents = TLineEvents();
    std::atomic<bool> m_stopRequested = false;
    std::atomic<bool> m_abandoned = false;
    std::atomic<bool> m_hungUp = false;

    // Orders everything the two threads hand each other: a batch and the
    // state of its hand-off, a handler's exception, a pending notification's
    // reply, the stop reason and the end of the thread. Qt's event queue
    // only wakes the other side; the one value it carries is the mask bit of
    // a notification (TNotifyWindow), ordered by the queue's own lock. The
    // condition wakes the event thread (a hand-off was served, a notification
    // replied), the thread that started it (run() has begun), a thread
    // waiting in stopAndWait (a delivery to serve, the end of the thread) and
    // abandon() (the event thread has left the device).
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Dropped by abandon() under the lock, once the event thread has left
    // the device to wait for the delivery that called it (or is the caller);
    // the event thread then takes the lock before it looks at m_abandoned.
    std::shared_ptr<serial::Device> m_device;
    HandOff m_handOff = HandOff::None; // guarded
    bool m_began = false;              // guarded: run() has begun
    bool m_threadWaiting = false;      // guarded: the event thread awaits a hand-off
    bool m_replyPending = false;       // guarded
    std::exception_ptr m_handlerError; // guarded
    std::exception_ptr m_stopReason;   // guarded
    bool m_finished = false;           // guarded

    // User-interface thread only:
    int m_uiDeliveryDepth = 0;
    // The event thread only: what the system said when the wait failed.
    QString m_hangUpDetail;
};
