// SPDX-License-Identifier: GPL-3.0-or-later

#include "TerminalOutput.h"

#include <QLatin1String>
#include <QString>
#include <QtGlobal>

namespace {

QtMessageHandler previousHandler = nullptr;

void dropRuntimeDirWarning(QtMsgType type, const QMessageLogContext& context,
                           const QString& message)
{
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    previousHandler(type, context, message);
}

} // namespace

void prepareTerminalOutput()
{
    previousHandler = qInstallMessageHandler(dropRuntimeDirWarning);
}

void writeTerminalText(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}
