// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SystemError.h"

#include <cstring>

namespace serial {

std::string describeSystemError(int code)
{
    // The GNU strerror_r: safe on any thread, and it may return a text of its own.
    char buffer[256];
    return strerror_r(code, buffer, sizeof buffer);
}

} // namespace serial
