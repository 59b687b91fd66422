// SPDX-License-Identifier: GPL-3.0-or-later

// The settings file with arbitrary contents: every reader of the front panel
// runs on it, then the four settings are written into it and must read back
// as written, whatever else the file holds.

#include "FrequencyRegister.h"
#include "FuzzInput.h"
#include "IniFile.h"
#include "PortSettings.h"
#include "SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// On tmpfs when there is one: each write syncs the file.
QString scratchFile()
{
    static const QTemporaryDir dir(QDir("/dev/shm").exists()
                                       ? QStringLiteral("/dev/shm/quartzel-fuzz-XXXXXX")
                                       : QDir::tempPath() + "/quartzel-fuzz-XXXXXX");
    FUZZ_CHECK(dir.isValid());
    return dir.filePath(SettingsFileName);
}

void writeFile(const QString& path, QByteArrayView content)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(content.data(), content.size()) == content.size());
}

constexpr qsizetype MaxValueLength = 2047;

void readKey(const TIniFile& file, const QString& section, const QString& key)
{
    const QString fallback = QStringLiteral("fallback");
    const QString text = file.readString(section, key, fallback);
    FUZZ_CHECK(text.size() <= MaxValueLength);
    const int number = file.readInteger(section, key, -7);
    FUZZ_CHECK(file.readBool(section, key, true) == (file.readInteger(section, key, 1) != 0));
    FUZZ_CHECK(file.readBool(section, key, false) == (file.readInteger(section, key, 0) != 0));
    if (text == fallback)
        FUZZ_CHECK(number == -7);
}

// Each read parses the whole file again, so the names taken from the text are
// limited to keep a run fast on long inputs.
constexpr int MaxNamesFromText = 16;

// The settings' own keys, and the names that a rough look at the text finds
// before an equals sign, with the bracketed name above them as the section.
void readEveryKey(const TIniFile& file, QByteArrayView content)
{
    using namespace SettingsKey;
    for (const QLatin1String key : {Frequency, Port, BaudRateIndex, Div4})
        readKey(file, Section, key);
    QString section;
    int namesRead = 0;
    for (const QByteArray& line : content.toByteArray().split('\n')) {
        const QString text = QString::fromUtf8(line);
        const qsizetype equals = text.indexOf(u'=');
        if (text.startsWith(u'['))
            section = text.mid(1, text.indexOf(u']') - 1);
        else if (equals >= 0 && namesRead++ < MaxNamesFromText)
            readKey(file, section, text.first(equals));
    }
}

void checkSpread(const QString& stored)
{
    const auto digits = spreadFrequency(stored);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto index = static_cast<qsizetype>(i);
        FUZZ_CHECK(digits[i] ==
                   (index < stored.size() ? QString(stored[index]) : QStringLiteral("0")));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchFile();
    const QByteArrayView content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    writeFile(path, content);

    TIniFile file(path);
    readEveryKey(file, content);
    const PortSettings current{QStringLiteral("014074000"), 2, 5, true};
    const PortSettings read = readPortSettings(file, current);
    checkSpread(read.frequency);

    const PortSettings written{QStringLiteral("007123456"), 3, 14, false};
    writePortSettings(file, written);
    FUZZ_CHECK(readPortSettings(file, current) == written);
    return 0;
}
