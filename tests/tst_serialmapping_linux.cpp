// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/SerialMapping_linux.h"

#include <QTest>

#include <chrono>
#include <optional>

using serial::CommTimeouts;
using serial::Dcb;

Q_DECLARE_METATYPE(serial::CommTimeouts)
Q_DECLARE_METATYPE(serial::Dcb)

namespace {

constexpr std::uint32_t maxDword = 0xFFFFFFFFu;
// The cap on a time-out: about 35 years, so that no deadline overflows.
constexpr qint64 longestWaitMs = qint64(1) << 40;
constexpr qint64 none = -1;

qint64 msOrNone(const std::optional<std::chrono::milliseconds>& wait)
{
    return wait ? qint64(wait->count()) : none;
}

Dcb frame(int byteSize, int parity, int stopBits)
{
    Dcb dcb;
    dcb.ByteSize = std::uint8_t(byteSize);
    dcb.Parity = std::uint8_t(parity);
    dcb.StopBits = std::uint8_t(stopBits);
    return dcb;
}

} // namespace

// The pure mappings of the Linux device layer: the termios frame, for what a
// pty cannot show (it forces 8 data bits without parity, whatever it is
// given), and the time-outs, which a pty can show only as a read or write
// that ends too early or never.
class TestSerialMappingLinux : public QObject
{
    Q_OBJECT

private slots:
    void frameBits_data();
    void frameBits();
    void frameKept_data();
    void frameKept();
    void characterTime_data();
    void characterTime();
    void readPlan_data();
    void readPlan();
    void writeLimit_data();
    void writeLimit();
};

void TestSerialMappingLinux::frameBits_data()
{
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<bool>("checkParity");  // fParity
    QTest::addColumn<int>("frame");         // CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
    QTest::addColumn<bool>("inputChecked"); // INPCK

    QTest::newRow("8N1") << 8 << 0 << 0 << false << int(CS8) << false;
    QTest::newRow("7E1 with fParity: checked on input")
        << 7 << 2 << 0 << true << int(CS7 | PARENB) << true;
    QTest::newRow("7E1 without fParity: not checked")
        << 7 << 2 << 0 << false << int(CS7 | PARENB) << false;
    QTest::newRow("8O1") << 8 << 1 << 0 << true << int(CS8 | PARENB | PARODD) << true;
    QTest::newRow("8M1: mark is odd with CMSPAR")
        << 8 << 3 << 0 << true << int(CS8 | PARENB | PARODD | CMSPAR) << true;
    QTest::newRow("8S1: space is even with CMSPAR")
        << 8 << 4 << 0 << true << int(CS8 | PARENB | CMSPAR) << true;
    QTest::newRow("5N1.5: CSTOPB with 5 data bits")
        << 5 << 0 << 1 << false << int(CS5 | CSTOPB) << false;
    QTest::newRow("6N2") << 6 << 0 << 2 << false << int(CS6 | CSTOPB) << false;
}

void TestSerialMappingLinux::frameBits()
{
    QFETCH(int, byteSize);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(bool, checkParity);
    QFETCH(int, frame);
    QFETCH(bool, inputChecked);
    Dcb dcb;
    dcb.BaudRate = 9600;
    dcb.flags = 0x1011 | (checkParity ? 0x0002 : 0);
    dcb.ByteSize = std::uint8_t(byteSize);
    dcb.Parity = std::uint8_t(parity);
    dcb.StopBits = std::uint8_t(stopBits);
    QVERIFY(serial::detail::validDcb(dcb));

    // A port left with every frame, handshake and input-check bit set.
    termios t{};
    t.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    t.c_iflag = IXON | IXOFF | IXANY | INPCK | PARMRK;
    serial::detail::applyFrame(t, dcb);

    QCOMPARE(int(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)), frame);
    QCOMPARE(t.c_cflag & (CLOCAL | CREAD | HUPCL | CRTSCTS), tcflag_t(CLOCAL | CREAD | HUPCL));
    QCOMPARE((t.c_iflag & INPCK) != 0, inputChecked);
    QCOMPARE(t.c_iflag & (IXON | IXOFF | IXANY | PARMRK), tcflag_t(0));
}

void TestSerialMappingLinux::frameKept_data()
{
    QTest::addColumn<int>("wanted"); // c_cflag
    QTest::addColumn<int>("actual");
    QTest::addColumn<bool>("kept");
    QTest::newRow("8N1 as asked") << int(CS8 | CREAD) << int(CS8 | CREAD) << true;
    QTest::newRow("other flags differ, the frame is the same")
        << int(CS8 | CLOCAL) << int(CS8 | HUPCL) << true;
    QTest::newRow("7 data bits forced to 8, as a pty does") << int(CS7) << int(CS8) << false;
    QTest::newRow("parity dropped") << int(CS8 | PARENB) << int(CS8) << false;
    QTest::newRow("odd parity made even")
        << int(CS8 | PARENB | PARODD) << int(CS8 | PARENB) << false;
    QTest::newRow("mark parity lost its CMSPAR")
        << int(CS8 | PARENB | PARODD | CMSPAR) << int(CS8 | PARENB | PARODD) << false;
    QTest::newRow("two stop bits dropped") << int(CS8 | CSTOPB) << int(CS8) << false;
}

void TestSerialMappingLinux::frameKept()
{
    QFETCH(int, wanted);
    QFETCH(int, actual);
    QFETCH(bool, kept);
    termios asked{};
    asked.c_cflag = tcflag_t(wanted);
    termios made{};
    made.c_cflag = tcflag_t(actual);
    QCOMPARE(serial::detail::frameKept(asked, made), kept);
}

void TestSerialMappingLinux::characterTime_data()
{
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<Dcb>("dcb");
    QTest::addColumn<qint64>("nanoseconds");
    QTest::newRow("9600 8N1: 10 bits") << 9600u << frame(8, 0, 0) << qint64(1'041'666);
    QTest::newRow("9600 7E1: the parity bit counts")
        << 9600u << frame(7, 2, 0) << qint64(1'041'666);
    QTest::newRow("110 8N2: 11 bits") << 110u << frame(8, 0, 2) << qint64(100'000'000);
    QTest::newRow("115200 5N1.5: counted as 2 stop bits")
        << 115200u << frame(5, 0, 1) << qint64(69'444);
    QTest::newRow("a tty at speed 0 (B0) divides by 1 bit/s, not by 0")
        << 0u << frame(8, 0, 0) << qint64(10'000'000'000);
}

void TestSerialMappingLinux::characterTime()
{
    QFETCH(quint32, baud);
    QFETCH(Dcb, dcb);
    QFETCH(qint64, nanoseconds);
    QCOMPARE(qint64(serial::detail::characterTime(baud, dcb).count()), nanoseconds);
}

void TestSerialMappingLinux::readPlan_data()
{
    QTest::addColumn<CommTimeouts>("timeouts");
    QTest::addColumn<quint32>("count");
    QTest::addColumn<bool>("atOnce");
    QTest::addColumn<bool>("firstBytes");
    QTest::addColumn<qint64>("totalMs");
    QTest::addColumn<qint64>("intervalMs");
    QTest::newRow("the defaults: what is there, at once")
        << CommTimeouts{maxDword, 0, 0, 100, 1000} << 10u << true << false << none << none;
    QTest::newRow("MAXDWORD, MAXDWORD, 500: the first bytes within 500 ms")
        << CommTimeouts{maxDword, maxDword, 500, 0, 0} << 10u << false << true << qint64(500)
        << none;
    QTest::newRow("all 0: every byte, without limit")
        << CommTimeouts{0, 0, 0, 0, 0} << 10u << false << false << none << none;
    QTest::newRow("the total is multiplier x count + constant")
        << CommTimeouts{0, 2, 30, 0, 0} << 10u << false << false << qint64(50) << none;
    QTest::newRow("an interval alone: no total")
        << CommTimeouts{20, 0, 0, 0, 0} << 10u << false << false << none << qint64(20);
    QTest::newRow("an interval and a total")
        << CommTimeouts{20, 1, 5, 0, 0} << 10u << false << false << qint64(15) << qint64(20);
    QTest::newRow("an interval of MAXDWORD with a total: no interval")
        << CommTimeouts{maxDword, 0, 40, 0, 0} << 10u << false << false << qint64(40) << none;
    QTest::newRow("the largest total is capped")
        << CommTimeouts{0, maxDword, maxDword, 0, 0} << maxDword << false << false << longestWaitMs
        << none;
}

void TestSerialMappingLinux::readPlan()
{
    QFETCH(CommTimeouts, timeouts);
    QFETCH(quint32, count);
    QFETCH(bool, atOnce);
    QFETCH(bool, firstBytes);
    QFETCH(qint64, totalMs);
    QFETCH(qint64, intervalMs);
    const serial::detail::ReadPlan plan = serial::detail::readPlan(timeouts, count);
    QCOMPARE(plan.returnAtOnce, atOnce);
    QCOMPARE(plan.returnOnFirstBytes, firstBytes);
    QCOMPARE(msOrNone(plan.total), totalMs);
    QCOMPARE(msOrNone(plan.interval), intervalMs);
}

void TestSerialMappingLinux::writeLimit_data()
{
    QTest::addColumn<CommTimeouts>("timeouts");
    QTest::addColumn<quint32>("count");
    QTest::addColumn<qint64>("limitMs");
    QTest::newRow("the defaults, a 38-byte reply: 100 x 38 + 1000 ms")
        << CommTimeouts{maxDword, 0, 0, 100, 1000} << 38u << qint64(4800);
    QTest::newRow("a constant alone") << CommTimeouts{0, 0, 0, 0, 30} << 38u << qint64(30);
    QTest::newRow("both 0: no limit") << CommTimeouts{0, 0, 0, 0, 0} << 38u << none;
    QTest::newRow("the largest limit is capped")
        << CommTimeouts{0, 0, 0, maxDword, maxDword} << maxDword << longestWaitMs;
}

void TestSerialMappingLinux::writeLimit()
{
    QFETCH(CommTimeouts, timeouts);
    QFETCH(quint32, count);
    QFETCH(qint64, limitMs);
    QCOMPARE(msOrNone(serial::detail::writeLimit(timeouts, count)), limitMs);
}

QTEST_GUILESS_MAIN(TestSerialMappingLinux)
#include "tst_serialmapping_linux.moc"
