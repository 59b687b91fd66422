// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineKenwood.h"

#include "BCPort.h"
#include "FrequencyRegister.h"

#include <algorithm>
#include <chrono>

// What the window will compose for the dial, published before it has: the
// dial's nine digits, transformed in div4 mode.
void TLineKenwood::Rig::setDialFrequency(std::uint32_t hertz)
{
    const QString dialled = frequencyText(hertz);
    m_frequencyString = m_div4Mode ? div4FrequencyString(dialled) : dialled;
    m_dial.publish(m_frequencyString, m_div4Mode);
    m_asked(hertz);
}

void TLineKenwood::Rig::refresh(const TSharedDial::State& state)
{
    m_frequencyString = state.frequencyString;
    m_div4Mode = state.div4Mode;
}

TLineKenwood::TLineKenwood(TBComPort& port, TSharedDial& dial, const QByteArray& id, Asked asked)
    : m_port(port), m_dial(dial), m_modeAsked(std::move(asked.mode)),
      m_rig(dial, std::move(asked.dial))
{
    m_session.setId(id);
    m_clock.start();
    m_announcer = std::thread([this] { announceLoop(); });
}

TLineKenwood::~TLineKenwood()
{
    {
        const std::lock_guard lock(m_wakeMutex);
        m_ending = true;
    }
    m_wake.notify_one();
    m_announcer.join();
}

// The bytes are read under the lock too, so that the line is read and
// written by one thread at a time, as it is where a port has no second
// writer.
void TLineKenwood::answer(int count)
{
    const std::lock_guard lock(m_sessionMutex);
    QByteArray received;
    m_port.ReadText(received, count);
    refresh();
    const TRigctlMode mode = m_mode;
    const QByteArray text = m_session.take(received).text;
    m_autoInformation = m_session.autoInformation();
    if (m_mode != mode) {
        m_dial.publishMode(m_mode);
        m_modeAsked(m_mode);
    }
    if (!text.isEmpty())
        m_port.WriteText(text);
}

void TLineKenwood::noteChange()
{
    if (!m_autoInformation)
        return;
    {
        const std::lock_guard lock(m_wakeMutex);
        m_changed = true;
    }
    m_wake.notify_one();
}

void TLineKenwood::setWritable(bool writable)
{
    const std::lock_guard lock(m_sessionMutex);
    m_writable = writable;
}

// Sleeps until a change is told or the announcement that the session put
// off falls due; the session keeps the interval between announcements.
void TLineKenwood::announceLoop()
{
    bool announcementWaits = false;
    qint64 dueAt = 0;
    std::unique_lock wake(m_wakeMutex);
    const auto woken = [this] { return m_changed || m_ending; };
    for (;;) {
        if (announcementWaits)
            m_wake.wait_for(
                wake, std::chrono::milliseconds(std::max<qint64>(0, dueAt - m_clock.elapsed())),
                woken);
        else
            m_wake.wait(wake, woken);
        if (m_ending)
            return;
        const bool changed = std::exchange(m_changed, false);
        wake.unlock();
        {
            const std::lock_guard lock(m_sessionMutex);
            refresh();
            const qint64 now = m_clock.elapsed();
            if (changed) {
                const TKenwoodSession::Announcement next = m_session.noteChange(now);
                send(next.reply);
                if (next.dueInMs) {
                    announcementWaits = true;
                    dueAt = now + *next.dueInMs;
                }
            } else if (announcementWaits && now >= dueAt) {
                announcementWaits = false;
                send(m_session.announcementDue(now));
            }
        }
        wake.lock();
    }
}

void TLineKenwood::refresh()
{
    const TSharedDial::State state = m_dial.state();
    m_rig.refresh(state);
    m_mode = state.mode;
}

// A write that fails is dropped: a device that is gone ends the line's
// delivery, which the line reports.
void TLineKenwood::send(const QByteArray& text)
{
    if (!m_writable || text.isEmpty())
        return;
    try {
        m_port.WriteText(text);
    } catch (...) {
    }
}
