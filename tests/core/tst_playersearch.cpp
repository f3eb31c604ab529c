#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

#include "core/playersearch.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/basicquery.h"
#include "model/genericserver.h"
#include "tempappfolder.h"

using TBehaviour = TFakeUdpServer::TBehaviour;

Q_DECLARE_METATYPE(TGameType)
Q_DECLARE_METATYPE(TBehaviour)
Q_DECLARE_METATYPE(TSearchHit)

namespace {

// A loopback server of Game with the record the list would hold for it.
struct TServer
{
    std::unique_ptr<TFakeUdpServer> Fake;
    std::unique_ptr<TGenericServer> Record;
};

TServer MakeServer(TGameType game, const QByteArray& name, const QList<QByteArray>& players,
                   TBehaviour behaviour = TBehaviour::Answer, int delayMs = 0)
{
    TServer server{std::make_unique<TFakeUdpServer>(), TGenericServer::Create()};
    TScriptedGameServer script;
    script.Name = name;
    script.Players = players;
    server.Fake->SetResponder(
        [game, script](const QByteArray& request) { return GameReply(game, request, script); });
    server.Fake->SetBehaviour(behaviour, delayMs);
    server.Record->GameType = game;
    server.Record->Name = name;
    server.Record->Info.Host = server.Fake->Address();
    server.Record->Info.Port = server.Fake->Port();
    return server;
}

TSearchConditions Everything(const QString& text = {}, bool caseSensitive = true)
{
    TSearchConditions conditions;
    conditions.TextPattern = text;
    conditions.CaseSensitive = caseSensitive;
    conditions.Games.fill(true);
    return conditions;
}

QString AddressOf(const TServer& server)
{
    return server.Fake->Address() + QLatin1Char(':') + QString::number(server.Fake->Port());
}

QList<TSearchHit> AllHits(const QSignalSpy& spy)
{
    QList<TSearchHit> hits;
    for (const QList<QVariant>& signal : spy) {
        hits.append(signal.at(0).value<QList<TSearchHit>>());
    }
    return hits;
}

} // namespace

class TestPlayerSearch : public QObject
{
    Q_OBJECT

private slots:
    void matchShownText_data();
    void matchShownText();
    void tenGamesInListOrder();
    void networkSearchOfEveryGame_data();
    void networkSearchOfEveryGame();
    void conditionsChooseTheServers_data();
    void conditionsChooseTheServers();
    void timeOutsAndBadRepliesEndTheSearch_data();
    void timeOutsAndBadRepliesEndTheSearch();
    void earlierSearchNeverCountsInTheNext_data();
    void earlierSearchNeverCountsInTheNext();
    void abortedSearchStaysQuiet();
    void sendsInSlices_data();
    void sendsInSlices();
    void limitsSpareTribes2();
    void storedPlayers_data();
    void storedPlayers();

private:
    TTempAppFolder Folder_;
};

void TestPlayerSearch::matchShownText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("matches");

    QTest::newRow("exact") << QByteArray("abc") << "abc" << true << true;
    QTest::newRow("exact only") << QByteArray("abcd") << "abc" << true << false;
    QTest::newRow("stars around") << QByteArray("xxabcxx") << "*abc*" << true << true;
    QTest::newRow("one of any") << QByteArray("abc") << "a?c" << true << true;
    QTest::newRow("one, not none") << QByteArray("ac") << "a?c" << true << false;
    QTest::newRow("star matches nothing") << QByteArray("abc") << "abc*" << true << true;
    QTest::newRow("empty pattern") << QByteArray("anyone") << "" << true << true;
    QTest::newRow("case folded") << QByteArray("abc") << "ABC" << false << true;
    QTest::newRow("case kept") << QByteArray("abc") << "ABC" << true << false;
    // Only ASCII letters fold: Ä and ä stay apart.
    QTest::newRow("accent never folded")
        << QByteArray("\xC3\xA4rger") << QString::fromUtf8("\xC3\x84RGER") << false << false;
    QTest::newRow("utf-8 name, typed")
        << QByteArray("J\xC3\xB6rg") << QString::fromUtf8("J\xC3\xB6rg") << true << true;
    QTest::newRow("latin-1 name, typed")
        << QByteArray("J\xF6rg") << QString::fromUtf8("J\xC3\xB6rg") << true << true;
    // "?" stands for one character as shown, whatever its bytes.
    QTest::newRow("utf-8 name, one character")
        << QByteArray("J\xC3\xB6rg") << "J?rg" << true << true;
    QTest::newRow("utf-8 name, two are too many")
        << QByteArray("J\xC3\xB6rg") << "J??rg" << true << false;
    QTest::newRow("cyrillic") << QByteArray("\xD0\x9F\xD1\x91\xD1\x82\xD1\x80 x")
                              << QString::fromUtf8("\xD0\x9F\xD1\x91\xD1\x82\xD1\x80*") << false
                              << true;
    QTest::newRow("never a question mark")
        << QByteArray("?") << QString::fromUtf8("\xD0\x9F") << true << false;
    QTest::newRow("ascii text, wide pattern")
        << QByteArray("Jorg") << QString::fromUtf8("J\xC3\xB6rg") << false << false;
}

void TestPlayerSearch::matchShownText()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, matches);
    QCOMPARE(MatchShownText(text, pattern, caseSensitive), matches);
}

void TestPlayerSearch::tenGamesInListOrder()
{
    const auto games = SearchGames();
    QCOMPARE(games.size(), std::size_t(10));
    const TGameType order[] = {gtTribes,  gtQuakeWorld, gtQuake2, gtQuake3, gtHalfLife,
                               gtKingpin, gtHeretic2,   gtSin,    gtSoF,    gtTribes2};
    TPlayerSearch search;
    QSet<QString> names;
    for (std::size_t i = 0; i < games.size(); ++i) {
        QCOMPARE(games[i].Type, order[i]);
        TBasicQuery* component = search.Component(games[i].Type);
        QVERIFY(component);
        QCOMPARE(component->objectName(), QLatin1String(games[i].Component));
        QCOMPARE(component->MaxQueries(), 15);
        QCOMPARE(component->Timeout(), 2000u);
        names.insert(component->objectName());
    }
    QCOMPARE(names.size(), 10);
    QVERIFY(!search.Component(gtUnknown));
}

void TestPlayerSearch::networkSearchOfEveryGame_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<QString>("status");
    for (const TSearchGame& game : SearchGames()) {
        QString status;
        switch (game.Type) {
        case gtHalfLife:
            status = QStringLiteral("Searching Half-life player response (%1)..");
            break;
        case gtTribes2:
            status = QStringLiteral("Searching Tribes II player response (%1)..");
            break;
        case gtTribes:
            status = QString::fromUtf8("Searching server The \xC3\xA4 Place");
            break;
        default:
            status = QString::fromUtf8("Searching The \xC3\xA4 Place...");
        }
        QTest::newRow(game.Caption) << game.Type << status;
    }
}

void TestPlayerSearch::networkSearchOfEveryGame()
{
    QFETCH(TGameType, game);
    QFETCH(QString, status);
    // A UTF-8 name shows as the list shows it; "Alice" and "ALIEN" match the
    // pattern without regard to case, "Bob" does not.
    TServer server = MakeServer(game, "The \xC3\xA4 Place", {"Alice", "Bob", "ALIEN"});
    TPlayerSearch search;
    QSignalSpy statuses(&search, &TPlayerSearch::Status);
    QSignalSpy hits(&search, &TPlayerSearch::HitsFound);
    QSignalSpy finished(&search, &TPlayerSearch::Finished);

    search.Begin(Everything(QStringLiteral("al*"), false));
    QVERIFY(search.Issue(*server.Record));
    QVERIFY(search.EndIssuing());
    QVERIFY(search.IsSearching());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);

    if (status.contains(QLatin1String("%1"))) {
        status = status.arg(AddressOf(server));
    }
    QCOMPARE(statuses.first().at(0).toString(), status);
    const QString gameName = GameTypeName(game);
    const QList<TSearchHit> expected = {{"Alice", "Name", gameName, AddressOf(server)},
                                        {"ALIEN", "Name", gameName, AddressOf(server)}};
    QCOMPARE(AllHits(hits), expected);
    QCOMPARE(finished.first().at(0).toString(),
             QStringLiteral("Searched 1 servers (0 timed out). Search gave 2 hits."));
    QVERIFY(!search.IsSearching());
    QCOMPARE(server.Fake->RequestCount(), 1);
}

void TestPlayerSearch::conditionsChooseTheServers_data()
{
    QTest::addColumn<QString>("serverPattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("quake3Checked");
    QTest::addColumn<QList<int>>("asked"); // which of the three servers

    // The name pattern of a network search ignores case, whatever the box.
    QTest::newRow("all") << "" << true << true << QList<int>{0, 1, 2};
    QTest::newRow("name ignores case") << "*CLAN*" << true << true << QList<int>{0, 2};
    QTest::newRow("game unchecked") << "" << false << false << QList<int>{1};
    QTest::newRow("none") << "nobody" << false << true << QList<int>{};
}

void TestPlayerSearch::conditionsChooseTheServers()
{
    QFETCH(QString, serverPattern);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, quake3Checked);
    QFETCH(QList<int>, asked);

    std::vector<TServer> servers;
    servers.push_back(MakeServer(gtQuake3, "my clan server", {"a"}));
    servers.push_back(MakeServer(gtQuake2, "public", {"b"}));
    servers.push_back(MakeServer(gtQuake3, "CLAN two", {"c"}));
    TServer unknown = MakeServer(gtQuake3, "x", {"d"});
    unknown.Record->GameType = gtUnknown;

    TSearchConditions conditions = Everything({}, caseSensitive);
    conditions.ServerPattern = serverPattern;
    conditions.Games[gtQuake3] = quake3Checked;
    TPlayerSearch search;
    QSignalSpy finished(&search, &TPlayerSearch::Finished);
    search.Begin(conditions);
    for (const TServer& server : servers) {
        search.Issue(*server.Record);
    }
    QVERIFY(!search.Issue(*unknown.Record));
    QCOMPARE(search.Sent(), int(asked.size()));
    QCOMPARE(search.EndIssuing(), !asked.isEmpty());
    if (asked.isEmpty()) {
        QVERIFY(!search.IsSearching());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    for (int i = 0; i < int(servers.size()); ++i) {
        QCOMPARE(servers[std::size_t(i)].Fake->RequestCount(), asked.contains(i) ? 1 : 0);
    }
    QCOMPARE(unknown.Fake->RequestCount(), 0);
}

void TestPlayerSearch::timeOutsAndBadRepliesEndTheSearch_data()
{
    QTest::addColumn<bool>("garbage");
    QTest::newRow("silent server") << false;
    QTest::newRow("undecodable reply") << true;
}

void TestPlayerSearch::timeOutsAndBadRepliesEndTheSearch()
{
    QFETCH(bool, garbage);
    TServer good = MakeServer(gtQuake2, "good", {"Zed"});
    TServer bad =
        MakeServer(gtQuake2, "bad", {"Zed"}, garbage ? TBehaviour::Answer : TBehaviour::Silent);
    if (garbage) {
        bad.Fake->SetResponder({});
        bad.Fake->SetReply("not a status reply");
    }
    TPlayerSearch search;
    search.ApplyLimits(15, 800);
    QSignalSpy statuses(&search, &TPlayerSearch::Status);
    QSignalSpy finished(&search, &TPlayerSearch::Finished);
    search.Begin(Everything());
    search.Issue(*good.Record);
    search.Issue(*bad.Record);
    QVERIFY(search.EndIssuing());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().at(0).toString(),
             QStringLiteral("Searched 2 servers (%1 timed out). Search gave 1 hits.")
                 .arg(garbage ? 0 : 1));
    QStringList texts;
    for (const QList<QVariant>& signal : statuses) {
        texts << signal.at(0).toString();
    }
    const QString timedOut = AddressOf(bad) + QStringLiteral(" timed out...");
    QCOMPARE(texts.contains(timedOut), !garbage);
}

void TestPlayerSearch::earlierSearchNeverCountsInTheNext_data()
{
    QTest::addColumn<TBehaviour>("first");
    // The first search's server answers, or times out, while the second
    // search still waits for its own (slower) server.
    QTest::newRow("late reply") << TBehaviour::AnswerLate;
    QTest::newRow("late time-out") << TBehaviour::Silent;
}

void TestPlayerSearch::earlierSearchNeverCountsInTheNext()
{
    QFETCH(TBehaviour, first);
    TServer earlier = MakeServer(gtQuake3, "earlier", {"Old One"}, first, 150);
    // Tribes 2 keeps its own 2000 ms time-out.
    TServer later = MakeServer(gtTribes2, "later", {"New One"}, TBehaviour::AnswerLate, 900);
    TPlayerSearch search;
    search.ApplyLimits(15, 300);
    QSignalSpy hits(&search, &TPlayerSearch::HitsFound);
    QSignalSpy finished(&search, &TPlayerSearch::Finished);

    search.Begin(Everything());
    search.Issue(*earlier.Record);
    QVERIFY(search.EndIssuing());
    search.Abort();
    QCOMPARE(search.Outstanding(), 1);

    search.Begin(Everything());
    search.Issue(*later.Record);
    QVERIFY(search.EndIssuing());
    // Whatever the first server does happens before the second answers.
    if (first == TBehaviour::AnswerLate) {
        QSignalSpy sent(earlier.Fake.get(), &TFakeUdpServer::ReplySent);
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 5000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().at(0).toString(),
             QStringLiteral("Searched 1 servers (0 timed out). Search gave 1 hits."));
    const QList<TSearchHit> expected = {{"New One", "Name", "Tribes 2", AddressOf(later)}};
    QCOMPARE(AllHits(hits), expected);
    QCOMPARE(later.Fake->RequestCount(), 1);
}

void TestPlayerSearch::abortedSearchStaysQuiet()
{
    // After Abort nothing of that search counts: no hit, no status, no summary.
    TServer late = MakeServer(gtHalfLife, "late", {"Someone"}, TBehaviour::AnswerLate, 50);
    TServer silent = MakeServer(gtHalfLife, "silent", {"Someone"}, TBehaviour::Silent);
    TPlayerSearch search;
    search.ApplyLimits(15, 200);
    QSignalSpy statuses(&search, &TPlayerSearch::Status);
    QSignalSpy hits(&search, &TPlayerSearch::HitsFound);
    QSignalSpy finished(&search, &TPlayerSearch::Finished);
    QSignalSpy timedOut(search.Component(gtHalfLife), &TBasicQuery::OnTimeout);
    QSignalSpy sent(late.Fake.get(), &TFakeUdpServer::ReplySent);
    search.Begin(Everything());
    search.Issue(*late.Record);
    search.Issue(*silent.Record);
    QVERIFY(search.EndIssuing());
    search.Abort();
    QVERIFY(!search.IsSearching());
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(search.Component(gtHalfLife)->CurrentQueries(), 0, 5000);
    QCOMPARE(statuses.size(), 0);
    QCOMPARE(hits.size(), 0);
    QCOMPARE(finished.size(), 0);
}

void TestPlayerSearch::sendsInSlices_data()
{
    QTest::addColumn<int>("maxQueries");
    QTest::addColumn<int>("sliceMs");
    QTest::addColumn<bool>("abortAtOnce");
    QTest::addColumn<int>("handedOn"); // to the component by EndIssuing

    // A slice of no time sends one request per turn of the event loop.
    QTest::newRow("one per slice") << 15 << 0 << false << 1;
    QTest::newRow("abort: the queued ones never go out") << 15 << 0 << true << 1;
    // The rest wait in the search, not in the component, until its scan
    // frees slots.
    QTest::newRow("no free slot") << 2 << 1000 << false << 2;
}

void TestPlayerSearch::sendsInSlices()
{
    QFETCH(int, maxQueries);
    QFETCH(int, sliceMs);
    QFETCH(bool, abortAtOnce);
    QFETCH(int, handedOn);
    std::vector<TServer> servers;
    for (const char* name : {"one", "two", "three"}) {
        servers.push_back(MakeServer(gtQuake3, name, {"Alice"}));
    }
    TPlayerSearch search;
    search.ApplyLimits(maxQueries, 2000);
    search.SetSendSliceMs(sliceMs);
    QSignalSpy hits(&search, &TPlayerSearch::HitsFound);
    QSignalSpy finished(&search, &TPlayerSearch::Finished);
    search.Begin(Everything());
    for (const TServer& server : servers) {
        QVERIFY(search.Issue(*server.Record));
    }
    QCOMPARE(search.Queued(), 3);
    QVERIFY(search.EndIssuing());
    TBasicQuery& engine = *search.Component(gtQuake3);
    QCOMPARE(search.Queued(), 3 - handedOn);
    QCOMPARE(engine.CurrentQueries(), handedOn);
    QCOMPARE(engine.WaitingQueries(), 0);
    if (abortAtOnce) {
        search.Abort();
        QCOMPARE(search.Queued(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(servers[0].Fake->RequestCount(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(engine.CurrentQueries(), 0, 5000);
        QTest::qWait(50);
        QCOMPARE(servers[1].Fake->RequestCount() + servers[2].Fake->RequestCount(), 0);
        QCOMPARE(hits.size() + finished.size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().at(0).toString(),
             QStringLiteral("Searched 3 servers (0 timed out). Search gave 3 hits."));
    for (const TServer& server : servers) {
        QCOMPARE(server.Fake->RequestCount(), 1);
    }
}

void TestPlayerSearch::limitsSpareTribes2()
{
    TPlayerSearch search;
    search.ApplyLimits(40, 700);
    for (const TSearchGame& game : SearchGames()) {
        const bool options = game.Type != gtTribes2;
        QCOMPARE(search.Component(game.Type)->MaxQueries(), options ? 40 : 15);
        QCOMPARE(search.Component(game.Type)->Timeout(), options ? 700u : 2000u);
    }
}

void TestPlayerSearch::storedPlayers_data()
{
    QTest::addColumn<TGameType>("game");
    QTest::addColumn<TServerTable>("table");
    QTest::addColumn<QString>("textPattern");
    QTest::addColumn<QString>("serverPattern");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QStringList>("hits"); // text|column

    const TServerTable players = {{"Name", "Frags", "Ping"},
                                  {"Alice", "10", "50"},
                                  {"bob", "10", "99"},
                                  {"J\xC3\xB6rg", "3"}};
    QTest::newRow("empty pattern: every cell, never the captions")
        << gtQuake3 << players << ""
        << "" << true << QStringList{"Alice|Name", "10|Frags", "50|Ping",          "bob|Name",
                                     "10|Frags",   "99|Ping",  "J\xC3\xB6rg|Name", "3|Frags"};
    QTest::newRow("caption row alone") << gtQuake3 << TServerTable{{"Name", "Frags"}} << ""
                                       << "" << true << QStringList{};
    QTest::newRow("case kept") << gtQuake2 << players << "B*"
                               << "" << true << QStringList{};
    QTest::newRow("case folded") << gtQuake2 << players << "B*"
                                 << "" << false << QStringList{"bob|Name"};
    QTest::newRow("other column of a Tribes table")
        << gtTribes << TServerTable{{"Name", "Ping", "Team"}, {"x", "77", "Blood"}} << "blood"
        << "" << false << QStringList{"Blood|Team"};
    QTest::newRow("shown text") << gtTribes2 << players << "J?rg"
                                << "" << true << QStringList{"J\xC3\xB6rg|Name"};
    // The local name check follows the case box.
    QTest::newRow("server name, case kept") << gtQuake3 << players << "bob"
                                            << "*SERVER*" << true << QStringList{};
    QTest::newRow("server name, case folded") << gtQuake3 << players << "bob"
                                              << "*SERVER*" << false << QStringList{"bob|Name"};
    QTest::newRow("unknown game") << gtUnknown << players << ""
                                  << "" << true << QStringList{};
    QTest::newRow("game unchecked") << gtSin << players << ""
                                    << "" << true << QStringList{};
}

void TestPlayerSearch::storedPlayers()
{
    QFETCH(TGameType, game);
    QFETCH(TServerTable, table);
    QFETCH(QString, textPattern);
    QFETCH(QString, serverPattern);
    QFETCH(bool, caseSensitive);
    QFETCH(QStringList, hits);

    std::unique_ptr<TGenericServer> server = TGenericServer::Create();
    server->GameType = game;
    server->Name = "The server";
    server->Info.Host = QStringLiteral("10.0.0.5");
    server->Info.Port = 27960;
    server->PlayerTable = table;
    TSearchConditions conditions = Everything(textPattern, caseSensitive);
    conditions.ServerPattern = serverPattern;
    conditions.Games[gtSin] = false;

    QStringList found;
    for (const TSearchHit& hit : SearchStoredPlayers(*server, conditions)) {
        QCOMPARE(hit.Game, GameTypeName(game));
        QCOMPARE(hit.Address, QStringLiteral("10.0.0.5:27960"));
        found << hit.Text + QLatin1Char('|') + hit.Column;
    }
    QCOMPARE(found, hits);
}

QTEST_GUILESS_MAIN(TestPlayerSearch)
#include "tst_playersearch.moc"
