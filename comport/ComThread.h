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

class TBComPort;
namespace serial {
class Device;
}

// The hidden notify object of smWindowSync: lives on the user-interface
// thread and hands each notification the event thread posts to the port's
// PortWindowProc. An exception from a handler leaves event() so that the
// application's notify() reports it.
class TNotifyWindow : public QObject
{
public:
    // A child of the port, so that it goes with the port at the latest.
    explicit TNotifyWindow(TBComPort* port);

    // Posts one notification for the event with the device mask bit `maskBit`.
    void postNotification(std::uint32_t maskBit);
    // Delivers the notifications that are still queued, here and now.
    void deliverQueued();
    // Cuts the link to the port: queued notifications are dropped unseen.
    void detach() { m_port = nullptr; }

protected:
    bool event(QEvent* event) override;

private:
    TBComPort* m_port = nullptr;
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
    // Sets the device's event mask; start() lets the thread run. The QObject
    // lives on the port's thread, wherever Open was called from.
    TComThread(TBComPort* ComPort, std::shared_ptr<serial::Device> device);
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

    // The events of the last completed wait; written by the event thread,
    // so read it only from a delivery under smThreadSync or smNone.
    TLineEvents PendingEvents() const { return m_PendingEvents.load(); }
    // True while a batch handed to the user-interface thread waits there to
    // be served (smThreadSync).
    bool deliveryPending() const;
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
    void reportStop(const QString& reason);
    void finish();

    TBComPort* const m_ComPort;
    const TSyncMethod m_syncMethod;
    TNotifyWindow* const m_notifyWindow;
    // Atomic because a delivery under smThreadSync reads it on the
    // user-interface thread.
    std::atomic<TLineEvents> m_PendingEvents;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_abandoned{false};
    std::atomic<bool> m_hungUp{false};

    // Everything the two threads hand each other goes through this lock, so
    // that the hand-overs do not depend on Qt's own (which ThreadSanitizer
    // cannot see). The condition wakes the event thread (a hand-off was
    // served, a notification replied), a thread waiting in stopAndWait (a
    // delivery to serve, the end of the thread) and abandon() (the event
    // thread has left the device).
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Dropped by abandon() under the lock, once the event thread has left
    // the device to wait for the delivery that called it (or is the caller);
    // the event thread then takes the lock before it looks at m_abandoned.
    std::shared_ptr<serial::Device> m_device;
    HandOff m_handOff = HandOff::None; // guarded
    bool m_threadWaiting = false;      // guarded: the event thread awaits a hand-off
    bool m_replyPending = false;       // guarded
    std::exception_ptr m_handlerError; // guarded
    QString m_stopReason;              // guarded
    bool m_finished = false;           // guarded

    // User-interface thread only:
    int m_uiDeliveryDepth = 0;
};
