// SPDX-License-Identifier: GPL-3.0-or-later

#include "Line.h"

#include "Application.h"
#include "BCPort.h"
#include "LineKenwood.h"
#include "SharedDial.h"

#include <utility>

TLine::TLine(const QString& port, TBaudRate baudRate, TSharedDial& dial, QObject* parent)
    : QObject(parent), m_port(new TBComPort(this)), m_dial(dial), m_reconnect(*m_port)
{
    m_port->setPort(port);
    m_port->setBaudRate(baudRate);
    wire();
}

TLine::TLine(const QString& port, TBaudRate baudRate, TSharedDial& dial, serial::Opener& opener,
             QObject* parent)
    : QObject(parent), m_port(new TBComPort(this, opener)), m_dial(dial), m_reconnect(*m_port)
{
    m_port->setPort(port);
    m_port->setBaudRate(baudRate);
    wire();
}

// The port goes first, with its event thread, which uses the buffer; the
// profile's announcements stop before it.
TLine::~TLine()
{
    setKenwood(std::nullopt);
    delete m_port;
}

// The port's other settings are its defaults: 8N1, DTR and RTS on.
void TLine::wire()
{
    m_port->setSyncMethod(TSyncMethod::smNone);
    m_port->OnRxChar = [this](QObject*, std::int32_t count) { answer(count); };
    m_port->OnEventsStopped = [this](QObject*, const std::exception_ptr& reason) {
        deliveryEnded(reason);
    };
    connect(&m_reconnect, &TReconnect::reopened, this, [this] {
        setWritable(true);
        emit stateChanged();
    });
}

void TLine::setKenwood(const std::optional<QByteArray>& id)
{
    std::shared_ptr<TLineKenwood> kenwood;
    if (id) {
        // The window takes what the device set on its own thread, queued
        // behind this line: a line gone by then asks for nothing.
        TLineKenwood::Asked asked{
            [this](std::uint32_t hertz) { keepAsked(hertz, std::nullopt); },
            [this](const TRigctlMode& mode) { keepAsked(std::nullopt, mode); }};
        kenwood = std::make_shared<TLineKenwood>(*m_port, m_dial, *id, std::move(asked));
        kenwood->setWritable(isOpen());
    }
    setWritable(false);
    const std::lock_guard lock(m_kenwoodMutex);
    m_kenwood = std::move(kenwood);
}

void TLine::keepAsked(std::optional<std::uint32_t> hertz, std::optional<TRigctlMode> mode)
{
    bool queued = false;
    {
        const std::lock_guard lock(m_askedMutex);
        queued = m_askedDial || m_askedMode;
        if (hertz)
            m_askedDial = hertz;
        if (mode)
            m_askedMode = std::move(mode);
    }
    if (!queued)
        QMetaObject::invokeMethod(
            this, [this] { handAsked(); }, Qt::QueuedConnection);
}

void TLine::handAsked()
{
    std::optional<std::uint32_t> hertz;
    std::optional<TRigctlMode> mode;
    {
        const std::lock_guard lock(m_askedMutex);
        hertz = std::exchange(m_askedDial, std::nullopt);
        mode = std::exchange(m_askedMode, std::nullopt);
    }
    if (hertz)
        emit dialAsked(*hertz);
    if (mode)
        emit modeAsked(mode->name, mode->passband);
}

void TLine::noteChange()
{
    if (const std::shared_ptr<TLineKenwood> profile = kenwood())
        profile->noteChange();
}

std::shared_ptr<TLineKenwood> TLine::kenwood() const
{
    const std::lock_guard lock(m_kenwoodMutex);
    return m_kenwood;
}

void TLine::setWritable(bool writable)
{
    if (const std::shared_ptr<TLineKenwood> profile = kenwood())
        profile->setWritable(writable);
}

void TLine::setReconnect(bool on)
{
    m_reconnectOn = on;
    if (!on && waiting()) {
        m_reconnect.cancel();
        emit stateChanged();
    }
}

void TLine::open()
{
    if (isOpen() || waiting())
        return;
    try {
        m_port->Open();
        setWritable(true);
    } catch (...) {
        reportFailure(std::current_exception());
        if (m_reconnectOn)
            m_reconnect.awaitDevice(errorMessage(std::current_exception()).detail);
    }
    emit stateChanged();
}

void TLine::close()
{
    setWritable(false);
    m_reconnect.cancel();
    m_port->Close();
    emit stateChanged();
}

bool TLine::isOpen() const
{
    return m_port->Connected();
}

QString TLine::name() const
{
    return m_port->Port();
}

// As the panel's line answers, with its "CR+LF" box checked (nothing
// unchecks it): a chunk ending in CR gains an LF.
void TLine::answer(int count)
{
    if (const std::shared_ptr<TLineKenwood> profile = kenwood()) {
        profile->answer(count);
        return;
    }
    QByteArray chunk;
    m_port->ReadText(chunk, count);
    if (!appendReceived(m_buffer, chunk, true))
        return;
    QString frequencyString = m_dial.frequencyString();
    const std::optional<QString> reply = replyToQuery(m_buffer, frequencyString);
    if (!reply)
        return;
    m_port->WriteText(reply->toLatin1());
    m_buffer.clear();
}

// Without reconnecting, a line that stops is closed and says why; with it,
// it waits for its device. A reason already told (none) is not told again.
void TLine::deliveryEnded(const std::exception_ptr& reason)
{
    setWritable(false);
    if (m_reconnectOn) {
        m_reconnect.awaitDevice(reason ? errorMessage(reason).detail : QString());
    } else {
        m_port->Close();
        if (reason)
            reportFailure(reason);
    }
    emit stateChanged();
}

void TLine::reportFailure(const std::exception_ptr& error)
{
    const ErrorMessage message = errorMessage(error);
    showErrorMessage(tr("%1: %2").arg(name(), message.text), message.detail);
}
