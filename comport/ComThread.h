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

class QEventLoop;
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
    explicit TNotifyWindow(TBComPort* port) : m_port(port) {}

    // Posts one notification for the event with the device mask bit `maskBit`.
    void postNotification(std::uint32_t maskBit);

protected:
    bool event(QEvent* event) override;

private:
    TBComPort* m_port = nullptr;
};

// The event thread of an open TBComPort: asks the device for the port's
// WatchedEvents, waits for them and delivers each batch by the port's
// SyncMethod. Created by Open, freed by Close; it ends on its own when the
// device hangs up or (smThreadSync, smNone) a handler raises.
class TComThread : public QThread
{
public:
    // Sets the device's event mask; start() lets the thread run.
    TComThread(TBComPort* ComPort, std::shared_ptr<serial::Device> device);
    // Stops the thread and waits for it while the calling (user-interface)
    // thread goes on serving hand-offs, so a delivery under way completes.
    ~TComThread() override;

    // Ends the wait loop; callable from any thread.
    void StopThread();
    // The events of the last completed wait; written by the event thread,
    // so read it only from a delivery under smThreadSync or smNone.
    TLineEvents PendingEvents() const { return m_PendingEvents.load(); }
    // True once a wait ended because the device hung up.
    bool hungUp() const { return m_hungUp.load(); }
    // True while this thread's handlers run on the user-interface thread.
    bool deliveringOnUiThread() const { return m_uiDeliveryDepth > 0; }
    // The notify object received a notification: the thread may go on.
    void replyMessage();
    // Stops the thread without waiting for it (the caller is inside one of
    // its deliveries); the thread frees itself once it has ended.
    void releaseFromPort();

protected:
    void run() override;

private:
    void waitLoop();
    void deliver();
    void DispatchEvents();
    void ForwardEvents();
    void dispatchOnUiThread();
    void sendNotification(std::uint32_t maskBit);
    void reportStop(const QString& reason);
    void finishWaiting();
    void waitServingHandOffs();

    TBComPort* const m_ComPort;
    const std::shared_ptr<serial::Device> m_device;
    const TSyncMethod m_syncMethod;
    TNotifyWindow* const m_notifyWindow;
    // Atomic because a delivery under smThreadSync reads it on the
    // user-interface thread; Qt's event queue orders that hand-over, but with
    // locks that ThreadSanitizer cannot see.
    std::atomic<TLineEvents> m_PendingEvents;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_finished{false};
    std::mutex m_replyMutex;
    std::condition_variable m_replyChanged;
    bool m_replyPending = false; // guarded by m_replyMutex
    // A handler's exception on its way back to the event thread.
    std::exception_ptr m_handlerError; // guarded by m_replyMutex
    // Why the thread ended, on its way to the user-interface thread.
    QString m_stopReason; // guarded by m_replyMutex
    // User-interface thread only:
    int m_uiDeliveryDepth = 0;
    bool m_released = false;
    QEventLoop* m_waitLoop = nullptr;
};
