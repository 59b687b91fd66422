// SPDX-License-Identifier: GPL-3.0-or-later

#include "BCPort.h"
#include "ComMapping.h"
#include "ComPortTesting.h"
#include "ComThread.h"
#include "FakeSerial.h"

#include <QTest>

using Calls = std::vector<std::string>;
Q_DECLARE_METATYPE(Calls)
Q_DECLARE_METATYPE(TByteSize)
Q_DECLARE_METATYPE(TParity)
Q_DECLARE_METATYPE(TStopBits)
Q_DECLARE_METATYPE(TBaudRate)
Q_DECLARE_METATYPE(serial::OpenError)

namespace {

// The calls the port makes to close an open device with its event thread.
const Calls closeCalls{"escape 6", "escape 4", "purge 3", "setCommMask 0", "purge 12", "close"};

} // namespace

class TestBCPort : public QObject
{
    Q_OBJECT

private:
    FakeOpener m_opener;
    std::unique_ptr<TBComPort> m_port;

    FakeLine& line() { return *m_opener.line; }
    void openPort()
    {
        QVERIFY(m_port->Open());
        line().clearLog();
    }

private slots:
    void init();
    void cleanup();

    void speedTable_data();
    void speedTable();
    void lineSettingsBlock_data();
    void lineSettingsBlock();
    void timeoutValues_data();
    void timeoutValues();
    void eventMaskRoundTrip();
    void errorBits_data();
    void errorBits();

    void newPortHasDefaults();
    void openCallsInOrder();
    void openOnOpenPortDoesNothing();
    void openFailures_data();
    void openFailures();
    void applyStepFailureRollsBack_data();
    void applyStepFailureRollsBack();
    void setterApplies_data();
    void setterApplies();
    void oddBufferSizeStoredOneLower();
    void portAndSyncMethodWhileOpen();
    void timeoutsSetterAppliesOnce();
    void baudRateOutsideTable();
    void operationFailures_data();
    void operationFailures();
    void operationsOnClosedPort();
    void dtrEnabledAgainAfterLineChange();
    void modemStateBits();
    void readAndWriteCounts();
    void closeReleasesGoneDevice();
    void closeRaisesWhileDeviceThere();
};

void TestBCPort::init()
{
    m_opener.line = std::make_shared<FakeLine>();
    m_port = std::make_unique<TBComPort>(nullptr, m_opener);
}

void TestBCPort::cleanup()
{
    line().set(&FakeLine::gone, false);
    line().set(&FakeLine::failing, std::set<std::string>{});
    m_port.reset();
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);
}

// Pure mappings

void TestBCPort::speedTable_data()
{
    QTest::addColumn<TBaudRate>("rate");
    QTest::addColumn<int>("speed");
    const int speeds[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int ordinal = 0; ordinal < 15; ++ordinal) {
        QTest::addRow("ordinal %d", ordinal) << static_cast<TBaudRate>(ordinal) << speeds[ordinal];
    }
    QTest::newRow("ordinal 15 is past the table") << static_cast<TBaudRate>(15) << -1;
    QTest::newRow("-1 stored as a byte") << static_cast<TBaudRate>(255) << -1;
}

void TestBCPort::speedTable()
{
    QFETCH(TBaudRate, rate);
    QFETCH(int, speed);
    const std::optional<std::uint32_t> actual = comport::baudRateSpeed(rate);
    QCOMPARE(actual.has_value(), speed >= 0);
    if (actual)
        QCOMPARE(int(*actual), speed);
    QCOMPARE(
        comport::lineSettings(rate, TByteSize::bs8, TParity::paNone, TStopBits::sb1).has_value(),
        speed >= 0);
}

void TestBCPort::lineSettingsBlock_data()
{
    QTest::addColumn<TByteSize>("byteSize");
    QTest::addColumn<TParity>("parity");
    QTest::addColumn<TStopBits>("stopBits");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parityCode");
    QTest::addColumn<int>("stopCode");
    QTest::addColumn<int>("flags");
    using B = TByteSize;
    using P = TParity;
    using S = TStopBits;
    QTest::newRow("8N1 defaults") << B::bs8 << P::paNone << S::sb1 << 8 << 0 << 0 << 0x1011;
    QTest::newRow("bs5") << B::bs5 << P::paNone << S::sb1 << 5 << 0 << 0 << 0x1011;
    QTest::newRow("bs6") << B::bs6 << P::paNone << S::sb1 << 6 << 0 << 0 << 0x1011;
    QTest::newRow("bs7") << B::bs7 << P::paNone << S::sb1 << 7 << 0 << 0 << 0x1011;
    QTest::newRow("paOdd") << B::bs8 << P::paOdd << S::sb1 << 8 << 1 << 0 << 0x1013;
    QTest::newRow("paEven") << B::bs8 << P::paEven << S::sb1 << 8 << 2 << 0 << 0x1013;
    QTest::newRow("paMark") << B::bs8 << P::paMark << S::sb1 << 8 << 3 << 0 << 0x1013;
    QTest::newRow("paSpace") << B::bs8 << P::paSpace << S::sb1 << 8 << 4 << 0 << 0x1013;
    QTest::newRow("sb1_5 with bs5") << B::bs5 << P::paNone << S::sb1_5 << 5 << 0 << 1 << 0x1011;
    QTest::newRow("sb2") << B::bs8 << P::paNone << S::sb2 << 8 << 0 << 2 << 0x1011;
    QTest::newRow("7E2") << B::bs7 << P::paEven << S::sb2 << 7 << 2 << 2 << 0x1013;
}

void TestBCPort::lineSettingsBlock()
{
    QFETCH(TByteSize, byteSize);
    QFETCH(TParity, parity);
    QFETCH(TStopBits, stopBits);
    QFETCH(int, dataBits);
    QFETCH(int, parityCode);
    QFETCH(int, stopCode);
    QFETCH(int, flags);
    const std::optional<serial::Dcb> dcb =
        comport::lineSettings(TBaudRate::br57600, byteSize, parity, stopBits);
    QVERIFY(dcb);
    serial::Dcb expected;
    expected.DCBlength = 28;
    expected.BaudRate = 57600;
    expected.flags = std::uint32_t(flags);
    expected.ByteSize = std::uint8_t(dataBits);
    expected.Parity = std::uint8_t(parityCode);
    expected.StopBits = std::uint8_t(stopCode);
    expected.XonChar = 0x11;
    expected.XoffChar = 0x13;
    QVERIFY(*dcb == expected);
}

void TestBCPort::timeoutValues_data()
{
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QList<quint32>>("expected");
    QTest::newRow("defaults: read at once, write 100 ms per byte + 1 s")
        << QList<int>{-1, 0, 0, 100, 1000} << QList<quint32>{0xFFFFFFFF, 0, 0, 100, 1000};
    QTest::newRow("every negative value is MAXDWORD")
        << QList<int>{-5, -1, -2147483647 - 1, -100, -1}
        << QList<quint32>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    QTest::newRow("positive values pass unchanged, in record order")
        << QList<int>{1, 2, 3, 4, 2147483647} << QList<quint32>{1, 2, 3, 4, 2147483647};
}

void TestBCPort::timeoutValues()
{
    QFETCH(QList<int>, values);
    QFETCH(QList<quint32>, expected);
    const serial::CommTimeouts t =
        comport::commTimeouts(values[0], values[1], values[2], values[3], values[4]);
    const QList<quint32> actual{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                t.WriteTotalTimeoutConstant};
    QCOMPARE(actual, expected);
}

void TestBCPort::eventMaskRoundTrip()
{
    QCOMPARE(comport::eventMask(m_port->WatchedEvents()), 0x05BDu);
    QCOMPARE(comport::lineEvents(0xFFFF), m_port->WatchedEvents());
    // EV_RXFLAG and EV_BREAK stand for no line event.
    QCOMPARE(comport::lineEvents(0x0002 | 0x0040), TLineEvents());
    QCOMPARE(comport::lineEvents(0x0080), TLineEvents(TLineEvent::evError));
    QCOMPARE(comport::eventMask(TLineEvent::evRing | TLineEvent::evRx80Full), 0x0500u);
}

void TestBCPort::errorBits_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::addColumn<TParity>("parity");
    QTest::addColumn<int>("errors");
    using E = TComError;
    QTest::newRow("CE_FRAME") << 0x0008u << TParity::paNone << int(E::ceFrame);
    QTest::newRow("CE_RXPARITY without parity is dropped") << 0x0004u << TParity::paNone << 0;
    QTest::newRow("CE_RXPARITY with paEven") << 0x0004u << TParity::paEven << int(E::ceRxParity);
    QTest::newRow("CE_OVERRUN") << 0x0002u << TParity::paNone << int(E::ceOverrun);
    QTest::newRow("CE_RXOVER") << 0x0001u << TParity::paNone << int(E::ceRxOver);
    QTest::newRow("CE_TXFULL") << 0x0100u << TParity::paNone << int(E::ceTxFull);
    QTest::newRow("CE_BREAK") << 0x0010u << TParity::paNone << int(E::ceBreak);
    QTest::newRow("CE_IOE") << 0x0400u << TParity::paNone << int(E::ceIO);
    QTest::newRow("CE_MODE") << 0x8000u << TParity::paNone << int(E::ceMode);
    QTest::newRow("unknown bits ignored") << 0x7000u << TParity::paOdd << 0;
    QTest::newRow("frame and parity with paNone") << 0x000Cu << TParity::paNone << int(E::ceFrame);
}

void TestBCPort::errorBits()
{
    QFETCH(quint32, bits);
    QFETCH(TParity, parity);
    QFETCH(int, errors);
    QCOMPARE(int(comport::comErrors(bits, parity)), errors);
}

// The port object with the recording fake

void TestBCPort::newPortHasDefaults()
{
    QVERIFY(!m_port->Connected());
    QCOMPARE(m_port->BaudRate(), TBaudRate::br9600);
    QCOMPARE(m_port->ByteSize(), TByteSize::bs8);
    QCOMPARE(m_port->InBufSize(), 2048);
    QCOMPARE(m_port->OutBufSize(), 2048);
    QCOMPARE(m_port->Parity(), TParity::paNone);
    QCOMPARE(m_port->Port(), QStringLiteral("COM2"));
    QCOMPARE(m_port->StopBits(), TStopBits::sb1);
    QCOMPARE(m_port->SyncMethod(), TSyncMethod::smThreadSync);
    QCOMPARE(m_port->EventThreadPriority(), QThread::NormalPriority);
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QVERIFY(!m_port->EventThread());
    const TComTimeouts& t = m_port->Timeouts();
    QCOMPARE(t.ComPort(), m_port.get());
    QCOMPARE(QList<int>({t.ReadInterval(), t.ReadTotalMultiplier(), t.ReadTotalConstant(),
                         t.WriteTotalMultiplier(), t.WriteTotalConstant()}),
             QList<int>({-1, 0, 0, 100, 1000}));
    QVERIFY(m_port->Close());
    QVERIFY(line().calls().empty());
}

void TestBCPort::openCallsInOrder()
{
    QVERIFY(m_port->Open());
    QVERIFY(m_port->Connected());
    QCOMPARE(m_port->Handle(), std::intptr_t(42));
    QVERIFY(m_port->EventThread());
    QVERIFY(!m_port->NotifyWindow());
    const Calls expectedOpen{"open " + serial::devicePath("COM2"), "setupComm 2048 2048",
                             "setCommState 9600", "setCommTimeouts", "setCommMask 1469"};
    QCOMPARE(line().calls(), expectedOpen);
    const serial::CommTimeouts t = line().get(&FakeLine::timeouts);
    QCOMPARE(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    QCOMPARE(t.WriteTotalTimeoutConstant, 1000u);

    line().clearLog();
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->Connected());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QVERIFY(!m_port->EventThread());
    QCOMPARE(line().calls(), closeCalls);
}

void TestBCPort::openOnOpenPortDoesNothing()
{
    openPort();
    QVERIFY(m_port->Open());
    QVERIFY(line().calls().empty());
}

void TestBCPort::openFailures_data()
{
    QTest::addColumn<serial::OpenError>("error");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing device")
        << serial::OpenError::NotFound << message(ComPortMessages::NoSuchPort);
    QTest::newRow("device held elsewhere")
        << serial::OpenError::AccessDenied << message(ComPortMessages::PortInUse);
    QTest::newRow("unexplained failure ends at the first apply step")
        << serial::OpenError::Other << message(ComPortMessages::SetupCommFailed);
}

void TestBCPort::openFailures()
{
    QFETCH(serial::OpenError, error);
    QFETCH(QString, expected);
    line().set(&FakeLine::openFails, true);
    line().set(&FakeLine::openError, error);
    QCOMPARE(messageOf([&] { m_port->Open(); }), expected);
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QCOMPARE(line().calls(), Calls{"open " + serial::devicePath("COM2")});
}

void TestBCPort::applyStepFailureRollsBack_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Calls>("calls");
    const std::string open = "open " + serial::devicePath("COM2");
    QTest::newRow("buffer sizes") << "setupComm" << message(ComPortMessages::SetupCommFailed)
                                  << Calls{open, "setupComm 2048 2048", "close"};
    QTest::newRow("line settings")
        << "setCommState" << message(ComPortMessages::SetCommStateFailed)
        << Calls{open, "setupComm 2048 2048", "setCommState 9600", "close"};
    QTest::newRow("time-outs") << "setCommTimeouts"
                               << message(ComPortMessages::SetCommTimeoutsFailed)
                               << Calls{open, "setupComm 2048 2048", "setCommState 9600",
                                        "setCommTimeouts", "close"};
}

void TestBCPort::applyStepFailureRollsBack()
{
    QFETCH(QString, failing);
    QFETCH(QString, expected);
    QFETCH(Calls, calls);
    line().set(&FakeLine::failing, std::set<std::string>{failing.toStdString()});
    QCOMPARE(messageOf([&] { m_port->Open(); }), expected);
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QCOMPARE(line().calls(), calls);
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);
}

void TestBCPort::setterApplies_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<bool>("open");
    QTest::addColumn<Calls>("calls");
    QTest::newRow("BaudRate br57600 on an open port")
        << "BaudRate" << true << Calls{"setCommState 57600"};
    QTest::newRow("BaudRate on a closed port is only stored") << "BaudRate" << false << Calls{};
    QTest::newRow("same BaudRate does nothing") << "BaudRate same" << true << Calls{};
    QTest::newRow("ByteSize") << "ByteSize" << true << Calls{"setCommState 9600"};
    QTest::newRow("Parity") << "Parity" << true << Calls{"setCommState 9600"};
    QTest::newRow("same Parity does nothing") << "Parity same" << true << Calls{};
    QTest::newRow("StopBits") << "StopBits" << true << Calls{"setCommState 9600"};
    QTest::newRow("InBufSize") << "InBufSize" << true << Calls{"setupComm 4096 2048"};
    QTest::newRow("OutBufSize") << "OutBufSize" << true << Calls{"setupComm 2048 512"};
    QTest::newRow("same InBufSize does nothing") << "InBufSize same" << true << Calls{};
    QTest::newRow("InBufSize on a closed port") << "InBufSize" << false << Calls{};
    QTest::newRow("ReadInterval") << "ReadInterval" << true << Calls{"setCommTimeouts"};
    QTest::newRow("WriteTotalConstant") << "WriteTotalConstant" << true << Calls{"setCommTimeouts"};
    QTest::newRow("same WriteTotalConstant does nothing")
        << "WriteTotalConstant same" << true << Calls{};
    QTest::newRow("ReadInterval on a closed port") << "ReadInterval" << false << Calls{};
}

void TestBCPort::setterApplies()
{
    QFETCH(QString, property);
    QFETCH(bool, open);
    QFETCH(Calls, calls);
    if (open)
        openPort();
    TBComPort& p = *m_port;
    TComTimeouts& t = p.Timeouts();
    if (property == "BaudRate")
        p.setBaudRate(TBaudRate::br57600);
    else if (property == "BaudRate same")
        p.setBaudRate(TBaudRate::br9600);
    else if (property == "ByteSize")
        p.setByteSize(TByteSize::bs7);
    else if (property == "Parity")
        p.setParity(TParity::paEven);
    else if (property == "Parity same")
        p.setParity(TParity::paNone);
    else if (property == "StopBits")
        p.setStopBits(TStopBits::sb2);
    else if (property == "InBufSize")
        p.setInBufSize(4096);
    else if (property == "InBufSize same")
        p.setInBufSize(2048);
    else if (property == "OutBufSize")
        p.setOutBufSize(512);
    else if (property == "ReadInterval")
        t.setReadInterval(5);
    else if (property == "WriteTotalConstant")
        t.setWriteTotalConstant(7);
    else if (property == "WriteTotalConstant same")
        t.setWriteTotalConstant(1000);
    else
        QFAIL("unknown property");
    QCOMPARE(line().calls(), calls);
}

void TestBCPort::oddBufferSizeStoredOneLower()
{
    m_port->setInBufSize(1024);
    openPort();
    m_port->setInBufSize(1025);
    QCOMPARE(m_port->InBufSize(), 1024);
    QCOMPARE(line().calls(), Calls{"setupComm 1024 2048"});
    m_port->setOutBufSize(2049);
    QCOMPARE(m_port->OutBufSize(), 2048);
    m_port->setOutBufSize(-3);
    QCOMPARE(m_port->OutBufSize(), -3);
}

void TestBCPort::portAndSyncMethodWhileOpen()
{
    m_port->setPort("ttyUSB0");
    m_port->setSyncMethod(TSyncMethod::smNone);
    QCOMPARE(m_port->Port(), QStringLiteral("ttyUSB0"));
    openPort();
    QCOMPARE(messageOf([&] { m_port->setPort("ttyUSB0"); }),
             message(ComPortMessages::PropertyWhileOpen));
    QCOMPARE(messageOf([&] { m_port->setPort("ttyUSB1"); }),
             message(ComPortMessages::PropertyWhileOpen));
    QCOMPARE(messageOf([&] { m_port->setSyncMethod(TSyncMethod::smNone); }), QString());
    QCOMPARE(messageOf([&] { m_port->setSyncMethod(TSyncMethod::smThreadSync); }),
             message(ComPortMessages::PropertyWhileOpen));
    QCOMPARE(m_port->Port(), QStringLiteral("ttyUSB0"));
    QCOMPARE(m_port->SyncMethod(), TSyncMethod::smNone);
    QVERIFY(line().calls().empty());
}

void TestBCPort::timeoutsSetterAppliesOnce()
{
    openPort();
    TComTimeouts other;
    other.setReadInterval(-7);
    other.setReadTotalConstant(3);
    other.setWriteTotalMultiplier(-1);
    m_port->setTimeouts(other);
    QCOMPARE(line().calls(), Calls{"setCommTimeouts"});
    QCOMPARE(m_port->Timeouts().ComPort(), m_port.get());
    QCOMPARE(m_port->Timeouts().ReadTotalConstant(), 3);
    const serial::CommTimeouts t = line().get(&FakeLine::timeouts);
    QCOMPARE(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    QCOMPARE(t.ReadTotalTimeoutConstant, 3u);
    QCOMPARE(t.WriteTotalTimeoutMultiplier, 0xFFFFFFFFu);
    QCOMPARE(t.WriteTotalTimeoutConstant, 1000u);
}

void TestBCPort::baudRateOutsideTable()
{
    const auto none = static_cast<TBaudRate>(255);
    openPort();
    QCOMPARE(messageOf([&] { m_port->setBaudRate(none); }),
             message(ComPortMessages::SetCommStateFailed));
    QCOMPARE(m_port->BaudRate(), none);
    QVERIFY(m_port->Connected());
    QVERIFY(line().calls().empty());
    QVERIFY(m_port->Close());

    QCOMPARE(messageOf([&] { m_port->Open(); }), message(ComPortMessages::SetCommStateFailed));
    QVERIFY(!m_port->Connected());
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);
}

void TestBCPort::operationFailures_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("expected");
    using namespace ComPortMessages;
    QTest::newRow("WriteText") << "write"
                               << "WriteText" << message(WriteError);
    QTest::newRow("ReadText") << "read"
                              << "ReadText" << message(ReadError);
    QTest::newRow("ModemState") << "modemStatus"
                                << "ModemState" << message(ModemStatusFailed);
    QTest::newRow("SetDTR") << "escape"
                            << "SetDTR" << message(EscapeFailed);
    QTest::newRow("SetRTS") << "escape"
                            << "SetRTS" << message(EscapeFailed);
    QTest::newRow("AbortTransfers") << "purge"
                                    << "AbortTransfers" << message(PurgeCommFailed);
    QTest::newRow("BytesWaiting") << "clearError"
                                  << "BytesWaiting" << message(ClearCommErrorFailed);
    QTest::newRow("FireError") << "clearError"
                               << "FireError" << message(ClearCommErrorFailed);
    QTest::newRow("BaudRate while open") << "setCommState"
                                         << "BaudRate" << message(SetCommStateFailed);
    QTest::newRow("InBufSize while open") << "setupComm"
                                          << "InBufSize" << message(SetupCommFailed);
    QTest::newRow("ReadInterval while open") << "setCommTimeouts"
                                             << "ReadInterval" << message(SetCommTimeoutsFailed);
}

void TestBCPort::operationFailures()
{
    QFETCH(QString, failing);
    QFETCH(QString, operation);
    QFETCH(QString, expected);
    openPort();
    line().set(&FakeLine::failing, std::set<std::string>{failing.toStdString()});
    TBComPort& p = *m_port;
    QByteArray text = "kept";
    const std::map<QString, std::function<void()>> operations{
        {"WriteText", [&] { p.WriteText("IF;"); }},
        {"ReadText", [&] { p.ReadText(text, 10); }},
        {"ModemState", [&] { p.ModemState(); }},
        {"SetDTR", [&] { p.SetDTR(true); }},
        {"SetRTS", [&] { p.SetRTS(false); }},
        {"AbortTransfers", [&] { p.AbortTransfers(); }},
        {"BytesWaiting", [&] { p.BytesWaiting(); }},
        {"FireError", [&] { p.FireError(); }},
        {"BaudRate", [&] { p.setBaudRate(TBaudRate::br115200); }},
        {"InBufSize", [&] { p.setInBufSize(100); }},
        {"ReadInterval", [&] { p.Timeouts().setReadInterval(10); }},
    };
    QCOMPARE(messageOf(operations.at(operation)), expected);
    QCOMPARE(text, QByteArray("kept"));
    // A failed setter keeps the new value and the port open.
    QVERIFY(p.Connected());
    if (operation == "BaudRate")
        QCOMPARE(p.BaudRate(), TBaudRate::br115200);
    line().set(&FakeLine::failing, std::set<std::string>{});
}

void TestBCPort::operationsOnClosedPort()
{
    using namespace ComPortMessages;
    TBComPort& p = *m_port;
    QByteArray text;
    QCOMPARE(messageOf([&] { p.WriteText("x"); }), message(WriteError));
    QCOMPARE(messageOf([&] { p.ReadText(text, 1); }), message(ReadError));
    QCOMPARE(messageOf([&] { p.ModemState(); }), message(ModemStatusFailed));
    QCOMPARE(messageOf([&] { p.SetDTR(true); }), message(EscapeFailed));
    QCOMPARE(messageOf([&] { p.SetRTS(true); }), message(EscapeFailed));
    QCOMPARE(messageOf([&] { p.AbortTransfers(); }), message(PurgeCommFailed));
    QCOMPARE(messageOf([&] { p.BytesWaiting(); }), message(ClearCommErrorFailed));
    // Nothing is started for an empty text or a zero count, so nothing fails.
    QCOMPARE(p.WriteText(""), 0);
    QCOMPARE(p.ReadText(text, 0), 0);
    char byte = 0;
    QCOMPARE(messageOf([&] { p.StartWrite(&byte, 1, nullptr); }), message(InvalidAsync));
    QCOMPARE(messageOf([&] { p.StartRead(&byte, 1, nullptr); }), message(InvalidAsync));
    QCOMPARE(messageOf([&] { p.WaitIoRequest(nullptr); }), message(InvalidAsync));
}

void TestBCPort::dtrEnabledAgainAfterLineChange()
{
    openPort();
    m_port->SetDTR(false);
    m_port->setBaudRate(TBaudRate::br115200);
    QCOMPARE(line().calls(), (Calls{"escape 6", "setCommState 115200"}));
    constexpr std::uint32_t dtrControlEnable = 0x0010;
    constexpr std::uint32_t rtsControlEnable = 0x1000;
    const std::uint32_t flags = line().get(&FakeLine::dcb).flags;
    QCOMPARE(flags & 0x0030u, dtrControlEnable);
    QCOMPARE(flags & 0x3000u, rtsControlEnable);
}

void TestBCPort::modemStateBits()
{
    openPort();
    line().set(&FakeLine::modem, serial::ms::CtsOn | serial::ms::RlsdOn | 0x0F00u);
    QCOMPARE(int(m_port->ModemState()), 9);
    line().set(&FakeLine::modem, serial::ms::DsrOn | serial::ms::RingOn);
    QCOMPARE(m_port->ModemState(), TModemLine::mlDSR | TModemLine::mlRing);
}

void TestBCPort::readAndWriteCounts()
{
    openPort();
    QByteArray text = "old";
    QCOMPARE(m_port->ReadText(text, 0), 0);
    QVERIFY(text.isEmpty());
    QCOMPARE(m_port->WriteText(QByteArray("\0\xFF", 2)), 2);
    QCOMPARE(m_port->ReadText(text, 10), 0);
    QCOMPARE(line().calls(), (Calls{"write 2", "read 10"}));
    line().set(&FakeLine::status, serial::CommStatus{0, 17, 0});
    QCOMPARE(m_port->BytesWaiting(), 17);
}

void TestBCPort::closeReleasesGoneDevice()
{
    openPort();
    line().set(&FakeLine::gone, true);
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->Connected());
    QVERIFY(!m_port->EventThread());
    QCOMPARE(m_port->Handle(), std::intptr_t(-1));
    QCOMPARE(line().get(&FakeLine::devicesOpen), 0);

    line().set(&FakeLine::gone, false);
    QVERIFY(m_port->Open());
    QVERIFY(m_port->Connected());
}

void TestBCPort::closeRaisesWhileDeviceThere()
{
    openPort();
    line().set(&FakeLine::failing, std::set<std::string>{"escape"});
    QCOMPARE(messageOf([&] { m_port->Close(); }), message(ComPortMessages::EscapeFailed));
    QVERIFY(m_port->Connected());
    QVERIFY(m_port->EventThread());
    QCOMPARE(line().get(&FakeLine::devicesOpen), 1);

    line().set(&FakeLine::failing, std::set<std::string>{"purge"});
    QCOMPARE(messageOf([&] { m_port->Close(); }), message(ComPortMessages::PurgeCommFailed));
    QVERIFY(m_port->Connected());

    line().set(&FakeLine::failing, std::set<std::string>{});
    QVERIFY(m_port->Close());
    QVERIFY(!m_port->Connected());
}

QTEST_GUILESS_MAIN(TestBCPort)
#include "tst_bcport.moc"
