// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small helpers shared by the serial port tests.

#include "BCPort.h"

#include <QString>
#include <exception>
#include <functional>

// The text of the EComPort that `action` raises; empty when it raises none.
inline QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EComPort& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// One of the ComPortMessages texts as a QString.
inline QString message(const char* text)
{
    return QString::fromUtf8(text);
}

// What an error reports: its text, and what the system said behind it in
// brackets, as the program shows them; empty for none.
inline QString reasonText(const std::exception_ptr& reason)
{
    if (!reason)
        return {};
    try {
        std::rethrow_exception(reason);
    } catch (const EComPort& e) {
        const QString text = QString::fromUtf8(e.what());
        return e.detail().isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, e.detail());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}
