// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctlServer.h"

#include "Application.h"
#include "CommandLine.h"
#include "Main.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

namespace {

// What one readyRead takes from a client at most; the rest waits in the
// system's buffers until the answers so far are queued.
constexpr qint64 ReadChunk = 16 * 1024;

} // namespace

TRigctlServer::TRigctlServer(TRigctlRig& rig, QObject* parent)
    : QObject(parent), m_rig(rig), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TRigctlServer::acceptClients);
}

// The clients' sockets go with the listener, after this object is gone;
// none of them may call back into it.
TRigctlServer::~TRigctlServer()
{
    for (const auto& [client, reader] : m_clients)
        client->disconnect(this);
}

bool TRigctlServer::listen(const RigctldSetting& setting)
{
    QHostAddress address;
    if (!address.setAddress(setting.address)) {
        m_addressError = QCoreApplication::translate("TRigctlServer", "'%1' is not an IP address")
                             .arg(setting.address);
        return false;
    }
    m_addressError.clear();
    return m_server->listen(address, setting.port);
}

QString TRigctlServer::errorString() const
{
    return m_addressError.isEmpty() ? m_server->errorString() : m_addressError;
}

quint16 TRigctlServer::serverPort() const
{
    return m_server->serverPort();
}

void TRigctlServer::acceptClients()
{
    while (QTcpSocket* client = m_server->nextPendingConnection()) {
        if (clientCount() >= MaxClients) {
            client->abort();
            client->deleteLater();
            continue;
        }
        m_clients.emplace(client, TRigctlLineReader());
        client->setReadBufferSize(ReadChunk);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { serve(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] { drop(client); });
    }
}

// Answers every complete line received so far, in order. Stops at a client
// that has quit, broken the limits or been dropped.
void TRigctlServer::serve(QTcpSocket* client)
{
    const auto found = m_clients.find(client);
    if (found == m_clients.end() || client->state() != QAbstractSocket::ConnectedState)
        return;
    TRigctlLineReader& reader = found->second;
    while (client->bytesAvailable() > 0) {
        const TRigctlLineReader::Verdict verdict = reader.append(client->read(ReadChunk));
        while (const std::optional<QByteArray> line = reader.takeLine()) {
            const TRigctlAnswer answer = answerRigctlLine(*line, m_rig);
            if (!send(client, answer.text))
                return;
            if (answer.closeAfter) {
                client->disconnectFromHost();
                return;
            }
        }
        if (verdict != TRigctlLineReader::Verdict::Ok) {
            if (send(client, rigctlProtocolErrorAnswer()))
                client->disconnectFromHost();
            return;
        }
    }
    // The answers go out now, ahead of the repaints that a new dial has
    // queued; else they would wait for those.
    client->flush();
}

// Queues an answer. A client that has gone, or that leaves more than
// MaxQueuedBytes unread even after the system has taken what it can, is
// dropped; false then, and its reader is no more.
bool TRigctlServer::send(QTcpSocket* client, const QByteArray& answer)
{
    client->write(answer);
    // Answers reach the system only when the event loop runs; before the
    // client is judged, the system gets what it takes now. A write that
    // finds the connection reset ends it at once: disconnected comes before
    // flush() returns, and has dropped the client.
    if (client->bytesToWrite() > MaxQueuedBytes)
        client->flush();
    if (!m_clients.contains(client))
        return false;
    if (client->bytesToWrite() <= MaxQueuedBytes)
        return true;
    drop(client);
    return false;
}

void TRigctlServer::drop(QTcpSocket* client)
{
    if (m_clients.erase(client) == 0)
        return;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}

std::optional<std::uint32_t> TMainFormRig::dialFrequency() const
{
    bool ok = false;
    const QString& dialled = m_form.dialledFrequency();
    const uint hertz = dialled.toUInt(&ok);
    const bool digitsOnly =
        !dialled.isEmpty() &&
        std::all_of(dialled.begin(), dialled.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return ok && digitsOnly ? std::optional<std::uint32_t>(hertz) : std::nullopt;
}

void TMainFormRig::setDialFrequency(std::uint32_t hertz)
{
    m_form.SetDialledFrequency(hertz);
}

namespace {

void reportCannotServe(const QString& where, const QString& reason)
{
    showErrorMessage(
        QCoreApplication::translate("TRigctlServer", "Cannot serve Hamlib clients on %1: %2")
            .arg(where, reason));
}

// What the file start-up read holds; nothing when it names no setting or
// one that cannot be read (reported). An unreadable one is never written
// back.
std::optional<RigctldSetting> storedRigctldSetting(const StoredSettings& stored)
{
    const std::optional<QString>& text = stored.rigctldText;
    if (!text)
        return std::nullopt;
    const std::optional<RigctldSetting> setting = parseRigctldSetting(*text);
    if (!setting)
        reportCannotServe(*text, QCoreApplication::translate(
                                     "TRigctlServer", "not an IP address and port, nor 'off'"));
    return setting;
}

} // namespace

// The setting is the one start-up read with the other settings, and written
// when the window closes, with them: written at once, it could leave a file
// without [PORT] that the next start would read as 0 Hz. A setting read
// from a file is written too: closing may write another file (the user's
// own, when start-up read the one beside a program that cannot write there).
TRigctlService::TRigctlService(TMainForm& form, const CommandLineOptions& options)
    : m_form(form), m_rig(form)
{
    const std::optional<RigctldSetting> setting =
        options.rigctld ? options.rigctld : storedRigctldSetting(form.storedSettings());
    if (!setting)
        return;
    form.OnSaveSettings = [kept = *setting](TIniFile& file) { writeRigctldSetting(file, kept); };
    if (!setting->enabled)
        return;
    m_server = std::make_unique<TRigctlServer>(m_rig);
    if (!m_server->listen(*setting)) {
        reportCannotServe(formatRigctldSetting(*setting), m_server->errorString());
        m_server.reset();
    }
}

TRigctlService::~TRigctlService()
{
    m_form.OnSaveSettings = nullptr;
}
