// SPDX-License-Identifier: GPL-3.0-or-later

#include "Convert.h"

#include <QTest>

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void strToInt_data();
    void strToInt();
    void rejectsBadText_data();
    void rejectsBadText();
};

void TestConvert::strToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("nine digits with a leading zero") << "014070000" << 14070000;
    QTest::newRow("leading blanks") << "  42" << 42;
    QTest::newRow("negative") << "-7" << -7;
    QTest::newRow("explicit plus") << "+7" << 7;
    QTest::newRow("largest int") << "2147483647" << 2147483647;
    QTest::newRow("smallest int") << "-2147483648" << int(0x80000000u);
    QTest::newRow("dollar hex") << "$1F" << 31;
    QTest::newRow("0x hex") << "0x1f" << 31;
    QTest::newRow("hex fills 32 bits") << "$FFFFFFFF" << -1;
}

void TestConvert::strToInt()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(StrToInt(text), expected);
}

void TestConvert::rejectsBadText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blank only") << "   ";
    QTest::newRow("trailing blank") << "12 ";
    QTest::newRow("decimal point") << "1.5";
    QTest::newRow("letters after digits") << "0140A0000";
    QTest::newRow("above int range") << "2147483648";
    QTest::newRow("below int range") << "-2147483649";
    QTest::newRow("hex above 32 bits") << "$100000000";
    QTest::newRow("sign only") << "-";
    QTest::newRow("hex prefix only") << "0x";
    QTest::newRow("digits of another script") << QStringLiteral("\u0661\u0664");
}

void TestConvert::rejectsBadText()
{
    QFETCH(QString, text);
    int value = 99;
    QVERIFY(!TryStrToInt(text, value));
    QCOMPARE(value, 99);
    try {
        StrToInt(text);
        QFAIL("no exception");
    } catch (const EConvertError& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

QTEST_APPLESS_MAIN(TestConvert)
#include "tst_convert.moc"
