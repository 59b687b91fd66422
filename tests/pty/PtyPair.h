// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A pseudo-terminal pair for the serial tests and the benchmarks: the holder
// keeps the master side and the port under test opens the slave path, as it
// would open /dev/ttyUSB0. Closing the master hangs the line up, as an
// unplugged adapter does. QtCore only, so the benchmarks need no QtTest.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

class PtyPair
{
public:
    // The master does not block, so that receive() returns at once.
    PtyPair()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 &&
            ptsname_r(m_master, name, sizeof name) == 0)
            m_slavePath = QString::fromLocal8Bit(name);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // False when the system gave no pseudo-terminal.
    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    // The master's descriptor, for ioctl() and tcgetattr(); -1 once closed.
    int master() const { return m_master; }

    // Writes all of `bytes` to the line, waiting for room while the line is
    // full; false when a write fails or the line hangs up.
    bool send(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t n = ::write(m_master, bytes.data(), size_t(bytes.size()));
            if (n > 0)
                bytes = bytes.sliced(n);
            else if ((n < 0 && errno != EAGAIN && errno != EINTR) || !waitFor(POLLOUT, -1))
                return false;
        }
        return true;
    }
    // Everything the port has written so far, without waiting.
    QByteArray receive()
    {
        QByteArray all;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }
    // Waits up to `timeoutMs` (-1: without end) for bytes from the port;
    // true when some are there.
    bool waitForReceive(int timeoutMs) const { return waitFor(POLLIN, timeoutMs); }
    // The count of bytes from the port that wait to be received; -1 on failure.
    int available() const
    {
        int count = 0;
        return ioctl(m_master, FIONREAD, &count) == 0 ? count : -1;
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    bool waitFor(short events, int timeoutMs) const
    {
        pollfd watched{m_master, events, 0};
        return ::poll(&watched, 1, timeoutMs) > 0 && (watched.revents & events) != 0;
    }

    int m_master = -1;
    QString m_slavePath;
};
