// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the kernel says about the threads of this process, so that a test can
// show that a thread does not spin without timing anything. A thread blocked
// in a system call is in state 'S', and its time on a CPU (the first field of
// /proc/self/task/TID/schedstat, in nanoseconds) does not move at all until
// something wakes it; a thread that spins, or polls, is seen running or its
// time moves while the test does work of its own.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace threadactivity {

struct Sample
{
    char state = 0; // 0: the thread has gone
    qulonglong onCpuNs = 0;
};

inline QByteArray taskFile(pid_t tid, const char* name)
{
    QFile file(QStringLiteral("/proc/self/task/%1/%2").arg(tid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline Sample sample(pid_t tid)
{
    Sample result;
    // "TID (name) S ...": the name may hold blanks and parentheses itself.
    const QByteArray stat = taskFile(tid, "stat");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0 || nameEnd + 2 >= stat.size())
        return result;
    result.state = stat.at(nameEnd + 2);
    result.onCpuNs = taskFile(tid, "schedstat").split(' ').value(0).toULongLong();
    return result;
}

// The threads of this process but the calling one and those in `known`.
inline std::vector<pid_t> otherThreads(const std::vector<pid_t>& known = {})
{
    std::vector<pid_t> tids;
    const QStringList names =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const pid_t tid = name.toInt();
        if (tid != gettid() && std::find(known.begin(), known.end(), tid) == known.end())
            tids.push_back(tid);
    }
    return tids;
}

// True when each thread is blocked (or has gone).
inline bool allAsleep(const std::vector<pid_t>& tids)
{
    for (const pid_t tid : tids) {
        const char state = sample(tid).state;
        if (state != 'S' && state != 0)
            return false;
    }
    return true;
}

// Looks enough times to cover a poll every 100 ms (the modem lines' period)
// several times over on a quick machine; a slower one takes longer still.
inline constexpr int manyRounds = 15000;

// Looks at the threads `rounds` times, running `work` on this thread between
// the looks. Returns how a thread was seen to run meanwhile: one of `tids`
// not asleep at a look or with more time on a CPU than at the start, or a
// thread that was not there at the start. Empty when none ran.
inline QString ranDuring(const std::vector<pid_t>& tids, int rounds,
                         const std::function<void()>& work)
{
    const std::vector<pid_t> present = otherThreads();
    std::vector<Sample> start;
    for (const pid_t tid : tids)
        start.push_back(sample(tid));
    for (int round = 0; round < rounds; ++round) {
        work();
        for (std::size_t i = 0; i < tids.size(); ++i) {
            const Sample now = sample(tids[i]);
            if (now.state == 0 && start[i].state == 0)
                continue;
            if (now.state != 'S' || now.onCpuNs != start[i].onCpuNs)
                return QStringLiteral("thread %1 in round %2: state '%3', %4 ns more on a CPU")
                    .arg(tids[i])
                    .arg(round)
                    .arg(QChar::fromLatin1(now.state ? now.state : '-'))
                    .arg(qlonglong(now.onCpuNs - start[i].onCpuNs));
        }
        if (const std::vector<pid_t> started = otherThreads(present); !started.empty())
            return QStringLiteral("thread %1 started in round %2").arg(started.front()).arg(round);
    }
    return {};
}

} // namespace threadactivity
