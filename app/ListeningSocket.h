// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QtGlobal>

// Taking connections from a listening socket, as the system offers them
// (ListeningSocket_<system>.cpp). QTcpServer does this itself, but Qt 6.4
// loses the system's reason after the first failure of a listener: from
// then on every accept looks like the first. Once the first was the usual
// "none waiting", running out of descriptors looks like that too, and the
// listener tries again at every turn of the event loop, at full speed;
// once the first was a lack of descriptors, every "none waiting" looks like
// one. So the server binds and listens with QTcpServer and accepts here.

struct TAcceptedConnection
{
    qintptr descriptor = -1; // the connection taken; -1 when there is none
    bool failed = false;     // the system could not give one (out of descriptors, say)
    QString reason;          // what the system said, when it failed
};

// Takes the next waiting connection from `listener`, a non-blocking
// listening socket; a connection that was given up while it waited is
// passed over. Nothing taken and nothing failed: none waits.
TAcceptedConnection acceptConnection(qintptr listener);

// Closes a connection that acceptConnection() gave and no socket object took.
void closeConnection(qintptr descriptor);
