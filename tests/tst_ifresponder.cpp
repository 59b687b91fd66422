// SPDX-License-Identifier: GPL-3.0-or-later

#include "IfResponder.h"

#include <QTest>

// The receive side of the IF responder, on its own: which chunk sequences
// complete a query, and that the kept text stays bounded.
class TestIfResponder : public QObject
{
    Q_OBJECT

private slots:
    void queryDetection_data();
    void queryDetection();
    void initialTextIsSearched();
    void clearForgetsQueryAndText();
    void floodStaysBounded();
    void lineEndRule_data();
    void lineEndRule();
    void replyOnlyToAQuery();
    void padding_data();
    void padding();
    void replyLayout_data();
    void replyLayout();
};

using Chunks = QList<QByteArray>;

void TestIfResponder::queryDetection_data()
{
    QTest::addColumn<Chunks>("chunks");
    // For each chunk: whether the buffer holds a query after appending it.
    QTest::addColumn<QList<bool>>("expected");
    QTest::newRow("query in one chunk") << Chunks{"IF;"} << QList<bool>{true};
    QTest::newRow("query split over three chunks")
        << Chunks{"I", "F", ";"} << QList<bool>{false, false, true};
    QTest::newRow("query between other commands") << Chunks{"FA;IF;XY"} << QList<bool>{true};
    QTest::newRow("two queries in one chunk") << Chunks{"IF;IF;"} << QList<bool>{true};
    QTest::newRow("no query") << Chunks{"FA;", "IF", "FB;"} << QList<bool>{false, false, false};
    QTest::newRow("lower case is not a query") << Chunks{"if;"} << QList<bool>{false};
    QTest::newRow("query right after a NUL byte")
        << Chunks{QByteArray("\0IF;", 4)} << QList<bool>{true};
    QTest::newRow("NUL inside the query breaks it")
        << Chunks{QByteArray("IF\0;", 4)} << QList<bool>{false};
    QTest::newRow("query split after a long garbage run")
        << Chunks{QByteArray(1000, 'x') + "I", "F;"} << QList<bool>{false, true};
    QTest::newRow("empty chunk changes nothing")
        << Chunks{"IF", "", ";"} << QList<bool>{false, false, true};
}

void TestIfResponder::queryDetection()
{
    QFETCH(Chunks, chunks);
    QFETCH(QList<bool>, expected);
    TReceiveBuffer buffer;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QCOMPARE(buffer.append(chunks[i]), !chunks[i].isEmpty());
        QCOMPARE(buffer.containsQuery(), expected[i]);
    }
}

void TestIfResponder::initialTextIsSearched()
{
    QVERIFY(TReceiveBuffer("IF;").containsQuery());
    QVERIFY(!TReceiveBuffer("IF").containsQuery());
}

void TestIfResponder::clearForgetsQueryAndText()
{
    TReceiveBuffer buffer("IF;");
    buffer.clear();
    QVERIFY(!buffer.containsQuery());
    QVERIFY(buffer.text().isEmpty());
    buffer.append("F;");
    QVERIFY(!buffer.containsQuery());
}

void TestIfResponder::floodStaysBounded()
{
    TReceiveBuffer buffer;
    const QByteArray garbage(4096, 'Z');
    for (int i = 0; i < 1000; ++i)
        buffer.append(garbage);
    QCOMPARE(buffer.text().size(), TReceiveBuffer::KeptBytes);
    QVERIFY(!buffer.containsQuery());
    buffer.append("xIF;");
    QVERIFY(buffer.containsQuery());
    QVERIFY(buffer.text().endsWith("xIF;"));
}

void TestIfResponder::lineEndRule_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("CR at the end gains LF") << QByteArray("FA\r") << true << QByteArray("FA\r\n");
    QTest::newRow("CR inside stays alone") << QByteArray("\rFA") << true << QByteArray("\rFA");
    QTest::newRow("rule switched off") << QByteArray("FA\r") << false << QByteArray("FA\r");
    QTest::newRow("empty chunk changes nothing") << QByteArray() << true << QByteArray();
}

void TestIfResponder::lineEndRule()
{
    QFETCH(QByteArray, chunk);
    QFETCH(bool, crlf);
    QFETCH(QByteArray, kept);
    TReceiveBuffer buffer;
    QCOMPARE(appendReceived(buffer, chunk, crlf), !chunk.isEmpty());
    QCOMPARE(buffer.text(), kept);
}

void TestIfResponder::replyOnlyToAQuery()
{
    QString frequency = QStringLiteral("03527500");
    QCOMPARE(replyToQuery(TReceiveBuffer("IF"), frequency), std::nullopt);
    QCOMPARE(frequency, QStringLiteral("03527500")); // no query: not padded
    QCOMPARE(replyToQuery(TReceiveBuffer("xIF;"), frequency),
             QStringLiteral("IF000035275000010+0000000000010000000;"));
    QCOMPARE(frequency, QStringLiteral("003527500"));
}

void TestIfResponder::padding_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("padded");
    // Whether the padded string fills the reply's frequency field, so that a
    // query is answered.
    QTest::addColumn<bool>("answered");
    QTest::newRow("six characters stay") << "010000"
                                         << "010000" << true;
    QTest::newRow("seven get two zeros") << "0100000"
                                         << "000100000" << true;
    QTest::newRow("eight get one zero") << "03527500"
                                        << "003527500" << true;
    QTest::newRow("nine stay") << "014070000"
                               << "014070000" << true;
    QTest::newRow("empty, before the first composition: no reply") << ""
                                                                   << "" << false;
    QTest::newRow("ten, the div4 of a stored top digit 9: no reply") << "0228527500"
                                                                     << "0228527500" << false;
    QTest::newRow("eleven, from a digit holding three: no reply") << "01407000700"
                                                                  << "01407000700" << false;
    QTest::newRow("a letter, kept by a failed composition: no reply") << "a14070000"
                                                                      << "a14070000" << false;
}

void TestIfResponder::padding()
{
    QFETCH(QString, frequency);
    QFETCH(QString, padded);
    QFETCH(bool, answered);
    const std::optional<QString> reply = replyToQuery(TReceiveBuffer("IF;"), frequency);
    QCOMPARE(frequency, padded);
    QCOMPARE(reply.has_value(), answered);
}

void TestIfResponder::replyLayout_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<QString>("reply");
    QTest::newRow("plain mode at 14070000") << "014070000"
                                            << "IF000140700000010+0000000000010000000;";
    QTest::newRow("div4 mode at 14070000 after padding")
        << "003527500"
        << "IF000035275000010+0000000000010000000;";
    QTest::newRow("div4 below 359998 Hz is 35 characters")
        << "010000"
        << "IF00010000" + QStringLiteral("0010+0000000000010000000;");
}

void TestIfResponder::replyLayout()
{
    QFETCH(QString, frequency);
    QFETCH(QString, reply);
    QCOMPARE(ifReply(frequency), reply);
    QCOMPARE(ifReply(frequency).size(), frequency.size() == 9 ? 38 : 35);
}

QTEST_APPLESS_MAIN(TestIfResponder)
#include "tst_ifresponder.moc"
