// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RigctlProtocol.h"

#include <QString>
#include <mutex>

// What the lines that answer on threads of their own share with the
// window: the frequency string as the window last composed it, whether it
// is the div4 transform of the dial, and the mode that clients set last.
// The window publishes each composition and each change of the mode; a line
// reads them for each reply, and publishes a dial or mode that its own
// device set at once, before the window has taken it, so that the line's
// next query already reads it. Any thread; a read never waits longer than a
// publication takes.
class TSharedDial
{
public:
    struct State
    {
        QString frequencyString;
        bool div4Mode = false;
        TRigctlMode mode;
    };

    void publish(const QString& frequencyString, bool div4Mode = false);
    void publishMode(const TRigctlMode& mode);
    QString frequencyString() const;
    State state() const;

private:
    mutable std::mutex m_mutex;
    State m_state;
};
