// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A TCP port on the loopback address that nobody listens on, for the program
// under test to listen on; 0 when the system gave none.

#include <QHostAddress>
#include <QTcpServer>

inline quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}
