// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/SystemError.h"

#include <atomic>
#include <utility>

namespace serial {

namespace {

// Like errno, a failure belongs to the thread whose call failed.
thread_local std::optional<SystemError> lastFailure;

std::atomic<const Diagnostics*> installed = nullptr;

} // namespace

void reportFailure(SystemError error)
{
    const Diagnostics* diagnostics = installed.load();
    if (diagnostics && diagnostics->failed)
        diagnostics->failed(error);
    lastFailure = std::move(error);
}

void forgetFailure()
{
    lastFailure.reset();
}

std::optional<SystemError> takeFailure()
{
    return std::exchange(lastFailure, std::nullopt);
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
