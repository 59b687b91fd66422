// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ComErrors.h"
#include "ComTypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {
class Device;
class Opener;
enum class Escape;
} // namespace serial

namespace comport {
class PostedEventQueue;
}

class TBComPort;
class TComThread;

// The port's comm time-outs in milliseconds. A negative value means "no
// limit" (MAXDWORD). Each setter that changes a value applies all five to the
// owning port's open device at once. User-interface thread only.
class TComTimeouts
{
public:
    explicit TComTimeouts(TBComPort* ComPort = nullptr) : m_comPort(ComPort) {}
    TComTimeouts(const TComTimeouts&) = delete;
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    TBComPort* ComPort() const { return m_comPort; }
    std::int32_t ReadInterval() const { return m_readInterval; }
    std::int32_t ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    std::int32_t ReadTotalConstant() const { return m_readTotalConstant; }
    std::int32_t WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    std::int32_t WriteTotalConstant() const { return m_writeTotalConstant; }

    void setReadInterval(std::int32_t value);
    void setReadTotalMultiplier(std::int32_t value);
    void setReadTotalConstant(std::int32_t value);
    void setWriteTotalMultiplier(std::int32_t value);
    void setWriteTotalConstant(std::int32_t value);

    // Copies the five values, not the ComPort link, and applies nothing.
    void Assign(const TComTimeouts& Source);

private:
    void setValue(std::int32_t& field, std::int32_t value);

    TBComPort* m_comPort = nullptr;
    std::int32_t m_readInterval = -1;
    std::int32_t m_readTotalMultiplier = 0;
    std::int32_t m_readTotalConstant = 0;
    std::int32_t m_writeTotalMultiplier = 100;
    std::int32_t m_writeTotalConstant = 1000;
};

// One read or write: the private copy of the bytes written and the count
// that WaitIoRequest reports (0 when nothing was started). Made and freed by
// each public call.
struct TIoRequest
{
    QByteArray DataCopy;
    std::uint32_t Transferred = 0;
};

// The serial port component. Owned by its QObject parent; lives on the
// user-interface thread, where the constructor, destructor, Open, Close and
// all setters run. While open, an event thread (TComThread) waits for line
// events and raises the On... events as SyncMethod says. Every failure
// raises EComPort with one of the ComPortMessages texts.
class TBComPort : public QObject
{
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;
    using TComSignalEvent = std::function<void(QObject* Sender, bool State)>;
    using TComErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;
    using TRxCharEvent = std::function<void(QObject* Sender, std::int32_t Count)>;
    using TEventsStoppedEvent =
        std::function<void(QObject* Sender, const std::exception_ptr& reason)>;

    // Uses the operating system's devices.
    explicit TBComPort(QObject* owner = nullptr);
    // Uses the devices of `opener` (tests give a fake one); it must outlive the port.
    TBComPort(QObject* owner, serial::Opener& opener);
    ~TBComPort() override;

    // Opens the device, applies every setting and starts event delivery.
    // Returns true (also when already open); a failure raises and leaves the
    // port closed.
    bool Open();
    // Stops event delivery, lowers DTR and RTS and closes the device. Returns
    // true when the port is closed afterwards. A device that has gone (an
    // unplugged adapter, a hung-up line) is still released and the port ends
    // closed; on a device that is still there a failing step raises and the
    // port stays open. While it waits for the event thread, Close serves that
    // thread's deliveries and nothing else, so a delivery under way completes
    // whole and its handlers may run during Close. Called from one of the
    // port's own handlers (or from an event loop nested in one), Close does
    // not wait: the rest of that delivery is dropped, the thread ends after
    // the handler returns and frees itself, and the device is released on
    // return, so that Close(); Open(); works there under every SyncMethod.
    // If a handler that ran during the wait closed the port itself, that
    // Close did the work; this one returns whether the port is closed now.
    bool Close();
    bool Connected() const { return m_connected; }

    TBaudRate BaudRate() const { return m_baudRate; }
    TByteSize ByteSize() const { return m_byteSize; }
    std::int32_t InBufSize() const { return m_inBufSize; }
    std::int32_t OutBufSize() const { return m_outBufSize; }
    TParity Parity() const { return m_parity; }
    QString Port() const { return m_port; }
    TStopBits StopBits() const { return m_stopBits; }
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    TComTimeouts& Timeouts() { return m_timeouts; }
    const TComTimeouts& Timeouts() const { return m_timeouts; }
    QThread::Priority EventThreadPriority() const { return m_eventThreadPriority; }
    TLineEvents WatchedEvents() const { return m_watchedEvents; }
    // The event thread; exists exactly while the port is open.
    TComThread* EventThread() const { return m_eventThread.get(); }
    // The hidden notify object; exists while open with smWindowSync.
    QObject* NotifyWindow() const;
    // The device's native handle (a file descriptor); -1 while closed.
    std::intptr_t Handle() const;

    // Setters store a changed value and, on an open port, apply it at once.
    void setBaudRate(TBaudRate value);
    void setByteSize(TByteSize value);
    void setParity(TParity value);
    void setStopBits(TStopBits value);
    // An odd positive size is stored one lower.
    void setInBufSize(std::int32_t value);
    void setOutBufSize(std::int32_t value);
    // Raises PropertyWhileOpen on an open port, even for the same name.
    void setPort(const QString& value);
    // Raises PropertyWhileOpen when changed on an open port.
    void setSyncMethod(TSyncMethod value);
    // Copies the five values and applies them once.
    void setTimeouts(const TComTimeouts& value);

    void OpenDevice();
    void CloseDevice();
    void ApplyBufferSizes();
    void ApplyLineSettings();
    void ApplyTimeoutSettings();
    void ApplyAllSettings();

    // Writes the bytes as they are; returns the count written, fewer than
    // text.size() when the write time-out ran out. Calling thread.
    std::int32_t WriteText(const QByteArray& text);
    // Reads at most Count bytes that have arrived into `text`; returns their
    // number (0 with none, or when Count <= 0). Calling thread.
    std::int32_t ReadText(QByteArray& text, std::int32_t Count);
    TModemLines ModemState();
    void SetDTR(bool on);
    void SetRTS(bool on);
    // Cancels pending reads and writes; the queues keep their bytes.
    void AbortTransfers();
    // For a program that is stopping: the write under way ends at once, as
    // at its time-out, and every later write is dropped (0 bytes written).
    // Neither raises: replies the line cannot take are not waited for. Holds
    // for the rest of the port's life. Callable from any thread, unlike
    // everything else here, since the thread that writes may be the one held up.
    void AbandonWrites();
    // Bytes in the driver's receive queue; also clears the device's error state.
    std::int32_t BytesWaiting();

    // The steps under WriteText and ReadText; each raises InvalidAsync when
    // given no request. A transfer is complete when its start returns: the
    // device carries it out within the time-outs before the start returns
    // (each start returns the count transferred), so WaitIoRequest only gives
    // the count that the start recorded.
    static std::unique_ptr<TIoRequest> NewIoRequest();
    std::uint32_t StartWrite(const char* buffer, std::uint32_t count, TIoRequest* request);
    std::uint32_t StartWriteText(const QByteArray& text, TIoRequest* request);
    std::uint32_t StartRead(char* buffer, std::uint32_t count, TIoRequest* request);
    std::uint32_t StartReadText(QByteArray& text, std::int32_t count, TIoRequest* request);
    std::uint32_t WaitIoRequest(TIoRequest* request);

    // The Fire operations: each computes its event's argument and raises the
    // event if assigned. Called by the event thread's delivery.
    void FireError();
    void FireRxChar();
    void FireTxEmpty();
    void FireRing();
    void FireCTSChange();
    void FireDSRChange();
    void FireRLSDChange();
    void FireRx80Full();
    // The notify object's procedure for one event (its device mask bit);
    // calls nothing while the port is not Connected.
    void PortWindowProc(std::uint32_t eventMaskBit);

    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRing;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;
    // Raised once on the user-interface thread when event delivery ends on its
    // own (hang-up of the device, a handler's exception under smThreadSync
    // or smNone, an event thread that could not be started), with the
    // reason: the handler's exception, or EComPort with ReadError and what
    // the system said for a hang-up, EventsInterrupted for a thread that
    // could not start. The reason is null when one of the port's calls has
    // already raised the loss of the device to a caller outside the
    // deliveries: one loss, one report. Never inside Close: a report still
    // queued when Close begins is dropped, since the port is closing anyway.
    TEventsStoppedEvent OnEventsStopped;

private:
    void raiseIfOpen() const;
    bool stopEventThread();
    void closeNotifyWindow();
    void lowerLinesAndAbort();
    bool deviceGone() const;
    void noteLossRaised();
    void eventsStopped(const std::exception_ptr& reason);
    // Runs the Fire operation of `event`.
    void fireEvent(TLineEvent event);
    void fireSignal(const TComSignalEvent& handler, TModemLine line);
    void fireNotify(const TNotifyEvent& handler);
    void escape(serial::Escape function);
    // Makes one call on the device, `call(device)`, and raises `message` with
    // the reason that call gives when it fails. Without a device the call
    // fails too: with no reason on a closed port, with the reason the device
    // could not be opened within Open.
    template <typename Call> void requireDevice(const char* message, Call call);

    void setDevice(std::shared_ptr<serial::Device> device);

    serial::Opener* m_opener = nullptr;
    TBaudRate m_baudRate = TBaudRate::br9600;
    TByteSize m_byteSize = TByteSize::bs8;
    bool m_connected = false;
    QThread::Priority m_eventThreadPriority = QThread::NormalPriority;
    TLineEvents m_watchedEvents = allLineEvents;
    std::unique_ptr<TComThread> m_eventThread;
    std::shared_ptr<serial::Device> m_device; // set under m_deviceMutex, for AbandonWrites
    std::mutex m_deviceMutex;
    std::atomic<bool> m_writesAbandoned = false;
    std::int32_t m_inBufSize = 2048;
    std::int32_t m_outBufSize = 2048;
    TParity m_parity = TParity::paNone;
    QString m_port = QStringLiteral("COM2");
    TStopBits m_stopBits = TStopBits::sb1;
    TSyncMethod m_syncMethod = TSyncMethod::smThreadSync;
    TComTimeouts m_timeouts = TComTimeouts(this);
    std::unique_ptr<comport::PostedEventQueue> m_notifyWindow;
    // Why the device could not be opened, while Open goes on without one.
    QString m_openFailure;
    // A call outside the deliveries has raised that the device is gone. Any
    // thread may make such a call.
    std::atomic<bool> m_lossRaised = false;
    int m_threadWaits = 0; // Close calls waiting for the event thread, nested in each other
};
