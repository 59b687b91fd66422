// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestReports.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

thread_local serial::SystemError lastFailure;

} // namespace

namespace serial {

void reportFailure(SystemError error)
{
    lastFailure = std::move(error);
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

namespace testreports {

serial::SystemError takeFailure()
{
    return std::exchange(lastFailure, serial::SystemError{});
}

void forgetFailure()
{
    lastFailure = {};
}

} // namespace testreports
