#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

#include "masters/hlmaster.h"
#include "masters/hlsteammaster.h"
#include "masters/q3multimaster.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/hlsteamplayerquery.h"
#include "protocols/hlsteamrulequery.h"
#include "simulator.h"
#include "wire/masterwire.h"

// The simulator's servers and masters of today's forms, asked by the
// components that read them.
namespace {

struct TStarted
{
    explicit TStarted(const QStringList& arguments)
    {
        QString error;
        bool help = false;
        if (!ParseSimArguments(arguments, Config, error, help)) {
            qFatal("%s", qPrintable(error));
        }
        Simulator = std::make_unique<TSimulator>(Config);
        if (!Simulator->Start(error)) {
            qFatal("%s", qPrintable(error));
        }
    }

    TSimConfig Config;
    std::unique_ptr<TSimulator> Simulator;
};

// Asks every server with a new TQuery (tag: the server's index) and returns,
// per server, the record OnComplete delivered or nothing after a time-out.
template <typename TQuery, typename TRecord>
QList<std::optional<TRecord>> AskAll(const QList<TSimServer*>& servers)
{
    TQuery query;
    query.SetMaxQueries(0);
    query.SetTimeout(1000);
    QList<std::optional<TRecord>> records(servers.size());
    int ended = 0;
    QObject::connect(&query, &TQuery::OnComplete, [&](const TRecord& record) {
        records[record.Info.Tag] = record;
        ++ended;
    });
    QObject::connect(&query, &TBasicQuery::OnTimeout, [&] { ++ended; });
    QObject::connect(&query, &TBasicQuery::OnError,
                     [&](int, const QString& message) { QFAIL(qPrintable(message)); });
    for (qsizetype i = 0; i < servers.size(); ++i) {
        query.SetHostname(QStringLiteral("127.0.0.1"));
        query.SetPort(servers[i]->Port());
        query.Query(std::int32_t(i));
    }
    if (!QTest::qWaitFor([&] { return ended == servers.size(); }, 10000)) {
        qWarning("only %d of %d answered or timed out", ended, int(servers.size()));
    }
    return records;
}

// What a list shows of an info record.
QByteArray Shown(const THLInfo& info)
{
    return info.Name + '|' + info.Map + '|' + info.GameDir + '|' + info.Description + '|' +
           QByteArray::number(info.NumPlayers) + '/' + QByteArray::number(info.MaxPlayers) + ' ' +
           QByteArray::number(info.Password) + QByteArray::number(info.Listen) +
           QByteArray::number(info.OS);
}

template <typename TComponent> QList<TMasterServer> Listed(TComponent& master, bool& complete)
{
    QList<TMasterServer> servers;
    bool ended = false;
    QObject::connect(&master, &TComponent::OnServer,
                     [&](const TMasterServer& server) { servers.append(server); });
    QObject::connect(&master, &TComponent::OnListEnd, [&](bool whole) {
        complete = whole;
        ended = true;
    });
    master.Request();
    if (!QTest::qWaitFor([&] { return ended; }, 10000)) {
        return {};
    }
    return servers;
}

QList<TMasterServer> Addresses(const QList<TSimServer*>& servers)
{
    QList<TMasterServer> listed;
    for (const TSimServer* server : servers) {
        listed.append({QStringLiteral("127.0.0.1"), server->Port()});
    }
    return listed;
}

} // namespace

class TestSimForms : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void halfLifeForms();
    void steamMaster();
    void quake3Versions_data();
    void quake3Versions();
};

void TestSimForms::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    // After a good parse: forms, masters, page, datagram size, versions.
    QTest::addColumn<QString>("settings");

    QTest::newRow("defaults") << QStringList{} << QString() << "old|old|231|1400|";
    QTest::newRow("every option") << QStringList{"--hl-form",          "mixed",
                                                 "--hl-master",        "both",
                                                 "--hl-master-page",   "3",
                                                 "--hl-datagram-size", "200",
                                                 "--q3-protocols",     "48,68, 71",
                                                 "--master-port",      "hl-steam=27011"}
                                  << QString() << "old,steam,both|old,steam|3|200|48,68,71";
    QTest::newRow("steam only") << QStringList{"--hl-form", "steam", "--hl-master", "steam"}
                                << QString() << "steam|steam|231|1400|";
    QTest::newRow("unknown form") << QStringList{"--hl-form", "new"} << "--hl-form takes"
                                  << QString();
    QTest::newRow("unknown master kind")
        << QStringList{"--hl-master", "gamespy"} << "--hl-master takes" << QString();
    QTest::newRow("page of none") << QStringList{"--hl-master-page", "0"}
                                  << "--hl-master-page takes" << QString();
    QTest::newRow("page beyond a datagram")
        << QStringList{"--hl-master-page", "232"} << "--hl-master-page takes" << QString();
    QTest::newRow("tiny datagrams")
        << QStringList{"--hl-datagram-size", "99"} << "--hl-datagram-size takes" << QString();
    QTest::newRow("version not a number")
        << QStringList{"--q3-protocols", "68,x"} << "--q3-protocols takes" << QString();
    QTest::newRow("no versions") << QStringList{"--q3-protocols", ","} << "--q3-protocols needs"
                                 << QString();
    QTest::newRow("steam master port out of range")
        << QStringList{"--master-port", "hl-steam=0"} << "hl-steam=PORT" << QString();
}

void TestSimForms::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, settings);
    TSimConfig config;
    QString message;
    bool help = false;
    QCOMPARE(ParseSimArguments(arguments, config, message, help), error.isEmpty());
    QVERIFY2(message.contains(error), qPrintable(message));
    if (!error.isEmpty()) {
        return;
    }
    QStringList forms;
    for (TSimHLForm form : config.HLForms) {
        forms << HLFormName(form);
    }
    QStringList masters;
    if (config.HLOldMaster) {
        masters << "old";
    }
    if (config.HLSteamMaster) {
        masters << "steam";
    }
    QStringList versions;
    for (int version : config.Q3Protocols) {
        versions << QString::number(version);
    }
    QCOMPARE(QStringLiteral("%1|%2|%3|%4|%5")
                 .arg(forms.join(u','), masters.join(u','))
                 .arg(config.HLSteamPageSize)
                 .arg(config.ServerOptions.HLDatagramSize)
                 .arg(versions.join(u',')),
             settings);
    QCOMPARE(int(config.HLSteamMasterPort), arguments.contains("hl-steam=27011") ? 27011 : 0);
}

// Each Half-Life server answers the queries of its form, and the Steam form
// gives the same records as the old one: the rules split over several
// datagrams, the info asked with and without a challenge, in both layouts.
void TestSimForms::halfLifeForms()
{
    TStarted sim({"--games", "hl", "--servers", "8", "--hl-form", "mixed", "--hl-datagram-size",
                  "120", "--seed", "5"});
    const QList<TSimServer*> servers = sim.Simulator->Servers();
    const auto oldInfo = AskAll<THLInfoQuery, THLInfo>(servers);
    const auto steamInfo = AskAll<THLSteamInfoQuery, THLInfo>(servers);
    const auto oldRules = AskAll<THLRuleQuery, THLRules>(servers);
    const auto steamRules = AskAll<THLSteamRuleQuery, THLRules>(servers);
    const auto steamPlayers = AskAll<THLSteamPlayerQuery, THLPlayers>(servers);

    QSet<QString> seen;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const TSimServer& server = *servers[i];
        const TSimGameState& state = server.State();
        const bool old = server.HLForm() != TSimHLForm::Steam;
        const bool steam = server.HLForm() != TSimHLForm::Old;
        const QString where =
            QStringLiteral("server %1 (%2)").arg(i).arg(HLFormName(server.HLForm()));
        QVERIFY2(oldInfo[i].has_value() == old && oldRules[i].has_value() == old,
                 qPrintable(where));
        QVERIFY2(steamInfo[i].has_value() == steam && steamRules[i].has_value() == steam &&
                     steamPlayers[i].has_value() == steam,
                 qPrintable(where));
        if (!steam) {
            continue;
        }
        QCOMPARE(Shown(*steamInfo[i]), Shown(state.HLInfo));
        // The older layout carries the modification's details, the Steam
        // layout none.
        QCOMPARE(steamInfo[i]->Mod,
                 server.SteamInfoStyle().OldLayout ? state.HLInfo.Mod : TModInfo{});
        QCOMPARE(steamRules[i]->Rules, state.HLRules.Rules);
        QCOMPARE(steamPlayers[i]->Players, state.HLPlayers.Players);
        if (old) {
            QCOMPARE(oldRules[i]->Rules, steamRules[i]->Rules);
        }
        // The rules did not fit one datagram of 120 bytes.
        QVERIFY(EncodeHLRules(state.HLRules).size() > 120);
        seen << QStringLiteral("%1 challenge %2 old layout %3")
                    .arg(HLFormName(server.HLForm()))
                    .arg(server.SteamInfoStyle().Challenge)
                    .arg(server.SteamInfoStyle().OldLayout);
    }
    // Every kind of answer was met.
    QVERIFY2(seen.size() >= 4, qPrintable(QStringList(seen.values()).join(u"; ")));
}

// The Steam-kind master lists every server page by page beside the old one.
void TestSimForms::steamMaster()
{
    TStarted sim({"--games", "hl", "--servers", "10", "--hl-form", "steam", "--hl-master", "both",
                  "--hl-master-page", "3"});
    const QList<TMasterServer> expected = Addresses(sim.Simulator->Servers());
    TSimMaster* simMaster = sim.Simulator->HLSteamMaster();
    QVERIFY(simMaster && simMaster != sim.Simulator->Master(TMasterProtocol::HalfLife));

    THLSteamMaster master;
    master.SetHostname(QStringLiteral("127.0.0.1"));
    master.SetPort(simMaster->Port());
    master.SetFilter("\\gamedir\\cstrike");
    bool complete = false;
    QCOMPARE(Listed(master, complete), expected);
    QVERIFY(complete);
    QCOMPARE(master.Pages(), 4);
    QCOMPARE(simMaster->Requests(), qint64(4));
    THLSteamMasterRequest last;
    QVERIFY(ParseHLSteamMasterRequest(simMaster->LastRequest(), last));
    QCOMPARE(last.Filter, QByteArray("\\gamedir\\cstrike"));
    QCOMPARE(last.LastAddress, THLSteamMaster::AddressText(expected[8]));

    // The old kind still answers its own request, and not the batch one.
    THLMaster old;
    old.SetHostname(QStringLiteral("127.0.0.1"));
    old.SetPort(sim.Simulator->Master(TMasterProtocol::HalfLife)->Port());
    QList<TMasterServer> oldList;
    connect(&old, &THLMaster::OnServer, [&](const TMasterServer& s) { oldList.append(s); });
    old.Request();
    QTRY_COMPARE_WITH_TIMEOUT(oldList, expected, 5000);
    QVERIFY(simMaster->Answer("c").isEmpty());

    QStringList forms;
    for (const QJsonValue& entry : sim.Simulator->BoundDocument()["masters"].toArray()) {
        if (entry["game"].toString() == u"hl") {
            forms << entry["form"].toString();
        }
    }
    QCOMPARE(forms, (QStringList{"old", "steam"}));
}

void TestSimForms::quake3Versions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("versions");
    // The servers (by index) each request lists, in the order asked.
    QTest::addColumn<QList<int>>("listed");

    const QStringList versioned{"--games", "q3", "--servers", "7", "--q3-protocols", "48,68,71"};
    QTest::newRow("the default versions: every server")
        << versioned << QList<int>{48, 68, 71} << QList<int>{0, 3, 6, 1, 4, 2, 5};
    QTest::newRow("only today's") << versioned << QList<int>{68} << QList<int>{1, 4};
    QTest::newRow("a version nobody runs") << versioned << QList<int>{43} << QList<int>{};
    // Without versions the simulator lists every server for any version,
    // as before.
    QTest::newRow("servers without versions") << QStringList{"--games", "q3", "--servers", "3"}
                                              << QList<int>{48, 68} << QList<int>{0, 1, 2};
}

void TestSimForms::quake3Versions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, versions);
    QFETCH(QList<int>, listed);
    TStarted sim(arguments);
    const QList<TMasterServer> all = Addresses(sim.Simulator->Servers());
    QList<TMasterServer> expected;
    for (int index : listed) {
        expected.append(all[index]);
    }
    TQ3MultiMaster master;
    master.SetHostname(QStringLiteral("127.0.0.1"));
    master.SetPort(sim.Simulator->Master(TMasterProtocol::Quake3)->Port());
    master.SetVersions(versions);
    bool complete = false;
    QCOMPARE(Listed(master, complete), expected);
    QVERIFY(complete);

    const QJsonArray servers = sim.Simulator->BoundDocument()["servers"].toArray();
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const int protocol = servers[i]["protocol"].toInt();
        QCOMPARE(protocol, sim.Config.Q3Protocols.isEmpty()
                               ? 68
                               : sim.Config.Q3Protocols[i % sim.Config.Q3Protocols.size()]);
    }
}

QTEST_GUILESS_MAIN(TestSimForms)
#include "tst_simforms.moc"
