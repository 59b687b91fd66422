<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CommandLine</name>
    <message>
        <source>Front panel for an Si570 synthesizer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add &lt;port&gt; (a name such as ttyUSB0, or a device path) to the port list and select it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect when start-up is complete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;port&apos; needs a port name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;--help&apos; for more information.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Let programs that use Hamlib (model 2, NET rigctl) read and set the frequency over TCP on [&lt;address&gt;:]&lt;port&gt;, address 127.0.0.1 unless given (rigctld&apos;s usual port is 4532); &apos;off&apos; stops it. The mode a program sets is remembered, not applied. Kept in quartzel.ini.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;rigctld&apos; needs [address:]port with an IP address and a port from 1 to 65535, or &apos;off&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;on&apos; answers every serial line (the panel&apos;s, --also-port, --pty) as a Kenwood TS-2000 does (ID;, FA;, FB;, IF;, AI;, MD;, ...), for devices and programs that speak Kenwood CAT: amplifiers, tuners, band decoders, Hamlib programs on the serial line; &apos;off&apos; answers IF; alone. Kept in quartzel.ini.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On exit, write the line monitor (what the device asked, and what got no answer) to standard error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;kenwood&apos; needs &apos;on&apos; or &apos;off&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One copy runs per settings file: started again with the same settings file, the program brings the running window to the front and ends, and the options given go nowhere. Start a copy for a second device with --settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the settings in &lt;file&gt; instead of quartzel.ini (a relative path is taken beside quartzel.ini). One copy runs for each settings file, so a second device gets a copy and settings of its own.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;settings&apos; needs a file name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;also-port&apos; needs port[@baud], or &apos;off&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;pty&apos; needs a path for the link, or &apos;off&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;pty&apos; is for Linux: on this system a serial port of the program&apos;s own needs a driver of its own.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option &apos;reconnect&apos; needs &apos;on&apos; or &apos;off&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Answer &quot;IF;&quot; on &lt;port&gt; too, 8N1 at &lt;baud&gt; (the panel&apos;s rate unless given), opened and closed with Connect and Disconnect; give it once for each further port. &apos;off&apos; empties the list. Kept in quartzel.ini.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Linux: make a serial port of the program&apos;s own, a pseudo-terminal linked at &lt;link&gt; (such as $XDG_RUNTIME_DIR/quartzel-cat), answered as the further ports are; the link goes at exit. &apos;off&apos; stops it. Kept in quartzel.ini.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;on&apos;: a port whose device goes away (an adapter pulled out) is waited for and opened again when it is back; &apos;off&apos; stops that. Kept in quartzel.ini.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EComPort</name>
    <message>
        <source>Попытка открыть несуществующий COM-порт</source>
        <translation>Attempt to open a COM port that does not exist</translation>
    </message>
    <message>
        <source>Порт занят другой программой</source>
        <translation>Port is in use by another program</translation>
    </message>
    <message>
        <source>Ошибка записи в порт</source>
        <translation>Error writing to the port</translation>
    </message>
    <message>
        <source>Ошибка чтения из порта</source>
        <translation>Error reading from the port</translation>
    </message>
    <message>
        <source>Недопустимый параметр Async</source>
        <translation>Invalid Async parameter</translation>
    </message>
    <message>
        <source>Ошибка функции PurgeComm</source>
        <translation>PurgeComm failed</translation>
    </message>
    <message>
        <source>Ошибка функции SetCommState</source>
        <translation>SetCommState failed</translation>
    </message>
    <message>
        <source>Ошибка функции SetCommTimeouts</source>
        <translation>SetCommTimeouts failed</translation>
    </message>
    <message>
        <source>Ошибка функции SetupComm</source>
        <translation>SetupComm failed</translation>
    </message>
    <message>
        <source>Ошибка функции ClearCommError</source>
        <translation>ClearCommError failed</translation>
    </message>
    <message>
        <source>Ошибка функции GetCommModemStatus</source>
        <translation>GetCommModemStatus failed</translation>
    </message>
    <message>
        <source>Ошибка функции EscapeCommFunction</source>
        <translation>EscapeCommFunction failed</translation>
    </message>
    <message>
        <source>Нельзя менять свойство, пока порт открыт</source>
        <translation>The property cannot be changed while the port is open</translation>
    </message>
    <message>
        <source>Ошибка обращения к системному реестру</source>
        <translation>Error accessing the system registry</translation>
    </message>
    <message>
        <source>Обработка событий порта прервана</source>
        <translation>Port event handling was interrupted</translation>
    </message>
    <message>
        <source>you are not in the dialout group?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a serial port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the device does not take these line settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a link that this program made: remove it or choose another path</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FrequencyReading</name>
    <message>
        <source>&apos;%1&apos; is not a frequency: type it as 7074000, 7.074, 7074k or 7.074M</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a whole number of hertz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is above the highest frequency of the dial, 299 999 999 Hz</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LineMonitor</name>
    <message>
        <source>Answered: %1, the last at %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Answered: none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Polls per second over the last minute: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not answered: none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not answered (the last %1 different commands, the latest first):</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OpenFileReserve</name>
    <message>
        <source>Only %1 more files can be opened (ulimit -n %2); Quartzel needs %3 more to start</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Unknown error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrequencyEntry</name>
    <message>
        <source>Frequency to dial</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFrequencyStrip</name>
    <message>
        <source>Frequency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TLine</name>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TLineMonitorWindow</name>
    <message>
        <source>Line monitor</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TLines</name>
    <message>
        <source>Cannot serve the line %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a port, nor a port@baud</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the rate is not one of the panel&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>The stored frequency &apos;%1&apos; has a character that is not a digit; 014 070 000 Hz is dialled instead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read; the settings of a first start are used instead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line monitor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line monitor of %1:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh the port list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Kenwood profile&apos;s setting %1=%2 in the settings file cannot be read (enabled takes 1 or 0, id three digits); it is not used</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to frequency…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remember this frequency…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2 Hz, %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>rigctld</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remember this frequency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100 MHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>10 MHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 MHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100 kHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>10 kHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 kHz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100 Hz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>10 Hz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 Hz digit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The device is told the dialled frequency divided by four, plus 10 kHz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The device is told the dialled frequency</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reply lamp</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CTS lamp</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DSR lamp</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RLSD lamp</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>dark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kenwood</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lines</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionsDialog</name>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionsKenwoodPage</name>
    <message>
        <source>Answer as a Kenwood radio does (ID;, FA;, AI; …) for a device or program that speaks Kenwood CAT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Identity (ID;):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a Kenwood identity: type three digits, such as 019 for a TS-2000</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionsLanguagePage</name>
    <message>
        <source>The system&apos;s language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Language:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionsLinesPage</name>
    <message>
        <source>Wait for a port whose device goes away, and open it again when it is back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PORT[@BAUD], …</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Further ports:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a link, such as $XDG_RUNTIME_DIR/quartzel-cat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Own port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a further port: type PORT or PORT@BAUD, such as /dev/ttyUSB1@9600</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TOptionsRigctldPage</name>
    <message>
        <source>Let programs that use Hamlib read and set the frequency (rigctld&apos;s protocol)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not an IP address: type one such as 127.0.0.1, 0.0.0.0 or ::1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TReconnect</name>
    <message>
        <source>waiting for %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TRigctlServer</name>
    <message>
        <source>&apos;%1&apos; is not an IP address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot serve Hamlib clients on %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not an IP address and port, nor &apos;off&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot accept Hamlib clients on %1 for now: %2; trying again as clients leave</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
