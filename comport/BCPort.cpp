// SPDX-License-Identifier: GPL-3.0-or-later

#include "BCPort.h"

#include "ComDiagnostics.h"
#include "ComMapping.h"
#include "ComThread.h"
#include "PostedEventQueue.h"
#include "platform/SerialDevice.h"

#include <QScopeGuard>

namespace {

[[noreturn]] void raise(const char* message)
{
    throw EComPort(message);
}

template <typename T> bool storeIfChanged(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

std::int32_t evenBufferSize(std::int32_t value)
{
    return value > 0 && value % 2 != 0 ? value - 1 : value;
}

} // namespace

// TComTimeouts

void TComTimeouts::setValue(std::int32_t& field, std::int32_t value)
{
    if (storeIfChanged(field, value) && m_comPort)
        m_comPort->ApplyTimeoutSettings();
}

void TComTimeouts::setReadInterval(std::int32_t value)
{
    setValue(m_readInterval, value);
}

void TComTimeouts::setReadTotalMultiplier(std::int32_t value)
{
    setValue(m_readTotalMultiplier, value);
}

void TComTimeouts::setReadTotalConstant(std::int32_t value)
{
    setValue(m_readTotalConstant, value);
}

void TComTimeouts::setWriteTotalMultiplier(std::int32_t value)
{
    setValue(m_writeTotalMultiplier, value);
}

void TComTimeouts::setWriteTotalConstant(std::int32_t value)
{
    setValue(m_writeTotalConstant, value);
}

void TComTimeouts::Assign(const TComTimeouts& Source)
{
    m_readInterval = Source.m_readInterval;
    m_readTotalMultiplier = Source.m_readTotalMultiplier;
    m_readTotalConstant = Source.m_readTotalConstant;
    m_writeTotalMultiplier = Source.m_writeTotalMultiplier;
    m_writeTotalConstant = Source.m_writeTotalConstant;
}

// TBComPort: life, opening and closing

TBComPort::TBComPort(QObject* owner) : TBComPort(owner, serial::systemOpener()) {}

TBComPort::TBComPort(QObject* owner, serial::Opener& opener) : QObject(owner), m_opener(&opener) {}

TBComPort::~TBComPort()
{
    try {
        Close();
    } catch (const EComPort&) {
        // A destructor cannot report; release what is left regardless.
        stopEventThread();
        closeNotifyWindow();
        CloseDevice();
    }
}

QObject* TBComPort::NotifyWindow() const
{
    return m_notifyWindow.get();
}

std::intptr_t TBComPort::Handle() const
{
    return m_device ? m_device->nativeHandle() : -1;
}

bool TBComPort::Open()
{
    if (m_connected)
        return true;
    OpenDevice();
    m_connected = true;
    try {
        ApplyAllSettings();
        // The event thread started below needs a descriptor, see descriptorAvailable().
        const serial::Result room =
            serial::descriptorAvailable(serial::devicePath(m_port.toStdString()));
        if (!room)
            throw EComPort(ComPortMessages::SetupCommFailed, comport::failureDetail(room.reason()));
    } catch (...) {
        CloseDevice();
        m_connected = false;
        throw;
    }
    if (m_syncMethod == TSyncMethod::smWindowSync)
        m_notifyWindow = std::make_unique<comport::PostedEventQueue>(
            this, [this](std::uint32_t eventMaskBit) { PortWindowProc(eventMaskBit); });
    TComThread::Delivery delivery{
        m_syncMethod,
        m_watchedEvents,
        thread(),
        m_notifyWindow.get(),
        [this](TLineEvent event) { fireEvent(event); },
        [this](const std::exception_ptr& reason) { eventsStopped(reason); }};
    m_eventThread = std::make_unique<TComThread>(std::move(delivery), m_device);
    m_eventThread->startWaiting(m_eventThreadPriority);
    // Not read back: under smNone a handler may already be closing the port
    // on the event thread.
    return true;
}

bool TBComPort::Close()
{
    if (!m_connected)
        return true;
    lowerLinesAndAbort();
    if (!stopEventThread())
        return !m_connected;
    closeNotifyWindow();
    CloseDevice();
    m_connected = false;
    return true;
}

void TBComPort::lowerLinesAndAbort()
{
    try {
        SetDTR(false);
        SetRTS(false);
        AbortTransfers();
    } catch (const EComPort&) {
        // A device that has gone cannot be switched any more, but it must
        // still be released, or the port could never be closed or reopened.
        if (!deviceGone())
            throw;
    }
}

bool TBComPort::deviceGone() const
{
    return !m_device || m_device->gone() || (m_eventThread && m_eventThread->hungUp());
}

// A handler's error inside a delivery ends that delivery and is its reason;
// an error given to any other caller is a report of its own.
void TBComPort::noteLossRaised()
{
    if (m_device->gone() && !(m_eventThread && m_eventThread->deliveringHere()))
        m_lossRaised = true;
}

bool TBComPort::stopEventThread()
{
    TComThread* const thread = m_eventThread.get();
    if (!thread)
        return true;
    if (thread->deliveringHere()) {
        // Called from a handler of the thread's current delivery: the thread
        // cannot end before that handler returns, so it is not waited for.
        // It lets go of the device now and frees itself later; the steps it
        // would have ended with are done here, so that the device is
        // released when Close returns.
        thread->abandon();
        m_eventThread.release();
        if (m_device)
            TComThread::finishWithDevice(*m_device);
        return true;
    }
    {
        // A handler's error may leave the wait; the count must not stay raised.
        ++m_threadWaits;
        const auto waited = qScopeGuard([this] { --m_threadWaits; });
        thread->stopAndWait();
    }
    // A handler that ran during the wait may have closed the port (and
    // opened it again), or an outer Close waits for the same thread: that
    // Close does the rest.
    if (m_eventThread.get() != thread || m_threadWaits > 0)
        return false;
    m_eventThread.reset();
    return true;
}

void TBComPort::closeNotifyWindow()
{
    if (!m_notifyWindow)
        return;
    // Close may run inside one of the window's own notifications, so the
    // window goes later; cut off from the port, it delivers nothing more.
    m_notifyWindow->detach();
    m_notifyWindow.release()->deleteLater();
}

void TBComPort::eventsStopped(const std::exception_ptr& reason)
{
    if (OnEventsStopped)
        OnEventsStopped(this, m_lossRaised ? nullptr : reason);
}

void TBComPort::OpenDevice()
{
    serial::OpenFailure failure;
    setDevice(m_opener->open(serial::devicePath(m_port.toStdString()), failure));
    if (m_device)
        return;
    const QString detail = comport::failureDetail(failure.reason);
    switch (failure.error) {
    case serial::OpenError::NotFound:
        throw EComPort(ComPortMessages::NoSuchPort, detail);
    case serial::OpenError::AccessDenied:
        throw EComPort(ComPortMessages::PortInUse, detail);
    case serial::OpenError::None:
    case serial::OpenError::Other:
        // Left without a device: the first apply step fails, with this reason,
        // and Open rolls back.
        m_openFailure = detail;
        return;
    }
}

void TBComPort::CloseDevice()
{
    setDevice(nullptr);
    m_openFailure.clear();
    m_lossRaised = false;
}

// Only this thread changes the device, so it reads m_device without the
// lock; AbandonWrites, from another thread, takes it.
void TBComPort::setDevice(std::shared_ptr<serial::Device> device)
{
    const std::lock_guard lock(m_deviceMutex);
    m_device.swap(device);
}

template <typename Call> void TBComPort::requireDevice(const char* message, Call call)
{
    if (!m_device)
        throw EComPort(message, m_openFailure);
    const serial::Result result = call(*m_device);
    if (result)
        return;
    noteLossRaised();
    throw EComPort(message, comport::failureDetail(result.reason()));
}

// Applying settings

void TBComPort::ApplyBufferSizes()
{
    if (!m_connected)
        return;
    requireDevice(ComPortMessages::SetupCommFailed, [this](serial::Device& device) {
        return device.setupComm(static_cast<std::uint32_t>(m_inBufSize),
                                static_cast<std::uint32_t>(m_outBufSize));
    });
}

void TBComPort::ApplyLineSettings()
{
    if (!m_connected)
        return;
    const std::optional<serial::Dcb> dcb =
        comport::lineSettings(m_baudRate, m_byteSize, m_parity, m_stopBits);
    if (!dcb)
        raise(ComPortMessages::SetCommStateFailed);
    requireDevice(ComPortMessages::SetCommStateFailed,
                  [&dcb](serial::Device& device) { return device.setCommState(*dcb); });
}

void TBComPort::ApplyTimeoutSettings()
{
    if (!m_connected)
        return;
    const serial::CommTimeouts timeouts = comport::commTimeouts(
        m_timeouts.ReadInterval(), m_timeouts.ReadTotalMultiplier(), m_timeouts.ReadTotalConstant(),
        m_timeouts.WriteTotalMultiplier(), m_timeouts.WriteTotalConstant());
    requireDevice(ComPortMessages::SetCommTimeoutsFailed,
                  [&timeouts](serial::Device& device) { return device.setCommTimeouts(timeouts); });
}

void TBComPort::ApplyAllSettings()
{
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

// Property setters

void TBComPort::setBaudRate(TBaudRate value)
{
    if (storeIfChanged(m_baudRate, value))
        ApplyLineSettings();
}

void TBComPort::setByteSize(TByteSize value)
{
    if (storeIfChanged(m_byteSize, value))
        ApplyLineSettings();
}

void TBComPort::setParity(TParity value)
{
    if (storeIfChanged(m_parity, value))
        ApplyLineSettings();
}

void TBComPort::setStopBits(TStopBits value)
{
    if (storeIfChanged(m_stopBits, value))
        ApplyLineSettings();
}

void TBComPort::setInBufSize(std::int32_t value)
{
    if (value == m_inBufSize)
        return;
    m_inBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::setOutBufSize(std::int32_t value)
{
    if (value == m_outBufSize)
        return;
    m_outBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::raiseIfOpen() const
{
    if (m_connected)
        raise(ComPortMessages::PropertyWhileOpen);
}

void TBComPort::setPort(const QString& value)
{
    raiseIfOpen();
    m_port = value;
}

void TBComPort::setSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    raiseIfOpen();
    m_syncMethod = value;
}

void TBComPort::setTimeouts(const TComTimeouts& value)
{
    m_timeouts.Assign(value);
    ApplyTimeoutSettings();
}

// Reading and writing

std::unique_ptr<TIoRequest> TBComPort::NewIoRequest()
{
    return std::make_unique<TIoRequest>();
}

std::uint32_t TBComPort::StartWrite(const char* buffer, std::uint32_t count, TIoRequest* request)
{
    if (!request)
        raise(ComPortMessages::InvalidAsync);
    request->DataCopy = QByteArray(buffer, static_cast<qsizetype>(count));
    std::uint32_t written = 0;
    requireDevice(ComPortMessages::WriteError, [&](serial::Device& device) {
        if (m_writesAbandoned)
            return serial::Result();
        // The transmit-empty event costs a timer per write; only a handler needs it.
        device.watchTxEmpty(static_cast<bool>(OnTxEmpty));
        serial::Result result = device.write(request->DataCopy.constData(), count, written);
        // Cut short by AbandonWrites, the write ends with the bytes it had written.
        return m_writesAbandoned ? serial::Result() : result;
    });
    request->Transferred = written;
    return written;
}

std::uint32_t TBComPort::StartWriteText(const QByteArray& text, TIoRequest* request)
{
    if (text.isEmpty())
        return 0;
    return StartWrite(text.constData(), static_cast<std::uint32_t>(text.size()), request);
}

std::uint32_t TBComPort::StartRead(char* buffer, std::uint32_t count, TIoRequest* request)
{
    if (!request)
        raise(ComPortMessages::InvalidAsync);
    std::uint32_t got = 0;
    requireDevice(ComPortMessages::ReadError,
                  [&](serial::Device& device) { return device.read(buffer, count, got); });
    request->Transferred = got;
    return got;
}

std::uint32_t TBComPort::StartReadText(QByteArray& text, std::int32_t count, TIoRequest* request)
{
    text.resize(std::max(count, 0));
    if (count <= 0)
        return 0;
    return StartRead(text.data(), static_cast<std::uint32_t>(count), request);
}

std::uint32_t TBComPort::WaitIoRequest(TIoRequest* request)
{
    if (!request)
        raise(ComPortMessages::InvalidAsync);
    return request->Transferred;
}

std::int32_t TBComPort::WriteText(const QByteArray& text)
{
    const std::unique_ptr<TIoRequest> request = NewIoRequest();
    StartWriteText(text, request.get());
    return static_cast<std::int32_t>(WaitIoRequest(request.get()));
}

std::int32_t TBComPort::ReadText(QByteArray& text, std::int32_t Count)
{
    const std::unique_ptr<TIoRequest> request = NewIoRequest();
    QByteArray received;
    StartReadText(received, Count, request.get());
    const std::uint32_t got = WaitIoRequest(request.get());
    received.resize(static_cast<qsizetype>(got));
    text = received;
    return static_cast<std::int32_t>(got);
}

// Modem lines and queues

TModemLines TBComPort::ModemState()
{
    std::uint32_t status = 0;
    requireDevice(ComPortMessages::ModemStatusFailed,
                  [&status](serial::Device& device) { return device.modemStatus(status); });
    return comport::modemLines(status);
}

void TBComPort::escape(serial::Escape function)
{
    requireDevice(ComPortMessages::EscapeFailed,
                  [function](serial::Device& device) { return device.escape(function); });
}

void TBComPort::SetDTR(bool on)
{
    escape(on ? serial::Escape::SetDtr : serial::Escape::ClrDtr);
}

void TBComPort::SetRTS(bool on)
{
    escape(on ? serial::Escape::SetRts : serial::Escape::ClrRts);
}

void TBComPort::AbortTransfers()
{
    requireDevice(ComPortMessages::PurgeCommFailed, [](serial::Device& device) {
        return device.purge(serial::purge::TxAbort | serial::purge::RxAbort);
    });
}

void TBComPort::AbandonWrites()
{
    m_writesAbandoned = true;
    const std::lock_guard lock(m_deviceMutex);
    // Nothing is raised here: a write that cannot be aborted ends at its time-out.
    if (m_device)
        static_cast<void>(m_device->purge(serial::purge::TxAbort));
}

std::int32_t TBComPort::BytesWaiting()
{
    std::uint32_t waiting = 0;
    requireDevice(ComPortMessages::ClearCommErrorFailed,
                  [&waiting](serial::Device& device) { return device.inputQueue(waiting); });
    return static_cast<std::int32_t>(waiting);
}

// Dispatch (runs where SyncMethod says)

void TBComPort::fireEvent(TLineEvent event)
{
    switch (event) {
    case TLineEvent::evError:
        FireError();
        return;
    case TLineEvent::evRxChar:
        FireRxChar();
        return;
    case TLineEvent::evTxEmpty:
        FireTxEmpty();
        return;
    case TLineEvent::evRing:
        FireRing();
        return;
    case TLineEvent::evCTS:
        FireCTSChange();
        return;
    case TLineEvent::evDSR:
        FireDSRChange();
        return;
    case TLineEvent::evRLSD:
        FireRLSDChange();
        return;
    case TLineEvent::evRx80Full:
        FireRx80Full();
        return;
    }
}

void TBComPort::PortWindowProc(std::uint32_t eventMaskBit)
{
    // Release the event thread before the handler runs, as a sent message
    // replied at once would.
    if (m_eventThread)
        m_eventThread->replyMessage();
    if (!m_connected)
        return;
    for (const TLineEvent event : comport::deliveryOrder) {
        if (comport::eventMask(event) == eventMaskBit)
            fireEvent(event);
    }
}

void TBComPort::FireError()
{
    // Always cleared, also without a handler: this resets the device's error state.
    serial::CommStatus status;
    requireDevice(ComPortMessages::ClearCommErrorFailed,
                  [&status](serial::Device& device) { return device.clearError(status); });
    const TComErrors errors = comport::comErrors(status.errors, m_parity);
    if (errors && OnError)
        OnError(this, errors);
}

void TBComPort::FireRxChar()
{
    const std::int32_t count = BytesWaiting();
    if (count > 0 && OnRxChar)
        OnRxChar(this, count);
}

void TBComPort::fireNotify(const TNotifyEvent& handler)
{
    if (handler)
        handler(this);
}

void TBComPort::fireSignal(const TComSignalEvent& handler, TModemLine line)
{
    if (handler)
        handler(this, ModemState().testFlag(line));
}

void TBComPort::FireTxEmpty()
{
    fireNotify(OnTxEmpty);
}

void TBComPort::FireRing()
{
    fireNotify(OnRing);
}

void TBComPort::FireRx80Full()
{
    fireNotify(OnRx80Full);
}

void TBComPort::FireCTSChange()
{
    fireSignal(OnCTSChange, TModemLine::mlCTS);
}

void TBComPort::FireDSRChange()
{
    fireSignal(OnDSRChange, TModemLine::mlDSR);
}

void TBComPort::FireRLSDChange()
{
    fireSignal(OnRLSDChange, TModemLine::mlRLSD);
}
