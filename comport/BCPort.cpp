#include "BCPort.h"

#include "ComDiagnostics.h"
#include "ComMapping.h"
#include "ComThread.h"
#include "platform/SerialDevice.h"

namespace {

[[noreturn]] void raise(const char* message)
{
    throw EComPort(message);
}

// For a device call that failed: the system's reason goes with the message.
[[noreturn]] void raiseFailure(const char* message)
{
    throw EComPort(message, comport::takeFailureDetail());
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
    if (storeIfChanged(field, value) && m_ComPort)
        m_ComPort->ApplyTimeoutSettings();
}

void TComTimeouts::setReadInterval(std::int32_t value)
{
    setValue(m_ReadInterval, value);
}

void TComTimeouts::setReadTotalMultiplier(std::int32_t value)
{
    setValue(m_ReadTotalMultiplier, value);
}

void TComTimeouts::setReadTotalConstant(std::int32_t value)
{
    setValue(m_ReadTotalConstant, value);
}

void TComTimeouts::setWriteTotalMultiplier(std::int32_t value)
{
    setValue(m_WriteTotalMultiplier, value);
}

void TComTimeouts::setWriteTotalConstant(std::int32_t value)
{
    setValue(m_WriteTotalConstant, value);
}

void TComTimeouts::Assign(const TComTimeouts& Source)
{
    m_ReadInterval = Source.m_ReadInterval;
    m_ReadTotalMultiplier = Source.m_ReadTotalMultiplier;
    m_ReadTotalConstant = Source.m_ReadTotalConstant;
    m_WriteTotalMultiplier = Source.m_WriteTotalMultiplier;
    m_WriteTotalConstant = Source.m_WriteTotalConstant;
}

// TBComPort: life, opening and closing

TBComPort::TBComPort(QObject* owner) : TBComPort(owner, serial::systemOpener()) {}

TBComPort::TBComPort(QObject* owner, serial::Opener& opener) : QObject(owner), m_Opener(&opener) {}

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
    return m_NotifyWindow.get();
}

std::intptr_t TBComPort::Handle() const
{
    return m_Device ? m_Device->nativeHandle() : -1;
}

bool TBComPort::Open()
{
    if (m_Connected)
        return true;
    OpenDevice();
    m_Connected = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        CloseDevice();
        m_Connected = false;
        throw;
    }
    if (m_SyncMethod == TSyncMethod::smWindowSync)
        m_NotifyWindow = std::make_unique<TNotifyWindow>(this);
    m_EventThread = std::make_unique<TComThread>(this, m_Device);
    m_EventThread->startWaiting(m_EventThreadPriority);
    // Not read back: under smNone a handler may already be closing the port
    // on the event thread.
    return true;
}

bool TBComPort::Close()
{
    if (!m_Connected)
        return true;
    lowerLinesAndAbort();
    if (!stopEventThread())
        return !m_Connected;
    closeNotifyWindow();
    CloseDevice();
    m_Connected = false;
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
    if (m_EventThread && m_EventThread->hungUp())
        return true;
    serial::CommStatus status;
    return !m_Device || !m_Device->clearError(status);
}

bool TBComPort::stopEventThread()
{
    TComThread* const thread = m_EventThread.get();
    if (!thread)
        return true;
    if (thread->deliveringHere()) {
        // Called from a handler of the thread's current delivery: the thread
        // cannot end before that handler returns, so it is not waited for.
        // It lets go of the device now and frees itself later; the steps it
        // would have ended with are done here, so that the device is
        // released when Close returns.
        thread->abandon();
        m_EventThread.release();
        if (m_Device)
            TComThread::finishWithDevice(*m_Device);
        return true;
    }
    ++m_threadWaits;
    thread->stopAndWait();
    --m_threadWaits;
    // A handler that ran during the wait may have closed the port (and
    // opened it again), or an outer Close waits for the same thread: that
    // Close does the rest.
    if (m_EventThread.get() != thread || m_threadWaits > 0)
        return false;
    m_EventThread.reset();
    return true;
}

void TBComPort::closeNotifyWindow()
{
    if (!m_NotifyWindow)
        return;
    // Close may run inside one of the window's own notifications, so the
    // window goes later; cut off from the port, it delivers nothing more.
    m_NotifyWindow->detach();
    m_NotifyWindow.release()->deleteLater();
}

void TBComPort::eventsStopped(const QString& reason)
{
    if (OnEventsStopped)
        OnEventsStopped(this, reason);
}

void TBComPort::OpenDevice()
{
    serial::OpenError error = serial::OpenError::None;
    comport::forgetFailure();
    m_Device = m_Opener->open(serial::devicePath(m_Port.toStdString()), error);
    if (m_Device)
        return;
    switch (error) {
    case serial::OpenError::NotFound:
        raiseFailure(ComPortMessages::NoSuchPort);
    case serial::OpenError::AccessDenied:
        raiseFailure(ComPortMessages::PortInUse);
    case serial::OpenError::None:
    case serial::OpenError::Other:
        // Left without a device: the first apply step fails, with this reason,
        // and Open rolls back.
        m_openFailure = comport::takeFailureDetail();
        return;
    }
}

void TBComPort::CloseDevice()
{
    m_Device.reset();
    m_openFailure.clear();
}

template <typename Call> void TBComPort::requireDevice(const char* message, Call call)
{
    if (!m_Device)
        throw EComPort(message, m_openFailure);
    comport::forgetFailure();
    if (!call(*m_Device))
        raiseFailure(message);
}

// Applying settings

void TBComPort::ApplyBufferSizes()
{
    if (!m_Connected)
        return;
    requireDevice(ComPortMessages::SetupCommFailed, [this](serial::Device& device) {
        return device.setupComm(static_cast<std::uint32_t>(m_InBufSize),
                                static_cast<std::uint32_t>(m_OutBufSize));
    });
}

void TBComPort::ApplyLineSettings()
{
    if (!m_Connected)
        return;
    const std::optional<serial::Dcb> dcb =
        comport::lineSettings(m_BaudRate, m_ByteSize, m_Parity, m_StopBits);
    if (!dcb)
        raise(ComPortMessages::SetCommStateFailed);
    requireDevice(ComPortMessages::SetCommStateFailed,
                  [&dcb](serial::Device& device) { return device.setCommState(*dcb); });
}

void TBComPort::ApplyTimeoutSettings()
{
    if (!m_Connected)
        return;
    const serial::CommTimeouts timeouts = comport::commTimeouts(
        m_Timeouts.ReadInterval(), m_Timeouts.ReadTotalMultiplier(), m_Timeouts.ReadTotalConstant(),
        m_Timeouts.WriteTotalMultiplier(), m_Timeouts.WriteTotalConstant());
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
    if (storeIfChanged(m_BaudRate, value))
        ApplyLineSettings();
}

void TBComPort::setByteSize(TByteSize value)
{
    if (storeIfChanged(m_ByteSize, value))
        ApplyLineSettings();
}

void TBComPort::setParity(TParity value)
{
    if (storeIfChanged(m_Parity, value))
        ApplyLineSettings();
}

void TBComPort::setStopBits(TStopBits value)
{
    if (storeIfChanged(m_StopBits, value))
        ApplyLineSettings();
}

void TBComPort::setInBufSize(std::int32_t value)
{
    if (value == m_InBufSize)
        return;
    m_InBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::setOutBufSize(std::int32_t value)
{
    if (value == m_OutBufSize)
        return;
    m_OutBufSize = evenBufferSize(value);
    ApplyBufferSizes();
}

void TBComPort::raiseIfOpen() const
{
    if (m_Connected)
        raise(ComPortMessages::PropertyWhileOpen);
}

void TBComPort::setPort(const QString& value)
{
    raiseIfOpen();
    m_Port = value;
}

void TBComPort::setSyncMethod(TSyncMethod value)
{
    if (value == m_SyncMethod)
        return;
    raiseIfOpen();
    m_SyncMethod = value;
}

void TBComPort::setTimeouts(const TComTimeouts& value)
{
    m_Timeouts.Assign(value);
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
        // The transmit-empty event costs a timer per write; only a handler needs it.
        device.watchTxEmpty(static_cast<bool>(OnTxEmpty));
        return device.write(request->DataCopy.constData(), count, written);
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
    // The device completes each transfer within its time-outs before the
    // start returns, so the outcome is already recorded.
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

std::int32_t TBComPort::BytesWaiting()
{
    std::uint32_t waiting = 0;
    requireDevice(ComPortMessages::ClearCommErrorFailed,
                  [&waiting](serial::Device& device) { return device.inputQueue(waiting); });
    return static_cast<std::int32_t>(waiting);
}

// Fire operations (run where SyncMethod says)

void TBComPort::FireError()
{
    // Always cleared, also without a handler: this resets the device's error state.
    serial::CommStatus status;
    requireDevice(ComPortMessages::ClearCommErrorFailed,
                  [&status](serial::Device& device) { return device.clearError(status); });
    const TComErrors errors = comport::comErrors(status.errors, m_Parity);
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
