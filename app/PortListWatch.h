// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <memory>

// Tells when the system's list of serial ports may have changed: a USB
// adapter plugged in or pulled out. It waits on the system's own notice and
// never looks on a timer, so an idle program stays asleep. Each system's
// PortListWatch_<system>.cpp says which notice:
// - Linux: the device folder /dev changing (the kernel makes a tty's node
//   there once it is listed in sysfs); for a list read from elsewhere
//   (ListSerialPorts' `root`), that folder itself changing;
// - Windows: the arrival or removal of a port (WM_DEVICECHANGE), which
//   Windows sends to every top-level window.
// UI thread; `changed` is emitted there, once or more for one change.
class TPortListWatch : public QObject
{
    Q_OBJECT

public:
    // `root` as ListSerialPorts takes it: empty for the system's own list.
    explicit TPortListWatch(const QString& root, QObject* parent = nullptr);
    ~TPortListWatch() override;

signals:
    void changed();

private:
    class System;
    std::unique_ptr<System> m_system;
};
