// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ComTypes.h"
#include "LineSetting.h"
#include "SharedDial.h"

#include <QList>
#include <QObject>

class TLine;

// The lines beside the panel's that the [LINES] setting asks for: each
// further port (--also-port) and the program's own line (--pty), each a
// TLine that answers from the frequency string the window publishes here.
// They open when the panel's port opens by Connect and close with
// Disconnect; a line that fails says so once by its name and leaves the
// others working. With the Kenwood profile on, every line speaks it. With nothing set there is no
// line and nothing changes. UI thread.
class TLines : public QObject
{
    Q_OBJECT

public:
    explicit TLines(QObject* parent = nullptr);
    // The lines go before the dial they read.
    ~TLines() override;

    // Makes the lines of `setting`, closed. An entry that cannot be served
    // (a rate the panel does not offer, an unreadable stored entry) is
    // reported once and left out.
    void configure(const LinesSetting& setting);
    // Opens every line; one without a rate of its own takes `panelRate`.
    void open(TBaudRate panelRate);
    // Closes every line, or ends its wait; a failure is reported and the
    // other lines are closed all the same.
    void close();
    // Whether a port whose device goes away is to be waited for.
    bool reconnect() const { return m_reconnect; }
    // The frequency string the window composed, and whether it is the div4
    // transform of the dial, for every line's replies.
    void publish(const QString& frequencyString, bool div4Mode)
    {
        m_dial.publish(frequencyString, div4Mode);
    }
    void publishMode(const TRigctlMode& mode) { m_dial.publishMode(mode); }
    // With an identity, every line answers with the Kenwood profile; without,
    // "IF;" alone. Lines made later follow it.
    void setKenwood(const std::optional<QByteArray>& id);
    // The dial or the mode changed, for the lines' auto-information.
    void noteChange();
    const QList<TLine*>& lines() const { return m_lines; }

signals:
    // A line's device set the dial or the mode (TLine).
    void dialAsked(quint32 hertz);
    void modeAsked(const QByteArray& name, int passband);

private:
    void add(TLine* line, std::optional<TBaudRate> rate);
    void deleteLines();

    TSharedDial m_dial;
    QList<TLine*> m_lines;
    // The rate each line was given; none: the panel's.
    QList<std::optional<TBaudRate>> m_rates;
    bool m_reconnect = false;
    std::optional<QByteArray> m_kenwoodId;
};
