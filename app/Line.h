// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ComTypes.h"
#include "IfResponder.h"
#include "Reconnect.h"
#include "RigctlProtocol.h"

#include <QObject>
#include <QString>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

class TBComPort;
class TLineKenwood;
class TSharedDial;
namespace serial {
class Opener;
}

// A further line beside the panel's: a serial port, or the program's own
// virtual port, that answers "IF;" as the panel's line does, with a receive
// buffer of its own and the reply built from the frequency string the
// window last composed (TSharedDial), or, with the Kenwood profile on,
// answers as the panel's line then does (TLineKenwood). It answers on its own event thread
// (smNone), so that no line waits for another or for the window: a line
// whose device floods it or takes nothing holds up only itself. 8 data bits,
// no parity, 1 stop bit, at its own rate. Opened and closed on the UI thread,
// where `stateChanged` is emitted. A failure is reported once, named by the
// line's port.
class TLine : public QObject
{
    Q_OBJECT

public:
    // A port of the system.
    TLine(const QString& port, TBaudRate baudRate, TSharedDial& dial, QObject* parent = nullptr);
    // A port of `opener` (the virtual ports'), which must outlive the line.
    TLine(const QString& port, TBaudRate baudRate, TSharedDial& dial, serial::Opener& opener,
          QObject* parent = nullptr);
    ~TLine() override;

    // With reconnecting on, a line whose device goes away, or is not there
    // when the line opens, waits for it and opens again when it is back.
    // Turned off, a wait ends and the line stays closed.
    void setReconnect(bool on);
    // Opens the line. A failure is reported and leaves it closed (waiting,
    // with reconnecting on); nothing is raised.
    void open();
    // Closes the line, or ends its wait. Raises EComPort when a device that
    // is still there fails a step of closing.
    void close();
    bool isOpen() const;
    bool waiting() const { return m_reconnect.waiting(); }
    // With an identity, the line answers with the Kenwood profile, which
    // then starts afresh, as on a radio switched on; without, "IF;" alone.
    void setKenwood(const std::optional<QByteArray>& id);
    // The dial or the mode changed: told unasked where the profile's
    // auto-information is on. Never waits for the line.
    void noteChange();
    // The port, as given.
    QString name() const;
    TBComPort& port() const { return *m_port; }

signals:
    void stateChanged();
    // The line's device set the dial (hertz) or the mode, with the Kenwood
    // profile; emitted on the UI thread, for the window to take. Sets that
    // come faster than the window takes them give the last one, so that a
    // device that floods the line cannot fill the window's queue.
    void dialAsked(quint32 hertz);
    void modeAsked(const QByteArray& name, int passband);

private:
    void wire();
    // On the line's event thread.
    void answer(int count);
    std::shared_ptr<TLineKenwood> kenwood() const;
    void setWritable(bool writable);
    // On the event thread: keeps what the device asked for and queues
    // handing it to the window, on the UI thread.
    void keepAsked(std::optional<std::uint32_t> hertz, std::optional<TRigctlMode> mode);
    void handAsked();
    void deliveryEnded(const std::exception_ptr& reason);
    void reportFailure(const std::exception_ptr& error);

    TBComPort* m_port = nullptr;
    TSharedDial& m_dial;
    // Only the line's event thread touches it; one opening's thread has
    // ended before the next one starts.
    TReceiveBuffer m_buffer;
    TReconnect m_reconnect;
    bool m_reconnectOn = false;
    // The profile while it is on; set on the UI thread, taken for each batch
    // by the event thread, which may hold the last reference.
    mutable std::mutex m_kenwoodMutex;
    std::shared_ptr<TLineKenwood> m_kenwood;
    // The last dial and mode the device asked for and the window has not yet
    // taken. They pass between the threads under this mutex, not inside the
    // queued call, which only says that they are there.
    std::mutex m_askedMutex;
    std::optional<std::uint32_t> m_askedDial;
    std::optional<TRigctlMode> m_askedMode;
};
