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
    if (!up || !SetPingGroupRange("1 0")) {
        OwnNetworkFailure = QStringLiteral("the own network cannot be set up");
        return;
    }
    OwnNetwork = true;
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

} // namespace

class TestIcmpEcho : public QObject
{
    Q_OBJECT

private slots:
    void echoOnLoopback_data();
    void echoOnLoopback();
    void refusalSaysHowToAllow();
    void lookup_data();
    void lookup();
    void replyMatching_data();
    void replyMatching();
    void timeoutKeepsTheLoopTurning();
};

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

    QSignalSpy firstReplies(&first, &TPing::OnEchoReply);
    QSignalSpy secondReplies(&second, &TPing::OnEchoReply);
    for (TPing* ping : {&first, &second}) {
        ping->SetAddress(QStringLiteral("127.0.0.1"));
        ping->SendEcho();
    }
    QTRY_COMPARE_WITH_TIMEOUT(firstReplies.count() + secondReplies.count(), 2, 5000);
    QCOMPARE(firstReplies.first().first().toInt() + secondReplies.first().first().toInt(), 2);
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
    TPing ping;
    QVERIFY(!ping.Open());
    QCOMPARE(ping.ErrorText(), whyNot);
}

void TestIcmpEcho::lookup_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("resolves");

    QTest::newRow("dotted") << QStringLiteral("127.0.0.1") << true;
    // Names that fail before any resolver is asked: no network traffic.
    QTest::newRow("not a name") << QStringLiteral("no such host") << false;
    QTest::newRow("IPv6 only") << QStringLiteral("::1") << false;
}

void TestIcmpEcho::lookup()
{
    QFETCH(QString, host);
    QFETCH(bool, resolves);

    TPing ping;
    QSignalSpy done(&ping, &TPing::OnDnsLookupDone);
    // A cancelled lookup is never aborted; its answer must be dropped.
    ping.DnsLookup(host);
    ping.CancelDnsLookup();
    ping.DnsLookup(host);
    QCOMPARE(done.count(), 0);
    QVERIFY(done.wait(5000));
    TPing probe;
    QSignalSpy probed(&probe, &TPing::OnDnsLookupDone);
    probe.DnsLookup(host);
    QVERIFY(probed.wait(5000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().first().toInt() == 0, resolves);
    QCOMPARE(ping.DnsResult(), resolves ? host : QString());
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
    QTest::newRow("send refused by the system") << "refused" << 0;
}

void TestIcmpEcho::replyMatching()
{
    QFETCH(QString, answer);
    QFETCH(int, replies);

    auto owned = std::make_unique<TFakeEchoTransport>();
    TFakeEchoTransport& transport = *owned;
    transport.SendError = answer == QLatin1String("refused") ? ENETUNREACH : 0;
    TPing ping;
    ping.SetTransport(std::move(owned));
    ping.SetTimeout(200);
    QSignalSpy echoed(&ping, &TPing::OnEchoReply);
    ping.SetAddress(QStringLiteral("127.0.0.1"));
    ping.SendEcho();
    TFakeEchoTransport::TSent sent = transport.Sent.first();
    QCOMPARE(sent.Destination, QHostAddress(QHostAddress::LocalHost).toIPv4Address());
    QCOMPARE(sent.Payload.size(), TPing::DefaultSize);
    QCOMPARE(sent.Ttl, TPing::DefaultTTL);

    if (answer == QLatin1String("replaced")) {
        ping.SendEcho();
        transport.Answer(sent); // the first echo's reply, late
        sent = transport.Sent[1];
    } else if (answer == QLatin1String("source")) {
        sent.Destination += 1;
    } else if (answer == QLatin1String("sequence")) {
        sent.Sequence += 1;
    } else if (answer == QLatin1String("payload")) {
        sent.Payload[0] = char(sent.Payload[0] ^ 1);
    }
    if (answer != QLatin1String("refused")) {
        transport.Answer(sent);
    }
    QCOMPARE(echoed.count(), replies);
    if (replies == 0) {
        QVERIFY(echoed.wait(5000)); // the time-out, or the refusal from the loop
    }
    QCOMPARE(echoed.count(), 1);
    QCOMPARE(echoed.first().first().toInt(), replies);
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

int main(int argc, char** argv)
{
    MakeOwnNetwork();
    QCoreApplication app(argc, argv);
    TestIcmpEcho test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_icmpecho.moc"
