// SPDX-License-Identifier: GPL-3.0-or-later

#include "DeviceWatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

constexpr int lookAgainMs = 1000;

// The folder of `path`, or the nearest one above it that exists: udev
// removes /dev/serial/by-id/ with the last adapter and makes it again with
// the next.
QString nearestFolder(const QString& path)
{
    QFileInfo folder(QFileInfo(path).absolutePath());
    while (!folder.isDir() && !folder.isRoot())
        folder.setFile(folder.absolutePath());
    return folder.absoluteFilePath();
}

} // namespace

// A folder's watch (inotify) wakes the program only when something in that
// folder is made, removed, renamed or has its permissions changed: a
// terminal's reads and writes touch nothing there.
class TDeviceWatch::System
{
public:
    System(const QString& devicePath, TDeviceWatch* owner) : m_path(devicePath), m_owner(owner)
    {
        m_lookAgain.setSingleShot(true);
        m_lookAgain.setInterval(lookAgainMs);
        QObject::connect(&m_folder, &QFileSystemWatcher::directoryChanged, owner,
                         [this] { folderChanged(); });
        QObject::connect(&m_lookAgain, &QTimer::timeout, owner, [this] { announceIfThere(); });
        follow();
    }

    void openingFailed()
    {
        if (isThere())
            m_lookAgain.start();
    }

private:
    void folderChanged()
    {
        follow();
        announceIfThere();
    }

    // Watches the nearest folder of the path that exists, and that one only.
    void follow()
    {
        const QString folder = nearestFolder(m_path);
        const QStringList watched = m_folder.directories();
        if (watched == QStringList{folder})
            return;
        if (!watched.isEmpty())
            m_folder.removePaths(watched);
        m_folder.addPath(folder);
    }

    // A link that leads nowhere (yet) is no device.
    bool isThere() const { return QFileInfo::exists(m_path); }

    void announceIfThere()
    {
        if (isThere())
            emit m_owner->mayBeBack();
    }

    const QString m_path;
    TDeviceWatch* const m_owner;
    QFileSystemWatcher m_folder;
    QTimer m_lookAgain;
};

TDeviceWatch::TDeviceWatch(const QString& devicePath, QObject* parent)
    : QObject(parent), m_system(std::make_unique<System>(devicePath, this))
{
}

TDeviceWatch::~TDeviceWatch() = default;

void TDeviceWatch::openingFailed()
{
    m_system->openingFailed();
}
