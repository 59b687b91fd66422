// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminationSignals.h"

#include "TerminationSignalsWatch.h"

#include <utility>

TerminationSignals::TerminationSignals(std::function<void()> onSignal,
                                       std::function<void()> onPending, QObject* parent)
    : QObject(parent), m_watch(startWatch(this, std::move(onSignal), std::move(onPending)))
{
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::ignoreLaterSignals()
{
    m_watch->ignoreLaterSignals();
}

TerminationSignals::Watch::Watch(std::function<void()> onSignal, std::function<void()> onPending)
    : m_onSignal(std::move(onSignal)), m_onPending(std::move(onPending))
{
}

void TerminationSignals::Watch::passOn()
{
    if (m_onPending)
        m_onPending();
    if (!m_uiCallPending.exchange(true))
        wakeUiThread();
}

void TerminationSignals::Watch::takeRequests()
{
    if (!m_uiCallPending.exchange(false))
        return;
    if (m_onSignal)
        m_onSignal();
}
