// SPDX-License-Identifier: GPL-3.0-or-later

#include "Convert.h"
#include "FrequencyRegister.h"

#include <QTest>

// The frequency register's texts: the dial spread over the digits and read
// back, and the div4 transform of the frequency string.
class TestFrequencyRegister : public QObject
{
    Q_OBJECT

private slots:
    void div4Transform_data();
    void div4Transform();
    void div4RejectsBadText();
    void spreadFrequency_data();
    void spreadFrequency();
    void hertzText_data();
    void hertzText();
};

void TestFrequencyRegister::div4Transform_data()
{
    QTest::addColumn<QString>("dialled");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 Hz gives 10000") << "000000000"
                                      << "010000";
    QTest::newRow("2 Hz: tie goes down to even 10000") << "000000002"
                                                       << "010000";
    QTest::newRow("6 Hz: tie goes up to even 10002") << "000000006"
                                                     << "010002";
    QTest::newRow("14070000 exact") << "014070000"
                                    << "03527500";
    QTest::newRow("14070002 tie to even") << "014070002"
                                          << "03527500";
    QTest::newRow("14070003 rounds up") << "014070003"
                                        << "03527501";
    QTest::newRow("14070006 tie to even upwards") << "014070006"
                                                  << "03527502";
    QTest::newRow("14070001 rounds down") << "014070001"
                                          << "03527500";
    QTest::newRow("top of the range") << "299999999"
                                      << "075010000";
    QTest::newRow("359997: last six-character result") << "000359997"
                                                       << "099999";
    QTest::newRow("359998: first seven-character result") << "000359998"
                                                          << "0100000";
    QTest::newRow("3959997: last of seven") << "003959997"
                                            << "0999999";
    QTest::newRow("3959998: first of eight") << "003959998"
                                             << "01000000";
    QTest::newRow("39959997: last of eight") << "039959997"
                                             << "09999999";
    QTest::newRow("39959998: first of nine") << "039959998"
                                             << "010000000";
    QTest::newRow("negative dial rounds the same way") << "-6"
                                                       << "09998";
}

void TestFrequencyRegister::div4Transform()
{
    QFETCH(QString, dialled);
    QFETCH(QString, expected);
    QCOMPARE(div4FrequencyString(dialled), expected);
}

void TestFrequencyRegister::div4RejectsBadText()
{
    QVERIFY_THROWS_EXCEPTION(EConvertError, div4FrequencyString(QStringLiteral("01407a000")));
}

void TestFrequencyRegister::spreadFrequency_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("digits");

    QTest::newRow("nine digits") << "014070000"
                                 << QStringList{"0", "1", "4", "0", "7", "0", "0", "0", "0"};
    QTest::newRow("more than nine: the rest is ignored")
        << "0140700001234" << QStringList{"0", "1", "4", "0", "7", "0", "0", "0", "0"};
    QTest::newRow("fewer than nine: the rest is 0")
        << "0140" << QStringList{"0", "1", "4", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("empty: all 0") << "" << QStringList{"0", "0", "0", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("top digit out of range is kept")
        << "914070000" << QStringList{"9", "1", "4", "0", "7", "0", "0", "0", "0"};
    QTest::newRow("non-digits are spread unchanged")
        << "A1-4 7000" << QStringList{"A", "1", "-", "4", " ", "7", "0", "0", "0"};
}

void TestFrequencyRegister::spreadFrequency()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, digits);
    const auto spread = ::spreadFrequency(stored);
    QCOMPARE(QStringList(spread.begin(), spread.end()), digits);
}

void TestFrequencyRegister::hertzText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("hertz"); // -1: the text is no dial
    QTest::newRow("7 074 000 Hz, with its leading zeros") << "007074000" << qint64(7'074'000);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("plus sign") << "+14070000" << qint64(-1);
    QTest::newRow("letter") << "01407a000" << qint64(-1);
    QTest::newRow("beyond 32 bits") << "4294967296" << qint64(-1);
}

// A composed dial read as hertz, and hertz written as the dial.
void TestFrequencyRegister::hertzText()
{
    QFETCH(QString, text);
    QFETCH(qint64, hertz);
    const std::optional<quint32> read = dialledHertz(text);
    QCOMPARE(read ? qint64(*read) : -1, hertz);
    if (read)
        QCOMPARE(frequencyText(*read), text);
}

QTEST_APPLESS_MAIN(TestFrequencyRegister)
#include "tst_frequencyregister.moc"
