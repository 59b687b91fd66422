// SPDX-License-Identifier: GPL-3.0-or-later

#include "IpAddress.h"

#include "Convert.h"

#include <QList>
#include <QStringView>
#include <algorithm>
#include <array>
#include <vector>

namespace {

using Ipv4 = std::array<quint8, 4>;
using Ipv6 = std::array<quint16, 8>;

bool isDigits(QStringView text, int base)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [base](QChar c) {
        return isDecimalDigit(c) ||
               (base == 16 && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')));
    });
}

std::optional<Ipv4> parseIpv4(QStringView text)
{
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    Ipv4 bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const QStringView part = parts[static_cast<qsizetype>(i)];
        if (part.size() > 3 || !isDigits(part, 10) || part.toInt() > 255)
            return std::nullopt;
        bytes[i] = static_cast<quint8>(part.toInt());
    }
    return bytes;
}

// The groups of one side of "::"; an IPv4 address may stand for the last two.
std::optional<std::vector<quint16>> ipv6Groups(QStringView text, bool mayEndInIpv4)
{
    std::vector<quint16> groups;
    if (text.isEmpty())
        return groups;
    const QList<QStringView> fields = text.split(u':');
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QStringView field = fields[i];
        if (mayEndInIpv4 && i == fields.size() - 1 && field.contains(u'.')) {
            const std::optional<Ipv4> v4 = parseIpv4(field);
            if (!v4)
                return std::nullopt;
            groups.push_back(static_cast<quint16>((*v4)[0] << 8 | (*v4)[1]));
            groups.push_back(static_cast<quint16>((*v4)[2] << 8 | (*v4)[3]));
        } else if (field.size() <= 4 && isDigits(field, 16)) {
            groups.push_back(static_cast<quint16>(field.toUInt(nullptr, 16)));
        } else {
            return std::nullopt;
        }
    }
    return groups;
}

std::optional<Ipv6> parseIpv6(QStringView text)
{
    const qsizetype gap = text.indexOf(u"::");
    if (gap >= 0 && text.indexOf(u"::", gap + 1) >= 0)
        return std::nullopt;
    const auto head = ipv6Groups(gap >= 0 ? text.first(gap) : text, gap < 0);
    const auto tail = ipv6Groups(gap >= 0 ? text.sliced(gap + 2) : QStringView(), true);
    if (!head || !tail)
        return std::nullopt;
    const std::size_t given = head->size() + tail->size();
    if (gap >= 0 ? given > 7 : given != 8)
        return std::nullopt;
    Ipv6 groups{};
    std::copy(head->begin(), head->end(), groups.begin());
    std::copy(tail->begin(), tail->end(), groups.end() - static_cast<std::ptrdiff_t>(tail->size()));
    return groups;
}

QString dotted(const Ipv4& bytes)
{
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

// The shortest form: the longest run of two or more zero groups (the first
// of equal runs) becomes "::".
QString formatIpv6(const Ipv6& groups)
{
    if (std::all_of(groups.begin(), groups.begin() + 5, [](quint16 g) { return g == 0; }) &&
        groups[5] == 0xffff)
        return QStringLiteral("::ffff:") +
               dotted({static_cast<quint8>(groups[6] >> 8), static_cast<quint8>(groups[6]),
                       static_cast<quint8>(groups[7] >> 8), static_cast<quint8>(groups[7])});
    std::size_t runStart = groups.size();
    std::size_t runLength = 1;
    for (std::size_t i = 0; i < groups.size();) {
        std::size_t end = i;
        while (end < groups.size() && groups[end] == 0)
            ++end;
        if (end - i > runLength) {
            runStart = i;
            runLength = end - i;
        }
        i = std::max(end, i + 1);
    }
    QString text;
    for (std::size_t i = 0; i < groups.size();) {
        if (i == runStart) {
            text += QStringLiteral("::");
            i += runLength;
            continue;
        }
        if (!text.isEmpty() && !text.endsWith(u':'))
            text += u':';
        text += QString::number(groups[i++], 16);
    }
    return text;
}

bool isScope(QStringView scope)
{
    return !scope.isEmpty() && std::all_of(scope.begin(), scope.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_';
    });
}

} // namespace

std::optional<QString> canonicalIpAddress(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (const std::optional<Ipv4> v4 = parseIpv4(trimmed))
        return dotted(*v4);
    const qsizetype percent = trimmed.indexOf(u'%');
    const QStringView address = QStringView(trimmed).first(percent >= 0 ? percent : trimmed.size());
    const QStringView scope =
        percent >= 0 ? QStringView(trimmed).sliced(percent + 1) : QStringView();
    if (percent >= 0 && !isScope(scope))
        return std::nullopt;
    const std::optional<Ipv6> v6 = parseIpv6(address);
    if (!v6)
        return std::nullopt;
    return percent >= 0 ? formatIpv6(*v6) + u'%' + scope.toString() : formatIpv6(*v6);
}
