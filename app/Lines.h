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
// others working. With nothing set there is no line and nothing changes.
// UI thread.
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
    // The frequency string the window composed, for every line's replies.
    void publish(const QString& frequencyString) { m_dial.publish(frequencyString); }
    const QList<TLine*>& lines() const { return m_lines; }

private:
    void add(TLine* line, std::optional<TBaudRate> rate);
    void deleteLines();

    TSharedDial m_dial;
    QList<TLine*> m_lines;
    // The rate each line was given; none: the panel's.
    QList<std::optional<TBaudRate>> m_rates;
    bool m_reconnect = false;
};
