// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>

// Where the listener for Hamlib's network rig protocol (rigctld's) listens.
// Off unless asked; kept in a section of its own, beside [PORT].
struct RigctldSetting
{
    bool enabled = false;
    QString address = QStringLiteral("127.0.0.1"); // an IP address: loopback unless named
    quint16 port = 4532;                           // rigctld's usual port

    bool operator==(const RigctldSetting&) const = default;
};

// "[ADDRESS:]PORT" with an IP address and a port from 1 to 65535 ("4532",
// "0.0.0.0:4532", "[::1]:4532"; an IPv6 address in brackets), or "off".
// Nothing for any other text, host names included. Whether the address is
// one of this machine's shows only when listening.
std::optional<RigctldSetting> parseRigctldSetting(const QString& text);
// The text parseRigctldSetting reads back: "127.0.0.1:4532" or "off".
QString formatRigctldSetting(const RigctldSetting& setting);
