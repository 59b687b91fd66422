// SPDX-License-Identifier: GPL-3.0-or-later

#include "SharedDial.h"

// A QString or QByteArray copy only takes a reference, so the lock is held
// for no longer than that.
void TSharedDial::publish(const QString& frequencyString, bool div4Mode)
{
    const std::lock_guard lock(m_mutex);
    m_state.frequencyString = frequencyString;
    m_state.div4Mode = div4Mode;
}

void TSharedDial::publishMode(const TRigctlMode& mode)
{
    const std::lock_guard lock(m_mutex);
    m_state.mode = mode;
}

QString TSharedDial::frequencyString() const
{
    const std::lock_guard lock(m_mutex);
    return m_state.frequencyString;
}

TSharedDial::State TSharedDial::state() const
{
    const std::lock_guard lock(m_mutex);
    return m_state;
}
