// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>

// The text of an IP address as a listener takes it, in one form whatever way
// it was written: IPv4 in dotted decimal ("127.0.0.1"), IPv6 in its shortest
// form ("::1", lower case, "::ffff:" addresses with their IPv4 part dotted),
// with the scope of a link-local address kept ("fe80::1%eth0"). Blanks
// around the address are dropped. Nothing for anything else: host names,
// the short and hexadecimal IPv4 forms, an IPv6 address with a bad group.
std::optional<QString> canonicalIpAddress(const QString& text);
