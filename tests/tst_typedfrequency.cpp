// SPDX-License-Identifier: GPL-3.0-or-later

#include "TypedFrequency.h"

#include <QTest>

// The frequency entry's reading of what the operator types.
class TestTypedFrequency : public QObject
{
    Q_OBJECT

private slots:
    void typedForms_data();
    void typedForms();
};

void TestTypedFrequency::typedForms_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("hertz"); // -1: refused
    QTest::addColumn<QString>("problemStart");
    QTest::newRow("hertz") << "7074000" << 7074000LL << "";
    QTest::newRow("hertz grouped by blanks") << "7 074 000" << 7074000LL << "";
    QTest::newRow("decimal point: megahertz") << "7.074" << 7074000LL << "";
    QTest::newRow("decimal comma: megahertz") << "7,074" << 7074000LL << "";
    QTest::newRow("k: kilohertz") << "7074k" << 7074000LL << "";
    QTest::newRow("M: megahertz") << "7.074M" << 7074000LL << "";
    QTest::newRow("points group hertz by three") << "14.070.000" << 14070000LL << "";
    QTest::newRow("commas group hertz by three") << "14,070,000" << 14070000LL << "";
    QTest::newRow("unit words in any case, blank before") << "7.074 mHz" << 7074000LL << "";
    QTest::newRow("kilohertz with a fraction") << "7074.5 kHz" << 7074500LL << "";
    QTest::newRow("Russian units") << QStringLiteral("7074 кГц") << 7074000LL << "";
    QTest::newRow("as a screen reader says the dial") << "14 070 000 Hz" << 14070000LL << "";
    QTest::newRow("blanks around, a non-breaking one inside")
        << QStringLiteral("  14\u00A0070\u00A0000 ") << 14070000LL << "";
    QTest::newRow("megahertz without a whole part") << ".5M" << 500000LL << "";
    QTest::newRow("zeros after the last hertz") << "7.07400000" << 7074000LL << "";
    QTest::newRow("zero") << "0" << 0LL << "";
    QTest::newRow("the highest frequency") << "299.999999" << 299999999LL << "";
    QTest::newRow("above the highest") << "300000000" << -1LL << "300000000 is above";
    QTest::newRow("above, in kilohertz") << "14.070.000k" << -1LL << "14.070.000k is above";
    QTest::newRow("more digits than any dial")
        << "99999999999999999999" << -1LL << "99999999999999999999 is above";
    QTest::newRow("a fraction of a hertz") << "7.0740005" << -1LL << "7.0740005 is not a whole";
    QTest::newRow("negative") << "-7074000" << -1LL << "'-7074000' is not a frequency";
    QTest::newRow("empty") << "" << -1LL << "'' is not a frequency";
    QTest::newRow("letters") << "abc" << -1LL << "'abc' is not a frequency";
    QTest::newRow("a unit alone") << " k" << -1LL << "'k' is not a frequency";
    QTest::newRow("two units") << "7kk" << -1LL << "'7kk' is not a frequency";
    QTest::newRow("point and comma together") << "7.074,5" << -1LL << "'7.074,5' is not";
    QTest::newRow("a group of two digits") << "14.07.000" << -1LL << "'14.07.000' is not";
    QTest::newRow("a first group of four") << "1407.000.000" << -1LL << "'1407.000.000' is not";
}

void TestTypedFrequency::typedForms()
{
    QFETCH(QString, typed);
    QFETCH(qint64, hertz);
    QFETCH(QString, problemStart);
    const FrequencyReading reading = readTypedFrequency(typed);
    QCOMPARE(reading.hertz.has_value(), hertz >= 0);
    if (reading.hertz)
        QCOMPARE(qint64(*reading.hertz), hertz);
    if (hertz >= 0)
        QVERIFY2(reading.problem.isEmpty(), qPrintable(reading.problem));
    else
        QVERIFY2(reading.problem.startsWith(problemStart), qPrintable(reading.problem));
}

QTEST_GUILESS_MAIN(TestTypedFrequency)
#include "tst_typedfrequency.moc"
