// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Hamlib's network rig protocol: the text commands that rigctld serves and
// that Hamlib's "NET rigctl" rig (model 2) sends, answered for a rig that is
// nothing but a frequency dial. No sockets here: the server feeds the lines
// in and sends the answers out, so tests and the fuzz target drive it alone.
//
// A command is a letter ("f", "F 7074000") or a backslash and the long name
// ("\get_freq", "\set_freq 7074000"), then its arguments. A command that
// starts with another punctuation character asks for the extended response
// form, with that character between the records ('+' means a line end):
// "+f" is answered "get_freq:\nFrequency: 7074000\nRPRT 0\n".

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

// The mode a client set last (a rigctld client, or a device through the
// Kenwood profile's MD): remembered and answered to every client, never
// applied, since the panel has no mode. Any of Hamlib's mode names.
struct TRigctlMode
{
    QByteArray name = "USB";
    int passband = 2400; // Hz

    bool operator==(const TRigctlMode&) const = default;
};

// What the protocol reads and changes: the dial, and the mode it remembers.
// UI thread only.
class TRigctlRig
{
public:
    virtual ~TRigctlRig() = default;
    // The dialled frequency in hertz; nothing when the dial holds no number.
    virtual std::optional<std::uint32_t> dialFrequency() const = 0;
    // Dials `hertz` (0..RigctlHighestFrequency).
    virtual void setDialFrequency(std::uint32_t hertz) = 0;
    // The mode that every client of the rig reads and sets.
    virtual TRigctlMode& mode() = 0;
    // A client has set the mode to another.
    virtual void modeChanged() {}
};

inline constexpr std::uint32_t RigctlHighestFrequency = 299'999'999;

// Hamlib's result codes, as "RPRT <code>" carries them.
enum class RigctlResult : int {
    Ok = 0,
    InvalidArgument = -1,     // RIG_EINVAL: not a value the command takes
    NotImplemented = -4,      // RIG_ENIMPL: no such command
    ProtocolError = -8,       // RIG_EPROTO: the line breaks the protocol's limits
    Rejected = -9,            // RIG_ERJCTED: the dial holds no frequency
    FeatureNotAvailable = -11 // RIG_ENAVAIL: the panel has no such feature
};

struct TRigctlAnswer
{
    QByteArray text;         // the bytes to send; empty when nothing is answered yet
    bool closeAfter = false; // the client said goodbye ("q")
    int commands = 0;        // how many commands were answered
};

// One of Hamlib's mode names: its bit in Hamlib's mode mask, the passband
// that passband 0 asks for, and the digit of Kenwood's MD command for it (1
// LSB, 2 USB, 3 CW, 4 FM, 5 AM, 6 FSK, 7 CW-R, 9 FSK-R; a mode that Kenwood
// has no digit for has its family's).
struct TRigctlModeName
{
    const char* name;
    int bit;
    int defaultPassband; // Hz
    char kenwoodDigit;
};

// The mode of that name; nothing for a name Hamlib does not have.
const TRigctlModeName* findRigctlMode(QByteArrayView name);
// The mode that Kenwood's MD command sets with `digit`: the first of the
// names Hamlib writes that has it (MD2 is USB, not PKTUSB); nothing for a
// digit no mode has.
const TRigctlModeName* rigctlModeOfKenwoodDigit(char digit);

// One client's conversation. A line may hold several commands, separated by
// blanks ("f f"); a command whose arguments are not all on its line takes
// them from the lines that follow ("F", then "7074000"), as rigctld reads
// them. Whether the client has asked "\chk_vfo" decides the layout of
// "\dump_state": Hamlib 4 clients ask first, Hamlib 3 clients never do.
class TRigctlSession
{
public:
    TRigctlSession(TRigctlRig& rig, TRigctlMode& mode) : m_rig(rig), m_mode(mode) {}

    // Answers the commands of one line, given without its line end (a CR
    // before it is allowed). Anything may come in; the dial changes only on
    // a valid set_freq, the mode only on a valid set_mode.
    TRigctlAnswer answerLine(QByteArrayView line);

private:
    // The command being read: its table entry, form and arguments so far.
    struct Request
    {
        int command = -1;   // -1: none
        char separator = 0; // 0: the default form; else the extended form's record separator
        QByteArrayList arguments;
    };

    bool takeCommand(QByteArrayView word, QByteArrayView& glued, TRigctlAnswer& answer);
    QByteArray answerRequest();

    TRigctlRig& m_rig;
    TRigctlMode& m_mode;
    Request m_request;
    char m_separator = 0; // of a prefix sent alone ("+"), for the next command
    bool m_askedChkVfo = false;
};

// The answer to a client that broke the limits of TRigctlLineReader, sent
// before it is disconnected.
QByteArray rigctlProtocolErrorAnswer();

// The frequency of a set_freq argument, read as the C library reads a
// number in the C locale (digits, a fraction, an exponent: "7074000",
// "7074000.000000", "7.074e6") and cut to whole hertz, as rigctld does.
// Nothing for anything else (trailing text, "nan", "inf", hexadecimal) and
// for a result outside 0..RigctlHighestFrequency.
std::optional<std::uint32_t> parseRigctlFrequency(QByteArrayView text);

// Splits what a client sends into lines and keeps it to the protocol's
// limits: a line holds at most MaxLineLength bytes before its LF, and only
// printable ASCII, tabs and CR. What is buffered never exceeds the bytes
// appended since the last complete line was taken, plus one line.
class TRigctlLineReader
{
public:
    static constexpr qsizetype MaxLineLength = 1024;

    enum class Verdict { Ok, LineTooLong, NotText };

    // Takes received bytes up to the first one that breaks a limit; the
    // lines completed before it can still be taken.
    Verdict append(QByteArrayView bytes);
    // The next complete line without its LF, or nothing.
    std::optional<QByteArray> takeLine();
    // Whether bytes have come after the last LF.
    bool holdsUnfinishedLine() const { return m_lineLength > 0; }

private:
    QByteArray m_buffer;
    qsizetype m_start = 0;      // where the next line begins in m_buffer
    qsizetype m_lineLength = 0; // bytes of the unfinished line
};
