// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctldSetting.h"

#include "IpAddress.h"

namespace {

constexpr QLatin1String RigctldOff{"off"};

std::optional<quint16> portNumber(const QString& text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || text.startsWith(u'+'))
        return std::nullopt;
    return static_cast<quint16>(port);
}

} // namespace

std::optional<RigctldSetting> parseRigctldSetting(const QString& text)
{
    if (text == RigctldOff)
        return RigctldSetting{};
    RigctldSetting setting;
    setting.enabled = true;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        setting.address = text.first(colon);
        portText = text.sliced(colon + 1);
        if (setting.address.startsWith(u'[') && setting.address.endsWith(u']'))
            setting.address = setting.address.sliced(1, setting.address.size() - 2);
        else if (setting.address.contains(u':'))
            return std::nullopt; // an IPv6 address needs its brackets
        // Kept in one form, without the blanks and line breaks around it,
        // which must not reach the settings file.
        const std::optional<QString> address = canonicalIpAddress(setting.address);
        if (!address)
            return std::nullopt;
        setting.address = *address;
    }
    const std::optional<quint16> port = portNumber(portText);
    if (!port)
        return std::nullopt;
    setting.port = *port;
    return setting;
}

QString formatRigctldSetting(const RigctldSetting& setting)
{
    if (!setting.enabled)
        return RigctldOff;
    const QString address =
        setting.address.contains(u':') ? u'[' + setting.address + u']' : setting.address;
    return address + u':' + QString::number(setting.port);
}
