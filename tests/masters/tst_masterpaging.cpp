#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "fakeudpserver.h"
#include "masters/hlsteammaster.h"
#include "masters/q3multimaster.h"
#include "testutil.h"
#include "wire/masterwire.h"

namespace {

QByteArray Hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

QList<TMasterServer> Servers(int count, int firstPort = 27015)
{
    QList<TMasterServer> servers;
    for (int i = 0; i < count; ++i) {
        servers.append({QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250 + 1), firstPort + i});
    }
    return servers;
}

QStringList Texts(const QList<TMasterServer>& servers)
{
    QStringList texts;
    for (const TMasterServer& server : servers) {
        texts << server.IP + u':' + QString::number(server.Port);
    }
    return texts;
}

// A master of either kind on a loopback fake master, with every event it
// raises written to Log: servers as "address:port", then "end complete",
// "end incomplete", "timeout" or "invalid".
template <typename TComponent> struct TRig
{
    TRig()
    {
        QObject::connect(&Master, &TComponent::OnServer, [this](const TMasterServer& server) {
            Log << server.IP + u':' + QString::number(server.Port);
        });
        QObject::connect(&Master, &TComponent::OnListEnd, [this](bool complete) {
            Log << (complete ? "end complete" : "end incomplete");
        });
        QObject::connect(&Master, &TMaster::OnTimeout, [this] { Log << "timeout"; });
        QObject::connect(&Master, &TMaster::OnInvalid, [this] { Log << "invalid"; });
        Master.SetHostname(Server.Address());
        Master.SetPort(Server.Port());
    }

    // Waits until the log holds an end or a time-out; false when none came.
    bool Ended()
    {
        return QTest::qWaitFor(
            [this] {
                return !Log.isEmpty() && (Log.last().startsWith("end") || Log.last() == u"timeout");
            },
            10000);
    }

    TFakeUdpServer Server;
    TComponent Master;
    QStringList Log;
};

// "getservers N empty full" to N.
int AskedVersion(const QByteArray& request)
{
    return request.mid(15).split(' ').value(0).toInt();
}

} // namespace

class TestMasterPaging : public QObject
{
    Q_OBJECT

private slots:
    void steamRequest_data();
    void steamRequest();
    void steamPaging_data();
    void steamPaging();
    void steamPageDoesNotCome();
    void q3EndsList_data();
    void q3EndsList();
    void q3Versions_data();
    void q3Versions();
};

void TestMasterPaging::steamRequest_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<QByteArray>("last");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<QByteArray>("packet");
    // The sample query of the published description: all servers everywhere.
    QTest::newRow("first page, everywhere, no filter")
        << 0xFF << QByteArray("0.0.0.0:0") << QByteArray()
        << Hex("31 FF 30 2E 30 2E 30 2E 30 3A 30 00 00");
    QTest::newRow("a later page in Europe with a filter")
        << 3 << QByteArray("81.169.230.12:27016") << QByteArray("\\gamedir\\cstrike")
        << QByteArray("1\x03"
                      "81.169.230.12:27016\0\\gamedir\\cstrike\0",
                      39);
}

void TestMasterPaging::steamRequest()
{
    QFETCH(int, region);
    QFETCH(QByteArray, last);
    QFETCH(QByteArray, filter);
    QFETCH(QByteArray, packet);
    QCOMPARE(THLSteamMaster::Packet(std::uint8_t(region), last, filter), packet);
    THLSteamMasterRequest parsed;
    QVERIFY(ParseHLSteamMasterRequest(packet, parsed));
    QCOMPARE(int(parsed.Region), region);
    QCOMPARE(parsed.LastAddress, last);
    QCOMPARE(parsed.Filter, filter);
}

void TestMasterPaging::steamPaging_data()
{
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("pageSize");
    // 0: a master that answers from the last address; 1: one that ignores
    // it and answers the first page again; 2: one that never sends the end.
    QTest::addColumn<int>("master");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("end");

    QTest::newRow("empty list") << 0 << 231 << 0 << 1 << "end complete";
    QTest::newRow("one page") << 7 << 231 << 0 << 1 << "end complete";
    QTest::newRow("pages of two") << 7 << 2 << 0 << 4 << "end complete";
    // The last full page carries the end entry: no empty page follows.
    QTest::newRow("pages that come out even") << 6 << 3 << 0 << 2 << "end complete";
    QTest::newRow("master ignores the last address") << 7 << 3 << 1 << 2 << "end incomplete";
    QTest::newRow("master never ends") << 5 << 2 << 2 << 4 << "end incomplete";
}

void TestMasterPaging::steamPaging()
{
    QFETCH(int, servers);
    QFETCH(int, pageSize);
    QFETCH(int, master);
    QFETCH(int, pages);
    QFETCH(QString, end);
    const QList<TMasterServer> listed = Servers(servers);
    TRig<THLSteamMaster> rig;
    rig.Master.SetRegion(3);
    rig.Master.SetFilter("\\gamedir\\valve");
    rig.Server.SetResponder([&](const QByteArray& request) -> QList<QByteArray> {
        THLSteamMasterRequest asked;
        if (!ParseHLSteamMasterRequest(request, asked) || asked.Region != 3 ||
            asked.Filter != "\\gamedir\\valve") {
            return {};
        }
        if (master == 1) {
            return {EncodeHLSteamMasterAnswer(listed, "0.0.0.0:0", pageSize)};
        }
        QByteArray page = EncodeHLSteamMasterAnswer(listed, asked.LastAddress, pageSize);
        if (master == 2 && page.endsWith(QByteArray(6, '\0'))) {
            page.chop(6);
        }
        return {page};
    });
    rig.Master.Request();
    QVERIFY(rig.Ended());
    QCOMPARE(rig.Log.last(), end);
    rig.Log.removeLast();
    // Every server once, in the master's order, whatever the master did.
    const qsizetype expected = master == 1 ? qMin(servers, pageSize) : servers;
    QCOMPARE(rig.Log, Texts(listed.first(expected)));
    QCOMPARE(rig.Master.Pages(), pages);
    QCOMPARE(rig.Server.RequestCount(), pages);
    QVERIFY(!rig.Master.Listing());
    // Each request after the first names the last server of the page before.
    for (int i = 1; i < rig.Server.RequestCount(); ++i) {
        THLSteamMasterRequest asked;
        QVERIFY(ParseHLSteamMasterRequest(rig.Server.Requests()[i], asked));
        const QString last = rig.Log.value(qMin<qsizetype>(expected, i * qsizetype(pageSize)) - 1);
        QCOMPARE(QString::fromLatin1(asked.LastAddress), master == 1 ? Texts(listed)[2] : last);
    }
}

// A later page that does not come ends the list with what came; a first
// page that does not come is the master's time-out.
void TestMasterPaging::steamPageDoesNotCome()
{
    const QList<TMasterServer> listed = Servers(5);
    TRig<THLSteamMaster> rig;
    rig.Master.SetTimeout(200);
    rig.Server.SetResponder([&](const QByteArray& request) -> QList<QByteArray> {
        THLSteamMasterRequest asked;
        ParseHLSteamMasterRequest(request, asked);
        if (asked.LastAddress != THLSteamMaster::FirstAddress()) {
            return {};
        }
        return {EncodeHLSteamMasterAnswer(listed, asked.LastAddress, 2)};
    });
    rig.Master.Request();
    QVERIFY(rig.Ended());
    QCOMPARE(rig.Log, (QStringList{"10.0.0.1:27015", "10.0.0.2:27016", "end incomplete"}));

    rig.Log.clear();
    rig.Server.SetBehaviour(TFakeUdpServer::TBehaviour::Silent);
    rig.Master.Request();
    QVERIFY(rig.Ended());
    QCOMPARE(rig.Log, QStringList{"timeout"});
    QVERIFY(!rig.Master.Listing());
}

void TestMasterPaging::q3EndsList_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ends");
    const QByteArray entry = Hex("5C 0A000005 6D38");
    QTest::newRow("entries only") << entry + entry << false;
    QTest::newRow("EOT entry") << entry + QByteArray("\\EOT\0\0\0", 7) << true;
    QTest::newRow("EOF entry") << entry + QByteArray("\\EOF\0\0\0", 7) << true;
    QTest::newRow("EOT tail without zeros") << entry + "\\EOT" << true;
    QTest::newRow("nothing but the end") << QByteArray("\\EOT\0\0\0", 7) << true;
    // An address whose bytes spell the marker is not at an entry's start.
    QTest::newRow("marker inside an entry") << Hex("5C 5C454F 5400") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestMasterPaging::q3EndsList()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, ends);
    QCOMPARE(TQ3MultiMaster::EndsList(data), ends);
}

void TestMasterPaging::q3Versions_data()
{
    QTest::addColumn<QList<int>>("versions");
    // Per version asked: the ports of its servers on 10.0.0.1, then how the
    // answer ends: "EOT", "EOF", "none" (no marker), "split" (two
    // datagrams, the marker in the second) or "silent" (no answer).
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("three versions, a server under two")
        << QList<int>{48, 68, 71} << QStringList{"1 2/EOT", "3 2/EOF", "4/EOT"}
        << QStringList{"10.0.0.1:1", "10.0.0.1:2", "10.0.0.1:3", "10.0.0.1:4", "end complete"};
    QTest::newRow("a version with no servers")
        << QList<int>{48, 68, 71} << QStringList{"/EOT", "5/EOT", "/EOT"}
        << QStringList{"10.0.0.1:5", "end complete"};
    QTest::newRow("answers in two datagrams")
        << QList<int>{68, 71} << QStringList{"1 2 3/split", "4 5/split"}
        << QStringList{"10.0.0.1:1", "10.0.0.1:2", "10.0.0.1:3",
                       "10.0.0.1:4", "10.0.0.1:5", "end complete"};
    QTest::newRow("a master without the end marker")
        << QList<int>{48, 68} << QStringList{"1/none", "2/none"}
        << QStringList{"10.0.0.1:1", "10.0.0.1:2", "end complete"};
    QTest::newRow("a silent version is skipped")
        << QList<int>{48, 68, 71} << QStringList{"1/EOT", "/silent", "3/EOT"}
        << QStringList{"10.0.0.1:1", "10.0.0.1:3", "end incomplete"};
    QTest::newRow("the last version silent")
        << QList<int>{48, 68} << QStringList{"1/EOT", "/silent"}
        << QStringList{"10.0.0.1:1", "end incomplete"};
    QTest::newRow("no version answers")
        << QList<int>{48, 68, 71} << QStringList{"/silent", "/silent", "/silent"}
        << QStringList{"timeout"};
    QTest::newRow("one version, a server listed twice")
        << QList<int>{48} << QStringList{"7 7/EOT"} << QStringList{"10.0.0.1:7", "end complete"};
}

void TestMasterPaging::q3Versions()
{
    QFETCH(QList<int>, versions);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, log);
    TRig<TQ3MultiMaster> rig;
    rig.Master.SetTimeout(300);
    rig.Master.SetListGap(150);
    rig.Master.SetVersions(versions);
    rig.Server.SetResponder([&](const QByteArray& request) -> QList<QByteArray> {
        const QStringList answer =
            answers.value(versions.indexOf(AskedVersion(request))).split(u'/');
        QList<TMasterServer> servers;
        for (const QString& port : answer.value(0).split(u' ', Qt::SkipEmptyParts)) {
            servers.append({QStringLiteral("10.0.0.1"), port.toInt()});
        }
        const QString end = answer.value(1);
        if (end == u"silent") {
            return {};
        }
        QList<QByteArray> datagrams =
            EncodeQ3MasterList(servers, end == u"split" ? 22 + 2 * 7 + 7 : MasterDatagramSize);
        if (end == u"EOF") {
            datagrams.last().replace("\\EOT", "\\EOF");
        } else if (end == u"none") {
            datagrams.last().chop(7);
        }
        return datagrams;
    });
    rig.Master.Request();
    QVERIFY(rig.Ended());
    QCOMPARE(rig.Log, log);
    // Every version was asked once, in order.
    QList<int> asked;
    for (const QByteArray& request : rig.Server.Requests()) {
        QCOMPARE(request, TQ3Master::Packet(AskedVersion(request)));
        asked << AskedVersion(request);
    }
    QCOMPARE(asked, versions);
    QCOMPARE(rig.Master.Step(), versions.size());
}

QTEST_GUILESS_MAIN(TestMasterPaging)
#include "tst_masterpaging.moc"
