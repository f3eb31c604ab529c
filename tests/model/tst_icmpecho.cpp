#include <QElapsedTimer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "fakeechotransport.h"
#include "model/icmpecho.h"

// Run with MORVIX_TEST_OWN_NETWORK set, the test moves into a network
// namespace of its own before Qt starts any thread. There it may allow the
// unprivileged ICMP socket and refuse it again, so both kinds of socket and
// the refusal are checked even where the machine's own setting is fixed.
namespace {

bool OwnNetwork = false;
QString OwnNetworkFailure = QStringLiteral("MORVIX_TEST_OWN_NETWORK is not set");

void MakeOwnNetwork()
{
    if (!qEnvironmentVariableIsSet("MORVIX_TEST_OWN_NETWORK")) {
        return;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        OwnNetworkFailure = QStringLiteral("no network namespace of our own: ") +
                            QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!up) {
        OwnNetworkFailure = QStringLiteral("loopback of the own network stays down");
        return;
    }
    OwnNetwork = true;
}

bool SetPingGroupRange(const char* range)
{
    const int fd = ::open("/proc/sys/net/ipv4/ping_group_range", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, range, std::strlen(range)) == ssize_t(std::strlen(range));
    ::close(fd);
    return written;
}

// Takes CAP_NET_RAW out of the effective set, or puts it back.
bool SetRawCapability(bool effective)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    if (effective) {
        data[0].effective |= 1U << CAP_NET_RAW;
    } else {
        data[0].effective &= ~(1U << CAP_NET_RAW);
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

std::uint32_t Loopback()
{
    return QHostAddress(QHostAddress::LocalHost).toIPv4Address();
}

} // namespace

class TestIcmpEcho : public QObject
{
    Q_OBJECT

private slots:
    void checksum_data();
    void checksum();
    void echoOnLoopback_data();
    void echoOnLoopback();
    void refusalSaysHowToAllow();
    void lookup_data();
    void lookup();
    void cancelledLookupIsIgnored();
    void replyMatching_data();
    void replyMatching();
    void timeoutKeepsTheLoopTurning();
    void failedSendAnswersFromTheLoop_data();
    void failedSendAnswersFromTheLoop();
};

void TestIcmpEcho::checksum_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");

    // The example of RFC 1071: the words sum to 0xDDF2.
    QTest::newRow("rfc1071") << QByteArray("\x00\x01\xF2\x03\xF4\xF5\xF6\xF7", 8) << 0x220D;
    QTest::newRow("odd length pads") << QByteArray("\x12\x34\x56", 3) << 0x97CB;
    QTest::newRow("carry folds back") << QByteArray("\xFF\xFF\x00\x01", 4) << 0xFFFE;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
}

void TestIcmpEcho::checksum()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(int(TIcmpSocket::Checksum(data)), expected);

    // A request carries a checksum over itself, so summing it again gives 0.
    const QByteArray request = TIcmpSocket::EchoRequest(0xBEEF, 0x0102, data);
    QCOMPARE(request.size(), data.size() + 8);
    QCOMPARE(request.left(2), QByteArray("\x08\x00", 2));
    QCOMPARE(request.mid(4, 4), QByteArray("\xBE\xEF\x01\x02", 4));
    QCOMPARE(int(TIcmpSocket::Checksum(request)), 0);
}

void TestIcmpEcho::echoOnLoopback_data()
{
    QTest::addColumn<TIcmpSocketKind>("kind");
    QTest::newRow("datagram") << TIcmpSocketKind::Datagram;
    QTest::newRow("raw") << TIcmpSocketKind::Raw;
}

void TestIcmpEcho::echoOnLoopback()
{
    QFETCH(TIcmpSocketKind, kind);
    if (OwnNetwork && kind == TIcmpSocketKind::Datagram) {
        QVERIFY(SetPingGroupRange("0 2147483647"));
    }
    // Two components at once: each must see its own reply only, which for
    // raw sockets (every one sees all ICMP) is the identifier's doing.
    TPing first;
    TPing second;
    for (TPing* ping : {&first, &second}) {
        int error = 0;
        auto socket = TIcmpSocket::Open(kind, error);
        if (!socket) {
            QVERIFY2(error == EACCES || error == EPERM, qPrintable(qt_error_string(error)));
            QSKIP(kind == TIcmpSocketKind::Datagram
                      ? "net.ipv4.ping_group_range leaves this user's group out"
                      : "no CAP_NET_RAW for this process");
        }
        ping->SetTransport(std::move(socket));
    }

    QSignalSpy looked(&first, &TPing::OnDnsLookupDone);
    first.DnsLookup(QStringLiteral("127.0.0.1"));
    QVERIFY(looked.wait(5000));
    QCOMPARE(looked.first().first().toInt(), 0);
    QCOMPARE(first.DnsResult(), QStringLiteral("127.0.0.1"));

    QSignalSpy firstReplies(&first, &TPing::OnEchoReply);
    QSignalSpy secondReplies(&second, &TPing::OnEchoReply);
    for (TPing* ping : {&first, &second}) {
        ping->SetAddress(first.DnsResult());
        ping->SendEcho();
    }
    QCOMPARE(firstReplies.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(firstReplies.count() + secondReplies.count(), 2, 5000);
    QCOMPARE(firstReplies.count(), 1);
    QCOMPARE(firstReplies.first().first().toInt(), 1);
    QCOMPARE(secondReplies.first().first().toInt(), 1);
    QCOMPARE(first.Reply().Address, QStringLiteral("127.0.0.1"));
    QVERIFY(first.Reply().RoundTripTime < TPing::DefaultTimeout);
}

void TestIcmpEcho::refusalSaysHowToAllow()
{
    struct TRestore
    {
        ~TRestore()
        {
            if (OwnNetwork) {
                SetRawCapability(true);
            }
        }
    } restore;
    if (OwnNetwork) {
        QVERIFY(SetPingGroupRange("1 0"));
        if (!SetRawCapability(false)) {
            QSKIP("the raw socket capability cannot be put aside here");
        }
    }
    QString whyNot;
    if (OpenIcmpEcho(whyNot)) {
        QSKIP(qPrintable(QStringLiteral("this system permits ICMP echo; the refusal is checked "
                                        "in a network of the test's own (") +
                         OwnNetworkFailure + QLatin1Char(')')));
    }
    QVERIFY2(whyNot.startsWith(QStringLiteral("ICMP ping is not permitted on this system.")),
             qPrintable(whyNot));
    QVERIFY(whyNot.contains(QStringLiteral("sysctl -w net.ipv4.ping_group_range=")));
    QVERIFY(whyNot.contains(QStringLiteral("cap_net_raw+ep")));

    // The component reports the same, and an echo it cannot send answers
    // "no reply" from the event loop.
    TPing ping;
    QVERIFY(!ping.Open());
    QCOMPARE(ping.ErrorText(), whyNot);
    QSignalSpy replies(&ping, &TPing::OnEchoReply);
    ping.SetAddress(QStringLiteral("127.0.0.1"));
    ping.SendEcho();
    QCOMPARE(replies.count(), 0);
    QVERIFY(replies.wait(5000));
    QCOMPARE(replies.first().first().toInt(), 0);
}

void TestIcmpEcho::lookup_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("resolves");

    QTest::newRow("dotted") << QStringLiteral("127.0.0.1") << true;
    // Names that fail before any resolver is asked: no network traffic.
    QTest::newRow("not a name") << QStringLiteral("no such host") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("IPv6 only") << QStringLiteral("::1") << false;
}

void TestIcmpEcho::lookup()
{
    QFETCH(QString, host);
    QFETCH(bool, resolves);

    TPing ping;
    QSignalSpy done(&ping, &TPing::OnDnsLookupDone);
    ping.DnsLookup(host);
    QVERIFY(ping.LookingUp());
    QCOMPARE(done.count(), 0);
    QVERIFY(done.wait(5000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().first().toInt() == 0, resolves);
    QCOMPARE(ping.DnsResult(), resolves ? host : QString());
    QVERIFY(!ping.LookingUp());
}

void TestIcmpEcho::cancelledLookupIsIgnored()
{
    TPing ping;
    QSignalSpy done(&ping, &TPing::OnDnsLookupDone);
    ping.DnsLookup(QStringLiteral("no such host"));
    ping.CancelDnsLookup();
    ping.DnsLookup(QStringLiteral("127.0.0.1"));
    QVERIFY(done.wait(5000));
    // Let the cancelled answer arrive too, whichever order they come in.
    TPing probe;
    QSignalSpy probeDone(&probe, &TPing::OnDnsLookupDone);
    probe.DnsLookup(QStringLiteral("no such host"));
    QVERIFY(probeDone.wait(5000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().first().toInt(), 0);
    QCOMPARE(ping.DnsResult(), QStringLiteral("127.0.0.1"));

    ping.DnsLookup(QStringLiteral("127.0.0.1"));
    ping.CancelDnsLookup();
    QVERIFY(!ping.LookingUp());
    probe.DnsLookup(QStringLiteral("127.0.0.1"));
    QVERIFY(probeDone.wait(5000));
    QCOMPARE(done.count(), 1);
}

void TestIcmpEcho::replyMatching_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("replies");

    QTest::newRow("its own reply") << "same" << 1;
    QTest::newRow("from another address") << "source" << 0;
    QTest::newRow("another sequence") << "sequence" << 0;
    QTest::newRow("another payload") << "payload" << 0;
    QTest::newRow("to an echo since replaced") << "replaced" << 1;
}

void TestIcmpEcho::replyMatching()
{
    QFETCH(QString, answer);
    QFETCH(int, replies);

    auto owned = std::make_unique<TFakeEchoTransport>();
    TFakeEchoTransport& transport = *owned;
    TPing ping;
    ping.SetTransport(std::move(owned));
    ping.SetTimeout(200);
    QSignalSpy echoed(&ping, &TPing::OnEchoReply);

    ping.SetAddress(QStringLiteral("127.0.0.1"));
    ping.SendEcho();
    QCOMPARE(transport.Sent.size(), 1);
    TFakeEchoTransport::TSent sent = transport.Sent.first();
    QCOMPARE(sent.Destination, Loopback());
    QCOMPARE(sent.Payload.size(), TPing::DefaultSize);
    QCOMPARE(sent.Ttl, TPing::DefaultTTL);

    if (answer == QLatin1String("replaced")) {
        ping.SendEcho();
        QCOMPARE(transport.Sent.size(), 2);
        QVERIFY(transport.Sent[1].Sequence != sent.Sequence);
        transport.Answer(sent); // the first echo's reply, late
        QCOMPARE(echoed.count(), 0);
        sent = transport.Sent[1];
    } else if (answer == QLatin1String("source")) {
        sent.Destination += 1;
    } else if (answer == QLatin1String("sequence")) {
        sent.Sequence += 1;
    } else if (answer == QLatin1String("payload")) {
        sent.Payload[sent.Payload.size() - 1] = char(sent.Payload.back() ^ 1);
    }
    transport.Answer(sent);
    if (replies == 0) {
        QCOMPARE(echoed.count(), 0);
        QVERIFY(echoed.wait(5000)); // the time-out
    }
    QCOMPARE(echoed.count(), 1);
    QCOMPARE(echoed.first().first().toInt(), replies);
    QVERIFY(!ping.EchoPending());
    // Nothing more comes once it is answered: the time-out is off.
    transport.Answer(sent);
    QTest::qWait(0);
    QCOMPARE(echoed.count(), 1);
}

void TestIcmpEcho::timeoutKeepsTheLoopTurning()
{
    TPing ping;
    ping.SetTransport(std::make_unique<TFakeEchoTransport>());
    ping.SetTimeout(300);
    QSignalSpy echoed(&ping, &TPing::OnEchoReply);
    bool turnedWhileWaiting = false;

    QElapsedTimer clock;
    clock.start();
    ping.SetAddress(QStringLiteral("127.0.0.1"));
    ping.SendEcho();
    QVERIFY(clock.elapsed() < 300);
    QTimer::singleShot(0, &ping, [&] { turnedWhileWaiting = ping.EchoPending(); });
    QVERIFY(echoed.wait(5000));
    QVERIFY(turnedWhileWaiting);
    QCOMPARE(echoed.first().first().toInt(), 0);
    // QTimer may fire up to 5 % early.
    QVERIFY(clock.elapsed() >= 285);
}

void TestIcmpEcho::failedSendAnswersFromTheLoop_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("sendError");

    QTest::newRow("IPv6 address") << QStringLiteral("::1") << 0;
    QTest::newRow("not an address") << QStringLiteral("somewhere") << 0;
    QTest::newRow("network unreachable") << QStringLiteral("127.0.0.1") << int(ENETUNREACH);
}

void TestIcmpEcho::failedSendAnswersFromTheLoop()
{
    QFETCH(QString, address);
    QFETCH(int, sendError);

    auto transport = std::make_unique<TFakeEchoTransport>();
    transport->SendError = sendError;
    TPing ping;
    ping.SetTransport(std::move(transport));
    QSignalSpy echoed(&ping, &TPing::OnEchoReply);
    QElapsedTimer clock;
    clock.start();
    ping.SetAddress(address);
    ping.SendEcho();
    QCOMPARE(echoed.count(), 0);
    QVERIFY(echoed.wait(5000));
    QCOMPARE(echoed.first().first().toInt(), 0);
    // Known at once: no waiting for the time-out.
    QVERIFY(clock.elapsed() < qint64(TPing::DefaultTimeout));
}

int main(int argc, char** argv)
{
    MakeOwnNetwork();
    QCoreApplication app(argc, argv);
    TestIcmpEcho test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_icmpecho.moc"
