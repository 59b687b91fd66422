// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <mutex>

// The frequency string as the window last composed it, for the lines that
// answer on threads of their own: the window publishes each composition, a
// line reads it for each reply. It is all the lines share with the window.
// Any thread; a read never waits longer than a publication takes.
class TSharedDial
{
public:
    void publish(const QString& frequencyString);
    QString frequencyString() const;

private:
    mutable std::mutex m_mutex;
    QString m_frequencyString;
};
