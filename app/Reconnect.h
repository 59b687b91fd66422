// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>

class TBComPort;
class TDeviceWatch;

// Brings a port back after its device has gone away (an adapter pulled out,
// a pseudo-terminal whose program ended) or was not there to open: the port
// is closed, one note says that it waits, a TDeviceWatch watches for the
// device, the port opens again with the settings it had, and one note says
// that it is back. UI thread.
class TReconnect : public QObject
{
    Q_OBJECT

public:
    explicit TReconnect(TBComPort& port, QObject* parent = nullptr);

    // Closes the port (raising as Close does) and waits for its device;
    // `reason` is what the system said of its loss, shown with the note.
    void awaitDevice(const QString& reason);
    // Stops waiting; the port stays closed.
    void cancel();
    bool waiting() const { return m_watch != nullptr; }

signals:
    // The port is open again.
    void reopened();

private:
    void tryOpen();

    TBComPort& m_port;
    TDeviceWatch* m_watch = nullptr; // a child, while waiting
};
