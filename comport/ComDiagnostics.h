// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the serial component tells beyond its fixed messages: the system's
// reason behind an error in words (the platform gives it with the failure,
// platform/SystemError.h), the messages in the user's language, and the log
// category "quartzel.serial" (off by default; QT_LOGGING_RULES=
// "quartzel.serial.debug=true" turns it on), which lists every failed system
// call with its errno and every open, close and change of line settings.

#include "platform/SystemError.h"

#include <QLoggingCategory>
#include <QString>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcSerial)

namespace comport {

// Sends what the serial devices report (failed calls, opens, closes, line
// settings) to the log category "quartzel.serial" from now on, for every
// thread. Called once, before the first port is opened; nothing is logged
// without it.
void installSerialLog();

// The system's reason for a failed call, as the detail of the error raised
// for it: "<call> <path>: <system's reason>", with a hint where the system's
// words are not enough ("open /dev/ttyUSB0: Permission denied (you are not in
// the dialout group?)"). Empty for none.
QString failureDetail(const std::optional<serial::SystemError>& reason);

// One of the ComPortMessages texts in the language of the installed
// translation; as it is without one.
QString translatedMessage(const QString& message);

} // namespace comport
