// SPDX-License-Identifier: GPL-3.0-or-later

#include "Lines.h"

#include "Application.h"
#include "BCPort.h"
#include "ComMapping.h"
#include "Line.h"
#include "platform/VirtualPort.h"

namespace {

// The panel's rate of `bitsPerSecond`; none for a rate it does not offer.
std::optional<TBaudRate> offeredRate(quint32 bitsPerSecond)
{
    for (int ordinal = 0; ordinal <= static_cast<int>(TBaudRate::br256000); ++ordinal) {
        const auto rate = static_cast<TBaudRate>(ordinal);
        if (comport::baudRateSpeed(rate) == bitsPerSecond)
            return rate;
    }
    return std::nullopt;
}

void reportCannotServe(const QString& entry, const QString& reason)
{
    showErrorMessage(TLines::tr("Cannot serve the line %1: %2").arg(entry, reason));
}

} // namespace

TLines::TLines(QObject* parent) : QObject(parent) {}

TLines::~TLines()
{
    deleteLines();
}

// A line whose device takes nothing does not hold up the end of the program.
void TLines::deleteLines()
{
    for (TLine* line : std::as_const(m_lines)) {
        line->port().AbandonWrites();
        delete line;
    }
    m_lines.clear();
    m_rates.clear();
}

void TLines::configure(const LinesSetting& setting)
{
    deleteLines();
    m_reconnect = setting.reconnect;
    for (const QString& entry : setting.unreadable)
        reportCannotServe(entry, tr("not a port, nor a port@baud"));
    for (const AlsoPort& alsoPort : setting.alsoPorts) {
        std::optional<TBaudRate> rate;
        if (alsoPort.baudRate) {
            rate = offeredRate(*alsoPort.baudRate);
            if (!rate) {
                reportCannotServe(formatAlsoPort(alsoPort),
                                  tr("the rate is not one of the panel's"));
                continue;
            }
        }
        add(new TLine(alsoPort.port, rate.value_or(TBaudRate::br9600), m_dial, this), rate);
    }
    // Where the system has no virtual ports (Windows) the command line
    // refuses --pty, and a link in the file is left unused.
    serial::Opener* virtualPorts = serial::virtualPortOpener();
    if (virtualPorts && !setting.pty.isEmpty())
        add(new TLine(setting.pty, TBaudRate::br9600, m_dial, *virtualPorts, this), std::nullopt);
}

void TLines::add(TLine* line, std::optional<TBaudRate> rate)
{
    line->setReconnect(m_reconnect);
    line->setKenwood(m_kenwoodId);
    connect(line, &TLine::dialAsked, this, &TLines::dialAsked);
    connect(line, &TLine::modeAsked, this, &TLines::modeAsked);
    m_lines.append(line);
    m_rates.append(rate);
}

void TLines::open(TBaudRate panelRate)
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        m_lines[i]->port().setBaudRate(m_rates[i].value_or(panelRate));
        m_lines[i]->open();
    }
}

void TLines::close()
{
    for (TLine* line : std::as_const(m_lines))
        reportErrors([line] { line->close(); });
}

void TLines::setKenwood(const std::optional<QByteArray>& id)
{
    m_kenwoodId = id;
    for (TLine* line : std::as_const(m_lines))
        line->setKenwood(id);
}

void TLines::noteChange()
{
    for (TLine* line : std::as_const(m_lines))
        line->noteChange();
}
