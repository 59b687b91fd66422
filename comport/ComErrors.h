// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The serial port component's error and its fixed texts: what every unit of
// the component raises, and what the program shows.

#include <QString>
#include <QtGlobal>
#include <stdexcept>
#include <utility>

// The serial port component's error. what() is exactly one of the fixed
// texts below (UTF-8, the source texts of their translations); detail() says
// what the system reported behind it, where known ("open /dev/ttyUSB0:
// Permission denied"), or is empty.
class EComPort : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    EComPort(const char* message, QString detail)
        : std::runtime_error(message), m_detail(std::move(detail))
    {
    }

    const QString& detail() const { return m_detail; }

private:
    QString m_detail;
};

// The fixed texts, marked for translation in the context "EComPort";
// comport::translatedMessage() gives them in the user's language.
namespace ComPortMessages {
inline constexpr const char* NoSuchPort =
    QT_TRANSLATE_NOOP("EComPort", "Попытка открыть несуществующий COM-порт");
inline constexpr const char* PortInUse =
    QT_TRANSLATE_NOOP("EComPort", "Порт занят другой программой");
inline constexpr const char* WriteError = QT_TRANSLATE_NOOP("EComPort", "Ошибка записи в порт");
inline constexpr const char* ReadError = QT_TRANSLATE_NOOP("EComPort", "Ошибка чтения из порта");
inline constexpr const char* InvalidAsync =
    QT_TRANSLATE_NOOP("EComPort", "Недопустимый параметр Async");
inline constexpr const char* PurgeCommFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции PurgeComm");
inline constexpr const char* SetCommStateFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции SetCommState");
inline constexpr const char* SetCommTimeoutsFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции SetCommTimeouts");
inline constexpr const char* SetupCommFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции SetupComm");
inline constexpr const char* ClearCommErrorFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции ClearCommError");
inline constexpr const char* ModemStatusFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции GetCommModemStatus");
inline constexpr const char* EscapeFailed =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка функции EscapeCommFunction");
inline constexpr const char* PropertyWhileOpen =
    QT_TRANSLATE_NOOP("EComPort", "Нельзя менять свойство, пока порт открыт");
inline constexpr const char* RegistryError =
    QT_TRANSLATE_NOOP("EComPort", "Ошибка обращения к системному реестру");
// Event delivery ended by a handler whose error is no std::exception.
inline constexpr const char* EventsInterrupted =
    QT_TRANSLATE_NOOP("EComPort", "Обработка событий порта прервана");
} // namespace ComPortMessages
