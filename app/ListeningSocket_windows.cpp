// SPDX-License-Identifier: GPL-3.0-or-later

#include "ListeningSocket.h"

#include "platform/SystemError.h"

#include <winsock2.h>

TAcceptedConnection acceptConnection(qintptr listener)
{
    for (;;) {
        const SOCKET connection = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
        if (connection != INVALID_SOCKET)
            return {static_cast<qintptr>(connection), false, {}};
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            return {};
        // A connection the client reset while it waited: the next one may
        // be fine.
        if (error == WSAECONNRESET || error == WSAEINTR)
            continue;
        return {-1, true, QString::fromLocal8Bit(serial::describeSystemError(error))};
    }
}

void closeConnection(qintptr descriptor)
{
    ::closesocket(static_cast<SOCKET>(descriptor));
}
