// SPDX-License-Identifier: GPL-3.0-or-later

#include "OpenFileReserve.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// What start-up needs free, the reserve included. Measured with Qt 6.4: the
// window on X11 takes about 12 (the display's connection, D-Bus and its
// thread, shared-memory images, fonts, plugins), without a screen about 9,
// and the port 8 more (the device, its lock, its waits, its event thread).
// Short of what the window needs, Qt traps or waits for ever, or the program
// misjudges what it finds (a port list it cannot read, a lock file taken for
// a port in use, a settings folder judged not writable). With this many the
// window comes up; the port may still find too few, and says so.
constexpr int neededToStart = 16;

QString openFilesLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur == RLIM_INFINITY ? QStringLiteral("unlimited")
                                           : QString::number(limit.rlim_cur);
}

} // namespace

OpenFileReserve::~OpenFileReserve()
{
    release();
}

void OpenFileReserve::take()
{
    std::vector<int> taken;
    int error = 0;
    while (int(taken.size()) < neededToStart) {
        const int descriptor = taken.empty() ? ::open("/", O_RDONLY | O_CLOEXEC)
                                             : ::fcntl(taken.front(), F_DUPFD_CLOEXEC, 0);
        if (descriptor < 0) {
            error = errno;
            break;
        }
        taken.push_back(descriptor);
    }
    for (std::size_t i = 0; i < taken.size(); ++i) {
        if (error == 0 && i < std::size(m_reserve))
            m_reserve[i] = taken[i];
        else
            ::close(taken[i]);
    }
    if (error != 0)
        throw std::runtime_error(
            QCoreApplication::translate(
                "OpenFileReserve",
                "Only %1 more files can be opened (ulimit -n %2); Quartzel needs %3 more to start")
                .arg(taken.size())
                .arg(openFilesLimit())
                .arg(neededToStart)
                .append(QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(error))))
                .toStdString());
}

void OpenFileReserve::release()
{
    for (int& descriptor : m_reserve) {
        if (descriptor >= 0)
            ::close(std::exchange(descriptor, -1));
    }
}
