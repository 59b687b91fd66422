// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// What has been received since the last reply, watched for the query "IF;".
//
// Every byte counts, NUL included. Only a bounded tail is kept: a query can
// only be completed by a new chunk, so the search covers the chunk and the
// two bytes before it, and the rest is kept just for display. A device that
// floods the line with text that never holds a query therefore costs neither
// memory nor search time that grows with the run.
class TReceiveBuffer
{
public:
    static constexpr qsizetype KeptBytes = 256;

    explicit TReceiveBuffer(QByteArrayView initial = {});

    // Appends a chunk; false when the chunk was empty and nothing changed.
    bool append(QByteArrayView chunk);
    // Whether "IF;" has been received since the last clear.
    bool containsQuery() const { return m_hasQuery; }
    void clear();

    // The last bytes received (at most KeptBytes), for display.
    const QByteArray& text() const { return m_text; }

private:
    void keepTail();

    QByteArray m_text;
    bool m_hasQuery = false;
};

// Appends a received chunk as the responder takes it: with `crlf` set, a
// chunk that ends in CR gains an LF. False when nothing changed.
bool appendReceived(TReceiveBuffer& buffer, QByteArray chunk, bool crlf);

// The reply to a buffer that holds "IF;", the frequency string padded in
// place first; nothing when the buffer holds no query. The caller empties
// the buffer once the reply has gone out.
//
// Nothing either while the padded frequency string does not fill the
// reply's frequency field (fillsFrequencyField): a device reads its
// frequency from fixed places in the reply, so a reply of another length
// would tune it wrongly, where no reply makes it ask again. The string is
// empty when start-up failed before the first composition, and holds what
// the digits held when a composition failed. The query then stays in the
// buffer, and the first chunk received after the next composition that
// fills the field is answered.
std::optional<QString> replyToQuery(const TReceiveBuffer& buffer, QString& frequencyString);

// Pads a div4 frequency string of 7 or 8 characters to nine, in place.
void padFrequencyString(QString& frequencyString);

// Whether a padded frequency string fills the reply's frequency field: nine
// decimal digits, or six (div4 mode below 359 998 Hz), which make a reply of
// 38 or 35 characters.
bool fillsFrequencyField(QStringView frequencyString);

// The reply to "IF;": "IF00" + frequency string + the fixed tail.
QString ifReply(const QString& frequencyString);
