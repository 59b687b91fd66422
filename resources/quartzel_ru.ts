<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CommandLine</name>
    <message>
        <source>Front panel for an Si570 synthesizer.</source>
        <translation>Передняя панель синтезатора Si570.</translation>
    </message>
    <message>
        <source>Add &lt;port&gt; (a name such as ttyUSB0, or a device path) to the port list and select it.</source>
        <translation>Добавить &lt;port&gt; (имя, например ttyUSB0, или путь к устройству) в список портов и выбрать его.</translation>
    </message>
    <message>
        <source>Connect when start-up is complete.</source>
        <translation>Подключиться, когда запуск завершён.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Неожиданный аргумент «%1».</translation>
    </message>
    <message>
        <source>Option &apos;port&apos; needs a port name.</source>
        <translation>Параметру «port» нужно имя порта.</translation>
    </message>
    <message>
        <source>Try &apos;--help&apos; for more information.</source>
        <translation>Подробнее см. «--help».</translation>
    </message>
    <message>
        <source>Let programs that use Hamlib (model 2, NET rigctl) read and set the frequency over TCP on [&lt;address&gt;:]&lt;port&gt;, address 127.0.0.1 unless given (rigctld&apos;s usual port is 4532); &apos;off&apos; stops it. The mode a program sets is remembered, not applied. Kept in quartzel.ini.</source>
        <translation>Дать программам, работающим через Hamlib (модель 2, NET rigctl), читать и задавать частоту по TCP на [&lt;address&gt;:]&lt;port&gt;; без адреса — 127.0.0.1 (обычный порт rigctld — 4532); «off» отключает. Режим, заданный программой, запоминается, но не применяется. Сохраняется в quartzel.ini.</translation>
    </message>
    <message>
        <source>Option &apos;rigctld&apos; needs [address:]port with an IP address and a port from 1 to 65535, or &apos;off&apos;.</source>
        <translation>Параметру «rigctld» нужно [address:]port с IP-адресом и портом от 1 до 65535 или «off».</translation>
    </message>
    <message>
        <source>&apos;on&apos; answers every serial line (the panel&apos;s, --also-port, --pty) as a Kenwood TS-2000 does (ID;, FA;, FB;, IF;, AI;, MD;, ...), for devices and programs that speak Kenwood CAT: amplifiers, tuners, band decoders, Hamlib programs on the serial line; &apos;off&apos; answers IF; alone. Kept in quartzel.ini.</source>
        <translation>«on» — отвечать на каждой последовательной линии (панели, --also-port, --pty) так, как отвечает Kenwood TS-2000 (ID;, FA;, FB;, IF;, AI;, MD;, ...), для устройств и программ, говорящих на Kenwood CAT: усилителей, тюнеров, дешифраторов диапазонов, программ Hamlib на последовательной линии; «off» — отвечать только на IF;. Сохраняется в quartzel.ini.</translation>
    </message>
    <message>
        <source>On exit, write the line monitor (what the device asked, and what got no answer) to standard error.</source>
        <translation>При выходе вывести монитор линии (что спрашивало устройство и что осталось без ответа) в стандартный поток ошибок.</translation>
    </message>
    <message>
        <source>Option &apos;kenwood&apos; needs &apos;on&apos; or &apos;off&apos;.</source>
        <translation>Параметру «kenwood» нужно «on» или «off».</translation>
    </message>
    <message>
        <source>One copy runs per settings file: started again with the same settings file, the program brings the running window to the front and ends, and the options given go nowhere. Start a copy for a second device with --settings.</source>
        <translation>На каждый файл настроек работает одна копия: запущенная снова с тем же файлом настроек, программа выводит работающее окно на передний план и завершается, а заданные параметры никуда не передаются. Копию для второго устройства запускайте с --settings.</translation>
    </message>
    <message>
        <source>Keep the settings in &lt;file&gt; instead of quartzel.ini (a relative path is taken beside quartzel.ini). One copy runs for each settings file, so a second device gets a copy and settings of its own.</source>
        <translation>Хранить настройки в &lt;file&gt; вместо quartzel.ini (относительный путь берётся от папки quartzel.ini). Для каждого файла настроек работает своя копия, так что второе устройство получает свою копию и свои настройки.</translation>
    </message>
    <message>
        <source>Option &apos;settings&apos; needs a file name.</source>
        <translation>Параметру «settings» нужно имя файла.</translation>
    </message>
    <message>
        <source>Option &apos;also-port&apos; needs port[@baud], or &apos;off&apos;.</source>
        <translation>Параметру &apos;also-port&apos; нужен порт[@скорость] или &apos;off&apos;.</translation>
    </message>
    <message>
        <source>Option &apos;pty&apos; needs a path for the link, or &apos;off&apos;.</source>
        <translation>Параметру &apos;pty&apos; нужен путь для ссылки или &apos;off&apos;.</translation>
    </message>
    <message>
        <source>Option &apos;pty&apos; is for Linux: on this system a serial port of the program&apos;s own needs a driver of its own.</source>
        <translation>Параметр &apos;pty&apos; — для Linux: в этой системе собственному последовательному порту программы нужен свой драйвер.</translation>
    </message>
    <message>
        <source>Option &apos;reconnect&apos; needs &apos;on&apos; or &apos;off&apos;.</source>
        <translation>Параметру &apos;reconnect&apos; нужно &apos;on&apos; или &apos;off&apos;.</translation>
    </message>
    <message>
        <source>Answer &quot;IF;&quot; on &lt;port&gt; too, 8N1 at &lt;baud&gt; (the panel&apos;s rate unless given), opened and closed with Connect and Disconnect; give it once for each further port. &apos;off&apos; empties the list. Kept in quartzel.ini.</source>
        <translation>Отвечать на &quot;IF;&quot; и на порту &lt;port&gt;, 8N1 со скоростью &lt;baud&gt; (если не указана — со скоростью панели); порт открывается и закрывается кнопками Connect и Disconnect. Укажите параметр для каждого дополнительного порта; &apos;off&apos; очищает список. Сохраняется в quartzel.ini.</translation>
    </message>
    <message>
        <source>Linux: make a serial port of the program&apos;s own, a pseudo-terminal linked at &lt;link&gt; (such as $XDG_RUNTIME_DIR/quartzel-cat), answered as the further ports are; the link goes at exit. &apos;off&apos; stops it. Kept in quartzel.ini.</source>
        <translation>Linux: создать собственный последовательный порт программы — псевдотерминал со ссылкой &lt;link&gt; (например, $XDG_RUNTIME_DIR/quartzel-cat), который обслуживается как дополнительные порты; ссылка удаляется при выходе. &apos;off&apos; отключает его. Сохраняется в quartzel.ini.</translation>
    </message>
    <message>
        <source>&apos;on&apos;: a port whose device goes away (an adapter pulled out) is waited for and opened again when it is back; &apos;off&apos; stops that. Kept in quartzel.ini.</source>
        <translation>&apos;on&apos;: порт, устройство которого пропало (адаптер вынут), ожидается и открывается снова, когда устройство вернётся; &apos;off&apos; отключает это. Сохраняется в quartzel.ini.</translation>
    </message>
</context>
<context>
    <name>EComPort</name>
    <message>
        <source>Попытка открыть несуществующий COM-порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Порт занят другой программой</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка записи в порт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка чтения из порта</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Недопустимый параметр Async</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции PurgeComm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции SetCommState</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции SetCommTimeouts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции SetupComm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции ClearCommError</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции GetCommModemStatus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка функции EscapeCommFunction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нельзя менять свойство, пока порт открыт</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка обращения к системному реестру</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обработка событий порта прервана</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>you are not in the dialout group?</source>
        <translation>вы не в группе dialout?</translation>
    </message>
    <message>
        <source>not a serial port</source>
        <translation>это не последовательный порт</translation>
    </message>
    <message>
        <source>the device does not take these line settings</source>
        <translation>устройство не принимает эти параметры линии</translation>
    </message>
    <message>
        <source>not a link that this program made: remove it or choose another path</source>
        <translation>это не ссылка, созданная этой программой: удалите её или выберите другой путь</translation>
    </message>
</context>
<context>
    <name>FrequencyReading</name>
    <message>
        <source>&apos;%1&apos; is not a frequency: type it as 7074000, 7.074, 7074k or 7.074M</source>
        <translation>&apos;%1&apos; — не частота: наберите её как 7074000, 7.074, 7074k или 7.074M</translation>
    </message>
    <message>
        <source>%1 is not a whole number of hertz</source>
        <translation>%1 — не целое число герц</translation>
    </message>
    <message>
        <source>%1 is above the highest frequency of the dial, 299 999 999 Hz</source>
        <translation>%1 — выше наибольшей частоты шкалы, 299 999 999 Гц</translation>
    </message>
</context>
<context>
    <name>LineMonitor</name>
    <message>
        <source>Answered: %1, the last at %2</source>
        <translation>Отвечено: %1, последний раз в %2</translation>
    </message>
    <message>
        <source>Answered: none</source>
        <translation>Отвечено: ни одной</translation>
    </message>
    <message>
        <source>Polls per second over the last minute: %1</source>
        <translation>Запросов в секунду за последнюю минуту: %1</translation>
    </message>
    <message>
        <source>Not answered: none</source>
        <translation>Без ответа: ни одной</translation>
    </message>
    <message>
        <source>Not answered (the last %1 different commands, the latest first):</source>
        <translation>Без ответа (последние %1 разных команд, сначала последние):</translation>
    </message>
</context>
<context>
    <name>OpenFileReserve</name>
    <message>
        <source>Only %1 more files can be opened (ulimit -n %2); Quartzel needs %3 more to start</source>
        <translation>Свободных дескрипторов файлов: %1 (ulimit -n %2); для запуска Quartzel нужно %3</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Unknown error</source>
        <translation>Неизвестная ошибка</translation>
    </message>
</context>
<context>
    <name>TFrequencyEntry</name>
    <message>
        <source>Frequency to dial</source>
        <translation>Частота для набора</translation>
    </message>
</context>
<context>
    <name>TFrequencyStrip</name>
    <message>
        <source>Frequency</source>
        <translation>Частота</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Гц</translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>not a regular file</source>
        <translation>это не обычный файл</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>больше %1 байт</translation>
    </message>
</context>
<context>
    <name>TLine</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>TLineMonitorWindow</name>
    <message>
        <source>Line monitor</source>
        <translation>Монитор линии</translation>
    </message>
</context>
<context>
    <name>TLines</name>
    <message>
        <source>Cannot serve the line %1: %2</source>
        <translation>Невозможно обслуживать линию %1: %2</translation>
    </message>
    <message>
        <source>not a port, nor a port@baud</source>
        <translation>это не порт и не порт@скорость</translation>
    </message>
    <message>
        <source>the rate is not one of the panel&apos;s</source>
        <translation>такой скорости нет в списке панели</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>The stored frequency &apos;%1&apos; has a character that is not a digit; 014 070 000 Hz is dialled instead</source>
        <translation>В сохранённой частоте «%1» есть символ, который не является цифрой; вместо неё установлена частота 014 070 000 Гц</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read; the settings of a first start are used instead</source>
        <translation>Не удаётся прочитать файл настроек %1; вместо его настроек взяты настройки первого запуска</translation>
    </message>
    <message>
        <source>Line monitor</source>
        <translation>Монитор линии</translation>
    </message>
    <message>
        <source>Line monitor of %1:</source>
        <translation>Монитор линии %1:</translation>
    </message>
    <message>
        <source>Refresh the port list</source>
        <translation>Обновить список портов</translation>
    </message>
    <message>
        <source>The Kenwood profile&apos;s setting %1=%2 in the settings file cannot be read (enabled takes 1 or 0, id three digits); it is not used</source>
        <translation>Настройку профиля Kenwood %1=%2 в файле настроек не удаётся прочитать (enabled принимает 1 или 0, id — три цифры); она не используется</translation>
    </message>
    <message>
        <source>Go to frequency…</source>
        <translation>Перейти на частоту…</translation>
    </message>
    <message>
        <source>Remember this frequency…</source>
        <translation>Запомнить эту частоту…</translation>
    </message>
    <message>
        <source>Options…</source>
        <translation>Параметры…</translation>
    </message>
    <message>
        <source>%1 (%2 Hz, %3)</source>
        <translation>%1 (%2 Гц, %3)</translation>
    </message>
    <message>
        <source>rigctld</source>
        <translation>rigctld</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Язык</translation>
    </message>
    <message>
        <source>Remember this frequency</source>
        <translation>Запомнить эту частоту</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Название:</translation>
    </message>
    <message>
        <source>100 MHz digit</source>
        <translation>разряд 100 МГц</translation>
    </message>
    <message>
        <source>10 MHz digit</source>
        <translation>разряд 10 МГц</translation>
    </message>
    <message>
        <source>1 MHz digit</source>
        <translation>разряд 1 МГц</translation>
    </message>
    <message>
        <source>100 kHz digit</source>
        <translation>разряд 100 кГц</translation>
    </message>
    <message>
        <source>10 kHz digit</source>
        <translation>разряд 10 кГц</translation>
    </message>
    <message>
        <source>1 kHz digit</source>
        <translation>разряд 1 кГц</translation>
    </message>
    <message>
        <source>100 Hz digit</source>
        <translation>разряд 100 Гц</translation>
    </message>
    <message>
        <source>10 Hz digit</source>
        <translation>разряд 10 Гц</translation>
    </message>
    <message>
        <source>1 Hz digit</source>
        <translation>разряд 1 Гц</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Порт</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Скорость</translation>
    </message>
    <message>
        <source>Output mode</source>
        <translation>Режим выходной частоты</translation>
    </message>
    <message>
        <source>The device is told the dialled frequency divided by four, plus 10 kHz</source>
        <translation>Устройству сообщается набранная частота, делённая на четыре, плюс 10 кГц</translation>
    </message>
    <message>
        <source>The device is told the dialled frequency</source>
        <translation>Устройству сообщается набранная частота</translation>
    </message>
    <message>
        <source>Reply lamp</source>
        <translation>Лампа ответа</translation>
    </message>
    <message>
        <source>CTS lamp</source>
        <translation>Лампа CTS</translation>
    </message>
    <message>
        <source>DSR lamp</source>
        <translation>Лампа DSR</translation>
    </message>
    <message>
        <source>RLSD lamp</source>
        <translation>Лампа RLSD</translation>
    </message>
    <message>
        <source>lit</source>
        <translation>горит</translation>
    </message>
    <message>
        <source>dark</source>
        <translation>не горит</translation>
    </message>
    <message>
        <source>Kenwood</source>
        <translation>Kenwood</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Линии</translation>
    </message>
</context>
<context>
    <name>TOptionsDialog</name>
    <message>
        <source>Options</source>
        <translation>Параметры</translation>
    </message>
</context>
<context>
    <name>TOptionsKenwoodPage</name>
    <message>
        <source>Answer as a Kenwood radio does (ID;, FA;, AI; …) for a device or program that speaks Kenwood CAT</source>
        <translation>Отвечать как радиостанция Kenwood (ID;, FA;, AI; …) устройству или программе, говорящей на Kenwood CAT</translation>
    </message>
    <message>
        <source>Identity (ID;):</source>
        <translation>Идентификатор (ID;):</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a Kenwood identity: type three digits, such as 019 for a TS-2000</source>
        <translation>«%1» не идентификатор Kenwood: введите три цифры, например 019 для TS-2000</translation>
    </message>
</context>
<context>
    <name>TOptionsLanguagePage</name>
    <message>
        <source>The system&apos;s language</source>
        <translation>Язык системы</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Язык:</translation>
    </message>
</context>
<context>
    <name>TOptionsLinesPage</name>
    <message>
        <source>Wait for a port whose device goes away, and open it again when it is back</source>
        <translation>Ждать порт, устройство которого пропало, и открыть его снова, когда оно вернётся</translation>
    </message>
    <message>
        <source>PORT[@BAUD], …</source>
        <translation>ПОРТ[@СКОРОСТЬ], …</translation>
    </message>
    <message>
        <source>Further ports:</source>
        <translation>Другие порты:</translation>
    </message>
    <message>
        <source>a link, such as $XDG_RUNTIME_DIR/quartzel-cat</source>
        <translation>ссылка, например $XDG_RUNTIME_DIR/quartzel-cat</translation>
    </message>
    <message>
        <source>Own port:</source>
        <translation>Свой порт:</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a further port: type PORT or PORT@BAUD, such as /dev/ttyUSB1@9600</source>
        <translation>«%1» — не порт: введите ПОРТ или ПОРТ@СКОРОСТЬ, например /dev/ttyUSB1@9600</translation>
    </message>
</context>
<context>
    <name>TOptionsRigctldPage</name>
    <message>
        <source>Let programs that use Hamlib read and set the frequency (rigctld&apos;s protocol)</source>
        <translation>Дать программам, работающим через Hamlib, читать и задавать частоту (протокол rigctld)</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-адрес:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not an IP address: type one such as 127.0.0.1, 0.0.0.0 or ::1</source>
        <translation>«%1» — не IP-адрес: наберите, например, 127.0.0.1, 0.0.0.0 или ::1</translation>
    </message>
</context>
<context>
    <name>TReconnect</name>
    <message>
        <source>waiting for %1</source>
        <translation>ожидание %1</translation>
    </message>
    <message>
        <source>%1 is back</source>
        <translation>%1 снова доступен</translation>
    </message>
</context>
<context>
    <name>TRigctlServer</name>
    <message>
        <source>&apos;%1&apos; is not an IP address</source>
        <translation>«%1» — не IP-адрес</translation>
    </message>
    <message>
        <source>Cannot serve Hamlib clients on %1: %2</source>
        <translation>Не удаётся обслуживать клиентов Hamlib на %1: %2</translation>
    </message>
    <message>
        <source>not an IP address and port, nor &apos;off&apos;</source>
        <translation>не IP-адрес с портом и не «off»</translation>
    </message>
    <message>
        <source>Cannot accept Hamlib clients on %1 for now: %2; trying again as clients leave</source>
        <translation>Пока не удаётся принимать клиентов Hamlib на %1: %2; новая попытка — по мере отключения клиентов</translation>
    </message>
</context>
</TS>
