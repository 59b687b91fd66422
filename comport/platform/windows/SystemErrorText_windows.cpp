// SPDX-License-Identifier: GPL-3.0-or-later

#include "SystemErrorText_windows.h"

#include <windows.h>

namespace serial {

std::string describeSystemError(int code)
{
    char text[512] = {};
    // Language 0: the user's language, else the system's, else English.
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string described(text, length);
    while (!described.empty() && (described.back() == '\n' || described.back() == '\r' ||
                                  described.back() == ' ' || described.back() == '.'))
        described.pop_back();
    return described.empty() ? "error " + std::to_string(code) : described;
}

} // namespace serial
