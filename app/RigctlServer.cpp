// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctlServer.h"

#include "Application.h"
#include "ListeningSocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace {

// What a client's line reader takes from its socket at a time, once the
// lines before are answered; the rest waits in the system's buffers.
constexpr qint64 ReadChunk = 16 * 1024;

} // namespace

TRigctlServer::TRigctlServer(TRigctlRig& rig, TRigctlTimeLimits limits, QObject* parent)
    : QObject(parent), m_rig(rig), m_limits(limits), m_server(new QTcpServer(this)),
      m_idleTimer(new QTimer(this)), m_acceptRetryTimer(new QTimer(this))
{
    m_idleTimer->setSingleShot(true);
    connect(m_idleTimer, &QTimer::timeout, this, &TRigctlServer::dropUnfinishedLines);
    m_acceptRetryTimer->setSingleShot(true);
    m_acceptRetryTimer->setInterval(m_limits.acceptRetry);
    connect(m_acceptRetryTimer, &QTimer::timeout, this, &TRigctlServer::resumeAccepting);
}

// The clients' sockets, children of this object, go after its destructor
// has run; none of them may call back into it.
TRigctlServer::~TRigctlServer()
{
    for (const auto& [client, connection] : m_clients)
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
    if (!m_server->listen(address, setting.port))
        return false;
    m_address = formatRigctldSetting({setting.enabled, setting.address, serverPort()});
    // QTcpServer never accepts: see ListeningSocket.h.
    m_server->pauseAccepting();
    m_acceptNotifier =
        new QSocketNotifier(m_server->socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TRigctlServer::acceptClients);
    return true;
}

QString TRigctlServer::errorString() const
{
    return m_addressError.isEmpty() ? m_server->errorString() : m_addressError;
}

quint16 TRigctlServer::serverPort() const
{
    return m_server->serverPort();
}

// Takes every waiting connection. A failure is over once the listener has
// caught up with them all.
void TRigctlServer::acceptClients()
{
    for (;;) {
        const TAcceptedConnection accepted = acceptConnection(m_acceptNotifier->socket());
        if (accepted.failed) {
            restFromAccepting(accepted.reason);
            return;
        }
        if (accepted.descriptor < 0)
            break;
        auto* client = new QTcpSocket(this);
        if (!client->setSocketDescriptor(accepted.descriptor)) {
            closeConnection(accepted.descriptor);
            delete client;
            continue;
        }
        admit(client);
    }
    m_acceptFailureReported = false;
}

void TRigctlServer::admit(QTcpSocket* client)
{
    makeRoom(false, MaxSilentConnections - 1);
    m_clients.try_emplace(client, m_rig, m_mode);
    client->setReadBufferSize(ReadChunk);
    connect(client, &QTcpSocket::readyRead, this, [this, client] {
        holdInput(client);
        awaitTurn(client);
    });
    connect(client, &QTcpSocket::bytesWritten, this, [this, client] { answersWentOut(client); });
    connect(client, &QTcpSocket::disconnected, this, [this, client] { drop(client); });
}

// The system could not give the listener a connection, most often for want
// of a descriptor: the connections wait in its queue meanwhile. A client
// that leaves frees a descriptor; one freed elsewhere is found by trying
// again later. Until then the listener rests: the waiting connections
// would wake it at every turn of the event loop.
void TRigctlServer::restFromAccepting(const QString& reason)
{
    m_acceptNotifier->setEnabled(false);
    m_acceptRetryTimer->start();
    if (m_acceptFailureReported)
        return;
    m_acceptFailureReported = true;
    showErrorMessage(QCoreApplication::translate(
                         "TRigctlServer",
                         "Cannot accept Hamlib clients on %1 for now: %2; trying again as clients "
                         "leave")
                         .arg(m_address, reason));
}

void TRigctlServer::resumeAccepting()
{
    if (m_acceptNotifier->isEnabled())
        return;
    m_acceptRetryTimer->stop();
    m_acceptNotifier->setEnabled(true);
}

// Leaves at most `places` connections that have sent a line (`working`)
// or that have not: the one whose last line, or connecting, is the oldest
// goes.
void TRigctlServer::makeRoom(bool working, int places)
{
    const auto ofKind = [working](const auto& entry) { return entry.second.sentLine == working; };
    if (std::ranges::count_if(m_clients, ofKind) <= places)
        return;
    const auto leaving = std::ranges::min_element(m_clients, {}, [&](const auto& entry) {
        return ofKind(entry) ? entry.second.lastLine : Clock::time_point::max();
    });
    drop(leaving->first);
}

// Queues the client for a turn, behind the others that wait.
void TRigctlServer::awaitTurn(QTcpSocket* client)
{
    Connection& connection = m_clients.at(client);
    if (connection.waitingForTurn)
        return;
    connection.waitingForTurn = true;
    m_turns.push_back(client);
    postTurn();
}

void TRigctlServer::postTurn()
{
    if (m_turnPosted)
        return;
    m_turnPosted = true;
    QMetaObject::invokeMethod(this, &TRigctlServer::serveTurn, Qt::QueuedConnection);
}

// Answers up to LinesPerTurn lines of the clients that wait, in turn. Posted
// as an event, it runs after whatever was posted before it: a serial line's
// events are never behind more than one turn.
void TRigctlServer::serveTurn()
{
    m_turnPosted = false;
    int lines = LinesPerTurn;
    while (lines > 0 && !m_turns.empty()) {
        QTcpSocket* client = m_turns.front();
        m_turns.pop_front();
        m_clients.at(client).waitingForTurn = false;
        lines -= serve(client, lines);
        // A client that used up the turn may have more; one that stopped
        // short has none until its next readyRead.
        if (lines <= 0 && m_clients.contains(client))
            awaitTurn(client);
    }
    if (!m_turns.empty())
        postTurn();
}

// Answers up to `lines` complete lines received so far, in order; returns
// how many it took, a line of several commands counting as that many. Stops
// at a client that has quit, broken the limits or been dropped.
int TRigctlServer::serve(QTcpSocket* client, int lines)
{
    if (client->state() != QAbstractSocket::ConnectedState)
        return 0;
    Connection& connection = m_clients.at(client);
    int taken = 0;
    while (taken < lines) {
        const std::optional<QByteArray> line = connection.reader.takeLine();
        if (!line) {
            if (connection.brokeLimits) {
                if (send(client, rigctlProtocolErrorAnswer()))
                    client->disconnectFromHost();
                return taken;
            }
            if (!takeInput(client, connection))
                break;
            continue;
        }
        connection.lastLine = Clock::now();
        if (!connection.sentLine) {
            connection.sentLine = true;
            makeRoom(true, MaxClients);
        }
        const TRigctlAnswer answer = connection.session.answerLine(*line);
        taken += std::max(1, answer.commands);
        if (!send(client, answer.text))
            return taken;
        if (answer.closeAfter) {
            client->disconnectFromHost();
            return taken;
        }
    }
    // The answers go out now, ahead of the repaints that a new dial has
    // queued; else they would wait for those.
    client->flush();
    return taken;
}

// Qt reads on from the system while the socket's buffer has room, and
// closes the connection as soon as a read meets the end of the client's
// input: lines not yet answered, and answers not yet handed to the system,
// would be lost with it. So the buffer is kept full while the client has
// any: received bytes go to the line reader, but the last of them stays in
// the socket's buffer too (the plug), with the buffer's size cut to it.
void TRigctlServer::holdInput(QTcpSocket* client)
{
    client->setReadBufferSize(client->bytesAvailable());
}

// Gives the line reader the bytes received since it was last fed; false
// when there are none. Then the answers go to the system, and once it has
// taken them all the plug comes out, so that Qt reads on: more lines, or
// the end of the input, and the connection closes with nothing left to say.
bool TRigctlServer::takeInput(QTcpSocket* client, Connection& connection)
{
    const qint64 buffered = client->bytesAvailable();
    const qint64 fed = connection.plugged ? 1 : 0;
    if (buffered > fed) {
        QByteArray bytes = client->read(buffered - 1).sliced(fed);
        bytes += client->peek(1);
        connection.plugged = true;
        client->setReadBufferSize(1);
        connection.brokeLimits = connection.reader.append(bytes) != TRigctlLineReader::Verdict::Ok;
        watchUnfinishedLine(connection);
        return true;
    }
    client->flush();
    if (!m_clients.contains(client)) // the flush found the connection gone, and dropped it
        return false;
    connection.awaitsAnswersOut = client->bytesToWrite() > 0;
    if (connection.awaitsAnswersOut)
        return false;
    if (connection.plugged)
        client->skip(1);
    connection.plugged = false;
    client->setReadBufferSize(ReadChunk);
    return false;
}

// A client whose input waits for its answers to go out gets a turn once
// they have.
void TRigctlServer::answersWentOut(QTcpSocket* client)
{
    Connection& connection = m_clients.at(client);
    if (connection.awaitsAnswersOut && client->bytesToWrite() == 0) {
        connection.awaitsAnswersOut = false;
        awaitTurn(client);
    }
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

// Starts the idle limit when the client has begun a line and not ended it.
void TRigctlServer::watchUnfinishedLine(Connection& connection)
{
    if (!connection.reader.holdsUnfinishedLine()) {
        connection.unfinishedSince.reset();
        return;
    }
    if (connection.unfinishedSince)
        return;
    connection.unfinishedSince = Clock::now();
    if (!m_idleTimer->isActive())
        m_idleTimer->start(m_limits.unfinishedLine);
}

// Drops the clients whose unfinished line is older than the idle limit, and
// waits for the next one to come of age.
void TRigctlServer::dropUnfinishedLines()
{
    const Clock::time_point now = Clock::now();
    std::vector<QTcpSocket*> expired;
    std::optional<Clock::time_point> nextExpiry;
    for (const auto& [client, connection] : m_clients) {
        if (!connection.unfinishedSince)
            continue;
        const Clock::time_point expiry = *connection.unfinishedSince + m_limits.unfinishedLine;
        if (expiry <= now)
            expired.push_back(client);
        else
            nextExpiry = std::min(nextExpiry.value_or(expiry), expiry);
    }
    for (QTcpSocket* client : expired)
        drop(client);
    if (nextExpiry)
        m_idleTimer->start(std::chrono::ceil<std::chrono::milliseconds>(*nextExpiry - now));
}

void TRigctlServer::drop(QTcpSocket* client)
{
    if (m_clients.erase(client) == 0)
        return;
    std::erase(m_turns, client);
    client->disconnect(this);
    client->abort();
    client->deleteLater();
    resumeAccepting();
}
