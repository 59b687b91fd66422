// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the serial component tells beyond its fixed messages: the system's
// reason behind an error in words (the platform keeps the failure itself,
// platform/SystemError.h), the messages in the user's language, and the log
// category "quartzel.serial" (off by default; QT_LOGGING_RULES=
// "quartzel.serial.debug=true" turns it on), which lists every failed system
// call with its errno and every open, close and change of line settings.

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcSerial)

namespace comport {

// The last failure the platform reported on this thread (serial::takeFailure),
// as the detail of the error raised for it: "<call> <path>: <system's
// reason>", with a hint where the system's words are not enough ("open
// /dev/ttyUSB0: Permission denied (you are not in the dialout group?)").
// Empty when none is left: each failure is given out once.
QString takeFailureDetail();

// One of the ComPortMessages texts in the language of the installed
// translation; as it is without one.
QString translatedMessage(const QString& message);

} // namespace comport
