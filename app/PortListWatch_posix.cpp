// SPDX-License-Identifier: GPL-3.0-or-later

#include "PortListWatch.h"

#include <QFileSystemWatcher>

// sysfs sends no change notices, so the system's list is watched through
// /dev, where a port's node appears after its sysfs entry (inotify, no
// polling).
class TPortListWatch::System
{
public:
    System(const QString& root, TPortListWatch* owner)
        : m_watcher(QStringList{root.isEmpty() ? QStringLiteral("/dev") : root})
    {
        QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, owner,
                         &TPortListWatch::changed);
    }

private:
    QFileSystemWatcher m_watcher;
};

TPortListWatch::TPortListWatch(const QString& root, QObject* parent)
    : QObject(parent), m_system(std::make_unique<System>(root, this))
{
}

TPortListWatch::~TPortListWatch() = default;
