// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small helpers shared by the serial port tests.

#include "BCPort.h"

#include <QString>
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
