// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComDiagnostics.h"

#include <QCoreApplication>

Q_LOGGING_CATEGORY(lcSerial, "quartzel.serial", QtInfoMsg)

namespace {

QString systemReason(int code)
{
    return QString::fromLocal8Bit(serial::describeSystemError(code));
}

QString hintText(serial::FailureHint hint)
{
    switch (hint) {
    case serial::FailureHint::None:
        return {};
    case serial::FailureHint::NotInDialoutGroup:
        return QCoreApplication::translate("EComPort", "you are not in the dialout group?");
    case serial::FailureHint::NotASerialPort:
        return QCoreApplication::translate("EComPort", "not a serial port");
    case serial::FailureHint::SettingsRefused:
        return QCoreApplication::translate("EComPort",
                                           "the device does not take these line settings");
    case serial::FailureHint::NotOurLink:
        return QCoreApplication::translate(
            "EComPort", "not a link that this program made: remove it or choose another path");
    }
    return {};
}

void logFailure(const serial::SystemError& error)
{
    qCDebug(lcSerial, "%s %s failed: errno %d (%s)", error.call.c_str(), error.path.c_str(),
            error.code, serial::describeSystemError(error.code).c_str());
}

bool changesWanted()
{
    return lcSerial().isDebugEnabled();
}

void logChange(const std::string& path, const std::string& change)
{
    qCDebug(lcSerial, "%s: %s", path.c_str(), change.c_str());
}

constexpr serial::Diagnostics serialLog{logFailure, changesWanted, logChange};

} // namespace

namespace comport {

void installSerialLog()
{
    serial::installDiagnostics(&serialLog);
}

QString failureDetail(const std::optional<serial::SystemError>& reason)
{
    if (!reason)
        return {};
    QString detail =
        QStringLiteral("%1 %2: %3")
            .arg(QString::fromStdString(reason->call), QString::fromLocal8Bit(reason->path.c_str()),
                 systemReason(reason->code));
    if (reason->hint != serial::FailureHint::None)
        detail += QStringLiteral(" (%1)").arg(hintText(reason->hint));
    return detail;
}

QString translatedMessage(const QString& message)
{
    return QCoreApplication::translate("EComPort", message.toUtf8().constData());
}

} // namespace comport
