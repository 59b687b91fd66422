// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "KenwoodProtocol.h"
#include "SharedDial.h"

#include <QElapsedTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TBComPort;

// The Kenwood profile on a further line: the line's event thread hands in
// what arrives and the answers go out on the line at once, read from the
// shared dial. A dial or mode that the line's device sets is published to
// the shared dial and handed to the window (`asked`), which takes it as it
// takes any other; the line never waits for the window.
//
// Auto-information cannot wait for the line's next read, so a thread of the
// line's own sends it: the window tells every line of a change (noteChange),
// and a line whose device asked for it announces it. That thread sleeps
// until a change comes or an announcement falls due, and only the line's
// own writes can hold it up. It writes only while the port is writable:
// the window says when the port opens, and before it closes.
class TLineKenwood
{
public:
    // What the line's device set: a dial in hertz, or a mode. Called on the
    // line's event thread.
    struct Asked
    {
        std::function<void(std::uint32_t hertz)> dial;
        std::function<void(const TRigctlMode& mode)> mode;
    };

    TLineKenwood(TBComPort& port, TSharedDial& dial, const QByteArray& id, Asked asked);
    // Ends the announcing thread; an announcement under way is finished first.
    ~TLineKenwood();
    TLineKenwood(const TLineKenwood&) = delete;
    TLineKenwood& operator=(const TLineKenwood&) = delete;

    // The line's event thread: reads the `count` bytes that arrived and answers
    // every command they complete.
    // Raises as the port's write does.
    void answer(int count);
    // Any thread: the dial or the mode changed. Never waits for the line.
    void noteChange();
    // UI thread: whether announcements may be written. Made false before
    // the port closes, it returns once no announcement is being written.
    void setWritable(bool writable);

private:
    // The dial as the session sees it: the shared dial when the session
    // starts on a batch, and a dial that the line's own device sets.
    class Rig : public TKenwoodRig
    {
    public:
        Rig(TSharedDial& dial, std::function<void(std::uint32_t)> asked)
            : m_dial(dial), m_asked(std::move(asked))
        {
        }
        void refresh(const TSharedDial::State& state);
        const QString& frequencyString() const override { return m_frequencyString; }
        bool div4Mode() const override { return m_div4Mode; }
        void setDialFrequency(std::uint32_t hertz) override;

    private:
        TSharedDial& m_dial;
        std::function<void(std::uint32_t)> m_asked;
        QString m_frequencyString;
        bool m_div4Mode = false;
    };

    void announceLoop();
    void refresh();
    void send(const QByteArray& text);

    TBComPort& m_port;
    TSharedDial& m_dial;
    std::function<void(const TRigctlMode&)> m_modeAsked;
    QElapsedTimer m_clock; // the announcements' interval is measured on it

    // Guards the session, the rig, the mode and writing, which the line's
    // event thread and the announcing thread share.
    std::mutex m_sessionMutex;
    Rig m_rig;
    TRigctlMode m_mode;
    TKenwoodSession m_session{m_rig, m_mode};
    bool m_writable = false;
    std::atomic<bool> m_autoInformation = false;

    // Guards what wakes the announcing thread; never held while writing, so
    // that noteChange never waits for the line.
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_changed = false;
    bool m_ending = false;
    std::thread m_announcer;
};
