// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SystemError.h"

#include <atomic>

namespace serial {

namespace {

std::atomic<const Diagnostics*> installed = nullptr;

} // namespace

Result reportFailure(SystemError error)
{
    const Diagnostics* diagnostics = installed.load();
    if (diagnostics && diagnostics->failed)
        diagnostics->failed(error);
    return Result(std::move(error));
}

bool changesLogged()
{
    const Diagnostics* diagnostics = installed.load();
    return diagnostics && diagnostics->changesWanted && diagnostics->changesWanted();
}

void reportChange(const std::string& path, const std::string& change)
{
    const Diagnostics* diagnostics = installed.load();
    if (diagnostics && diagnostics->changed)
        diagnostics->changed(path, change);
}

void installDiagnostics(const Diagnostics* diagnostics)
{
    installed = diagnostics;
}

} // namespace serial
