#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

#include "core/serverquerier.h"
#include "fakeudpserver.h"
#include "gamereplies.h"
#include "model/basicquery.h"
#include "model/udpendpoint.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/hlsteamplayerquery.h"
#include "protocols/hlsteamrulequery.h"
#include "testutil.h"

using TBehaviour = TFakeUdpServer::TBehaviour;

Q_DECLARE_METATYPE(TQueryOutcome)

namespace {

// Servers on loopback by Id, as a list owner would hand them to the
// coordinator; an Id without server is gone.
class TServers
{
public:
    TFakeUdpServer& Add(std::int32_t id, TGameType game)
    {
        auto& entry = Servers_[id];
        entry.Game = game;
        entry.Fake = std::make_unique<TFakeUdpServer>();
        TScriptedGameServer script;
        script.Name = "Server " + QByteArray::number(id);
        script.Players = {"Ace"};
        entry.Fake->SetResponder(
            [game, script](const QByteArray& request) { return GameReply(game, request, script); });
        return *entry.Fake;
    }
    void Remove(std::int32_t id) { Servers_.erase(id); }

    bool Target(std::int32_t id, TQueryTarget& target) const
    {
        const auto found = Servers_.find(id);
        if (found == Servers_.end()) {
            return false;
        }
        target = {GameInfo(found->second.Game), found->second.Fake->Address(),
                  found->second.Fake->Port()};
        return true;
    }

private:
    struct TEntry
    {
        TGameType Game = gtUnknown;
        std::unique_ptr<TFakeUdpServer> Fake;
    };
    std::map<std::int32_t, TEntry> Servers_;
};

// A Half-Life server of the Steam form alone: each request without the
// challenge gets the challenge, the others the answers written from the
// protocol description (the rules split over three datagrams).
QList<QByteArray> SteamFormAnswer(const QByteArray& request)
{
    const QByteArray challengeReply = TestData("hl_a2s_challenge.bin");
    const QByteArray challenge = challengeReply.mid(5, 4);
    const QByteArray info = THLSteamInfoQuery::Request();
    if (request.startsWith(info)) {
        return {request.mid(info.size()) == challenge ? TestData("hl_a2s_info_steam.bin")
                                                      : challengeReply};
    }
    if (request == THLSteamPlayerQuery::RequestWith(challenge)) {
        return {TestData("hl_a2s_players_steam.bin")};
    }
    if (request == THLSteamRuleQuery::RequestWith(challenge)) {
        return {TestData("hl_a2s_rules_split_0.bin"), TestData("hl_a2s_rules_split_1.bin"),
                TestData("hl_a2s_rules_split_2.bin")};
    }
    if (request == THLSteamPlayerQuery::Request() || request == THLSteamRuleQuery::Request()) {
        return {challengeReply};
    }
    return {};
}

int CountStarting(const QList<QByteArray>& requests, const QByteArray& lead)
{
    return int(std::count_if(requests.begin(), requests.end(),
                             [&](const QByteArray& request) { return request.startsWith(lead); }));
}

} // namespace

class TestServerQuerier : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void componentsFromTheCatalogue();
    void chainOfEveryGame_data();
    void chainOfEveryGame();
    void retriesThenGivesUp_data();
    void retriesThenGivesUp();
    void followUpGivesUpAsPartial_data();
    void followUpGivesUpAsPartial();
    void errorsEndTheQuery_data();
    void errorsEndTheQuery();
    void unreadableReplyFailsItsServer();
    void overlappingRoundsCountEachRequestOnce();
    void forgottenServersNoLongerCount();
    void handlerRunningTheEventLoop();
    void limitsAtEachDispatch_data();
    void limitsAtEachDispatch();
    void roundIsPaced();
    void halfLifeFormChosenAndRemembered_data();
    void halfLifeFormChosenAndRemembered();
    void droppedRepliesCountPerRound();

private:
    TServerQuerier& Make();

    TServers Servers_;
    TQueryLimits Limits_;
    std::unique_ptr<TServerQuerier> Querier_;
};

void TestServerQuerier::init()
{
    Limits_ = {};
    Limits_.TimeoutMs = 150;
    Limits_.Retries = 0;
}

void TestServerQuerier::cleanup()
{
    Querier_.reset();
    Servers_ = {};
}

TServerQuerier& TestServerQuerier::Make()
{
    Querier_ = std::make_unique<TServerQuerier>(
        [this](std::int32_t id, TQueryTarget& target) { return Servers_.Target(id, target); },
        [this] { return Limits_; });
    return *Querier_;
}

void TestServerQuerier::componentsFromTheCatalogue()
{
    TServerQuerier& querier = Make();
    QSet<TBasicQuery*> firsts;
    for (const TGameInfo& game : GameCatalogue()) {
        for (const TQueryStep& step : game.Chain) {
            TBasicQuery* component = querier.Component(QLatin1String(step.Component));
            QVERIFY2(component, step.Component);
            QCOMPARE(component->MaxQueries(), 15);
            QCOMPARE(component->Timeout(), 2000u);
        }
        firsts.insert(querier.FirstComponent(game.Type));
    }
    // Every game asks its own first component, so that its errors carry its name.
    QCOMPARE(firsts.size(), qsizetype(gtUnknown));
    QCOMPARE(querier.FirstComponent(gtUnknown), nullptr);
    QCOMPARE(querier.Component(QStringLiteral("qNone")), nullptr);
}

void TestServerQuerier::chainOfEveryGame_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QList<int>>("replies"); // variant indexes of TQueryReply, in order
    const auto index = [](auto record) {
        return int(TQueryReply(std::in_place_type<decltype(record)>, record).index());
    };
    for (const TGameInfo& game : GameCatalogue()) {
        QList<int> replies;
        switch (game.Protocol) {
        case TQueryProtocol::Quake2:
            replies = {index(TQ2Server{})};
            break;
        case TQueryProtocol::Quake3:
            replies = {index(TQ3AServer{})};
            break;
        case TQueryProtocol::QuakeWorld:
            replies = {index(TQWServer{})};
            break;
        case TQueryProtocol::Tribes:
            replies = {index(TTribesServer{})};
            break;
        case TQueryProtocol::Tribes2:
            replies = {index(TT2PingReply{}), index(TT2Server{})};
            break;
        case TQueryProtocol::HalfLife:
            replies = {index(THLInfo{}), index(THLPlayers{}), index(THLRules{})};
            break;
        }
        QTest::newRow(game.DisplayName) << int(game.Type) << replies;
    }
}

void TestServerQuerier::chainOfEveryGame()
{
    QFETCH(int, game);
    QFETCH(QList<int>, replies);
    TFakeUdpServer& fake = Servers_.Add(7, TGameType(game));
    TServerQuerier& querier = Make();
    QList<int> answered;
    connect(&querier, &TServerQuerier::Answered, this,
            [&](std::int32_t id, const TQueryReply& reply) {
                QCOMPARE(id, 7);
                QCOMPARE(ReplyInfo(reply).Tag, 7);
                answered << int(reply.index());
            });
    QSignalSpy dispatched(&querier, &TServerQuerier::Dispatched);
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    QSignalSpy idle(&querier, &TServerQuerier::Idle);

    querier.StartRound({7});
    QCOMPARE(dispatched.count(), 1);
    QCOMPARE(querier.SentCount(), 1);
    QCOMPARE(querier.OutstandingCount(), 1);
    QVERIFY(idle.wait(5000));
    QCOMPARE(answered, replies);
    QCOMPARE(fake.RequestCount(), replies.size());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::Answered);
    // The follow-ups are not counted: the round ended at the first reply.
    QCOMPARE(roundFinished.count(), 1);
    QCOMPARE(querier.SentCount(), 1);
    QCOMPARE(querier.OutstandingCount(), 0);
    QVERIFY(querier.IsIdle());
}

void TestServerQuerier::retriesThenGivesUp_data()
{
    QTest::addColumn<int>("retries");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("three") << 3;
}

void TestServerQuerier::retriesThenGivesUp()
{
    QFETCH(int, retries);
    Limits_.Retries = retries;
    TFakeUdpServer& fake = Servers_.Add(1, gtQuake3);
    fake.SetBehaviour(TBehaviour::Silent);
    TServerQuerier& querier = Make();
    QList<bool> gaveUp;
    connect(&querier, &TServerQuerier::TimedOut, this,
            [&](std::int32_t id, const TBasicData& reply, bool firstQuery, bool last) {
                QCOMPARE(id, 1);
                QVERIFY(firstQuery);
                QCOMPARE(reply.Ping, Limits_.TimeoutMs);
                QCOMPARE(reply.Tag, 1);
                gaveUp << last;
            });
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    querier.StartRound({1});
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::TimedOut);
    QList<bool> expected(retries, false);
    expected << true;
    QCOMPARE(gaveUp, expected);
    QCOMPARE(fake.RequestCount(), retries + 1);
    QCOMPARE(querier.RetryCount(1), retries);
    QCOMPARE(querier.SentCount(), retries + 1);
    QCOMPARE(querier.OutstandingCount(), 0);
    // A retry is counted before its time-out ends: the round never looks over.
    QCOMPARE(roundFinished.count(), 1);

    // A single query does not reset the retries: it is given up at once.
    querier.Query(1);
    QVERIFY(finished.wait(5000));
    QCOMPARE(fake.RequestCount(), retries + 2);
    // A round does.
    querier.StartRound({1});
    QVERIFY(finished.wait(5000));
    QCOMPARE(fake.RequestCount(), 2 * retries + 3);
}

void TestServerQuerier::followUpGivesUpAsPartial_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QByteArray>("silentRequest"); // the follow-up that is never answered
    QTest::addColumn<int>("answers");
    QTest::newRow("Half-Life players") << int(gtHalfLife) << QByteArray("players") << 1;
    QTest::newRow("Half-Life rules") << int(gtHalfLife) << QByteArray("rules") << 2;
    QTest::newRow("Tribes 2 info") << int(gtTribes2) << QByteArray("\x12\x02", 2) << 1;
}

void TestServerQuerier::followUpGivesUpAsPartial()
{
    QFETCH(int, game);
    QFETCH(QByteArray, silentRequest);
    QFETCH(int, answers);
    Limits_.Retries = 2;
    TFakeUdpServer& fake = Servers_.Add(3, TGameType(game));
    int silent = 0;
    fake.SetResponder([&, game](const QByteArray& request) {
        if (request.contains(silentRequest)) {
            ++silent;
            return QList<QByteArray>{};
        }
        TScriptedGameServer script;
        script.Name = "S";
        return GameReply(TGameType(game), request, script);
    });
    TServerQuerier& querier = Make();
    QSignalSpy answered(&querier, &TServerQuerier::Answered);
    QSignalSpy timedOut(&querier, &TServerQuerier::TimedOut);
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    querier.StartRound({3});
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::Partial);
    QCOMPARE(answered.count(), answers);
    QCOMPARE(silent, Limits_.Retries + 1);
    QCOMPARE(timedOut.count(), Limits_.Retries + 1);
    QVERIFY(!timedOut.last().at(2).toBool()); // not the first query
    QVERIFY(timedOut.last().at(3).toBool());
    // The round ended at the first reply; the follow-ups never counted.
    QCOMPARE(roundFinished.count(), 1);
    QCOMPARE(querier.SentCount(), 1);
    QCOMPARE(querier.RetryCount(3), 0);
}

void TestServerQuerier::errorsEndTheQuery_data()
{
    QTest::addColumn<int>("game");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<int>("outcome");
    const QByteArray junk("\xFF\xFF\xFF\xFFjunk");
    QTest::newRow("Quake 3: not shown")
        << int(gtQuake3) << junk << QString() << int(TQueryOutcome::Failed);
    QTest::newRow("SoF") << int(gtSoF) << junk
                         << "SoF Error: Received data, but it is not a valid Quake 2 packet."
                         << int(TQueryOutcome::Failed);
    QTest::newRow("Kingpin") << int(gtKingpin) << junk
                             << "Kingpin Error: Received data, but it is not a valid Quake 2 "
                                "packet."
                             << int(TQueryOutcome::Failed);
    QTest::newRow("Tribes 2 ping")
        << int(gtTribes2) << QByteArray("junk")
        << "T2 Error: Received data, but it is not a valid Tribes 2 packet."
        << int(TQueryOutcome::Failed);
}

void TestServerQuerier::errorsEndTheQuery()
{
    QFETCH(int, game);
    QFETCH(QByteArray, reply);
    QFETCH(QString, statusText);
    QFETCH(int, outcome);
    Servers_.Add(2, TGameType(game)).SetResponder([reply](const QByteArray&) {
        return QList<QByteArray>{reply};
    });
    TServerQuerier& querier = Make();
    QSignalSpy failed(&querier, &TServerQuerier::Failed);
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    querier.StartRound({2});
    QVERIFY(roundFinished.wait(5000));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(0).toInt(), 2);
    QCOMPARE(failed.first().at(2).toString(), statusText);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(int(finished.first().at(1).value<TQueryOutcome>()), outcome);
    QCOMPARE(querier.OutstandingCount(), 0);
}

void TestServerQuerier::unreadableReplyFailsItsServer()
{
    // A reply too long for the receive buffer ends the request as a time-out
    // and fails its server with the read failure, named by its server.
    Limits_.Retries = 1;
    TFakeUdpServer& fake = Servers_.Add(4, gtHalfLife);
    fake.SetBehaviour(TBehaviour::Oversized);
    TServerQuerier& querier = Make();
    QSignalSpy failed(&querier, &TServerQuerier::Failed);
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    querier.StartRound({4});
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::Failed);
    QCOMPARE(fake.RequestCount(), 2);
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.last().at(0).toInt(), 4);
    QVERIFY(failed.last().at(2).toString().startsWith("HL-Info Error: The reply does not fit"));
    QCOMPARE(querier.OutstandingCount(), 0);
}

void TestServerQuerier::overlappingRoundsCountEachRequestOnce()
{
    // Two rounds in a row ask the same late server twice. The first reply
    // answers the older request; the second round must wait for its own.
    TFakeUdpServer& fake = Servers_.Add(5, gtQuake3);
    fake.SetBehaviour(TBehaviour::AnswerLate, 100);
    Limits_.TimeoutMs = 2000;
    TServerQuerier& querier = Make();
    QList<int> outstandingAtAnswer;
    connect(&querier, &TServerQuerier::Answered, this,
            [&] { outstandingAtAnswer << querier.OutstandingCount(); });
    int answeredAtRoundEnd = -1;
    connect(&querier, &TServerQuerier::RoundFinished, this,
            [&] { answeredAtRoundEnd = int(outstandingAtAnswer.size()); });
    querier.StartRound({5});
    querier.StartRound({5});
    QCOMPARE(querier.OutstandingCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(answeredAtRoundEnd, 2, 5000);
    // The older request's answer is shown, but the round waits for its own.
    QCOMPARE(outstandingAtAnswer, (QList<int>{1, 0}));
    QCOMPARE(querier.SentCount(), 1);
    QCOMPARE(querier.OutstandingCount(), 0);
}

void TestServerQuerier::forgottenServersNoLongerCount()
{
    Limits_.TimeoutMs = 300;
    Servers_.Add(1, gtQuake3).SetBehaviour(TBehaviour::Silent);
    TFakeUdpServer& late = Servers_.Add(2, gtHalfLife);
    late.SetBehaviour(TBehaviour::AnswerLate, 100);
    Servers_.Add(3, gtQuake3).SetBehaviour(TBehaviour::AnswerLate, 150);
    TServerQuerier& querier = Make();
    QSignalSpy answered(&querier, &TServerQuerier::Answered);
    QSignalSpy timedOut(&querier, &TServerQuerier::TimedOut);
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    querier.StartRound({1, 2, 3});
    QCOMPARE(querier.OutstandingCount(), 3);
    // Server 2 still answers, but its row is gone.
    querier.Forget({1, 2, 99});
    QCOMPARE(querier.OutstandingCount(), 1);
    QVERIFY(roundFinished.wait(5000));
    QCOMPARE(answered.count(), 1);
    QCOMPARE(answered.first().at(0).toInt(), 3);
    // The removed servers' requests end without a word and start nothing.
    QTRY_VERIFY_WITH_TIMEOUT(querier.IsIdle(), 5000);
    QCOMPARE(answered.count(), 1);
    QCOMPARE(timedOut.count(), 0);
    QCOMPARE(roundFinished.count(), 1);
    QCOMPARE(late.RequestCount(), 1); // no players query followed its details
}

void TestServerQuerier::handlerRunningTheEventLoop()
{
    // Handlers that run the event loop (as a message box does) see further
    // replies arrive inside them; one of them removes a server meanwhile.
    Limits_.TimeoutMs = 1000;
    for (std::int32_t id = 1; id <= 6; ++id) {
        Servers_.Add(id, id % 2 ? gtHalfLife : gtQuake3);
    }
    TServerQuerier& querier = Make();
    int depth = 0;
    int deepest = 0;
    QList<std::int32_t> finished;
    connect(&querier, &TServerQuerier::ServerFinished, this,
            [&](std::int32_t id) { finished << id; });
    connect(&querier, &TServerQuerier::Answered, this, [&](std::int32_t id) {
        ++depth;
        deepest = qMax(deepest, depth);
        if (id == 2) {
            Servers_.Remove(4);
            querier.Forget({4});
        }
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
    });
    QSignalSpy roundFinished(&querier, &TServerQuerier::RoundFinished);
    querier.StartRound({1, 2, 3, 4, 5, 6});
    QVERIFY(roundFinished.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(querier.IsIdle(), 10000);
    QVERIFY(deepest > 1);
    QCOMPARE(querier.OutstandingCount(), 0);
    std::sort(finished.begin(), finished.end());
    QVERIFY(!finished.contains(4));
    QCOMPARE(finished.size(), 5);
}

void TestServerQuerier::limitsAtEachDispatch_data()
{
    QTest::addColumn<bool>("keepDefaults");
    QTest::addColumn<int>("followUpMax");
    QTest::addColumn<uint>("followUpTimeout");
    QTest::newRow("follow-ups keep their own") << true << 15 << 2000u;
    QTest::newRow("follow-ups take the limits") << false << 0 << 700u;
}

void TestServerQuerier::limitsAtEachDispatch()
{
    QFETCH(bool, keepDefaults);
    QFETCH(int, followUpMax);
    QFETCH(uint, followUpTimeout);
    Limits_.MaxQueries = 0;
    Limits_.TimeoutMs = 700;
    Limits_.FollowUpsKeepDefaults = keepDefaults;
    Servers_.Add(1, gtHalfLife);
    TServerQuerier& querier = Make();
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    querier.StartRound({1});
    QVERIFY(finished.wait(5000));
    TBasicQuery* first = querier.FirstComponent(gtHalfLife);
    QCOMPARE(first->MaxQueries(), 0);
    QCOMPARE(first->Timeout(), 700u);
    for (const char* name : {"qHLPlayer", "qHLRule"}) {
        TBasicQuery* followUp = querier.Component(QLatin1String(name));
        QCOMPARE(followUp->MaxQueries(), followUpMax);
        QCOMPARE(followUp->Timeout(), followUpTimeout);
    }
}

void TestServerQuerier::roundIsPaced()
{
    // A round of many servers goes out over several turns of the event loop
    // without delay, one per delay with it.
    for (std::int32_t id = 1; id <= 300; ++id) {
        Servers_.Add(id, gtQuake3).SetBehaviour(TBehaviour::Silent);
    }
    Limits_.MaxQueries = 0;
    TServerQuerier& querier = Make();
    QList<std::int32_t> ids;
    for (std::int32_t id = 1; id <= 300; ++id) {
        ids << id;
    }
    querier.StartRound(ids);
    QVERIFY(querier.IsDispatching());
    QVERIFY(querier.SentCount() < 300);
    QTRY_COMPARE_WITH_TIMEOUT(querier.SentCount(), 300, 5000);
    querier.Stop();

    Limits_.DelayMs = 40;
    QElapsedTimer clock;
    clock.start();
    querier.StartRound(ids.mid(0, 3));
    QCOMPARE(querier.SentCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(querier.SentCount(), 3, 5000);
    QVERIFY2(clock.elapsed() >= 3 * 40 - 5, qPrintable(QString::number(clock.elapsed())));
}

void TestServerQuerier::droppedRepliesCountPerRound()
{
    // A server that answers with a burst into the smallest receive buffer the
    // system grants: the first reply is read, most of the rest are dropped
    // by the system, and the round says how many; the next round starts
    // from none.
    TFakeUdpServer& fake = Servers_.Add(1, gtQuake3);
    int copies = 200;
    fake.SetResponder([&copies](const QByteArray& request) {
        const QByteArray reply =
            GameReply(gtQuake3, request, {"Burst", "m1", 8, "mod", {}}).value(0);
        return QList<QByteArray>(copies, reply);
    });
    TServerQuerier& querier = Make();
    TBasicQuery* engine =
        querier.Component(QLatin1String(GameInfo(gtQuake3)->Chain.front().Component));
    engine->Endpoint().SetReceiveBufferSize(1);
    if (!engine->Endpoint().DroppedDatagrams()) {
        QSKIP("The system does not count a socket's drops.");
    }
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);

    querier.StartRound({1});
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.last().at(1).value<TQueryOutcome>(), TQueryOutcome::Answered);
    const std::uint64_t dropped = querier.RoundDroppedReplies().value_or(0);
    QVERIFY2(dropped > 0 && dropped < std::uint64_t(copies),
             QByteArray::number(qulonglong(dropped)));

    copies = 1;
    querier.StartRound({1});
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.last().at(1).value<TQueryOutcome>(), TQueryOutcome::Answered);
    QCOMPARE(querier.RoundDroppedReplies().value_or(99), 0u);
}

QTEST_GUILESS_MAIN(TestServerQuerier)
#include "tst_serverquerier.moc"

void TestServerQuerier::halfLifeFormChosenAndRemembered_data()
{
    QTest::addColumn<bool>("documented"); // answers "details", "players", "rules"
    QTest::addColumn<bool>("steam");      // answers the Steam form
    QTest::addColumn<int>("retries");
    QTest::addColumn<QByteArray>("name"); // the answered server name; empty: none
    QTest::addColumn<int>("form");        // KnownForm afterwards
    QTest::addColumn<int>("resent");      // RetryCount after the first round

    QTest::newRow("documented only") << true << false << 1 << QByteArray("Server 3") << 0 << 0;
    // The documented requests come first and win.
    QTest::newRow("both forms") << true << true << 1 << QByteArray("Server 3") << 0 << 0;
    // Asked in the Steam form once the documented request's retries are spent.
    QTest::newRow("Steam only") << false << true << 1 << QByteArray("Steam Test Server") << 1 << 2;
    QTest::newRow("Steam only, no retries")
        << false << true << 0 << QByteArray("Steam Test Server") << 1 << 1;
    // Both forms asked, each with its retries; nothing is remembered.
    QTest::newRow("silent") << false << false << 1 << QByteArray() << -1 << 3;
}

void TestServerQuerier::halfLifeFormChosenAndRemembered()
{
    QFETCH(bool, documented);
    QFETCH(bool, steam);
    QFETCH(int, retries);
    QFETCH(QByteArray, name);
    QFETCH(int, form);
    QFETCH(int, resent);
    Limits_.Retries = retries;
    TFakeUdpServer& fake = Servers_.Add(3, gtHalfLife);
    TScriptedGameServer script;
    script.Name = "Server 3";
    script.Players = {"Ace"};
    fake.SetResponder([=](const QByteArray& request) {
        QList<QByteArray> replies;
        if (documented) {
            replies = GameReply(gtHalfLife, request, script);
        }
        if (steam && replies.isEmpty()) {
            replies = SteamFormAnswer(request);
        }
        return replies;
    });
    TServerQuerier& querier = Make();
    QList<int> answered;
    QByteArray answeredName;
    connect(&querier, &TServerQuerier::Answered, this, [&](std::int32_t, const TQueryReply& reply) {
        answered << int(reply.index());
        if (const auto* info = std::get_if<THLInfo>(&reply)) {
            answeredName = info->Name;
        }
    });
    QSignalSpy finished(&querier, &TServerQuerier::ServerFinished);
    QSignalSpy idle(&querier, &TServerQuerier::Idle);
    const QByteArray details("\xFF\xFF\xFF\xFF"
                             "details");
    const QByteArray steamInfo = THLSteamInfoQuery::Request();

    querier.StartRound({3});
    QVERIFY(idle.wait(5000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(answeredName, name);
    QCOMPARE(querier.RetryCount(3), resent);
    QCOMPARE(querier.KnownForm(fake.Address() + u':' + QString::number(fake.Port())), form);
    // The documented request always goes first, as often as retries allow
    // when it gets no answer.
    QCOMPARE(CountStarting(fake.Requests(), details), documented ? 1 : retries + 1);
    if (name.isEmpty()) {
        QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::TimedOut);
        QCOMPARE(CountStarting(fake.Requests(), steamInfo), retries + 1);
        return;
    }
    QCOMPARE(finished.first().at(1).value<TQueryOutcome>(), TQueryOutcome::Answered);
    // Either form fills the same records: details, players, rules.
    const auto index = [](auto record) {
        return int(TQueryReply(std::in_place_type<decltype(record)>, record).index());
    };
    QCOMPARE(answered, (QList<int>{index(THLInfo{}), index(THLPlayers{}), index(THLRules{})}));

    // The next round asks in the form that answered, and only in it.
    const int detailsBefore = CountStarting(fake.Requests(), details);
    const int steamBefore = CountStarting(fake.Requests(), steamInfo);
    answered.clear();
    querier.StartRound({3});
    QVERIFY(idle.wait(5000));
    QCOMPARE(answered.size(), 3);
    QCOMPARE(querier.RetryCount(3), 0);
    QCOMPARE(CountStarting(fake.Requests(), details) - detailsBefore, form == 0 ? 1 : 0);
    // The Steam info request is sent again with the challenge.
    QCOMPARE(CountStarting(fake.Requests(), steamInfo) - steamBefore, form == 1 ? 2 : 0);
}
