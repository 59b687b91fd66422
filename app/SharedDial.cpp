// SPDX-License-Identifier: GPL-3.0-or-later

#include "SharedDial.h"

// A QString copy only takes a reference, so the lock is held for no longer
// than that.
void TSharedDial::publish(const QString& frequencyString)
{
    const std::lock_guard lock(m_mutex);
    m_frequencyString = frequencyString;
}

QString TSharedDial::frequencyString() const
{
    const std::lock_guard lock(m_mutex);
    return m_frequencyString;
}
