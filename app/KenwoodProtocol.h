// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The serial protocol of Kenwood's HF radios (their "CAT" commands), as
// amplifiers, tuners, band decoders, panadapters and Hamlib's Kenwood
// backends speak it, answered for a rig that is nothing but a frequency dial
// and a mode. No port here: the window feeds in what arrives and sends out
// what comes back, so tests drive it alone.
//
// A command is two upper-case letters, its parameters and ';': "FA;" asks
// for the frequency of VFO A, "FA00007074000;" sets it. A radio answers a
// query with the command's letters, the value and ';' ("FA00007074000;"),
// a set with nothing, and anything it cannot do with "?;".

#include "LineMonitor.h"
#include "RigctlProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

// What the profile reads and changes, on the thread that answers its line.
class TKenwoodRig
{
public:
    virtual ~TKenwoodRig() = default;
    // The frequency string as last composed: what the "IF;" reply carries.
    virtual const QString& frequencyString() const = 0;
    // Whether the frequency string is the div4 transform of the dial.
    virtual bool div4Mode() const = 0;
    // Dials `hertz` (0..RigctlHighestFrequency), as every setter of the dial does.
    virtual void setDialFrequency(std::uint32_t hertz) = 0;
};

// The dial whose frequency string reads `output` hertz: the same number in
// plain mode; in div4 mode the dial N with round-half-even(N / 4 + 10000) =
// `output`, the middle one of those that give it. Nothing when no dial of
// 0..RigctlHighestFrequency does.
std::optional<std::uint32_t> dialForOutput(std::uint64_t output, bool div4);

// The eleven-digit frequency field of the replies that carry the frequency,
// from the frequency string: padded to nine digits as the "IF;" reply pads
// it, the six digits of div4 mode below 359 998 Hz included, then "00" in
// front. Nothing while the string does not fill the field (see
// fillsFrequencyField).
std::optional<QByteArray> kenwoodFrequencyField(const QString& frequencyString);

// Splits what arrives into commands at each ';'. Blanks and line ends around
// a command are not part of it (a device that ends its commands with CR LF
// is understood), and however garbled one command is, the next starts after
// its ';'. What is held never exceeds one command of MaxCommandLength bytes
// plus the commands completed since the last takeCommand().
class TKenwoodCommandReader
{
public:
    // Longer than any command a radio takes; the bytes of a longer one
    // beyond the first MaxCommandLength + 1 are dropped.
    static constexpr qsizetype MaxCommandLength = 64;

    void append(QByteArrayView bytes);
    // The next command that a ';' completed, without the ';'; nothing when
    // none is complete.
    std::optional<QByteArray> takeCommand();

private:
    QByteArray m_completed; // commands completed, each followed by its ';'
    qsizetype m_start = 0;  // where the next one begins in m_completed
    QByteArray m_unfinished;
};

// Two upper-case letters, then parameters of printable ASCII, all within
// MaxCommandLength: what a radio parses. Anything else is noise on the line.
bool isWellFormedKenwoodCommand(QByteArrayView command);

// Without the profile the line answers "IF;" alone, as TReceiveBuffer finds
// it: records the commands that `received` completes as that line treated
// them. One that ends in "IF" was answered when `replied` (a reply went out
// for this chunk); any other got no answer.
void recordIfOnlyLine(TKenwoodCommandReader& reader, QByteArrayView received, bool replied,
                      TLineMonitor& monitor, qint64 nowMs);

// The outcome of one command.
struct TKenwoodReply
{
    QByteArray text;               // the answer; empty for a set and for noise
    bool served = false;           // answered with a value, or the set done
    bool carriesFrequency = false; // the answer holds the frequency field
};

// The default identity: a TS-2000, which Hamlib's backends accept for any
// of their Kenwood models.
inline constexpr char KenwoodDefaultId[] = "019";

// The profile on one line: its commands, their answers, and the
// auto-information a radio sends unasked. The mode is the one the rigctld
// server remembers, shared.
class TKenwoodSession
{
public:
    static constexpr qint64 AutoInformationIntervalMs = 100;

    TKenwoodSession(TKenwoodRig& rig, TRigctlMode& mode) : m_rig(rig), m_mode(mode) {}

    // Three decimal digits that "ID;" answers with (KenwoodDefaultId unless set).
    void setId(const QByteArray& id) { m_id = id; }

    // The outcome of one command (without its ';'). Anything may come in;
    // the dial changes only on a valid FA or FB set, the mode only on a
    // valid MD set.
    TKenwoodReply answer(QByteArrayView command);

    struct Answer
    {
        QByteArray text;               // the answers, in the order of their commands
        bool carriesFrequency = false; // one of them holds the frequency field
    };
    // Answers every command that the received bytes complete, and records
    // each in `monitor` at `nowMs`: served, or not answered (refused, noise).
    Answer take(QByteArrayView received, TLineMonitor& monitor, qint64 nowMs);
    // As take, recording nothing: for a line that keeps no monitor.
    Answer take(QByteArrayView received);

    // Auto-information, turned on by "AI1;" or "AI2;" and off by "AI0;":
    // every change of the dial or the mode is told with an unasked "IF;"
    // reply, at most one per AutoInformationIntervalMs.
    bool autoInformation() const { return m_autoInformation != '0'; }
    struct Announcement
    {
        QByteArray reply;              // to send now; empty for none
        std::optional<qint64> dueInMs; // call announcementDue then
    };
    // The dial or the mode changed at `nowMs` (a steady clock's milliseconds).
    // Within the interval after the last announcement nothing is sent, and
    // the time until the next one is given once, however many changes come.
    Announcement noteChange(qint64 nowMs);
    // The time that noteChange gave has come: the reply to send now, with
    // the frequency as it is by then.
    QByteArray announcementDue(qint64 nowMs);

private:
    template <typename Record> Answer takeRecording(QByteArrayView received, Record record);
    TKenwoodReply query(int command);
    TKenwoodReply set(int command, QByteArrayView parameters);
    TKenwoodReply setFrequency(QByteArrayView digits);
    TKenwoodReply informationReply() const;
    QByteArray announce(qint64 nowMs);

    TKenwoodRig& m_rig;
    TRigctlMode& m_mode;
    TKenwoodCommandReader m_reader;
    QByteArray m_id = KenwoodDefaultId;
    char m_autoInformation = '0';
    std::optional<qint64> m_announcedAt;
    bool m_announcementPending = false;
};
