#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "model/udpendpoint.h"

namespace {

// The system's cap on a socket's receive buffer, or 0 when it cannot be read.
int ReceiveBufferCap()
{
    QFile file(QStringLiteral("/proc/sys/net/core/rmem_max"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

// Sends Count datagrams of Size bytes to Endpoint in one go: the endpoint
// reads none of them before the last has left.
void SendBurst(const TUdpEndpoint& endpoint, int count, int size)
{
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    for (int i = 0; i < count; ++i) {
        QByteArray datagram = QByteArray::number(i).leftJustified(size, '.');
        QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, endpoint.LocalPort()),
                 qint64(size));
    }
}

} // namespace

class TestUdpEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void receiveBufferGranted_data();
    void receiveBufferGranted();
    void dropsCounted_data();
    void dropsCounted();
    void burstReadBeforeHandedOn();
    void handlerDeletesEndpoint();
    void longBurstHandedOnInSlices();
};

void TestUdpEndpoint::receiveBufferGranted_data()
{
    QTest::addColumn<int>("asked");
    QTest::newRow("as made") << 0;
    QTest::newRow("256 KB") << 256 * 1024;
    QTest::newRow("2 MB") << 2 * 1024 * 1024;
}

void TestUdpEndpoint::receiveBufferGranted()
{
    QFETCH(int, asked);
    TUdpEndpoint endpoint;
    QVERIFY(endpoint.IsBound());
    const int cap = ReceiveBufferCap();
    if (cap <= 0) {
        QSKIP("the system does not say its receive buffer cap");
    }
    const int wanted = asked > 0 ? asked : TUdpEndpoint::BurstReceiveBuffer;
    const int granted =
        asked > 0 ? endpoint.SetReceiveBufferSize(asked) : endpoint.ReceiveBufferSize();
    // Linux doubles what it grants, for its own bookkeeping.
    QCOMPARE(granted, 2 * qMin(wanted, cap));
}

void TestUdpEndpoint::dropsCounted_data()
{
    QTest::addColumn<int>("buffer"); // 0: the endpoint's own
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("dropsExpected");
    QTest::newRow("tiny buffer, 300 datagrams") << 4096 << 300 << true;
    QTest::newRow("burst buffer, 2000 datagrams") << 0 << 2000 << false;
}

void TestUdpEndpoint::dropsCounted()
{
    QFETCH(int, buffer);
    QFETCH(int, count);
    QFETCH(bool, dropsExpected);
    TUdpEndpoint endpoint;
    if (buffer > 0) {
        endpoint.SetReceiveBufferSize(buffer);
    } else if (endpoint.ReceiveBufferSize() < TUdpEndpoint::BurstReceiveBuffer) {
        QSKIP("the system caps receive buffers below a burst's (net.core.rmem_max)");
    }
    const std::optional<std::uint64_t> before = endpoint.DroppedDatagrams();
    QVERIFY2(before, "the system does not count drops");
    QCOMPARE(*before, 0u);
    QSignalSpy received(&endpoint, &TUdpEndpoint::DatagramReceived);
    SendBurst(endpoint, count, 600);
    // Every datagram is either read or counted as dropped.
    QTRY_COMPARE_WITH_TIMEOUT(std::uint64_t(received.count()) + *endpoint.DroppedDatagrams(),
                              std::uint64_t(count), 5000);
    QCOMPARE(endpoint.DatagramsRead(), std::uint64_t(received.count()));
    QCOMPARE(*endpoint.DroppedDatagrams() > 0, dropsExpected);
}

void TestUdpEndpoint::burstReadBeforeHandedOn()
{
    TUdpEndpoint endpoint;
    constexpr int count = 200;
    QList<std::uint64_t> readWhenHandedOn;
    QList<TDatagram> datagrams;
    connect(&endpoint, &TUdpEndpoint::DatagramReceived, this, [&](const TDatagram& datagram) {
        readWhenHandedOn << endpoint.DatagramsRead();
        datagrams << datagram;
    });
    const std::uint32_t sent = TUdpEndpoint::TickCount();
    SendBurst(endpoint, count, 100);
    QTRY_COMPARE_WITH_TIMEOUT(datagrams.size(), count, 5000);
    // The first was handed on only when the whole burst had been read, and
    // each carries the place and time of its own read, in order.
    QCOMPARE(readWhenHandedOn.first(), std::uint64_t(count));
    for (int i = 0; i < count; ++i) {
        QCOMPARE(datagrams[i].Data.left(datagrams[i].Data.indexOf('.')), QByteArray::number(i));
        QCOMPARE(datagrams[i].Serial, std::uint64_t(i + 1));
        QVERIFY(std::int32_t(datagrams[i].ReceivedAt - sent) >= 0);
        if (i > 0) {
            QVERIFY(std::int32_t(datagrams[i].ReceivedAt - datagrams[i - 1].ReceivedAt) >= 0);
        }
    }
}

void TestUdpEndpoint::handlerDeletesEndpoint()
{
    // The owner of the endpoint goes away while the batch is handed on: the
    // rest of the batch is dropped, nothing touches the deleted endpoint.
    QPointer<TUdpEndpoint> endpoint = new TUdpEndpoint;
    int handed = 0;
    connect(endpoint, &TUdpEndpoint::DatagramReceived, this, [&](const TDatagram&) {
        ++handed;
        delete endpoint.data();
    });
    SendBurst(*endpoint, 20, 50);
    QTRY_VERIFY_WITH_TIMEOUT(endpoint.isNull(), 5000);
    QCOMPARE(handed, 1);
}

void TestUdpEndpoint::longBurstHandedOnInSlices()
{
    // Handlers that take a millisecond each: 100 of them would hold the
    // event loop for 100 ms. The endpoint gives the loop back in between,
    // so a timer due at the first one runs before the last.
    TUdpEndpoint endpoint;
    constexpr int count = 100;
    int handed = 0;
    int handedWhenTimerRan = -1;
    connect(&endpoint, &TUdpEndpoint::DatagramReceived, this, [&](const TDatagram&) {
        if (handed++ == 0) {
            QTimer::singleShot(0, this, [&] { handedWhenTimerRan = handed; });
        }
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 1) {
        }
    });
    SendBurst(endpoint, count, 100);
    QTRY_COMPARE_WITH_TIMEOUT(handed, count, 5000);
    QVERIFY2(handedWhenTimerRan > 0 && handedWhenTimerRan < count,
             qPrintable(QString::number(handedWhenTimerRan)));
    QCOMPARE(endpoint.Backlog(), 0);
}

QTEST_GUILESS_MAIN(TestUdpEndpoint)
#include "tst_udpendpoint.moc"
