#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include "cli/jsonwriter.h"
#include "cli/queryoptions.h"
#include "cli/querytool.h"
#include "fakeudpserver.h"
#include "simulator.h"

#include <limits>

namespace {

struct TRun
{
    int Status = -1;
    QByteArray Out;
    QByteArray Err;

    QList<QByteArray> Lines() const { return Out.split('\n').mid(0, Out.count('\n')); }

    // The JSON objects of the output, one per line.
    QList<QJsonObject> Objects() const
    {
        QList<QJsonObject> objects;
        for (const QByteArray& line : Lines()) {
            objects << QJsonDocument::fromJson(line).object();
        }
        return objects;
    }
};

// Runs morvix-query in-process with Arguments and Input on standard input.
TRun Run(const QStringList& arguments, const QByteArray& input = {}, bool inputIsTerminal = true,
         bool errIsTerminal = false)
{
    QBuffer out;
    QBuffer err;
    QBuffer in;
    in.setData(input);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    in.open(QIODevice::ReadOnly);
    TQueryTool tool(&out, &err);
    QSignalSpy finished(&tool, &TQueryTool::Finished);
    tool.Start(arguments, &in, inputIsTerminal, errIsTerminal);
    TRun run;
    if (finished.wait(60000) || !finished.isEmpty()) {
        run.Status = finished.first().at(0).toInt();
    }
    run.Out = out.data();
    run.Err = err.data();
    return run;
}

struct TSim
{
    explicit TSim(TSimConfig config) : Simulator(std::move(config))
    {
        QString error;
        if (!Simulator.Start(error)) {
            qFatal("simulator: %s", qPrintable(error));
        }
    }

    QStringList Addresses(TGameType game) const
    {
        QStringList addresses;
        for (const TSimServer* server : Simulator.ServersOf(game)) {
            addresses << QStringLiteral("127.0.0.1:%1").arg(server->Port());
        }
        return addresses;
    }

    QJsonObject Bound(int port) const
    {
        for (const QJsonValue& server : Simulator.BoundDocument()["servers"].toArray()) {
            if (server["port"].toInt() == port) {
                return server.toObject();
            }
        }
        return {};
    }

    TSimulator Simulator;
};

TSimConfig Servers(TGameType game, int count, TSimBehaviour behaviour = TSimBehaviour::Answer)
{
    TSimConfig config;
    config.Servers = {{game, count}};
    config.Mix = {{behaviour, 1}};
    config.ServerOptions.LateMs = 150;
    return config;
}

} // namespace

class TestQueryTool : public QObject
{
    Q_OBJECT

private slots:
    void everyGame_data();
    void everyGame();
    void jsonPlayersAndRules_data();
    void jsonPlayersAndRules();
    void usageErrors_data();
    void usageErrors();
    void masters_data();
    void masters();
    void behaviours_data();
    void behaviours();
    void followUpGivenUp();
    void addressesFromInput();
    void progressBar();
    void jsonStrings_data();
    void jsonNumbers_data();
    void jsonNumbers();
    void jsonStrings();
    void namesAsTheBrowserShowsThem_data();
    void namesAsTheBrowserShowsThem();
    void typedHostInAsciiForm();
};

void TestQueryTool::everyGame_data()
{
    QTest::addColumn<int>("game");
    for (const TGameInfo& game : GameCatalogue()) {
        QTest::newRow(game.ShortName) << int(game.Type);
    }
}

void TestQueryTool::everyGame()
{
    QFETCH(int, game);
    const TGameInfo* info = GameInfo(game);
    TSim sim(Servers(TGameType(game), 3));
    const QStringList addresses = sim.Addresses(TGameType(game));

    // By short name in text, by display name in JSON: the same servers.
    const TRun text = Run(QStringList{info->ShortName, "--players"} + addresses);
    QCOMPARE(text.Status, 0);
    const TRun json = Run(QStringList{"--json", info->DisplayName} + addresses);
    QCOMPARE(json.Status, 0);
    const QList<QJsonObject> objects = json.Objects();
    const QList<QByteArray> lines = text.Lines();
    QCOMPARE(objects.size(), 3);
    for (const QJsonObject& object : objects) {
        const QJsonObject bound = sim.Bound(object["port"].toInt());
        QCOMPARE(object["status"].toString(), QStringLiteral("ok"));
        QCOMPARE(object["game"].toString(), QLatin1String(info->ShortName));
        QCOMPARE(object["name"].toString(), bound["name"].toString());
        QVERIFY2(object["map"].toString().startsWith(bound["map"].toString()),
                 qPrintable(object["map"].toString()));
        QCOMPARE(object["num_players"].toInt(), bound["players"].toInt());
        QCOMPARE(object["max_players"].toInt(), bound["max_players"].toInt());
        QVERIFY(object["records"].isObject());
        // The players listed are the players counted (Tribes 2 lists them by line).
        if (object.contains("players")) {
            QCOMPARE(object["players"].toArray().size(), bound["players"].toInt());
        }
        // The text line of the same server shows the same.
        const QByteArray address = object["address"].toString().toLatin1();
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const QByteArray& l) { return l.startsWith(address); });
        QVERIFY(line != lines.end());
        QVERIFY(line->contains(object["name"].toString().toUtf8()));
        QVERIFY(line->contains(QByteArray::number(object["num_players"].toInt()) + '/' +
                               QByteArray::number(object["max_players"].toInt())));
        QVERIFY(line->contains(info->DisplayName));
    }
    // Every player of every server got an indented line (Tribes adds
    // headings and teams).
    int expected = 0;
    for (const QJsonObject& object : objects) {
        expected += object["num_players"].toInt();
    }
    QVERIFY2(lines.count() - 3 >= expected, text.Out.constData());

    // And every rule a line of its own.
    const TRun rules = Run({info->ShortName, "--rules", addresses.first()});
    const QJsonObject first = sim.Bound(addresses.first().section(u':', 1).toInt());
    const QJsonObject firstJson = *std::find_if(objects.begin(), objects.end(), [&](auto& o) {
        return o["port"].toInt() == first["port"].toInt();
    });
    const qsizetype ruleLines = rules.Lines().size() - 1;
    QVERIFY(ruleLines > 0);
    if (firstJson.contains("rules")) {
        QCOMPARE(ruleLines, firstJson["rules"].toArray().size());
        const QJsonObject rule = firstJson["rules"].toArray().first().toObject();
        QCOMPARE(rules.Lines().value(1), "    " + rule["name"].toString().toUtf8() + '=' +
                                             rule["value"].toString().toUtf8());
    }
}

void TestQueryTool::jsonPlayersAndRules_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QStringList>("keys"); // what every player object holds
    const QStringList quake{"name", "frags", "ping"};
    QTest::newRow("q3") << int(gtQuake3) << quake;
    QTest::newRow("q2") << int(gtQuake2) << quake;
    QTest::newRow("sof") << int(gtSoF) << quake;
    QTest::newRow("qw") << int(gtQuakeWorld)
                        << QStringList{"name",    "frags", "ping",      "time",
                                       "user_id", "skin",  "top_color", "bottom_color"};
    QTest::newRow("hl") << int(gtHalfLife) << QStringList{"name", "score", "time", "index"};
    QTest::newRow("tribes") << int(gtTribes) << QStringList{"name", "team", "score", "ping", "pl"};
    QTest::newRow("t2") << int(gtTribes2) << QStringList{"name", "team", "score"};
}

void TestQueryTool::jsonPlayersAndRules()
{
    // Scripts read .players[].name, .rules[].name and .rules[].value the
    // same way for every game.
    QFETCH(int, game);
    QFETCH(QStringList, keys);
    TSim sim(Servers(TGameType(game), 6));
    // A server with players; their scores (frags) in order.
    const TSimServer* server = nullptr;
    for (const TSimServer* candidate : sim.Simulator.Servers()) {
        if (candidate->State().PlayerCount() > 0) {
            server = candidate;
            break;
        }
    }
    QVERIFY(server);
    const TSimGameState& state = server->State();
    QList<QJsonValue> scores;
    QList<double> times; // Half-Life only, as are the names below
    QList<QByteArray> names;
    TRuleList rules;
    const auto frags = [&](const auto& players) {
        for (const auto& p : players) {
            scores << QJsonValue(p.Frags);
        }
    };
    switch (game) {
    case gtQuake3:
        frags(state.Q3.Players);
        rules = state.Q3.Rules;
        break;
    case gtQuakeWorld:
        frags(state.QW.Players);
        rules = state.QW.Rules;
        break;
    case gtHalfLife:
        // Details, players and rules come in three replies; all of them show.
        for (const THLPlayers::TPlayer& p : state.HLPlayers.Players) {
            scores << QJsonValue(p.Score);
            times << double(p.Time);
            names << p.Name;
        }
        rules = state.HLRules.Rules;
        break;
    case gtTribes:
        for (const THeader& row : state.Tribes.Players.Rows) {
            scores << QJsonValue(QString::fromLatin1(row.value(2)));
        }
        break;
    case gtTribes2:
        for (const TT2Server::TPlayer& p : state.T2Info.Players) {
            scores << QJsonValue(p.Score);
        }
        break;
    default:
        frags(state.Q2.Players);
        rules = state.Q2.Rules;
    }
    const QString scoreKey = keys.contains(u"frags") ? QStringLiteral("frags") : "score";
    const TRun run = Run(
        {"--json", GameInfo(game)->ShortName, QStringLiteral("127.0.0.1:%1").arg(server->Port())});
    QCOMPARE(run.Status, 0);
    const QJsonObject object = run.Objects().value(0);
    const QJsonArray players = object["players"].toArray();
    QCOMPARE(players.size(), scores.size());
    for (qsizetype i = 0; i < players.size(); ++i) {
        QStringList held = players[i].toObject().keys();
        QStringList wanted = keys;
        held.sort();
        wanted.sort();
        QCOMPARE(held, wanted);
        QVERIFY(!players[i]["name"].toString().isEmpty());
        QCOMPARE(players[i][scoreKey], scores[i]);
        if (!times.isEmpty()) {
            QCOMPARE(players[i]["time"].toDouble(), times[i]);
            QCOMPARE(players[i]["name"].toString().toLatin1(), names[i]);
        }
    }
    const QJsonArray ruleArray = object["rules"].toArray();
    QVERIFY(!ruleArray.isEmpty());
    for (const QJsonValue& rule : ruleArray) {
        QStringList held = rule.toObject().keys();
        held.sort();
        QCOMPARE(held, (QStringList{"name", "value"}));
    }
    if (!rules.isEmpty()) {
        QCOMPARE(ruleArray.size(), rules.size());
        QCOMPARE(ruleArray.last()["name"].toString().toLatin1(), rules.last().Name);
        QCOMPARE(ruleArray.last()["value"].toString().toLatin1(), rules.last().Value);
    }
    // The decoders' records are still there, under their own names.
    const QJsonObject records = object["records"].toObject();
    QVERIFY(!records.isEmpty());
    if (game == gtHalfLife) {
        QCOMPARE(records["THLInfo"]["GameDir"].toString().toLatin1(), state.HLInfo.GameDir);
        QCOMPARE(records["THLRules"]["Count"].toInt(), int(ruleArray.size()));
    }
}

void TestQueryTool::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing") << QStringList{} << "no game and no server address given";
    QTest::newRow("game only") << QStringList{"q3"} << "no server address given";
    QTest::newRow("unknown game") << QStringList{"quake5", "1.2.3.4"} << "unknown game 'quake5'";
    QTest::newRow("address first") << QStringList{"1.2.3.4", "q3"} << "unknown game '1.2.3.4'";
    QTest::newRow("port out of range")
        << QStringList{"q3", "1.2.3.4:70000"} << "bad address '1.2.3.4:70000'";
    QTest::newRow("port not a number") << QStringList{"hl", "host:x"} << "bad address 'host:x'";
    QTest::newRow("unknown option")
        << QStringList{"--fast", "q3", "a"} << "unknown option '--fast'";
    QTest::newRow("timeout missing")
        << QStringList{"q3", "a", "--timeout"} << "--timeout needs a value";
    QTest::newRow("timeout zero") << QStringList{"--timeout", "0", "q3", "a"}
                                  << "--timeout takes milliseconds";
    QTest::newRow("negative retries")
        << QStringList{"--retries", "-1", "q3", "a"} << "--retries takes";
    QTest::newRow("query without master")
        << QStringList{"--query", "q3", "a"} << "--query is used with --master";
    QTest::newRow("master of a game without one")
        << QStringList{"--master", "qw", "m"} << "QuakeWorld has no master server protocol";
    QTest::newRow("master without address")
        << QStringList{"--master", "q3"} << "--master needs a game and an address";
    QTest::newRow("master and addresses")
        << QStringList{"--master", "q3", "m", "1.2.3.4"} << "--master takes no other addresses";
    QTest::newRow("unknown master kind")
        << QStringList{"--master-kind", "valve", "--master", "hl", "m"}
        << "--master-kind takes documented or steam, not 'valve'";
    QTest::newRow("empty protocol version")
        << QStringList{"--q3-protocols", "68,,71", "--master", "q3", "m"}
        << "--q3-protocols takes protocol numbers joined by ',', not '68,,71'";
    QTest::newRow("protocol version zero")
        << QStringList{"--q3-protocols", "0", "--master", "q3", "m"}
        << "--q3-protocols takes protocol numbers";
    QTest::newRow("missing file") << QStringList{"--file", "/nonexistent/list", "q3"}
                                  << "cannot read /nonexistent/list";
}

void TestQueryTool::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const TRun run = Run(arguments);
    QCOMPARE(run.Status, TQueryTool::UsageError);
    QVERIFY2(run.Err.contains(message.toUtf8()), run.Err.constData());
    QVERIFY(run.Err.contains("Try 'morvix-query --help'."));
    QVERIFY(run.Out.isEmpty());
}

void TestQueryTool::masters_data()
{
    QTest::addColumn<int>("game");
    for (TGameType game : {gtHalfLife, gtQuake3, gtTribes, gtTribes2}) {
        QTest::newRow(GameInfo(game)->ShortName) << int(game);
    }
}

void TestQueryTool::masters()
{
    QFETCH(int, game);
    const TGameInfo* info = GameInfo(game);
    TSim sim(Servers(TGameType(game), 300));
    const QString master =
        QStringLiteral("127.0.0.1:%1").arg(sim.Simulator.Master(info->Master)->Port());

    // The list comes in several datagrams and ends when the master falls quiet.
    TRun list = Run({"--master", info->ShortName, master, "--timeout", "500"});
    QCOMPARE(list.Status, 0);
    QStringList listed;
    for (const QByteArray& line : list.Lines()) {
        listed << QString::fromLatin1(line);
    }
    QCOMPARE(listed, sim.Addresses(TGameType(game)));

    // With --query every listed server is asked; the bar stays off the JSON.
    const TRun queried = Run({"--master", info->ShortName, master, "--query", "--json", "--timeout",
                              "2000", "--max-queries", "15"});
    QCOMPARE(queried.Status, 0);
    QCOMPARE(queried.Objects().size(), 300);
    for (const QJsonObject& object : queried.Objects()) {
        QCOMPARE(object["status"].toString(), QStringLiteral("ok"));
    }
}

void TestQueryTool::behaviours_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("retries");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("requests"); // datagrams the server received

    QTest::newRow("silent, two retries")
        << int(TSimBehaviour::Silent) << 2 << "timeout" << QString() << 3;
    QTest::newRow("silent, no retry")
        << int(TSimBehaviour::Silent) << 0 << "timeout" << QString() << 1;
    QTest::newRow("late but in time") << int(TSimBehaviour::Late) << 0 << "ok" << QString() << 1;
    QTest::newRow("duplicate answers")
        << int(TSimBehaviour::Duplicate) << 2 << "ok" << QString() << 1;
    QTest::newRow("garbage") << int(TSimBehaviour::Garbage) << 2 << "error"
                             << "Received data, but it is not a valid Quake 3 Arena packet." << 1;
    QTest::newRow("oversized, retried") << int(TSimBehaviour::Oversized) << 1 << "error"
                                        << "does not fit the 2048-byte receive buffer" << 2;
}

void TestQueryTool::behaviours()
{
    QFETCH(int, behaviour);
    QFETCH(int, retries);
    QFETCH(QString, status);
    QFETCH(QString, error);
    QFETCH(int, requests);
    TSim sim(Servers(gtQuake3, 1, TSimBehaviour(behaviour)));
    const TRun run = Run(
        QStringList{"--json", "--timeout", "1000", "--retries", QString::number(retries), "q3"} +
        sim.Addresses(gtQuake3));
    QCOMPARE(run.Status, status == u"ok" ? 0 : 1);
    const QJsonObject object = run.Objects().value(0);
    QCOMPARE(object["status"].toString(), status);
    QVERIFY2(object["error"].toString().contains(error), run.Out.constData());
    QCOMPARE(object["retries"].toInt(),
             status == u"ok" || status == u"error" ? requests - 1 : retries);
    QCOMPARE(sim.Simulator.Servers().first()->Counters().Received, requests);
}

void TestQueryTool::followUpGivenUp()
{
    // A Half-Life server that answers details but never players is asked
    // again as often as a first query, then reported as partly answered.
    TFakeUdpServer server;
    TSimGameState state = MakeSimServer(gtHalfLife, 0, *QRandomGenerator::global());
    server.SetResponder([&](const QByteArray& request) {
        return request == THLInfoQuery::Request()
                   ? QList<QByteArray>{EncodeHLInfo(state.HLInfo, "x")}
                   : QList<QByteArray>{};
    });
    const TRun run = Run({"--json", "--timeout", "300", "--retries", "2", "hl",
                          QStringLiteral("127.0.0.1:%1").arg(server.Port())});
    QCOMPARE(run.Status, 1);
    const QJsonObject object = run.Objects().value(0);
    QCOMPARE(object["status"].toString(), QStringLiteral("partial"));
    QCOMPARE(object["name"].toString().toLatin1(), state.HLInfo.Name);
    QCOMPARE(server.Requests().count(THLPlayerQuery::Request()), 3);
    QCOMPARE(server.Requests().count(THLRuleQuery::Request()), 0);
}

void TestQueryTool::addressesFromInput()
{
    TSimConfig config;
    config.Servers = {{gtQuake3, 2}, {gtTribes2, 2}};
    TSim sim(config);
    const QStringList q3 = sim.Addresses(gtQuake3);
    const QStringList t2 = sim.Addresses(gtTribes2);
    // Lines may name their game; the others take GAME from the command line.
    const QByteArray list = "# servers\n\n" + q3[0].toLatin1() + "\nt2 " + t2[0].toLatin1() +
                            "\n  Tribes 2   " + t2[1].toLatin1() + "\n" + q3[1].toLatin1() + "\n";

    const TRun piped = Run({"q3", "--json"}, list, false);
    QCOMPARE(piped.Status, 0);
    QStringList games;
    for (const QJsonObject& object : piped.Objects()) {
        games << object["game"].toString() + u' ' + object["address"].toString();
    }
    QStringList expected{"q3 " + q3[0], "q3 " + q3[1], "t2 " + t2[0], "t2 " + t2[1]};
    games.sort();
    expected.sort();
    QCOMPARE(games, expected);

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(list);
    file.close();
    QCOMPARE(Run({"q3", "--file", file.fileName()}).Lines().size(), 4);
    QCOMPARE(Run({"q3", "--file", "-"}, list, true).Lines().size(), 4);

    // A line without a game and no GAME given is a usage error naming the line.
    const TRun noGame = Run({"--file", "-"}, list, false);
    QCOMPARE(noGame.Status, TQueryTool::UsageError);
    QVERIFY2(noGame.Err.contains("standard input:3:"), noGame.Err.constData());
}

void TestQueryTool::progressBar()
{
    TSim sim(Servers(gtQuake2, TQueryTool::ProgressThreshold + 1));
    const QStringList addresses = sim.Addresses(gtQuake2);
    const TRun many = Run(QStringList{"q2", "--max-queries", "0"} + addresses, {}, true, true);
    QCOMPARE(many.Status, 0);
    QVERIFY2(many.Err.contains("] 51/51 servers"), many.Err.constData());
    QCOMPARE(many.Lines().size(), 51);
    const TRun few = Run(QStringList{"q2"} + addresses.mid(1), {}, true, true);
    QVERIFY2(few.Err.isEmpty(), few.Err.constData());
}

void TestQueryTool::jsonStrings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("plain") << QByteArray("Ann") << QByteArray("\"Ann\"");
    QTest::newRow("quote, backslash, tab")
        << QByteArray("a\"b\\c\td") << QByteArray("\"a\\\"b\\\\c\\td\"");
    QTest::newRow("control bytes") << QByteArray("\x01\x1F", 2) << QByteArray("\"\\u0001\\u001f\"");
    QTest::newRow("valid UTF-8 kept")
        << QByteArray("J\xC3\xB6rg \xE2\x82\xAC") << QByteArray("\"J\xC3\xB6rg \xE2\x82\xAC\"");
    QTest::newRow("Latin-1 byte escaped") << QByteArray("J\xF6rg") << QByteArray("\"J\\udcf6rg\"");
    QTest::newRow("QuakeWorld high bytes")
        << QByteArray("\xC1\xE2") << QByteArray("\"\\udcc1\\udce2\"");
    QTest::newRow("sequence cut short")
        << QByteArray("\xE2\x82") << QByteArray("\"\\udce2\\udc82\"");
    QTest::newRow("overlong form") << QByteArray("\xC0\xAF") << QByteArray("\"\\udcc0\\udcaf\"");
    QTest::newRow("encoded surrogate")
        << QByteArray("\xED\xA0\x80") << QByteArray("\"\\udced\\udca0\\udc80\"");
}

void TestQueryTool::jsonStrings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, json);
    QCOMPARE(JsonString(bytes), json);
}

void TestQueryTool::jsonNumbers_data()
{
    QTest::addColumn<qint64>("value");
    QTest::newRow("zero") << qint64(0);
    QTest::newRow("one digit") << qint64(7);
    QTest::newRow("negative") << qint64(-999);
    QTest::newRow("largest") << std::numeric_limits<qint64>::max();
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min();
}

void TestQueryTool::jsonNumbers()
{
    QFETCH(qint64, value);
    TJsonWriter json;
    json.BeginArray();
    json.Number(value);
    json.Number(value);
    json.EndArray();
    const QByteArray number = QByteArray::number(value);
    QCOMPARE(json.Result(), "[" + number + "," + number + "]");
}

// A server's name in the text output is what the list shows: UTF-8 where
// the bytes are UTF-8, Latin-1 otherwise, control bytes as "?".
void TestQueryTool::namesAsTheBrowserShowsThem_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4 CTF")
                           << QStringLiteral("Влад CTF");
    QTest::newRow("Latin-1") << QByteArray("caf\xE9 CTF") << QStringLiteral("café CTF");
    QTest::newRow("control byte") << QByteArray("a\x7F\x1B[2Jb") << QStringLiteral("a??[2Jb");
}

void TestQueryTool::namesAsTheBrowserShowsThem()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    TFakeUdpServer server;
    server.SetReply("\xFF\xFF\xFF\xFFstatusResponse\n\\sv_hostname\\" + name +
                    "\\mapname\\q3dm17\\sv_maxclients\\8\n");
    const TRun run = Run({"q3", QStringLiteral("127.0.0.1:%1").arg(server.Port())});
    QCOMPARE(run.Status, 0);
    QVERIFY2(run.Out.contains("q3dm17            " + shown.toUtf8() + "  (Quake 3"),
             run.Out.constData());
}

// A host typed with letters outside ASCII is asked for by its IDNA form.
void TestQueryTool::typedHostInAsciiForm()
{
    TQueryOptions options;
    QString error;
    QVERIFY(ParseQueryArguments({"q3", QStringLiteral("quake.пример.рф:27960")}, options, error));
    QCOMPARE(options.Targets.value(0).Host, QStringLiteral("quake.xn--e1afmkfd.xn--p1ai"));
    QCOMPARE(options.Targets.value(0).Port, 27960);
}

QTEST_GUILESS_MAIN(TestQueryTool)
#include "tst_querytool.moc"
