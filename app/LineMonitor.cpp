// SPDX-License-Identifier: GPL-3.0-or-later

#include "LineMonitor.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

constexpr qint64 millisPerSecond = 1000;

QString shownCommand(QByteArrayView command)
{
    QString shown;
    for (const char c : command) {
        if (c >= ' ' && c <= '~')
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return shown + u';';
}

} // namespace

void TLineMonitor::recordAnswered(qint64 nowMs)
{
    ++m_answered;
    m_lastAnsweredMs = nowMs;
    countPoll(nowMs);
}

void TLineMonitor::recordUnanswered(QByteArrayView command, qint64 nowMs)
{
    countPoll(nowMs);
    const auto same = std::ranges::find(m_unanswered, command, &Unanswered::command);
    if (same != m_unanswered.end()) {
        ++same->count;
        std::rotate(m_unanswered.begin(), same, same + 1);
        return;
    }
    if (m_unanswered.size() == KeptUnanswered)
        m_unanswered.pop_back();
    m_unanswered.insert(m_unanswered.begin(), {command.toByteArray(), 1});
}

// One count per second of the clock, in a ring of RateSeconds: a second's
// slot is taken over once its second has left the window.
void TLineMonitor::countPoll(qint64 nowMs)
{
    const qint64 second = nowMs / millisPerSecond;
    Second& slot = m_seconds[std::size_t(second % RateSeconds)];
    if (slot.second != second)
        slot = {second, 0};
    ++slot.polls;
}

// Over the seconds that have passed in full, so that a rate read at the
// start of a second is not lowered by it.
double TLineMonitor::pollsPerSecond(qint64 nowMs) const
{
    const qint64 current = nowMs / millisPerSecond;
    qint64 polls = 0;
    for (const Second& slot : m_seconds) {
        if (slot.second >= current - RateSeconds && slot.second < current)
            polls += slot.polls;
    }
    const qint64 span = std::clamp<qint64>((nowMs - m_startMs) / millisPerSecond, 1, RateSeconds);
    return double(polls) / double(span);
}

QString lineMonitorReport(const TLineMonitor& monitor, qint64 nowMs, const QDateTime& wallNow)
{
    QStringList lines;
    if (const std::optional<qint64> last = monitor.lastAnsweredMs())
        lines << QCoreApplication::translate("LineMonitor", "Answered: %1, the last at %2")
                     .arg(monitor.answered())
                     .arg(wallNow.addMSecs(*last - nowMs).toString(u"yyyy-MM-dd hh:mm:ss"));
    else
        lines << QCoreApplication::translate("LineMonitor", "Answered: none");
    lines << QCoreApplication::translate("LineMonitor", "Polls per second over the last minute: %1")
                 .arg(monitor.pollsPerSecond(nowMs), 0, 'f', 1);
    if (monitor.unanswered().empty()) {
        lines << QCoreApplication::translate("LineMonitor", "Not answered: none");
    } else {
        lines << QCoreApplication::translate(
                     "LineMonitor",
                     "Not answered (the last %1 different commands, the latest first):")
                     .arg(TLineMonitor::KeptUnanswered);
        for (const TLineMonitor::Unanswered& entry : monitor.unanswered())
            lines << QStringLiteral("  %1 \u00d7%2")
                         .arg(shownCommand(entry.command))
                         .arg(entry.count);
    }
    return lines.join(u'\n');
}
