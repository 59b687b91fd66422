// SPDX-License-Identifier: GPL-3.0-or-later

#include "Reconnect.h"

#include "Application.h"
#include "BCPort.h"
#include "DeviceWatch.h"
#include "platform/SerialDevice.h"

TReconnect::TReconnect(TBComPort& port, QObject* parent) : QObject(parent), m_port(port) {}

// The watch is set before the first try: a device that comes back between
// the two is seen by the try, one that comes back after it by the watch.
void TReconnect::awaitDevice(const QString& reason)
{
    m_port.Close();
    if (waiting())
        return;
    showNote(tr("waiting for %1").arg(m_port.Port()), reason);
    m_watch = new TDeviceWatch(
        QString::fromStdString(serial::devicePath(m_port.Port().toStdString())), this);
    connect(m_watch, &TDeviceWatch::mayBeBack, this, &TReconnect::tryOpen);
    tryOpen();
}

// The watch may be in the middle of telling us when it goes.
void TReconnect::cancel()
{
    if (m_watch)
        m_watch->deleteLater();
    m_watch = nullptr;
}

// A failed try says nothing: the loss was told once, and the device is
// not back yet.
void TReconnect::tryOpen()
{
    if (!waiting())
        return;
    try {
        m_port.Open();
    } catch (const EComPort&) {
        m_watch->openingFailed();
        return;
    }
    cancel();
    showNote(tr("%1 is back").arg(m_port.Port()));
    emit reopened();
}
