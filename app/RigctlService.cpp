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

// What the file start-up read holds; nothing when it names no setting or
// one that cannot be read (reported). An unreadable one is never written
// back.
std::optional<RigctldSetting> storedRigctldSetting(const StoredSettings& stored)
{
    const std::optional<QString>& text = stored.rigctldText;
    if (!text)
        return std::nullopt;
    const std::optional<RigctldSetting> setting = parseRigctldSetting(*text);
    if (!setting)
        reportCannotServe(*text, QCoreApplication::translate(
                                     "TRigctlServer", "not an IP address and port, nor 'off'"));
    return setting;
}

} // namespace

// The setting is the one start-up read with the other settings, and written
// when the window closes, with them: written at once, it could leave a file
// without [PORT] that the next start would read as 0 Hz. A setting read
// from a file is written too: closing may write another file (the user's
// own, when start-up read the one beside a program that cannot write there).
TRigctlService::TRigctlService(TMainForm& form, const CommandLineOptions& options)
    : m_form(form), m_rig(form)
{
    const std::optional<RigctldSetting> setting =
        options.rigctld ? options.rigctld : storedRigctldSetting(form.storedSettings());
    if (!setting)
        return;
    form.OnSaveSettings = [kept = *setting](TIniFile& file) { writeRigctldSetting(file, kept); };
    if (!setting->enabled)
        return;
    m_server = std::make_unique<TRigctlServer>(m_rig);
    if (!m_server->listen(*setting)) {
        reportCannotServe(formatRigctldSetting(*setting), m_server->errorString());
        m_server.reset();
    }
}

TRigctlService::~TRigctlService()
{
    m_form.OnSaveSettings = nullptr;
}
