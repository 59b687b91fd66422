// SPDX-License-Identifier: GPL-3.0-or-later

#include "RigctlService.h"

#include "Application.h"
#include "CommandLine.h"
#include "Main.h"

#include <QCoreApplication>

namespace {

void reportCannotServe(const QString& where, const QString& reason)
{
    showErrorMessage(
        QCoreApplication::translate("TRigctlServer", "Cannot serve Hamlib clients on %1: %2")
            .arg(where, reason));
}

} // namespace

// The setting is written when the window closes, with the others: written
// at once, it could leave a file without [PORT] that the next start would
// read as 0 Hz. A setting read from a file is written too: closing may write
// another file (the user's own, when start-up read the one beside a program
// that cannot write there).
TRigctlService::TRigctlService(TMainForm& form, const CommandLineOptions& options) : m_rig(form)
{
    StoredSetting<RigctldSetting>& stored = form.storedSettings().rigctld;
    if (options.rigctld)
        stored.inEffect = options.rigctld;
    else if (stored.unreadable)
        reportCannotServe(
            *stored.unreadable,
            QCoreApplication::translate("TRigctlServer", "not an IP address and port, nor 'off'"));
    if (!stored.inEffect || !stored.inEffect->enabled)
        return;
    const RigctldSetting setting = *stored.inEffect;
    m_server = std::make_unique<TRigctlServer>(m_rig);
    if (!m_server->listen(setting)) {
        reportCannotServe(formatRigctldSetting(setting), m_server->errorString());
        m_server.reset();
    }
}
