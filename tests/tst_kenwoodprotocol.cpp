// SPDX-License-Identifier: GPL-3.0-or-later

#include "KenwoodProtocol.h"

#include <QTest>

// The Kenwood profile on its own: what a device's commands get back, however
// they arrive, what they do to the dial and the mode, the dial for a
// frequency, and when auto-information goes out. The line without the
// profile, as the monitor counts it, shows in the front panel's test.
class TestKenwoodProtocol : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void dialForOutput_data();
    void dialForOutput();
    void autoInformation_data();
    void autoInformation();
};

namespace {

const QByteArray tail = "0010+0000000000010000000;";

// The dial as the window holds it: the composed frequency string, and in
// plain mode a set that composes it again.
class DialRig : public TKenwoodRig
{
public:
    DialRig(QString frequencyString, bool div4)
        : m_frequencyString(std::move(frequencyString)), m_div4(div4)
    {
    }
    const QString& frequencyString() const override { return m_frequencyString; }
    bool div4Mode() const override { return m_div4; }
    void setDialFrequency(std::uint32_t hertz) override
    {
        dialled = hertz;
        if (!m_div4)
            m_frequencyString = QStringLiteral("%1").arg(hertz, 9, 10, QLatin1Char('0'));
    }

    std::optional<std::uint32_t> dialled;

private:
    QString m_frequencyString;
    bool m_div4;
};

using Chunks = QList<QByteArray>;

QByteArrayList unansweredCommands(const TLineMonitor& monitor)
{
    QByteArrayList commands;
    for (const TLineMonitor::Unanswered& entry : monitor.unanswered())
        commands << entry.command;
    return commands;
}

} // namespace

void TestKenwoodProtocol::answers_data()
{
    QTest::addColumn<QString>("frequencyString");
    QTest::addColumn<bool>("div4");
    QTest::addColumn<Chunks>("received");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<qint64>("dialled"); // -1: the dial is not set
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QByteArrayList>("unanswered");
    const QString plain = QStringLiteral("014070000");
    const QString div4 = QStringLiteral("03527500"); // 14 070 000 Hz dialled
    const auto row = [](const char* name, const QString& frequency, bool isDiv4,
                        const Chunks& received, const QByteArray& sent, qint64 dialled = -1,
                        const QByteArray& mode = "USB", const QByteArrayList& unanswered = {}) {
        QTest::newRow(name) << frequency << isDiv4 << received << sent << dialled << mode
                            << unanswered;
    };
    row("ID: a TS-2000", plain, false, {"ID;"}, "ID019;");
    row("FA: eleven digits", plain, false, {"FA;"}, "FA00014070000;");
    row("FA in div4 mode: the transformed frequency", div4, true, {"FA;"}, "FA00003527500;");
    row("FA in div4 mode below 359 998 Hz: padded", "010000", true, {"FA;"}, "FA00000010000;");
    row("FB: the same dial", plain, false, {"FB;"}, "FB00014070000;");
    row("IF: the reply as without the profile", plain, false, {"IF;"}, "IF00014070000" + tail);
    row("IF in div4 mode below 359 998 Hz: 38 characters", "010000", true, {"IF;"},
        "IF00000010000" + tail);
    row("no frequency composed: FA and IF unanswered", "", false, {"FA;IF;"}, "", -1, "USB",
        {"IF", "FA"});
    row("FA set: the dial follows, no answer", plain, false, {"FA00007074000;FA;"},
        "FA00007074000;", 7074000);
    row("FA set in div4 mode: the dial whose transform it is", div4, true, {"FA00001778500;"}, "",
        7074000);
    row("FA set in div4 mode with no such dial: refused", div4, true, {"FA00000009999;"}, "?;", -1,
        "USB", {"FA00000009999"});
    row("FA set above the dial: refused", plain, false, {"FA00300000000;"}, "?;", -1, "USB",
        {"FA00300000000"});
    row("FA set with ten digits: refused", plain, false, {"FA0007074000;"}, "?;", -1, "USB",
        {"FA0007074000"});
    row("AI: off until AI2 turns it on", plain, false, {"AI;AI2;AI;"}, "AI0;AI2;");
    row("AI3: refused", plain, false, {"AI3;"}, "?;", -1, "USB", {"AI3"});
    row("PS: on; PS1 done, PS0 refused", plain, false, {"PS;PS1;PS0;"}, "PS1;?;", -1, "USB",
        {"PS0"});
    row("MD: USB until MD3 sets CW", plain, false, {"MD;MD3;MD;"}, "MD2;MD3;", -1, "CW");
    row("MD8: refused", plain, false, {"MD8;"}, "?;", -1, "USB", {"MD8"});
    row("FR, FT, CB, TB: VFO A on the main band; FR0 done, FT1 refused", plain, false,
        {"FR;FT;CB;TB;FR0;FT1;"}, "FR0;FT0;CB0;TB0;?;", -1, "USB", {"FT1"});
    row("ID and IF with a parameter, a command the panel lacks: refused", plain, false,
        {"ID1;IF0;SM0;"}, "?;?;?;", -1, "USB", {"SM0", "IF0", "ID1"});
    row("TS-2000's AI0;ID; in one write", plain, false, {"AI;", "AI0;ID;"}, "AI0;ID019;");
    row("split over three reads", plain, false, {"F", "A", ";"}, "FA00014070000;");
    row("CR LF and blanks around commands", plain, false, {"\r\nID;\r\n", " FA ;"},
        "ID019;FA00014070000;");
    row("noise before a command garbles it alone", plain, false,
        {QByteArray("\x00\x7fID;", 5), "ID;"}, "ID019;", -1, "USB", {QByteArray("\x00\x7fID", 4)});
    row("lower case is noise", plain, false, {"id;ID;"}, "ID019;", -1, "USB", {"id"});
    row("a long run without ';' is one garbled command", plain, false,
        {QByteArray(5000, 'Z'), ";ID;"}, "ID019;", -1, "USB",
        {QByteArray(TKenwoodCommandReader::MaxCommandLength + 1, 'Z')});
}

void TestKenwoodProtocol::answers()
{
    QFETCH(QString, frequencyString);
    QFETCH(bool, div4);
    QFETCH(Chunks, received);
    QFETCH(QByteArray, sent);
    QFETCH(qint64, dialled);
    QFETCH(QByteArray, mode);
    QFETCH(QByteArrayList, unanswered);
    DialRig rig(frequencyString, div4);
    TRigctlMode shared;
    TKenwoodSession session(rig, shared);
    TLineMonitor monitor;
    QByteArray line;
    for (const QByteArray& chunk : received)
        line += session.take(chunk, monitor, 0).text;
    QCOMPARE(line, sent);
    QCOMPARE(rig.dialled, dialled < 0 ? std::nullopt : std::optional<std::uint32_t>(dialled));
    QCOMPARE(shared.name, mode);
    QCOMPARE(unansweredCommands(monitor), unanswered);
}

void TestKenwoodProtocol::dialForOutput_data()
{
    QTest::addColumn<qint64>("output");
    QTest::addColumn<bool>("div4");
    QTest::addColumn<qint64>("dial"); // -1: none
    QTest::newRow("plain: the same") << qint64(7074000) << false << qint64(7074000);
    QTest::newRow("plain: the highest dial") << qint64(299999999) << false << qint64(299999999);
    QTest::newRow("plain: above it") << qint64(300000000) << false << qint64(-1);
    QTest::newRow("div4: 14 070 000 Hz dialled") << qint64(3527500) << true << qint64(14070000);
    QTest::newRow("div4: the lowest output, dial 0") << qint64(10000) << true << qint64(0);
    QTest::newRow("div4: below the lowest") << qint64(9999) << true << qint64(-1);
    QTest::newRow("div4: odd") << qint64(10001) << true << qint64(4);
    QTest::newRow("div4: the highest output, rounded to even from the top dial")
        << qint64(75010000) << true << qint64(299999999);
    QTest::newRow("div4: above it") << qint64(75010001) << true << qint64(-1);
    QTest::newRow("div4: eleven nines") << qint64(99999999999) << true << qint64(-1);
}

void TestKenwoodProtocol::dialForOutput()
{
    QFETCH(qint64, output);
    QFETCH(bool, div4);
    QFETCH(qint64, dial);
    QCOMPARE(::dialForOutput(std::uint64_t(output), div4),
             dial < 0 ? std::nullopt : std::optional<std::uint32_t>(dial));
}

void TestKenwoodProtocol::autoInformation_data()
{
    QTest::addColumn<QByteArray>("turnOn");
    QTest::addColumn<QList<qint64>>("changes"); // ms; -1: "AI0;" arrives then
    QTest::addColumn<QList<qint64>>("sent");    // ms
    QTest::newRow("off: nothing") << QByteArray("AI0;") << QList<qint64>{0, 500} << QList<qint64>{};
    QTest::newRow("on: a change is told at once")
        << QByteArray("AI1;") << QList<qint64>{0} << QList<qint64>{0};
    QTest::newRow("changes 150 ms apart: each at once")
        << QByteArray("AI2;") << QList<qint64>{0, 150} << QList<qint64>{0, 150};
    QTest::newRow("a burst: one at once, one when 100 ms have passed")
        << QByteArray("AI2;") << QList<qint64>{0, 10, 20, 90} << QList<qint64>{0, 100};
    QTest::newRow("turned off while one is due: not sent")
        << QByteArray("AI1;") << QList<qint64>{0, 50, -1} << QList<qint64>{0};
}

// Changes at the given times; the announcement that one of them defers goes
// out when it is due, before the next change.
void TestKenwoodProtocol::autoInformation()
{
    QFETCH(QByteArray, turnOn);
    QFETCH(QList<qint64>, changes);
    QFETCH(QList<qint64>, sent);
    DialRig rig(QStringLiteral("014070000"), false);
    TRigctlMode mode;
    TKenwoodSession session(rig, mode);
    TLineMonitor monitor;
    QCOMPARE(session.take(turnOn, monitor, 0).text, QByteArray());
    QList<qint64> announced;
    qint64 due = -1; // when the deferred announcement is due; -1: none
    const auto sendDue = [&](qint64 until) {
        if (due < 0 || due > until)
            return;
        if (!session.announcementDue(due).isEmpty())
            announced << due;
        due = -1;
    };
    for (const qint64 at : changes) {
        if (at < 0) {
            session.take("AI0;", monitor, 0);
            continue;
        }
        sendDue(at);
        const TKenwoodSession::Announcement next = session.noteChange(at);
        if (!next.reply.isEmpty()) {
            QCOMPARE(next.reply, "IF00014070000" + tail);
            announced << at;
        }
        if (next.dueInMs)
            due = at + *next.dueInMs;
    }
    sendDue(std::numeric_limits<qint64>::max());
    QCOMPARE(announced, sent);
}

QTEST_GUILESS_MAIN(TestKenwoodProtocol)
#include "tst_kenwoodprotocol.moc"
