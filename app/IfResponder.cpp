// SPDX-License-Identifier: GPL-3.0-or-later

#include "IfResponder.h"

#include "Convert.h"

#include <algorithm>

namespace {
constexpr QByteArrayView query = "IF;";
constexpr qsizetype overlap = query.size() - 1;
} // namespace

TReceiveBuffer::TReceiveBuffer(QByteArrayView initial)
    : m_text(initial.toByteArray()), m_hasQuery(initial.contains(query))
{
    keepTail();
}

bool TReceiveBuffer::append(QByteArrayView chunk)
{
    if (chunk.isEmpty())
        return false;
    const qsizetype searchFrom = qMax<qsizetype>(0, m_text.size() - overlap);
    m_text.append(chunk);
    if (!m_hasQuery)
        m_hasQuery = QByteArrayView(m_text).sliced(searchFrom).contains(query);
    keepTail();
    return true;
}

void TReceiveBuffer::clear()
{
    m_text.clear();
    m_hasQuery = false;
}

void TReceiveBuffer::keepTail()
{
    if (m_text.size() > KeptBytes)
        m_text.remove(0, m_text.size() - KeptBytes);
}

bool appendReceived(TReceiveBuffer& buffer, QByteArray chunk, bool crlf)
{
    if (crlf && chunk.endsWith('\r'))
        chunk.append('\n');
    return buffer.append(chunk);
}

std::optional<QString> replyToQuery(const TReceiveBuffer& buffer, QString& frequencyString)
{
    if (!buffer.containsQuery())
        return std::nullopt;
    padFrequencyString(frequencyString);
    if (!fillsFrequencyField(frequencyString))
        return std::nullopt;
    return ifReply(frequencyString);
}

void padFrequencyString(QString& frequencyString)
{
    if (frequencyString.size() == 7)
        frequencyString.prepend(QStringLiteral("00"));
    if (frequencyString.size() == 8)
        frequencyString.prepend(QStringLiteral("0"));
}

bool fillsFrequencyField(QStringView frequencyString)
{
    return (frequencyString.size() == 9 || frequencyString.size() == 6) &&
           std::all_of(frequencyString.begin(), frequencyString.end(), isDecimalDigit);
}

QString ifReply(const QString& frequencyString)
{
    return QStringLiteral("IF00") + frequencyString + QStringLiteral("0010+0000000000010000000;");
}
