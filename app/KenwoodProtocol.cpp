// SPDX-License-Identifier: GPL-3.0-or-later

#include "KenwoodProtocol.h"

#include "Convert.h"
#include "IfResponder.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr QByteArrayView Refused = "?;";
// The dial and the mode are those of the panel's one VFO, A, on its one
// band, the main one: "0" for both.
constexpr char OurVfo = '0';

enum class Kind {
    Identity,        // ID
    VfoFrequency,    // FA, FB: one dial behind both
    Information,     // IF
    AutoInformation, // AI
    Power,           // PS
    Mode,            // MD
    VfoOrBand,       // FR, FT: receive and transmit VFO; CB, TB: their bands
};

struct Command
{
    const char* name;
    Kind kind;
};

// What the profile answers; every other command is refused with "?;", as a
// radio refuses one it does not have.
constexpr std::array<Command, 11> Commands{{
    {"ID", Kind::Identity},
    {"FA", Kind::VfoFrequency},
    {"FB", Kind::VfoFrequency},
    {"IF", Kind::Information},
    {"AI", Kind::AutoInformation},
    {"PS", Kind::Power},
    {"MD", Kind::Mode},
    {"FR", Kind::VfoOrBand},
    {"FT", Kind::VfoOrBand},
    {"CB", Kind::VfoOrBand},
    {"TB", Kind::VfoOrBand},
}};

int findCommand(QByteArrayView name)
{
    for (std::size_t i = 0; i < Commands.size(); ++i) {
        if (name == Commands[i].name)
            return static_cast<int>(i);
    }
    return -1;
}

// Blanks, tabs and line ends, which devices put between commands. NUL and
// other control bytes are not: they are noise, and make a command garbled.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArrayView withoutBlanksAround(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isUpperLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool allDigits(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return isDecimalDigit(QLatin1Char(c)); });
}

TKenwoodReply served(QByteArray text = {})
{
    return {std::move(text), true, false};
}

TKenwoodReply refused()
{
    return {Refused.toByteArray(), false, false};
}

// A set of something the panel has exactly one value of: setting that value
// is done (nothing changes), any other is refused.
TKenwoodReply setFixed(QByteArrayView parameters, char ours)
{
    return parameters.size() == 1 && parameters.front() == ours ? served() : refused();
}

// Each command that the received bytes complete; a stray ';' or a blank
// line is none.
template <typename Handle>
void forEachCommand(TKenwoodCommandReader& reader, QByteArrayView received, Handle handle)
{
    reader.append(received);
    while (const std::optional<QByteArray> command = reader.takeCommand()) {
        if (!command->isEmpty())
            handle(*command);
    }
}

void record(TLineMonitor& monitor, const QByteArray& command, bool answered, qint64 nowMs)
{
    if (answered)
        monitor.recordAnswered(nowMs);
    else
        monitor.recordUnanswered(command, nowMs);
}

} // namespace

std::optional<std::uint32_t> dialForOutput(std::uint64_t output, bool div4)
{
    // A div4 output is a quarter of the dial, so no output above the
    // highest dial has one in either mode.
    if (output > RigctlHighestFrequency)
        return std::nullopt;
    if (!div4)
        return static_cast<std::uint32_t>(output);
    // N / 4 + 10000 rounds to `output` for N + 40000 within 4 * output - 2 to
    // 4 * output + 2 (the ends only for an even output, where the half rounds
    // to it). Of those the middle one is taken, else the nearest in range.
    const std::int64_t middle = std::int64_t(output) * 4 - 40000;
    const std::int64_t reach = output % 2 == 0 ? 2 : 1;
    const std::int64_t dial = std::clamp<std::int64_t>(middle, 0, RigctlHighestFrequency);
    if (dial < middle - reach || dial > middle + reach)
        return std::nullopt;
    return static_cast<std::uint32_t>(dial);
}

std::optional<QByteArray> kenwoodFrequencyField(const QString& frequencyString)
{
    QString padded = frequencyString;
    padFrequencyString(padded);
    if (!fillsFrequencyField(padded))
        return std::nullopt;
    return padded.rightJustified(11, u'0').toLatin1();
}

void TKenwoodCommandReader::append(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c == ';') {
            m_completed += m_unfinished + ';';
            m_unfinished.clear();
        } else if (m_unfinished.size() <= MaxCommandLength) {
            m_unfinished += c;
        }
    }
}

std::optional<QByteArray> TKenwoodCommandReader::takeCommand()
{
    const qsizetype end = m_completed.indexOf(';', m_start);
    if (end < 0) {
        m_completed.clear();
        m_start = 0;
        return std::nullopt;
    }
    const QByteArrayView command = QByteArrayView(m_completed).sliced(m_start, end - m_start);
    m_start = end + 1;
    return withoutBlanksAround(command).toByteArray();
}

bool isWellFormedKenwoodCommand(QByteArrayView command)
{
    return command.size() >= 2 && command.size() <= TKenwoodCommandReader::MaxCommandLength &&
           isUpperLetter(command[0]) && isUpperLetter(command[1]) &&
           std::all_of(command.begin() + 2, command.end(),
                       [](char c) { return c >= ' ' && c <= '~'; });
}

void recordIfOnlyLine(TKenwoodCommandReader& reader, QByteArrayView received, bool replied,
                      TLineMonitor& monitor, qint64 nowMs)
{
    forEachCommand(reader, received, [&](const QByteArray& command) {
        record(monitor, command, replied && command.endsWith("IF"), nowMs);
    });
}

TKenwoodReply TKenwoodSession::answer(QByteArrayView command)
{
    if (!isWellFormedKenwoodCommand(command))
        return {};
    const int found = findCommand(command.first(2));
    if (found < 0)
        return refused();
    const QByteArrayView parameters = command.sliced(2);
    return parameters.isEmpty() ? query(found) : set(found, parameters);
}

TKenwoodSession::Answer TKenwoodSession::take(QByteArrayView received, TLineMonitor& monitor,
                                              qint64 nowMs)
{
    return takeRecording(received, [&](const QByteArray& command, bool served) {
        record(monitor, command, served, nowMs);
    });
}

TKenwoodSession::Answer TKenwoodSession::take(QByteArrayView received)
{
    return takeRecording(received, [](const QByteArray&, bool) {});
}

template <typename Record>
TKenwoodSession::Answer TKenwoodSession::takeRecording(QByteArrayView received, Record record)
{
    Answer answered;
    forEachCommand(m_reader, received, [&](const QByteArray& command) {
        const TKenwoodReply reply = answer(command);
        record(command, reply.served);
        answered.text += reply.text;
        answered.carriesFrequency = answered.carriesFrequency || reply.carriesFrequency;
    });
    return answered;
}

TKenwoodReply TKenwoodSession::query(int command)
{
    const QByteArray name = Commands[command].name;
    switch (Commands[command].kind) {
    case Kind::Identity:
        return served(name + m_id + ';');
    case Kind::VfoFrequency: {
        const std::optional<QByteArray> field = kenwoodFrequencyField(m_rig.frequencyString());
        if (!field)
            return {};
        return {name + *field + ';', true, true};
    }
    case Kind::Information:
        return informationReply();
    case Kind::AutoInformation:
        return served(name + m_autoInformation + ';');
    case Kind::Power:
        return served(name + "1;");
    case Kind::Mode: {
        const TRigctlModeName* mode = findRigctlMode(m_mode.name);
        return served(name + (mode ? mode->kenwoodDigit : '2') + ';');
    }
    case Kind::VfoOrBand:
        return served(name + OurVfo + ';');
    }
    return refused(); // not reached: every kind returns
}

TKenwoodReply TKenwoodSession::set(int command, QByteArrayView parameters)
{
    switch (Commands[command].kind) {
    case Kind::Identity:
    case Kind::Information:
        return refused();
    case Kind::VfoFrequency:
        return setFrequency(parameters);
    case Kind::AutoInformation:
        if (parameters.size() != 1 || parameters.front() < '0' || parameters.front() > '2')
            return refused();
        m_autoInformation = parameters.front();
        return served();
    case Kind::Power:
        return setFixed(parameters, '1'); // the panel cannot be switched off from the line
    case Kind::Mode: {
        const TRigctlModeName* asked =
            parameters.size() == 1 ? rigctlModeOfKenwoodDigit(parameters.front()) : nullptr;
        if (!asked)
            return refused();
        // A mode that the digit already stands for stays, so that MD2 keeps
        // a client's PKTUSB and its passband.
        const TRigctlModeName* current = findRigctlMode(m_mode.name);
        if (!current || current->kenwoodDigit != asked->kenwoodDigit)
            m_mode = {asked->name, asked->defaultPassband};
        return served();
    }
    case Kind::VfoOrBand:
        return setFixed(parameters, OurVfo);
    }
    return refused(); // not reached: every kind returns
}

// Eleven digits of hertz, as every Kenwood radio takes them.
TKenwoodReply TKenwoodSession::setFrequency(QByteArrayView digits)
{
    std::uint64_t hertz = 0;
    if (digits.size() != 11 || !allDigits(digits) ||
        std::from_chars(digits.begin(), digits.end(), hertz).ec != std::errc())
        return refused();
    const std::optional<std::uint32_t> dial = dialForOutput(hertz, m_rig.div4Mode());
    if (!dial)
        return refused();
    m_rig.setDialFrequency(*dial);
    return served();
}

TKenwoodReply TKenwoodSession::informationReply() const
{
    const std::optional<QByteArray> field = kenwoodFrequencyField(m_rig.frequencyString());
    if (!field)
        return {};
    // ifReply puts "IF00" before nine digits; the field's first two are "00".
    return {ifReply(QString::fromLatin1(field->sliced(2))).toLatin1(), true, true};
}

TKenwoodSession::Announcement TKenwoodSession::noteChange(qint64 nowMs)
{
    if (!autoInformation() || m_announcementPending)
        return {};
    if (m_announcedAt && nowMs - *m_announcedAt < AutoInformationIntervalMs) {
        m_announcementPending = true;
        return {{}, *m_announcedAt + AutoInformationIntervalMs - nowMs};
    }
    return {announce(nowMs), std::nullopt};
}

QByteArray TKenwoodSession::announcementDue(qint64 nowMs)
{
    if (!m_announcementPending)
        return {};
    m_announcementPending = false;
    return autoInformation() ? announce(nowMs) : QByteArray();
}

QByteArray TKenwoodSession::announce(qint64 nowMs)
{
    m_announcedAt = nowMs;
    return informationReply().text;
}
