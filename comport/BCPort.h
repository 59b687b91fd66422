#pragma once

#include <stdexcept>
#include <string>

// The serial port component's error. Carries exactly one of the fixed texts
// below (UTF-8); no system error code or detail is ever added to it.
class EComPort : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace ComPortMessages {
inline constexpr const char* NoSuchPort = "Попытка открыть несуществующий COM-порт";
inline constexpr const char* PortInUse = "Порт занят другой программой";
inline constexpr const char* WriteError = "Ошибка записи в порт";
inline constexpr const char* ReadError = "Ошибка чтения из порта";
inline constexpr const char* InvalidAsync = "Недопустимый параметр Async";
inline constexpr const char* PurgeCommFailed = "Ошибка функции PurgeComm";
inline constexpr const char* SetCommStateFailed = "Ошибка функции SetCommState";
inline constexpr const char* SetCommTimeoutsFailed = "Ошибка функции SetCommTimeouts";
inline constexpr const char* SetupCommFailed = "Ошибка функции SetupComm";
inline constexpr const char* ClearCommErrorFailed = "Ошибка функции ClearCommError";
inline constexpr const char* ModemStatusFailed = "Ошибка функции GetCommModemStatus";
inline constexpr const char* EscapeFailed = "Ошибка функции EscapeCommFunction";
inline constexpr const char* PropertyWhileOpen = "Нельзя менять свойство, пока порт открыт";
inline constexpr const char* RegistryError = "Ошибка обращения к системному реестру";
} // namespace ComPortMessages
