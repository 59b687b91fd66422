// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <memory>

// Tells when a device that has gone away may be back, so that its port can
// be opened again. Where the system gives notice, it waits for that and
// never looks on a timer, so that a program that waits stays asleep. Each
// system's DeviceWatch_<system>.cpp says how:
// - POSIX: the device's folder changing (inotify on Linux), since a device
//   comes back under its old name (/dev/ttyUSB0, and unchanged under
//   /dev/serial/by-id/); while the folder itself is missing, the nearest
//   folder above it that exists. A device that is there but cannot be opened
//   yet (its permissions not yet set, another program trying it) is looked
//   at again once a second until it opens or goes.
// - Windows: a look once a second.
// UI thread; `mayBeBack` is emitted there.
class TDeviceWatch : public QObject
{
    Q_OBJECT

public:
    // `devicePath` as the port opens it.
    explicit TDeviceWatch(const QString& devicePath, QObject* parent = nullptr);
    ~TDeviceWatch() override;

    // The opening that `mayBeBack` prompted has failed.
    void openingFailed();

signals:
    void mayBeBack();

private:
    class System;
    std::unique_ptr<System> m_system;
};
