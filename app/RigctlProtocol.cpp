// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctlProtocol.h"

#include <QByteArrayList>
#include <array>
#include <utility>
#include <vector>

namespace {

// The fixed state of everything the panel has no notion of. Setting it to
// what it already is succeeds; any other value is refused.
constexpr char OurVfo[] = "VFOA";
constexpr char FixedMode[] = "USB";
constexpr int FixedPassband = 2400; // Hz

// What the rig is, in the layout Hamlib 4.5's NET rigctl client parses:
// protocol version 1, a model number (Hamlib has none for a bare dial; its
// client does not use it), ITU region; the receive ranges (start, end, modes,
// low and high power, VFOs, antennas), each list ending in a line of zeros:
// one range 0..299 999 999 Hz in USB on VFO A, no transmit range; tuning
// steps and filters per mode; no RIT, XIT, IF shift, announcements, preamp or
// attenuator; no functions, levels or parameters; then settings up to "done".
// "targetable_vfo=0x3" (frequency and mode) spares the client its switching
// to VFO B and back when it opens.
constexpr char DumpStateLines[] = "1\n"
                                  "1\n"
                                  "0\n"
                                  "0.000000 299999999.000000 0x4 -1 -1 0x1 0x0\n"
                                  "0 0 0 0 0 0 0\n"
                                  "0 0 0 0 0 0 0\n"
                                  "0x4 1\n"
                                  "0 0\n"
                                  "0x4 2400\n"
                                  "0 0\n"
                                  "0\n"
                                  "0\n"
                                  "0\n"
                                  "0\n"
                                  "\n"
                                  "\n"
                                  "0x0\n"
                                  "0x0\n"
                                  "0x0\n"
                                  "0x0\n"
                                  "0x0\n"
                                  "0x0\n"
                                  "vfo_ops=0x0\n"
                                  "ptt_type=0x0\n"
                                  "targetable_vfo=0x3\n"
                                  "has_set_vfo=1\n"
                                  "has_get_vfo=1\n"
                                  "has_set_freq=1\n"
                                  "has_get_freq=1\n"
                                  "has_set_conf=0\n"
                                  "has_get_conf=0\n"
                                  "has_power2mW=0\n"
                                  "has_mW2power=0\n"
                                  "timeout=0\n"
                                  "done\n";

// Hamlib's VFO names: our own VFO answers to these...
constexpr std::array<const char*, 4> OurVfoNames{"VFOA", "currVFO", "VFO", "Main"};
// ...and these name VFOs the panel does not have.
constexpr std::array<const char*, 12> OtherVfoNames{
    "VFOB", "VFOC", "MEM", "Sub", "TX", "RX", "MainA", "MainB", "MainC", "SubA", "SubB", "SubC"};

enum class Kind {
    GetFreq,
    SetFreq,
    GetVfo,
    SetVfo,
    GetSplitVfo,
    SetSplitVfo,
    GetMode,
    SetMode,
    GetPtt,
    SetPtt,
    GetPowerstat,
    GetLockMode,
    ChkVfo,
    DumpState,
};

struct Command
{
    char letter; // 0: reached by its long name only
    const char* longName;
    qsizetype argumentCount;
    Kind kind;
};

constexpr std::array<Command, 14> Commands{{
    {'f', "get_freq", 0, Kind::GetFreq},
    {'F', "set_freq", 1, Kind::SetFreq},
    {'v', "get_vfo", 0, Kind::GetVfo},
    {'V', "set_vfo", 1, Kind::SetVfo},
    {'s', "get_split_vfo", 0, Kind::GetSplitVfo},
    {'S', "set_split_vfo", 2, Kind::SetSplitVfo},
    {'m', "get_mode", 0, Kind::GetMode},
    {'M', "set_mode", 2, Kind::SetMode},
    {'t', "get_ptt", 0, Kind::GetPtt},
    {'T', "set_ptt", 1, Kind::SetPtt},
    {0, "get_powerstat", 0, Kind::GetPowerstat},
    {0, "get_lock_mode", 0, Kind::GetLockMode},
    {0, "chk_vfo", 0, Kind::ChkVfo},
    {0, "dump_state", 0, Kind::DumpState},
}};

struct Request
{
    char separator = 0; // 0: the default form; else the extended form's record separator
    QByteArray name;    // the letter, or the long name without its backslash
    bool longName = false;
    QByteArrayList arguments;
};

// A command's outcome: the result code and, on success, the named values.
struct Outcome
{
    RigctlResult result = RigctlResult::Ok;
    std::vector<std::pair<const char*, QByteArray>> values;
};

// Punctuation in the C locale, whatever locale the program runs in.
bool isPunctuation(char c)
{
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

// Printable ASCII, tab and CR; anything else is not a command.
bool isLineText(char c)
{
    return (c >= ' ' && c <= '~') || c == '\t' || c == '\r';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QByteArrayList words(QByteArrayView text)
{
    QByteArrayList result;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > start)
            result.append(text.sliced(start, i - start).toByteArray());
    }
    return result;
}

// '\' starts a long name; '?', '_' and '#' are short commands or comments
// in Hamlib, so they do not choose the extended form.
Request parseRequest(QByteArrayView line)
{
    Request request;
    const char first = line.front();
    if (isPunctuation(first) && first != '\\' && first != '?' && first != '_' && first != '#') {
        request.separator = first == '+' ? '\n' : first;
        line = trimmed(line.sliced(1));
    }
    if (line.startsWith('\\')) {
        request.longName = true;
        // The name follows the backslash at once; "\ set_freq" names nothing.
        if (line.size() > 1 && !isBlank(line[1])) {
            request.arguments = words(line.sliced(1));
            request.name = request.arguments.takeFirst();
        }
    } else if (!line.isEmpty()) {
        request.name = line.first(1).toByteArray();
        request.arguments = words(line.sliced(1));
    }
    return request;
}

const Command* findCommand(const Request& request)
{
    for (const Command& command : Commands) {
        const bool named =
            request.longName ? request.name == command.longName
                             : command.letter != 0 && request.name == QByteArray(1, command.letter);
        if (named)
            return &command;
    }
    return nullptr;
}

bool isQuit(const Request& request)
{
    return !request.longName && (request.name == "q" || request.name == "Q");
}

template <std::size_t N>
bool contains(const std::array<const char*, N>& names, const QByteArray& word)
{
    for (const char* name : names) {
        if (word == name)
            return true;
    }
    return false;
}

// A VFO the client names: ours (no change), another one (refused), or not a
// VFO name at all.
RigctlResult selectVfo(const QByteArray& vfo)
{
    if (contains(OurVfoNames, vfo))
        return RigctlResult::Ok;
    return contains(OtherVfoNames, vfo) ? RigctlResult::FeatureNotAvailable
                                        : RigctlResult::InvalidArgument;
}

std::optional<int> integer(const QByteArray& word)
{
    bool ok = false;
    const int number = word.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

Outcome failure(RigctlResult result)
{
    return {result, {}};
}

Outcome value(const char* name, QByteArray text)
{
    return {RigctlResult::Ok, {{name, std::move(text)}}};
}

Outcome getFrequency(const TRigctlRig& rig)
{
    const std::optional<std::uint32_t> hertz = rig.dialFrequency();
    return hertz ? value("Frequency", QByteArray::number(*hertz)) : failure(RigctlResult::Rejected);
}

Outcome setFrequency(const QByteArray& argument, TRigctlRig& rig)
{
    const std::optional<std::uint32_t> hertz = parseRigctlFrequency(argument);
    if (!hertz)
        return failure(RigctlResult::InvalidArgument);
    rig.setDialFrequency(*hertz);
    return {};
}

// Split off with our VFO for transmitting is the panel's state.
Outcome setSplitVfo(const QByteArrayList& arguments)
{
    const std::optional<int> split = integer(arguments[0]);
    const RigctlResult vfo = selectVfo(arguments[1]);
    if (!split || *split < 0 || *split > 1 || vfo == RigctlResult::InvalidArgument)
        return failure(RigctlResult::InvalidArgument);
    return failure(*split == 0 ? vfo : RigctlResult::FeatureNotAvailable);
}

// Passband 0 asks for the mode's default and -1 for no change.
Outcome setMode(const QByteArrayList& arguments)
{
    const std::optional<int> passband = integer(arguments[1]);
    if (!passband)
        return failure(RigctlResult::InvalidArgument);
    const bool unchanged = arguments[0] == FixedMode &&
                           (*passband == FixedPassband || *passband == 0 || *passband == -1);
    return failure(unchanged ? RigctlResult::Ok : RigctlResult::FeatureNotAvailable);
}

// PTT 0 is receiving; 1 to 3 are the ways of transmitting.
Outcome setPtt(const QByteArray& argument)
{
    const std::optional<int> ptt = integer(argument);
    if (!ptt || *ptt < 0 || *ptt > 3)
        return failure(RigctlResult::InvalidArgument);
    return failure(*ptt == 0 ? RigctlResult::Ok : RigctlResult::FeatureNotAvailable);
}

QByteArray report(RigctlResult result)
{
    return "RPRT " + QByteArray::number(static_cast<int>(result));
}

// The default form gives a getter's values one per line, and "RPRT <code>"
// for a setter or a failure. The extended form echoes the command with its
// arguments, then gives each value with its name, then the code, with the
// separator after each record but the last, which ends in a line end.
QByteArray format(const Request& request, const Command& command, const Outcome& outcome)
{
    QByteArrayList records;
    if (request.separator == 0) {
        if (outcome.result != RigctlResult::Ok || outcome.values.empty())
            return report(outcome.result) + '\n';
        for (const auto& [name, text] : outcome.values)
            records.append(text);
        return records.join('\n') + '\n';
    }
    QByteArray header = QByteArray(command.longName) + ':';
    if (!request.arguments.isEmpty())
        header += ' ' + request.arguments.join(' ');
    records.append(header);
    if (outcome.result == RigctlResult::Ok) {
        for (const auto& [name, text] : outcome.values)
            records.append(QByteArray(name) + ": " + text);
    }
    records.append(report(outcome.result));
    return records.join(request.separator) + '\n';
}

// rigctld answers chk_vfo with one line in either form.
QByteArray answerChkVfo(const Request& request)
{
    return request.separator != 0 ? "ChkVFO: 0\n" : "0\n";
}

// dump_state's lines stay as they are between the header and the code.
QByteArray answerDumpState(const Request& request)
{
    if (request.separator == 0)
        return DumpStateLines;
    return QByteArray("dump_state:") + request.separator + DumpStateLines +
           report(RigctlResult::Ok) + '\n';
}

QByteArray answer(const Request& request, const Command& command, TRigctlRig& rig)
{
    const QByteArrayList& arguments = request.arguments;
    const auto formatted = [&](const Outcome& outcome) {
        return format(request, command, outcome);
    };
    if (arguments.size() != command.argumentCount)
        return formatted(failure(RigctlResult::InvalidArgument));
    switch (command.kind) {
    case Kind::GetFreq:
        return formatted(getFrequency(rig));
    case Kind::SetFreq:
        return formatted(setFrequency(arguments[0], rig));
    case Kind::GetVfo:
        return formatted(value("VFO", OurVfo));
    case Kind::SetVfo:
        return formatted(failure(selectVfo(arguments[0])));
    case Kind::GetSplitVfo:
        return formatted({RigctlResult::Ok, {{"Split", "0"}, {"TX VFO", OurVfo}}});
    case Kind::SetSplitVfo:
        return formatted(setSplitVfo(arguments));
    case Kind::GetMode:
        return formatted({RigctlResult::Ok,
                          {{"Mode", FixedMode}, {"Passband", QByteArray::number(FixedPassband)}}});
    case Kind::SetMode:
        return formatted(setMode(arguments));
    case Kind::GetPtt:
        return formatted(value("PTT", "0"));
    case Kind::SetPtt:
        return formatted(setPtt(arguments[0]));
    case Kind::GetPowerstat:
        return formatted(value("Power Status", "1"));
    case Kind::GetLockMode:
        return formatted(value("Locked", "0"));
    case Kind::ChkVfo:
        return answerChkVfo(request);
    case Kind::DumpState:
        return answerDumpState(request);
    }
    return formatted(failure(RigctlResult::NotImplemented)); // not reached: every kind returns
}

} // namespace

TRigctlAnswer answerRigctlLine(QByteArrayView line, TRigctlRig& rig)
{
    line = trimmed(line);
    if (line.isEmpty() || line.front() == '#')
        return {};
    const Request request = parseRequest(line);
    if (isQuit(request))
        return {report(RigctlResult::Ok) + '\n', true};
    const Command* command = findCommand(request);
    if (!command)
        return {report(RigctlResult::NotImplemented) + '\n'};
    return {answer(request, *command, rig)};
}

QByteArray rigctlProtocolErrorAnswer()
{
    return report(RigctlResult::ProtocolError) + '\n';
}

std::optional<std::uint32_t> parseRigctlFrequency(QByteArrayView text)
{
    const qsizetype point = text.indexOf('.');
    const QByteArrayView whole = point < 0 ? text : text.first(point);
    const QByteArrayView fraction = point < 0 ? QByteArrayView() : text.sliced(point + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    std::uint64_t hertz = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9')
            return std::nullopt;
        hertz = hertz * 10 + std::uint64_t(c - '0');
        if (hertz > RigctlHighestFrequency)
            return std::nullopt;
    }
    for (const char c : fraction) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    if (!fraction.isEmpty() && fraction.front() >= '5')
        ++hertz;
    if (hertz > RigctlHighestFrequency)
        return std::nullopt;
    return static_cast<std::uint32_t>(hertz);
}

TRigctlLineReader::Verdict TRigctlLineReader::append(QByteArrayView bytes)
{
    qsizetype taken = 0;
    Verdict verdict = Verdict::Ok;
    for (const char c : bytes) {
        if (c == '\n') {
            m_lineLength = 0;
        } else if (!isLineText(c)) {
            verdict = Verdict::NotText;
            break;
        } else if (++m_lineLength > MaxLineLength) {
            verdict = Verdict::LineTooLong;
            break;
        }
        ++taken;
    }
    m_buffer.append(bytes.first(taken));
    return verdict;
}

std::optional<QByteArray> TRigctlLineReader::takeLine()
{
    const qsizetype end = m_buffer.indexOf('\n', m_start);
    if (end < 0) {
        // Only the unfinished line stays, so the buffer never grows past it.
        m_buffer.remove(0, m_start);
        m_start = 0;
        return std::nullopt;
    }
    QByteArray line = m_buffer.sliced(m_start, end - m_start);
    m_start = end + 1;
    return line;
}
