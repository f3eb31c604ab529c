#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <memory>

#include "fakeudpserver.h"
#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"

namespace {

// Bytes written as hex digits; blanks are skipped.
QByteArray Hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

const QByteArray kHL = Hex("FFFFFFFF 640D");
const QByteArray kQ3("\xFF\xFF\xFF\xFFgetserversResponse");
const QByteArray kTribes = Hex("1006");
const QByteArray kT2 = Hex("08 00 00000000");
const QByteArray kEndOfList("\\EOT\0\0\0", 7);

QString Text(const TMasterServer& server)
{
    return server.IP + u':' + QString::number(server.Port);
}

QString MotdText(const QByteArray& name, const QByteArray& message)
{
    return QString::fromLatin1("motd " + name + '|' + message);
}

// What a decoder finds in one datagram's accepted bytes, written as the
// events it leads to.
QStringList Decoded(const QString& protocol, QByteArrayView data)
{
    QStringList events;
    QList<TMasterServer> servers;
    if (protocol == "tribes") {
        const TTribesMasterPacket packet = TTribesMaster::Decode(data);
        if (packet.HasMOTD) {
            events << MotdText(packet.MasterName, packet.MessageOfTheDay);
        }
        servers = packet.Servers;
    } else {
        servers = protocol == "hl"   ? THLMaster::Decode(data)
                  : protocol == "q3" ? TQ3Master::Decode(data)
                                     : TT2Master::Decode(data);
    }
    for (const TMasterServer& server : servers) {
        events << Text(server);
    }
    return events;
}

template <typename T, typename Signal> T* Logged(Signal signal, QStringList& log)
{
    auto* master = new T;
    QObject::connect(master, signal, [&log](const TMasterServer& server) { log << Text(server); });
    return master;
}

// A master of the named protocol on a loopback fake master; every event it
// raises is written to Log.
struct TRig
{
    explicit TRig(const QString& protocol)
    {
        if (protocol == "hl") {
            Master.reset(Logged<THLMaster>(&THLMaster::OnServer, Log));
        } else if (protocol == "q3") {
            Master.reset(Logged<TQ3Master>(&TQ3Master::OnServer, Log));
            static_cast<TQ3Master*>(Master.get())->SetVersion(43);
        } else if (protocol == "t2") {
            Master.reset(Logged<TT2Master>(&TT2Master::OnComplete, Log));
        } else {
            auto* tribes = Logged<TTribesMaster>(&TTribesMaster::OnServer, Log);
            QObject::connect(tribes, &TTribesMaster::OnMOTD,
                             [this](auto name, auto message) { Log << MotdText(name, message); });
            Master.reset(tribes);
        }
        QObject::connect(Master.get(), &TMaster::OnInvalid, [this] { Log << "invalid"; });
        QObject::connect(Master.get(), &TMaster::OnTimeout, [this] { Log << "timeout"; });
        QObject::connect(Master.get(), &TMaster::OnError,
                         [this](const QString& message) { Log << "error " + message; });
        Master->SetHostname(Server.Address());
        Master->SetPort(Server.Port());
    }

    // Whether the master has read every datagram sent to it; on loopback a
    // datagram is there as soon as its send returns.
    bool Drained() const
    {
        const auto* socket = Master->findChild<QUdpSocket*>();
        return QTest::qWaitFor([socket] { return !socket->hasPendingDatagrams(); }, 5000);
    }

    TFakeUdpServer Server;
    QStringList Log;
    std::unique_ptr<TMaster> Master;
};

} // namespace

class TestMasters : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void q3VersionInRequest();
    void exchange_data();
    void exchange();
    void timeoutThenLateDatagram();
    void newRequestStartsOver();
    void requestFails_data();
    void requestFails();
    void nameResolvesAndSupersedesLookup();
};

void TestMasters::decode_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("hl 13 bytes: two servers, last byte ignored")
        << "hl" << Hex("C0A80001 6987 FFFFFFFF FFFF 01")
        << QStringList{"192.168.0.1:27015", "255.255.255.255:65535"};
    QTest::newRow("hl nothing") << "hl" << QByteArray() << QStringList{};

    QTest::newRow("q3 entry, 4-byte tail")
        << "q3" << Hex("5C 0A000005 6D38") + "\\EOT" << QStringList{"10.0.0.5:27960"};
    QTest::newRow("q3 end-of-list entry ends the list")
        << "q3" << Hex("2F 0A000005 6D38") + kEndOfList + Hex("5C 0A000006 6D38")
        << QStringList{"10.0.0.5:27960"};
    QTest::newRow("q3 \\EOF entry ends the list too")
        << "q3" << Hex("5C 0A000005 6D38") + QByteArray("\\EOF\0\0\0", 7)
        << QStringList{"10.0.0.5:27960"};
    // Any entry of port 0 is left out, the entries after it still count.
    QTest::newRow("q3 port 0") << "q3" << Hex("5C 0A000007 0000 5C 0A000005 6D38")
                               << QStringList{"10.0.0.5:27960"};
    QTest::newRow("hl port 0") << "hl" << Hex("0A000007 0000 0A000005 6D38")
                               << QStringList{"10.0.0.5:27960"};

    QTest::newRow("tribes first packet")
        << "tribes" << Hex("01 03 0000 0000 014D 00 0001 06 7F000001 616D")
        << QStringList{"motd M|", "127.0.0.1:28001"};
    QTest::newRow("tribes later packet, count big-endian")
        << "tribes"
        << Hex("02 03 0000 0000 0002 06 0A000001 6D61 06 0A000002 6D61 06 0A000003 6D61")
        << QStringList{"10.0.0.1:24941", "10.0.0.2:24941"};
    QTest::newRow("tribes count 0")
        << "tribes" << Hex("02 03 0000 0000 0000 06 0A000001 6D61") << QStringList{};
    QTest::newRow("tribes count larger than the entries")
        << "tribes" << Hex("03 03 0000 0000 0003 06 0A000001 6D61 06 0A000002 6D61 06 0A000003 6D")
        << QStringList{"10.0.0.1:24941", "10.0.0.2:24941"};
    QTest::newRow("tribes port 0")
        << "tribes" << Hex("02 03 0000 0000 0002 06 0A000001 0000 06 0A000002 6D61")
        << QStringList{"10.0.0.2:24941"};
    QTest::newRow("tribes header cut short") << "tribes" << Hex("01 03 0000 00") << QStringList{};
    QTest::newRow("tribes name cut short")
        << "tribes" << Hex("01 03 0000 0000 0A 416263") << QStringList{"motd Abc|"};

    QTest::newRow("t2 count little-endian")
        << "t2" << Hex("00 01 0200 0A000001 606D 0A000002 606D 0A000003 606D")
        << QStringList{"10.0.0.1:28000", "10.0.0.2:28000"};
    QTest::newRow("t2 count larger than the entries")
        << "t2" << Hex("00 01 0500 0A000001 606D 0A0000") << QStringList{"10.0.0.1:28000"};
    QTest::newRow("t2 port 0") << "t2" << Hex("00 01 0200 0A000001 0000 0A000002 606D")
                               << QStringList{"10.0.0.2:28000"};
    QTest::newRow("t2 count cut short") << "t2" << Hex("00 01 02") << QStringList{};
}

void TestMasters::decode()
{
    QFETCH(QString, protocol);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    QCOMPARE(Decoded(protocol, data), expected);
}

void TestMasters::q3VersionInRequest()
{
    QCOMPARE(TQ3Master::Packet(48), QByteArray("\xFF\xFF\xFF\xFFgetservers 48 empty full"));
    QCOMPARE(TQ3Master::Packet(48).size(), 28);
}

void TestMasters::exchange_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QStringList>("expected");

    const QByteArray hl1 = Hex("C0A80001 6987"), hl2 = Hex("0A000001 6D38 0A000002 6D38");
    QTest::newRow("hl one datagram")
        << "hl" << QList{kHL + hl1} << QStringList{"192.168.0.1:27015"};
    // Later datagrams are list data, even one that looks like the prefix.
    QTest::newRow("hl odd first datagram, then many")
        << "hl" << QList{QByteArray("junk"), kHL + hl1, hl2, kHL}
        << QStringList{"invalid", "192.168.0.1:27015", "10.0.0.1:27960", "10.0.0.2:27960",
                       "255.255.255.255:25613"};

    const QByteArray q3a = Hex("5C 0A000005 6D38"), q3b = Hex("5C 0A000006 6D38");
    QTest::newRow("q3 one datagram") << "q3" << QList{kQ3 + q3a + q3b + kEndOfList}
                                     << QStringList{"10.0.0.5:27960", "10.0.0.6:27960"};
    QTest::newRow("q3 odd first datagram, then many, one without the prefix")
        << "q3" << QList{kQ3.first(21) + "S" + q3a, kQ3 + q3a, q3b, kQ3 + q3b + kEndOfList}
        << QStringList{"invalid", "10.0.0.5:27960", "invalid", "10.0.0.6:27960"};

    const QByteArray entry = Hex("06 7F000001 616D");
    QTest::newRow("tribes one datagram")
        << "tribes" << QList{kTribes + Hex("01 01 0000 0000 014D 024869 0001") + entry}
        << QStringList{"motd M|Hi", "127.0.0.1:28001"};
    QTest::newRow("tribes many datagrams, one without the prefix")
        << "tribes"
        << QList{kTribes + Hex("01 03 0000 0000 014D 00 0002") + entry + entry,
                 Hex("02 03 0000 0000 0001") + entry,
                 kTribes + Hex("03 03 0000 0000 0001 06 7F000002 616D")}
        << QStringList{"motd M|", "127.0.0.1:28001", "127.0.0.1:28001", "invalid",
                       "127.0.0.2:28001"};

    const QByteArray t2 = Hex("0A000001 606D");
    QTest::newRow("t2 one datagram")
        << "t2" << QList{kT2 + Hex("00 01 0100") + t2} << QStringList{"10.0.0.1:28000"};
    QTest::newRow("t2 key not zero, then many")
        << "t2"
        << QList{Hex("08 00 00000100 00 01 0100") + t2, kT2 + Hex("00 02 0200") + t2 + t2,
                 kT2 + Hex("01 02 0100 0A000002 606D")}
        << QStringList{"invalid", "10.0.0.1:28000", "10.0.0.1:28000", "10.0.0.2:28000"};
}

void TestMasters::exchange()
{
    QFETCH(QString, protocol);
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QStringList, expected);
    const QHash<QString, QByteArray> requests{
        {"hl", "c"},
        {"q3", "\xFF\xFF\xFF\xFFgetservers 43 empty full"},
        {"tribes", Hex("10 03 FF 00 02")},
        {"t2", Hex("06 00 00000000 FF 03616E79 03616E79 00 FF FFFFFFFF 00")}};
    TRig rig(protocol);
    rig.Server.SetReplies(datagrams);
    QSignalSpy sent(&rig.Server, &TFakeUdpServer::ReplySent);
    rig.Master->Request();
    QVERIFY(rig.Master->TimerActive());
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), datagrams.size(), 5000);
    QVERIFY(rig.Drained());
    QCOMPARE(rig.Server.Requests(), QList{requests[protocol]});
    QCOMPARE(rig.Log, expected);
    // The first datagram stopped the time-out, so none can follow.
    QVERIFY(!rig.Master->TimerActive());
}

void TestMasters::timeoutThenLateDatagram()
{
    TRig rig("hl");
    rig.Server.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    rig.Master->SetTimeout(150);
    QElapsedTimer clock;
    qint64 expiredAfter = -1;
    connect(rig.Master.get(), &TMaster::OnTimeout, [&] { expiredAfter = clock.elapsed(); });
    clock.start();
    rig.Master->Request();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log, QStringList{"timeout"}, 5000);
    QVERIFY2(expiredAfter >= 150, qPrintable(QString::number(expiredAfter)));
    QVERIFY(rig.Master->Expired());
    QVERIFY(!rig.Master->TimerActive());

    const QByteArray answer = kHL + Hex("0A000001 6D38");
    rig.Server.SendToLastClient(answer);
    QVERIFY(rig.Drained());
    QCOMPARE(rig.Log, QStringList{"timeout"});

    // Asked again, the same answer counts.
    rig.Master->Request();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Server.RequestCount(), 2, 5000);
    rig.Server.SendToLastClient(answer);
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log, QStringList({"timeout", "10.0.0.1:27960"}), 5000);
}

void TestMasters::newRequestStartsOver()
{
    TRig rig("hl");
    rig.Server.SetReply(kHL + Hex("0A000001 6D38"));
    rig.Master->Request();
    QTRY_VERIFY_WITH_TIMEOUT(rig.Master->HeaderSeen(), 5000);

    // The rest of the earlier answer arrives after a new request: it is
    // checked as the new request's first datagram.
    rig.Server.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    rig.Master->Request();
    rig.Server.SendToLastClient(Hex("0A000002 6D38"));
    rig.Server.SendToLastClient(kHL + Hex("0A000003 6D38"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log, QStringList({"10.0.0.1:27960", "invalid", "10.0.0.3:27960"}),
                              5000);
}

void TestMasters::requestFails_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port"); // 0: the fake master's
    QTest::addColumn<QString>("message");
    QTest::newRow("unresolvable name") << "no-such-host.invalid" << 0 << "Host Lookup Canceled";
    QTest::newRow("empty name") << "" << 0 << "Host Lookup Canceled";
    QTest::newRow("port out of range")
        << "127.0.0.1" << 70000 << "Cannot send the request to 127.0.0.1:70000: no such port.";
}

void TestMasters::requestFails()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, message);
    TRig rig("hl");
    rig.Server.SetReply(kHL + Hex("0A000001 6D38"));
    rig.Master->SetHostname(host);
    if (port != 0) {
        rig.Master->SetPort(port);
    }
    rig.Master->Request();
    QVERIFY(rig.Log.isEmpty()); // never inside Request
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log, QStringList{"error " + message}, 10000);
    QVERIFY(!rig.Master->TimerActive());
    QVERIFY(!rig.Master->Resolving());

    // Nothing went anywhere: a request that works is the first the server sees.
    rig.Master->SetHostname(rig.Server.Address());
    rig.Master->SetPort(rig.Server.Port());
    rig.Master->Request();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log.size(), 2, 5000);
    QCOMPARE(rig.Log.last(), QStringLiteral("10.0.0.1:27960"));
    QCOMPARE(rig.Server.RequestCount(), 1);
}

void TestMasters::nameResolvesAndSupersedesLookup()
{
    TRig rig("hl");
    rig.Server.SetReply(kHL + Hex("0A000001 6D38"));
    rig.Master->SetHostname("no-such-host.invalid");
    rig.Master->Request();
    QVERIFY(rig.Master->Resolving());
    QVERIFY(!rig.Master->TimerActive());
    rig.Master->SetHostname("localhost");
    rig.Master->Request();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log, QStringList{"10.0.0.1:27960"}, 10000);

    // The superseded lookup raised nothing: the next event is this failure.
    rig.Master->SetHostname(rig.Server.Address());
    rig.Master->SetPort(-1);
    rig.Master->Request();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Log.size(), 2, 5000);
    QVERIFY2(rig.Log.last().startsWith("error Cannot send"), qPrintable(rig.Log.last()));

    // A failed request takes no answer.
    rig.Server.SendToLastClient(kHL + Hex("0A000002 6D38"));
    QVERIFY(rig.Drained());
    QCOMPARE(rig.Log.size(), 2);
}

QTEST_GUILESS_MAIN(TestMasters)
#include "tst_masters.moc"
