// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctlProtocol.h"

#include "Version.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The fixed state of everything the panel has no notion of. Setting it to
// what it already is succeeds; any other value is refused.
constexpr char OurVfo[] = "VFOA";

// Hamlib's mode names, as its clients send and read them: the names Hamlib
// 4.5 writes, then the other names it reads. The passband a client leaves
// to the rig is the mode's usual width. Each Kenwood digit's first name is
// the one its MD command sets.
constexpr std::array<TRigctlModeName, 44> ModeNames{{
    {"AM", 0, 8000, '5'},      {"CW", 1, 500, '3'},         {"USB", 2, 2400, '2'},
    {"LSB", 3, 2400, '1'},     {"RTTY", 4, 300, '6'},       {"FM", 5, 15000, '4'},
    {"WFM", 6, 230000, '4'},   {"CWR", 7, 500, '7'},        {"RTTYR", 8, 300, '9'},
    {"AMS", 9, 8000, '5'},     {"PKTLSB", 10, 2400, '1'},   {"PKTUSB", 11, 2400, '2'},
    {"FM-D", 12, 15000, '4'},  {"ECSSUSB", 13, 2400, '2'},  {"ECSSLSB", 14, 2400, '1'},
    {"FAX", 15, 2400, '2'},    {"SAM", 16, 8000, '5'},      {"SAL", 17, 8000, '5'},
    {"SAH", 18, 8000, '5'},    {"DSB", 19, 8000, '5'},      {"FMN", 21, 12500, '4'},
    {"AM-D", 22, 8000, '5'},   {"P25", 23, 12500, '4'},     {"D-STAR", 24, 12500, '4'},
    {"DPMR", 25, 12500, '4'},  {"NXDN-VN", 26, 12500, '4'}, {"NXDN-N", 27, 12500, '4'},
    {"DCR", 28, 12500, '4'},   {"AMN", 29, 6000, '5'},      {"PSK", 30, 2400, '2'},
    {"PSKR", 31, 2400, '1'},   {"C4FM", 33, 12500, '4'},    {"PKTFMN", 34, 12500, '4'},
    {"SPEC", 35, 2400, '2'},   {"CWN", 36, 250, '3'},       {"IQ", 37, 2400, '2'},
    {"ISBUSB", 38, 2400, '2'}, {"ISBLSB", 39, 2400, '1'},   {"PKTFM", 12, 15000, '4'},
    {"PKTAM", 22, 8000, '5'},  {"USB-D", 11, 2400, '2'},    {"LSB-D", 10, 2400, '1'},
    {"CW-R", 7, 500, '7'},     {"RTTY-R", 8, 300, '9'},
}};

QByteArray hexMask(std::uint64_t mask)
{
    return "0x" + QByteArray::number(static_cast<qulonglong>(mask), 16);
}

std::uint64_t allModes()
{
    std::uint64_t mask = 0;
    for (const TRigctlModeName& mode : ModeNames)
        mask |= std::uint64_t{1} << mode.bit;
    return mask;
}

// One line per passband: the modes of `modes` whose usual width it is, as
// Hamlib's client looks the width up when a client leaves it to the rig.
QByteArray filterLines(std::uint64_t modes)
{
    std::vector<std::pair<int, std::uint64_t>> filters;
    for (const TRigctlModeName& mode : ModeNames) {
        if ((modes & std::uint64_t{1} << mode.bit) == 0)
            continue;
        auto same =
            std::ranges::find(filters, mode.defaultPassband, &std::pair<int, std::uint64_t>::first);
        if (same == filters.end())
            same = filters.emplace(same, mode.defaultPassband, 0);
        same->second |= std::uint64_t{1} << mode.bit;
    }
    QByteArray lines;
    for (const auto& [passband, modesOfWidth] : filters)
        lines += hexMask(modesOfWidth) + ' ' + QByteArray::number(passband) + '\n';
    return lines;
}

// What the rig is, in the layout Hamlib's NET rigctl client parses:
// protocol version 1, a model number (the dummy rig's: Hamlib has none for a
// bare dial), ITU region; the receive ranges (start, end, modes, low and high
// power, VFOs, antennas), each list ending in a line of zeros: one range
// 0..299 999 999 Hz in every mode on VFO A, no transmit range; tuning steps
// and filters per mode; no RIT, XIT, IF shift, announcements, preamp or
// attenuator; no functions, levels or parameters. Hamlib 3's client reads
// that far; Hamlib 4's reads settings up to "done", and 4.5's the model and
// server lines among them. "targetable_vfo=0x3" (frequency and mode) spares
// the client its switching to VFO B and back when it opens. Hamlib 3 reads
// the masks as 32 bits, so its modes are the first 32.
QByteArray dumpStateHead(std::uint64_t modeMask)
{
    const QByteArray modes = hexMask(modeMask);
    return "1\n"
           "1\n"
           "0\n"
           "0.000000 299999999.000000 " +
           modes +
           " -1 -1 0x1 0x0\n"
           "0 0 0 0 0 0 0\n"
           "0 0 0 0 0 0 0\n" +
           modes +
           " 1\n"
           "0 0\n" +
           filterLines(modeMask) +
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
           "0x0\n";
}

QByteArray hamlib4DumpState()
{
    return dumpStateHead(allModes()) +
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
           "rig_model=1\n"
           "rigctld_version=Quartzel " +
           QByteArray(QuartzelVersion) +
           "\n"
           "done\n";
}

const QByteArray& dumpStateLines(bool hamlib4)
{
    static const QByteArray hamlib3 = dumpStateHead(allModes() & 0xffff'ffff);
    static const QByteArray hamlib4Lines = hamlib4DumpState();
    return hamlib4 ? hamlib4Lines : hamlib3;
}

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
bool choosesExtendedForm(char c)
{
    return isPunctuation(c) && c != '\\' && c != '?' && c != '_' && c != '#';
}

int findCommand(QByteArrayView name, bool longName)
{
    for (std::size_t i = 0; i < Commands.size(); ++i) {
        const Command& command = Commands[i];
        const bool named = longName
                               ? name == command.longName
                               : command.letter != 0 && name == QByteArrayView(&command.letter, 1);
        if (named)
            return static_cast<int>(i);
    }
    return -1;
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

// A number without its sign's '+', which the C library takes and
// std::from_chars does not.
QByteArrayView withoutPlus(QByteArrayView text)
{
    return text.startsWith('+') && !text.sliced(1).startsWith('-') ? text.sliced(1) : text;
}

std::optional<int> integer(const QByteArray& word)
{
    bool ok = false;
    const int number = word.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

// As rigctld reads a passband: the whole number at the front of the word,
// whatever follows it ("2400.7" is 2400).
std::optional<int> leadingInteger(const QByteArray& word)
{
    const QByteArrayView text = withoutPlus(word);
    int number = 0;
    const auto [end, error] = std::from_chars(text.begin(), text.end(), number);
    return error == std::errc() ? std::optional<int>(number) : std::nullopt;
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

// Passband 0 asks for the mode's usual width; a negative one (Hamlib's -1)
// leaves the passband as it is.
Outcome setMode(const QByteArrayList& arguments, TRigctlMode& remembered)
{
    const TRigctlModeName* mode = findRigctlMode(arguments[0]);
    const std::optional<int> passband = leadingInteger(arguments[1]);
    if (!mode || !passband)
        return failure(RigctlResult::InvalidArgument);
    remembered.name = mode->name;
    if (*passband == 0)
        remembered.passband = mode->defaultPassband;
    else if (*passband > 0)
        remembered.passband = *passband;
    return {};
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
QByteArray format(char separator, const Command& command, const QByteArrayList& arguments,
                  const Outcome& outcome)
{
    QByteArrayList records;
    if (separator == 0) {
        if (outcome.result != RigctlResult::Ok || outcome.values.empty())
            return report(outcome.result) + '\n';
        for (const auto& [name, text] : outcome.values)
            records.append(text);
        return records.join('\n') + '\n';
    }
    QByteArray header = QByteArray(command.longName) + ':';
    if (!arguments.isEmpty())
        header += ' ' + arguments.join(' ');
    records.append(header);
    if (outcome.result == RigctlResult::Ok) {
        for (const auto& [name, text] : outcome.values)
            records.append(QByteArray(name) + ": " + text);
    }
    records.append(report(outcome.result));
    return records.join(separator) + '\n';
}

// rigctld answers chk_vfo with one line in either form.
QByteArray answerChkVfo(char separator)
{
    return separator != 0 ? "ChkVFO: 0\n" : "0\n";
}

// dump_state's lines stay as they are between the header and the code.
QByteArray answerDumpState(char separator, bool hamlib4)
{
    const QByteArray& lines = dumpStateLines(hamlib4);
    if (separator == 0)
        return lines;
    return QByteArray("dump_state:") + separator + lines + report(RigctlResult::Ok) + '\n';
}

} // namespace

TRigctlAnswer TRigctlSession::answerLine(QByteArrayView line)
{
    TRigctlAnswer answer;
    for (const QByteArray& lineWord : words(line)) {
        QByteArrayView word = lineWord;
        while (!word.isEmpty()) {
            if (m_request.command >= 0) {
                m_request.arguments.append(word.toByteArray());
                word = {};
            } else if (word.front() == '#') {
                return answer; // a comment, to the end of the line
            } else if (!takeCommand(word, word, answer)) {
                return answer;
            }
            const int command = m_request.command;
            if (command >= 0 && m_request.arguments.size() == Commands[command].argumentCount) {
                answer.text += answerRequest();
                ++answer.commands;
                m_request = {};
            }
        }
    }
    return answer;
}

// Starts the command that `word` names; `glued` is what follows a letter in
// the word ("ff" is two commands). False when the rest of the line is not
// read: the client quit, or named a command there is none of.
bool TRigctlSession::takeCommand(QByteArrayView word, QByteArrayView& glued, TRigctlAnswer& answer)
{
    char separator = std::exchange(m_separator, 0);
    if (choosesExtendedForm(word.front())) {
        separator = word.front() == '+' ? '\n' : word.front();
        word = word.sliced(1);
        if (word.isEmpty()) {
            m_separator = separator;
            glued = {};
            return true;
        }
    }
    const bool longName = word.front() == '\\';
    const QByteArrayView name = longName ? word.sliced(1) : word.first(1);
    glued = longName ? QByteArrayView() : word.sliced(1);
    if (!longName && (name == "q" || name == "Q")) {
        answer.text += report(RigctlResult::Ok) + '\n';
        answer.closeAfter = true;
        return false;
    }
    const int command = findCommand(name, longName);
    if (command < 0) {
        answer.text += report(RigctlResult::NotImplemented) + '\n';
        return false;
    }
    m_request = {command, separator, {}};
    return true;
}

QByteArray TRigctlSession::answerRequest()
{
    const Command& command = Commands[m_request.command];
    const char separator = m_request.separator;
    const QByteArrayList& arguments = m_request.arguments;
    const auto formatted = [&](const Outcome& outcome) {
        return format(separator, command, arguments, outcome);
    };
    switch (command.kind) {
    case Kind::GetFreq:
        return formatted(getFrequency(m_rig));
    case Kind::SetFreq:
        return formatted(setFrequency(arguments[0], m_rig));
    case Kind::GetVfo:
        return formatted(value("VFO", OurVfo));
    case Kind::SetVfo:
        return formatted(failure(selectVfo(arguments[0])));
    case Kind::GetSplitVfo:
        return formatted({RigctlResult::Ok, {{"Split", "0"}, {"TX VFO", OurVfo}}});
    case Kind::SetSplitVfo:
        return formatted(setSplitVfo(arguments));
    case Kind::GetMode:
        return formatted(
            {RigctlResult::Ok,
             {{"Mode", m_mode.name}, {"Passband", QByteArray::number(m_mode.passband)}}});
    case Kind::SetMode: {
        const TRigctlMode before = m_mode;
        const Outcome outcome = setMode(arguments, m_mode);
        if (m_mode != before)
            m_rig.modeChanged();
        return formatted(outcome);
    }
    case Kind::GetPtt:
        return formatted(value("PTT", "0"));
    case Kind::SetPtt:
        return formatted(setPtt(arguments[0]));
    case Kind::GetPowerstat:
        return formatted(value("Power Status", "1"));
    case Kind::GetLockMode:
        return formatted(value("Locked", "0"));
    case Kind::ChkVfo:
        m_askedChkVfo = true;
        return answerChkVfo(separator);
    case Kind::DumpState:
        return answerDumpState(separator, m_askedChkVfo);
    }
    return formatted(failure(RigctlResult::NotImplemented)); // not reached: every kind returns
}

const TRigctlModeName* findRigctlMode(QByteArrayView name)
{
    const auto found = std::ranges::find(ModeNames, name, &TRigctlModeName::name);
    return found != ModeNames.end() ? &*found : nullptr;
}

const TRigctlModeName* rigctlModeOfKenwoodDigit(char digit)
{
    const auto found = std::ranges::find(ModeNames, digit, &TRigctlModeName::kenwoodDigit);
    return found != ModeNames.end() ? &*found : nullptr;
}

QByteArray rigctlProtocolErrorAnswer()
{
    return report(RigctlResult::ProtocolError) + '\n';
}

std::optional<std::uint32_t> parseRigctlFrequency(QByteArrayView text)
{
    text = withoutPlus(text);
    double hertz = 0;
    const auto [end, error] = std::from_chars(text.begin(), text.end(), hertz);
    if (error != std::errc() || end != text.end() || !std::isfinite(hertz))
        return std::nullopt;
    hertz = std::trunc(hertz);
    if (hertz < 0 || hertz > RigctlHighestFrequency)
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
