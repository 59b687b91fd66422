// The settings file with arbitrary contents: every reader of the front panel
// runs on it, then the four settings are written into it and must read back
// as written, whatever else the file holds.

#include "FuzzInput.h"
#include "IniFile.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// On tmpfs when there is one: each write syncs the file.
QString scratchFile()
{
    static const QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/quartzel-fuzz-XXXXXX")
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

void readEveryKey(const TIniFile& file)
{
    using namespace SettingsKey;
    for (const QLatin1String key : {Frequency, Port, BaudRateIndex, Div4}) {
        const QString fallback = QStringLiteral("fallback");
        const QString text = file.readString(Section, key, fallback);
        FUZZ_CHECK(text.size() <= MaxValueLength);
        const int number = file.readInteger(Section, key, -7);
        FUZZ_CHECK(file.readBool(Section, key, true) == (file.readInteger(Section, key, 1) != 0));
        FUZZ_CHECK(file.readBool(Section, key, false) == (file.readInteger(Section, key, 0) != 0));
        if (text == fallback)
            FUZZ_CHECK(number == -7);
    }
}

void checkSpread(const QString& stored)
{
    const auto digits = spreadFrequency(stored);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto index = static_cast<qsizetype>(i);
        FUZZ_CHECK(digits[i] == (index < stored.size() ? QString(stored[index]) : QStringLiteral("0")));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchFile();
    writeFile(path, QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    TIniFile file(path);
    readEveryKey(file);
    const PortSettings current{QStringLiteral("014074000"), 2, 5, true};
    const PortSettings read = readPortSettings(file, current);
    checkSpread(read.frequency);

    const PortSettings written{QStringLiteral("007123456"), 3, 14, false};
    writePortSettings(file, written);
    FUZZ_CHECK(readPortSettings(file, current) == written);
    return 0;
}
