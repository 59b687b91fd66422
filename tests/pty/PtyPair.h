#pragma once

// A pseudo-terminal pair for serial tests: the test holds the master side and
// the port under test opens the slave path. Closing the master hangs the line
// up, as an unplugged adapter does.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

class PtyPair
{
public:
    PtyPair()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }

    // Writes all of `bytes` to the line; false on a short write.
    bool send(const QByteArray& bytes)
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
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
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slavePath;
};
