#include <QTest>

#include <functional>

#include "decodertest.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/hlsteamplayerquery.h"
#include "protocols/hlsteamrulequery.h"
#include "testutil.h"

namespace {

const QByteArray kFF(4, '\xFF');
const QByteArray kChallenge = Bytes("\x4A\x2B\x91\x05");

QByteArray InfoSummary(const THLInfo& i)
{
    return Format("%s|%s|%s|%s|os %d %d/%d p%d l%d pw%d mod%d", i.Name.data(), i.Map.data(),
                  i.GameDir.data(), i.Description.data(), i.OS, i.NumPlayers, i.MaxPlayers,
                  i.Protocol, i.Listen, i.Password, i.Mod.IsMod);
}

QByteArray SteamSummary(const THLSteamInfo& s)
{
    return Format("app%u bots%u %c%c vac%u ship%u,%u,%u v%s edf%02X port%u id%llu tv%u:%s kw%s "
                  "game%llu",
                  s.AppID, s.Bots, s.ServerType ? s.ServerType : '-',
                  s.Environment ? s.Environment : '-', s.VAC, s.ShipMode, s.ShipWitnesses,
                  s.ShipDuration, s.Version.data(), s.ExtraData, s.GamePort,
                  (unsigned long long)s.SteamID, s.SourceTVPort, s.SourceTVName.data(),
                  s.Keywords.data(), (unsigned long long)s.GameID);
}

// An info answer in the Steam layout up to the version, for rows that
// vary what follows.
QByteArray InfoUpToVersion(QByteArrayView appId, QByteArrayView typeAndSystem)
{
    return kFF + "I\x11" + Bytes("Box\0crossfire\0valve\0HL\0") + appId.toByteArray() +
           Bytes("\x03\x10\x01") + typeAndSystem.toByteArray() + Bytes("\x01\x00") + Bytes("1.0\0");
}

// The datagrams of the documented split rules answer, in order.
QList<QByteArray> SplitRules()
{
    return {TestData("hl_a2s_rules_split_0.bin"), TestData("hl_a2s_rules_split_1.bin"),
            TestData("hl_a2s_rules_split_2.bin")};
}

QByteArray JoinedRules()
{
    QByteArray whole;
    for (const QByteArray& part : SplitRules()) {
        whole += part.mid(THLSplitPart::HeaderSize);
    }
    return whole;
}

// A server of the Steam form on a fake server: it answers every request
// that lacks Challenge with the challenge, and the others with Answer,
// split into Parts datagrams when Parts > 1 (part Skip never sent).
void ServeSteam(TFakeUdpServer& server, QByteArrayView lead, const QByteArray& answer,
                bool challenge, int parts = 1, int skip = -1)
{
    server.SetResponder([=, lead = lead.toByteArray()](const QByteArray& request) {
        if (challenge && request != lead + kChallenge) {
            return QList<QByteArray>{kFF + 'A' + kChallenge};
        }
        if (parts <= 1) {
            return QList<QByteArray>{answer};
        }
        QList<QByteArray> datagrams;
        const qsizetype room = (answer.size() + parts - 1) / parts;
        for (int n = 0; n < parts; ++n) {
            if (n != skip) {
                datagrams.append(Bytes("\xFE\xFF\xFF\xFF\x07\x00\x00\x00") + char(n << 4 | parts) +
                                 answer.mid(n * room, room));
            }
        }
        // The last part first: a server owes no order.
        std::reverse(datagrams.begin(), datagrams.end());
        return datagrams;
    });
}

// One query of a Steam-form component through the engine: what OnComplete
// delivered (its summary, Data and Tag), or nothing.
struct TOutcome
{
    QByteArray Summary;
    QByteArray Data;
    int Tag = 0;
};

template <typename TQuery, typename TRecord>
std::optional<TOutcome> RunQuery(TFakeUdpServer& server,
                                 const std::function<QByteArray(const TRecord&)>& summary)
{
    TQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TQuery::OnComplete);
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    query.Query(41);
    if (!QTest::qWaitFor([&] { return !completed.isEmpty() || !errors.isEmpty(); }, 5000) ||
        completed.isEmpty()) {
        return std::nullopt;
    }
    const auto record = completed.first().at(0).template value<TRecord>();
    if (query.SplitAnswers() != 0) {
        return TOutcome{"parts left behind", {}, 0};
    }
    return TOutcome{summary(record), record.Info.Data, record.Info.Tag};
}

std::optional<TOutcome> RunQuery(const QString& kind, TFakeUdpServer& server)
{
    if (kind == u"info") {
        return RunQuery<THLSteamInfoQuery, THLInfo>(server, InfoSummary);
    }
    if (kind == u"players") {
        return RunQuery<THLSteamPlayerQuery, THLPlayers>(server, [](const THLPlayers& p) {
            QByteArray text = QByteArray::number(p.Count);
            for (const auto& player : p.Players) {
                text += Format(",%s %d %g", player.Name.data(), player.Score, player.Time);
            }
            return text;
        });
    }
    return RunQuery<THLSteamRuleQuery, THLRules>(server, [](const THLRules& r) {
        QByteArray text = QByteArray::number(r.Count);
        for (const THLRule& rule : r.Rules.first(qMin<qsizetype>(2, r.Rules.size()))) {
            text += ',' + rule.Name + '=' + rule.Value;
        }
        return text;
    });
}

} // namespace

class TestHLSteamQuery : public QObject
{
    Q_OBJECT

private slots:
    void decodeInfo_data();
    void decodeInfo();
    void splitParts_data();
    void splitParts();
    void truncatedAndRandomReplies();
    void endToEnd_data();
    void endToEnd();
    void challengeWithoutEnd();
    void missingPartTimesOut();
    void wrongAnswer();
};

void TestHLSteamQuery::decodeInfo_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    QTest::addColumn<QByteArray>("steam");

    QTest::newRow("documented answer, every extra item")
        << TestData("hl_a2s_info_steam.bin")
        << QByteArray(
               "Steam Test Server|de_dust2|cstrike|Counter-Strike|os 1 12/32 p48 l0 pw0 mod0")
        << QByteArray("app10 bots2 dl vac1 ship0,0,0 v1.1.2.7/Stdio edfF1 port27015 "
                      "id90071992547409921 tv27020:SourceTV kwsecure game10");
    const QByteArray box = "Box|crossfire|valve|HL|os ";
    QTest::newRow("no extra data, listen server on Windows")
        << InfoUpToVersion(Bytes("\x46\x00"), "lw") << box + "0 3/16 p17 l1 pw1 mod0"
        << QByteArray("app70 bots1 lw vac0 ship0,0,0 v1.0 edf00 port0 id0 tv0: kw game0");
    QTest::newRow("relay on a Mac, upper-case system byte")
        << InfoUpToVersion(Bytes("\x46\x00"), "pM") << box + "2 3/16 p17 l0 pw1 mod0"
        << QByteArray("app70 bots1 pM vac0 ship0,0,0 v1.0 edf00 port0 id0 tv0: kw game0");
    // The Ship puts three bytes between VAC and the version.
    QTest::newRow("The Ship")
        << QByteArray(kFF + "I\x07" +
                      Bytes("S\0m\0ship\0The Ship\0\x60\x09\x02\x08\x00"
                            "dw\x00\x01\x01\x03\x05v\0"))
        << QByteArray("S|m|ship|The Ship|os 0 2/8 p7 l0 pw0 mod0")
        << QByteArray("app2400 bots0 dw vac1 ship1,3,5 vv edf00 port0 id0 tv0: kw game0");
    QTest::newRow("keywords only")
        << InfoUpToVersion(Bytes("\x0A\x00"), "dl") + Bytes("\x20tag,x\0")
        << box + "1 3/16 p17 l0 pw1 mod0"
        << QByteArray("app10 bots1 dl vac0 ship0,0,0 v1.0 edf20 port0 id0 tv0: kwtag,x game0");
    // A number cut short takes the rest with it: nothing after it is read.
    QTest::newRow("cut in the SteamID")
        << InfoUpToVersion(Bytes("\x0A\x00"), "dl") + Bytes("\xB1\x87\x69\x01\x02\x03")
        << box + "1 3/16 p17 l0 pw1 mod0"
        << QByteArray("app10 bots1 dl vac0 ship0,0,0 v1.0 edfB1 port27015 id0 tv0: kw game0");
    QTest::newRow("ends in the AppID")
        << QByteArray(kFF + "I\x11" + Bytes("Box\0crossfire\0valve\0HL\0\x0A"))
        << box + "2 0/0 p17 l0 pw0 mod0"
        << QByteArray("app0 bots0 -- vac0 ship0,0,0 v edf00 port0 id0 tv0: kw game0");
    // Servers of the first Steam years answer in the details layout.
    QTest::newRow("older layout")
        << TestData("hl_details_cs16.bin")
        << QByteArray("2^HAB Clan Server::www.2hab-progamers.co.nr::|cs_office|cstrike|"
                      "Counter-Strike|os 1 1/11 p47 l0 pw0 mod1")
        << QByteArray("app0 bots0 -- vac0 ship0,0,0 v edf00 port0 id0 tv0: kw game0");
    QTest::newRow("challenge is no info")
        << TestData("hl_a2s_challenge.bin") << QByteArray("-") << QByteArray("-");
    QTest::newRow("players answer")
        << TestData("hl_a2s_players_steam.bin") << QByteArray("-") << QByteArray("-");
}

void TestHLSteamQuery::decodeInfo()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    QFETCH(QByteArray, steam);
    THLInfo info;
    THLSteamInfo extra;
    extra.Bots = 99; // reset by every decoded answer
    const bool decoded = THLSteamInfoQuery::Decode({"10.0.0.1", 27015, 0, 0, data}, info, &extra);
    QCOMPARE(decoded ? InfoSummary(info) : "-", summary);
    QCOMPARE(decoded ? SteamSummary(extra) : "-", steam);
    if (decoded) {
        QCOMPARE(info.Info.Data, data);
    }
}

void TestHLSteamQuery::splitParts_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    // Per datagram: "bad" for a header Read refuses, else "+" while parts
    // are missing, "=" when complete, "!" when another answer's part
    // restarted it; then the whole answer when it completed.
    QTest::addColumn<QByteArray>("results");
    QTest::addColumn<QByteArray>("whole");

    const QList<QByteArray> p = SplitRules();
    QTest::newRow("in order") << p << QByteArray("++=") << JoinedRules();
    QTest::newRow("any order, a part twice")
        << QList{p[2], p[0], p[2], p[1]} << QByteArray("+++=") << JoinedRules();
    QByteArray other = p[0];
    other[4] = '\x99';
    // The latest answer is the one put together.
    QTest::newRow("a part of another answer starts over")
        << QList{p[0], other, p[1], p[2], p[0]} << QByteArray("+!!+=") << JoinedRules();
    QByteArray fewer = p[1];
    fewer[8] = '\x12'; // part 1 of 2
    QTest::newRow("another count starts over")
        << QList{p[0], fewer, p[1], p[2], p[0]} << QByteArray("+!!+=") << JoinedRules();
    QTest::newRow("empty parts") << QList{Bytes("\xFE\xFF\xFF\xFF\0\0\0\0\x12"),
                                          Bytes("\xFE\xFF\xFF\xFF\0\0\0\0\x02")}
                                 << QByteArray("+=") << QByteArray();
    QTest::newRow("number past the last")
        << QList{Bytes("\xFE\xFF\xFF\xFF\0\0\0\0\x33x")} << QByteArray("b") << QByteArray();
    QTest::newRow("one part is no split")
        << QList{Bytes("\xFE\xFF\xFF\xFF\0\0\0\0\x01x")} << QByteArray("b") << QByteArray();
    QTest::newRow("header cut short")
        << QList{Bytes("\xFE\xFF\xFF\xFF\0\0\0\0")} << QByteArray("b") << QByteArray();
    QTest::newRow("plain header") << QList{Bytes("\xFF\xFF\xFF\xFF\0\0\0\0\x02x")}
                                  << QByteArray("b") << QByteArray();
}

void TestHLSteamQuery::splitParts()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QByteArray, results);
    QFETCH(QByteArray, whole);
    THLSplitReply reply;
    QByteArray found;
    bool complete = false;
    for (const QByteArray& datagram : datagrams) {
        THLSplitPart part;
        if (!THLSplitPart::Read(datagram, part)) {
            found += 'b';
            continue;
        }
        switch (reply.Add(part)) {
        case THLSplitReply::TResult::Incomplete:
            found += '+';
            break;
        case THLSplitReply::TResult::Complete:
            found += '=';
            complete = true;
            break;
        case THLSplitReply::TResult::Restarted:
            found += '!';
            break;
        }
    }
    QCOMPARE(found, results);
    QCOMPARE(complete ? reply.Whole() : QByteArray(), whole);
}

void TestHLSteamQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<THLInfo>(
        TestData("hl_a2s_info_steam.bin"), kFF + 'I',
        [](const TBasicData& reply, THLInfo& info) {
            THLSteamInfo steam;
            return THLSteamInfoQuery::Decode(reply, info, &steam);
        },
        [](const THLInfo& i) { QVERIFY(i.OS <= 2 && i.Listen <= 1 && i.Mod.IsMod == 0); });

    // Split parts: the header is read whole or refused, and the part's
    // bytes stay inside the datagram (the sanitizer build checks the copy).
    FeedTruncatedAndRandom<THLSplitPart>(
        TestData("hl_a2s_rules_split_1.bin"), Bytes("\xFE\xFF\xFF\xFF"),
        [](const TBasicData& reply, THLSplitPart& part) {
            return THLSplitPart::Read(reply.Data, part);
        },
        [](const THLSplitPart& part) {
            QVERIFY(part.Number < part.Total && part.Total <= 15);
            THLSplitReply joined;
            joined.Add(part);
            QCOMPARE(joined.Received(), 1);
        });
}

void TestHLSteamQuery::endToEnd_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("challenge");
    QTest::addColumn<int>("parts");
    QTest::addColumn<QByteArrayList>("requests");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("summary");

    const QByteArray info = THLSteamInfoQuery::Request();
    const QByteArray infoSummary =
        "Steam Test Server|de_dust2|cstrike|Counter-Strike|os 1 12/32 p48 l0 pw0 mod0";
    QTest::newRow("info answered at once") << "info" << false << 1 << QByteArrayList{info}
                                           << TestData("hl_a2s_info_steam.bin") << infoSummary;
    QTest::newRow("info after a challenge")
        << "info" << true << 1 << QByteArrayList{info, info + kChallenge}
        << TestData("hl_a2s_info_steam.bin") << infoSummary;
    QTest::newRow("info in the older layout, after a challenge")
        << "info" << true << 1 << QByteArrayList{info, info + kChallenge}
        << TestData("hl_details_cs16.bin")
        << QByteArray("2^HAB Clan Server::www.2hab-progamers.co.nr::|cs_office|cstrike|"
                      "Counter-Strike|os 1 1/11 p47 l0 pw0 mod1");
    const QByteArray players = kFF + "U";
    QTest::newRow("players after a challenge")
        << "players" << true << 1 << QByteArrayList{players + kFF, players + kChallenge}
        << TestData("hl_a2s_players_steam.bin")
        << QByteArray("2,Gordon 14 1324.5,[LoS]Alyx -1 62.25");
    const QByteArray rules = kFF + "V";
    const QByteArray rulesSummary = "12,mp_friendlyfire=0,mp_timelimit=25";
    QTest::newRow("rules after a challenge, in three datagrams")
        << "rules" << true << 3 << QByteArrayList{rules + kFF, rules + kChallenge} << JoinedRules()
        << rulesSummary;
    QTest::newRow("rules in fifteen datagrams")
        << "rules" << true << 15 << QByteArrayList{rules + kFF, rules + kChallenge} << JoinedRules()
        << rulesSummary;
    // The answer's own header is the first part's business: without it the
    // parts are still the answer.
    QTest::newRow("rules split without the plain header")
        << "rules" << false << 2 << QByteArrayList{rules + kFF} << JoinedRules().mid(4)
        << rulesSummary;
}

void TestHLSteamQuery::endToEnd()
{
    QFETCH(QString, kind);
    QFETCH(bool, challenge);
    QFETCH(int, parts);
    QFETCH(QByteArrayList, requests);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, summary);
    TFakeUdpServer server;
    ServeSteam(server, requests.last().chopped(challenge ? 4 : 0), answer, challenge, parts);
    const std::optional<TOutcome> outcome = RunQuery(kind, server);
    QVERIFY(outcome);
    QCOMPARE(outcome->Summary, summary);
    QCOMPARE(outcome->Tag, 41);
    // The record holds the whole answer, as one datagram would.
    QCOMPARE(outcome->Data, answer.startsWith(kFF) ? answer : kFF + answer);
    QCOMPARE(QByteArrayList(server.Requests()), requests);
}

// A server that answers every request with a new challenge is given up on.
void TestHLSteamQuery::challengeWithoutEnd()
{
    TFakeUdpServer server;
    server.SetReply(TestData("hl_a2s_challenge.bin"));
    THLSteamRuleQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    query.SetTimeout(60000);
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy completed(&query, &THLSteamRuleQuery::OnComplete);
    query.Query(3);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(errors.first().at(0).toInt(), 3);
    QCOMPARE(server.RequestCount(), THLSteamQuery::MaxChallenges + 1);
    // The request is over: it leaves the active list at the next scan.
    QTRY_COMPARE_WITH_TIMEOUT(query.CurrentQueries(), 0, 5000);
    QCOMPARE(completed.count(), 0);
    QCOMPARE(server.RequestCount(), THLSteamQuery::MaxChallenges + 1);
}

// A part that never comes ends the request as a time-out and leaves no
// parts behind.
void TestHLSteamQuery::missingPartTimesOut()
{
    TFakeUdpServer server;
    ServeSteam(server, kFF + "V", JoinedRules(), true, 3, 1);
    THLSteamRuleQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    query.SetTimeout(400);
    QSignalSpy timeouts(&query, &TBasicQuery::OnTimeout);
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy completed(&query, &THLSteamRuleQuery::OnComplete);
    query.Query(9);
    QTRY_COMPARE_WITH_TIMEOUT(server.RequestCount(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(query.SplitAnswers(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(timeouts.count(), 1, 5000);
    QCOMPARE(timeouts.first().at(0).value<TBasicData>().Tag, 9);
    QCOMPARE(query.SplitAnswers(), 0);
    QCOMPARE(errors.count() + completed.count(), 0);
    QCOMPARE(query.CurrentQueries(), 0);
}

void TestHLSteamQuery::wrongAnswer()
{
    std::optional<THLInfo> info;
    EndToEnd<THLSteamInfoQuery>(THLSteamInfoQuery::Request(), TestData("hl_a2s_info_steam.bin"),
                                TestData("hl_a2s_players_steam.bin"), 2, "Half-life", info);
    std::optional<THLPlayers> players;
    EndToEnd<THLSteamPlayerQuery>(THLSteamPlayerQuery::Request(),
                                  TestData("hl_a2s_players_steam.bin"),
                                  TestData("hl_a2s_info_steam.bin"), 3, "Half-life", players);
    QVERIFY(info && players);
    QCOMPARE(info->Name + players->Players.value(1).Name, "Steam Test Server[LoS]Alyx");
}

QTEST_GUILESS_MAIN(TestHLSteamQuery)
#include "tst_hlsteamquery.moc"
