// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// What a device has asked on a line, counted for a user who wants to know
// why it does not follow: how many of its commands were answered and when
// the last was, how often it polls, and what it asked that got no answer.
// Recording a command costs a few additions, and for an unanswered one a
// look through at most KeptUnanswered entries, so the line pays nothing
// that grows with the run. Times are milliseconds of a steady clock. UI
// thread only.
class TLineMonitor
{
public:
    static constexpr int KeptUnanswered = 20;
    static constexpr int RateSeconds = 60;

    struct Unanswered
    {
        QByteArray command; // as received, without its ';'
        qint64 count = 0;
    };

    explicit TLineMonitor(qint64 startMs = 0) : m_startMs(startMs) {}

    // A command the line answered (or a set it carried out).
    void recordAnswered(qint64 nowMs);
    // A command the line did not answer, or answered "?;".
    void recordUnanswered(QByteArrayView command, qint64 nowMs);

    qint64 answered() const { return m_answered; }
    std::optional<qint64> lastAnsweredMs() const { return m_lastAnsweredMs; }
    // Commands, answered or not, per second over the last RateSeconds whole
    // seconds (or since the start, when that is shorter).
    double pollsPerSecond(qint64 nowMs) const;
    // The last KeptUnanswered different commands without an answer, the
    // latest first.
    const std::vector<Unanswered>& unanswered() const { return m_unanswered; }

private:
    void countPoll(qint64 nowMs);

    struct Second
    {
        qint64 second = -1; // which second of the clock the count is for
        qint64 polls = 0;
    };

    qint64 m_startMs = 0;
    qint64 m_answered = 0;
    std::optional<qint64> m_lastAnsweredMs;
    std::array<Second, RateSeconds> m_seconds{};
    std::vector<Unanswered> m_unanswered;
};

// The monitor as a user reads it, in lines: the answered commands and the
// time of the last (local time, `wallNow` being `nowMs`), the polls per
// second, and the commands without an answer with their counts, each shown
// as received, with bytes that are not printable ASCII as \xNN.
QString lineMonitorReport(const TLineMonitor& monitor, qint64 nowMs, const QDateTime& wallNow);
