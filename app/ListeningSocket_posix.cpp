// SPDX-License-Identifier: GPL-3.0-or-later

#include "ListeningSocket.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

TAcceptedConnection acceptConnection(qintptr listener)
{
    for (;;) {
        const int descriptor =
            ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor >= 0)
            return {descriptor, false, {}};
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return {};
        // Linux hands on a connection's own failures (reset before it was
        // taken, a network error pending on it) here: the next one may be
        // fine.
        if (error == EINTR || error == ECONNABORTED || error == EPROTO)
            continue;
        return {-1, true, QString::fromLocal8Bit(serial::describeSystemError(error))};
    }
}

void closeConnection(qintptr descriptor)
{
    ::close(static_cast<int>(descriptor));
}
