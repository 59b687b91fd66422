// SPDX-License-Identifier: GPL-3.0-or-later

#include "DeviceWatch.h"

#include <QTimer>

namespace {
constexpr int lookAgainMs = 1000;
}

// A COM port has no folder to watch; trying it once a second costs a
// program that waits one wake-up a second.
class TDeviceWatch::System
{
public:
    explicit System(TDeviceWatch* owner)
    {
        m_look.setInterval(lookAgainMs);
        QObject::connect(&m_look, &QTimer::timeout, owner, &TDeviceWatch::mayBeBack);
        m_look.start();
    }

private:
    QTimer m_look;
};

TDeviceWatch::TDeviceWatch(const QString& /*devicePath*/, QObject* parent)
    : QObject(parent), m_system(std::make_unique<System>(this))
{
}

TDeviceWatch::~TDeviceWatch() = default;

void TDeviceWatch::openingFailed() {}
