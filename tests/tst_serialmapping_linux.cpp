// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/SerialMapping_linux.h"

#include <QTest>

using serial::Dcb;

// The termios mapping of the Linux device layer, for what a pty cannot show:
// a pty forces 8 data bits without parity, whatever it is given.
class TestSerialMappingLinux : public QObject
{
    Q_OBJECT

private slots:
    void frameBits_data();
    void frameBits();
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

QTEST_GUILESS_MAIN(TestSerialMappingLinux)
#include "tst_serialmapping_linux.moc"
