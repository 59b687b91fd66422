// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/InputBuffer.h"

#include <QTest>

#include <algorithm>
#include <vector>

using serial::detail::InputBuffer;

// The bytes fetched ahead of a read, without a device.
class TestInputBuffer : public QObject
{
    Q_OBJECT

private slots:
    void holdsWhatArrived_data();
    void holdsWhatArrived();
};

void TestInputBuffer::holdsWhatArrived_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("arriving");
    QTest::addColumn<int>("kept");
    QTest::addColumn<int>("mostAllocated");

    QTest::newRow("3 bytes under a 64 MiB limit allocate no 64 MiB")
        << (64 << 20) << 3 << 3 << 4096;
    QTest::newRow("the usual 2048: more arriving is left out") << 2048 << 5000 << 2048 << 2048;
}

// Bytes arrive as a fetch takes them in: into whatever room the buffer
// offers, until it offers none.
void TestInputBuffer::holdsWhatArrived()
{
    QFETCH(int, limit);
    QFETCH(int, arriving);
    QFETCH(int, kept);
    QFETCH(int, mostAllocated);
    InputBuffer buffer;
    int sent = 0;
    std::size_t length = 0;
    while (std::uint8_t* room = buffer.room(std::size_t(limit), length)) {
        const int n = std::min(int(length), arriving - sent);
        if (n == 0)
            break;
        for (int i = 0; i < n; ++i)
            room[i] = std::uint8_t(sent + i);
        buffer.added(std::size_t(n));
        sent += n;
    }
    QCOMPARE(buffer.size(), std::size_t(kept));
    QVERIFY2(buffer.allocated() <= std::size_t(mostAllocated),
             QByteArray::number(qulonglong(buffer.allocated())));

    std::vector<std::uint8_t> out(std::size_t(kept) + 1);
    QCOMPARE(buffer.take(out.data(), out.size()), std::size_t(kept));
    for (int i = 0; i < kept; ++i)
        QCOMPARE(out[std::size_t(i)], std::uint8_t(i));
}

QTEST_APPLESS_MAIN(TestInputBuffer)
#include "tst_inputbuffer.moc"
