// SPDX-License-Identifier: GPL-3.0-or-later

// The reporting functions of SystemError.h as the Windows backend's tests
// have them, in place of the component's: a failure goes back with the call
// that failed, and changes are printed when QUARTZEL_TEST_CHANGES is set.

#include "platform/SystemError.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace serial {

Result reportFailure(SystemError error)
{
    return Result(std::move(error));
}

bool changesLogged()
{
    static const bool logged = std::getenv("QUARTZEL_TEST_CHANGES") != nullptr;
    return logged;
}

void reportChange(const std::string& path, const std::string& change)
{
    std::printf("  change: %s: %s\n", path.c_str(), change.c_str());
}

} // namespace serial
