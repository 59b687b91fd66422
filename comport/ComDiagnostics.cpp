// SPDX-License-Identifier: GPL-3.0-or-later

#include "ComDiagnostics.h"

#include "platform/SystemError.h"

#include <QCoreApplication>
#include <cstring>
#include <optional>
#include <utility>

Q_LOGGING_CATEGORY(lcSerial, "quartzel.serial", QtInfoMsg)

namespace {

// Like errno, a failure belongs to the thread whose call failed.
thread_local std::optional<serial::SystemError> lastFailure;

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
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
    }
    return {};
}

} // namespace

namespace serial {

void reportFailure(SystemError error)
{
    qCDebug(lcSerial, "%s %s failed: errno %d (%s)", error.call.c_str(), error.path.c_str(),
            error.code, std::strerror(error.code));
    lastFailure = std::move(error);
}

bool changesLogged()
{
    return lcSerial().isDebugEnabled();
}

void reportChange(const std::string& path, const std::string& change)
{
    qCDebug(lcSerial, "%s: %s", path.c_str(), change.c_str());
}

} // namespace serial

namespace comport {

void forgetFailure()
{
    lastFailure.reset();
}

QString takeFailureDetail()
{
    if (!lastFailure)
        return {};
    const serial::SystemError error = *std::exchange(lastFailure, std::nullopt);
    QString detail = QStringLiteral("%1 %2: %3")
                         .arg(QString::fromStdString(error.call),
                              QString::fromLocal8Bit(error.path.c_str()), systemReason(error.code));
    if (error.hint != serial::FailureHint::None)
        detail += QStringLiteral(" (%1)").arg(hintText(error.hint));
    return detail;
}

QString translatedMessage(const QString& message)
{
    return QCoreApplication::translate("EComPort", message.toUtf8().constData());
}

} // namespace comport
