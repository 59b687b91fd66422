// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RigctlProtocol.h"
#include "Settings.h"

#include <QObject>
#include <QString>
#include <memory>
#include <unordered_map>

class QTcpServer;
class QTcpSocket;
class TMainForm;
struct CommandLineOptions;

// A TCP listener that speaks Hamlib's network rig protocol (as rigctld
// does), so that programs using Hamlib's "NET rigctl" rig can read and set
// the dial. Lives on the UI thread: every client is served there, one line
// at a time, so the dial is only ever touched on that thread.
//
// Bad clients cost nothing lasting: a line longer than
// TRigctlLineReader::MaxLineLength or bytes that are not text are answered
// with "RPRT -8" and the client is disconnected; a client that does not read
// its answers is dropped once MaxQueuedBytes wait for it; clients beyond
// MaxClients are turned away. Other clients go on as before.
class TRigctlServer : public QObject
{
public:
    static constexpr int MaxClients = 64;
    static constexpr qint64 MaxQueuedBytes = 64 * 1024;

    explicit TRigctlServer(TRigctlRig& rig, QObject* parent = nullptr);
    ~TRigctlServer() override;

    // Starts listening; false when the address cannot be bound (in use, not
    // an address of this machine), with the reason in errorString().
    bool listen(const RigctldSetting& setting);
    QString errorString() const;
    // The port listened on (useful when listening on port 0).
    quint16 serverPort() const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }

private:
    void acceptClients();
    void serve(QTcpSocket* client);
    bool send(QTcpSocket* client, const QByteArray& answer);
    void drop(QTcpSocket* client);

    TRigctlRig& m_rig;
    QTcpServer* m_server = nullptr;
    QString m_addressError;
    std::unordered_map<QTcpSocket*, TRigctlLineReader> m_clients;
};

// The dial of the main window, as the protocol sees it.
class TMainFormRig : public TRigctlRig
{
public:
    explicit TMainFormRig(TMainForm& form) : m_form(form) {}
    std::optional<std::uint32_t> dialFrequency() const override;
    void setDialFrequency(std::uint32_t hertz) override;

private:
    TMainForm& m_form;
};

// The listener for the window, as the settings file and the command line
// ask for it; nothing when it is off (the default) or cannot listen. The
// setting in effect, from the command line or else the settings file as the
// window read it at start-up (TMainForm::storedSettings), is kept: the window
// writes it with the other settings when it closes; when neither names one,
// nothing is written. A stored setting that cannot be read, or an address
// that cannot be bound, is reported once through showErrorMessage; the panel
// works on without the listener. Must not outlive the window.
class TRigctlService
{
public:
    TRigctlService(TMainForm& form, const CommandLineOptions& options);
    ~TRigctlService();

    const TRigctlServer* server() const { return m_server.get(); }

private:
    TMainForm& m_form;
    TMainFormRig m_rig;
    std::unique_ptr<TRigctlServer> m_server;
};
