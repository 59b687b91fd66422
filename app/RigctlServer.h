// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RigctlProtocol.h"
#include "RigctldSetting.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <deque>
#include <optional>
#include <unordered_map>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

// How long the rigctld server waits on a client or on the system; tests
// shorten them.
struct TRigctlTimeLimits
{
    // How long a connection may leave a line unfinished: Hamlib's clients
    // send a line at a time, so one that takes this long holds a place.
    std::chrono::milliseconds unfinishedLine = std::chrono::seconds(30);
    // How long the listener rests when the system had no descriptor for a
    // connection (or refused it one otherwise) before it tries again, unless
    // a client leaves first.
    std::chrono::milliseconds acceptRetry = std::chrono::milliseconds(500);
};

// A TCP listener that speaks Hamlib's network rig protocol (as rigctld
// does), so that programs using Hamlib's "NET rigctl" rig can read and set
// the dial. Lives on the UI thread: every client is served there, one line
// at a time, so the dial is only ever touched on that thread.
//
// The serial line must never wait for the network: a client's lines are
// answered in turns, at most LinesPerTurn lines a turn (a line of several
// commands counts as that many), taken by the clients with work in round
// robin; the event loop runs between turns, so the line, the timers and the
// window are served in between however fast clients send.
//
// A client that ends its input (shuts down its sending side, as "nc -N"
// does) is answered every complete line it sent before; the connection
// closes after the last answer has gone to the system.
//
// Bad clients cost nothing lasting: a line longer than
// TRigctlLineReader::MaxLineLength or bytes that are not text are answered
// with "RPRT -8" and the client is disconnected; a client that does not read
// its answers is read no further while they wait, and is dropped once
// MaxQueuedBytes of them wait; one that leaves a line unfinished for the
// idle limit is dropped.
//
// A newcomer always gets in. Connections that have not yet sent a complete
// line have MaxSilentConnections places of their own: a newcomer to a full
// set of them takes the place of the oldest. A connection's first line makes
// it one of the MaxClients clients: when they are full, the one idle the
// longest (since its last line) goes. So a working client always gets in,
// is never put out by connections that send nothing, and one that takes a
// while before its first line keeps its place until MaxSilentConnections
// others have connected after it: a flood of silent connections spares it
// for its first second unless it brings more than that in a second. No
// order can spare everyone's first second once the places are full: a
// newcomer's place is always some silent connection's, and the oldest has
// had the longest to speak. Other clients go on as before. The mode a client
// sets is the same for all.
//
// When the system cannot give the listener a connection (most often for
// want of a descriptor), that is reported once, through showErrorMessage,
// and the listener tries again as soon as a client leaves, or after
// TRigctlTimeLimits::acceptRetry; it is reported again only after the
// listener has caught up with every waiting connection.
class TRigctlServer : public QObject
{
public:
    static constexpr int MaxClients = 64;
    static constexpr int MaxSilentConnections = 256;
    static constexpr qint64 MaxQueuedBytes = 64 * 1024;
    static constexpr int LinesPerTurn = 64;

    explicit TRigctlServer(TRigctlRig& rig, TRigctlTimeLimits limits = {},
                           QObject* parent = nullptr);
    ~TRigctlServer() override;

    // Starts listening; false when the address cannot be bound (in use, not
    // an address of this machine), with the reason in errorString().
    bool listen(const RigctldSetting& setting);
    QString errorString() const;
    // The port listened on (useful when listening on port 0).
    quint16 serverPort() const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }

private:
    using Clock = std::chrono::steady_clock;

    struct Connection
    {
        Connection(TRigctlRig& rig, TRigctlMode& mode) : session(rig, mode) {}

        TRigctlLineReader reader;
        TRigctlSession session;
        bool brokeLimits = false; // the reader refused a byte: answer, then disconnect
        bool waitingForTurn = false;
        bool plugged = false;          // the socket's buffer holds a byte the reader has had
        bool awaitsAnswersOut = false; // its input is read on once they have gone to the system
        Clock::time_point lastLine = Clock::now(); // of the last complete line, or of connecting
        bool sentLine = false;
        std::optional<Clock::time_point> unfinishedSince;
    };

    void acceptClients();
    void admit(QTcpSocket* client);
    void restFromAccepting(const QString& reason);
    void resumeAccepting();
    void makeRoom(bool working, int places);
    void awaitTurn(QTcpSocket* client);
    void postTurn();
    void serveTurn();
    int serve(QTcpSocket* client, int lines);
    void holdInput(QTcpSocket* client);
    bool takeInput(QTcpSocket* client, Connection& connection);
    void answersWentOut(QTcpSocket* client);
    bool send(QTcpSocket* client, const QByteArray& answer);
    void watchUnfinishedLine(Connection& connection);
    void dropUnfinishedLines();
    void drop(QTcpSocket* client);

    TRigctlRig& m_rig;
    TRigctlMode m_mode;
    const TRigctlTimeLimits m_limits;
    QTcpServer* m_server = nullptr;
    QTimer* m_idleTimer = nullptr;
    QSocketNotifier* m_acceptNotifier = nullptr; // of the listening socket; off while resting
    QTimer* m_acceptRetryTimer = nullptr;
    bool m_acceptFailureReported = false;
    QString m_address; // listened on, for messages
    QString m_addressError;
    std::unordered_map<QTcpSocket*, Connection> m_clients;
    std::deque<QTcpSocket*> m_turns; // clients with lines to answer, next first
    bool m_turnPosted = false;
};
