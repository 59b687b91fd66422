// SPDX-License-Identifier: GPL-3.0-or-later

#include "Line.h"

#include "Application.h"
#include "BCPort.h"
#include "SharedDial.h"

TLine::TLine(const QString& port, TBaudRate baudRate, const TSharedDial& dial, QObject* parent)
    : QObject(parent), m_port(new TBComPort(this)), m_dial(dial), m_reconnect(*m_port)
{
    m_port->setPort(port);
    m_port->setBaudRate(baudRate);
    wire();
}

TLine::TLine(const QString& port, TBaudRate baudRate, const TSharedDial& dial,
             serial::Opener& opener, QObject* parent)
    : QObject(parent), m_port(new TBComPort(this, opener)), m_dial(dial), m_reconnect(*m_port)
{
    m_port->setPort(port);
    m_port->setBaudRate(baudRate);
    wire();
}

// The port goes first, with its event thread, which uses the buffer.
TLine::~TLine()
{
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
    connect(&m_reconnect, &TReconnect::reopened, this, &TLine::stateChanged);
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
    } catch (...) {
        reportFailure(std::current_exception());
        if (m_reconnectOn)
            m_reconnect.awaitDevice(errorMessage(std::current_exception()).detail);
    }
    emit stateChanged();
}

void TLine::close()
{
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
