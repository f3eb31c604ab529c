#include <QTest>

#include "decodertest.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "testutil.h"

namespace {

// Slot 1 "Ann", score 12, 89.5 s; slot 7 "Bob", score -3, 30 s.
const QByteArray kAnn = Bytes("\x01"
                              "Ann\0\x0C\x00\x00\x00\x00\x00\xB3\x42");
const QByteArray kBob = Bytes("\x07"
                              "Bob\0\xFD\xFF\xFF\xFF\x00\x00\xF0\x41");

QStringList PlayerTexts(const THLPlayers& players)
{
    QStringList texts;
    for (const auto& p : players.Players) {
        texts << QStringLiteral("%1 %2 %3 %4")
                     .arg(p.Index)
                     .arg(QString::fromLatin1(p.Name))
                     .arg(p.Score)
                     .arg(p.Time);
    }
    return texts;
}

QStringList RuleTexts(const THLRules& rules)
{
    QStringList texts;
    for (const THLRule& rule : rules.Rules) {
        texts << QString::fromLatin1(rule.Name + '=' + rule.Value);
    }
    return texts;
}

} // namespace

class TestHLPlayerRuleQuery : public QObject
{
    Q_OBJECT

private slots:
    void players_data();
    void players();
    void rules_data();
    void rules();
    void rulesCountNeverSizesTheList();
    void wrongHeaders();
    void truncatedAndRandomReplies();
    void endToEnd();
};

// The list ends at the count or at the last entry the datagram holds whole.
void TestHLPlayerRuleQuery::players_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("players");
    QTest::newRow("two players") << "\x02" + kAnn + kBob
                                 << QStringList{"1 Ann 12 89.5", "7 Bob -3 30"};
    QTest::newRow("count 0, entries ignored") << Bytes("\x00") + kAnn << QStringList{};
    QTest::newRow("count above the entries")
        << "\x05" + kAnn + kBob << QStringList{"1 Ann 12 89.5", "7 Bob -3 30"};
    QTest::newRow("name without its zero byte") << "\x02" + kAnn +
                                                       Bytes("\x02"
                                                             "Carl")
                                                << QStringList{"1 Ann 12 89.5"};
    QTest::newRow("entry cut in its time")
        << "\x02" + kAnn + kBob.left(kBob.size() - 1) << QStringList{"1 Ann 12 89.5"};
    QTest::newRow("no count") << QByteArray() << QStringList{};
}

void TestHLPlayerRuleQuery::players()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, players);
    THLPlayers result;
    QVERIFY(THLPlayerQuery::Decode({"10.0.0.1", 27015, 0, 0,
                                    "\xFF\xFF\xFF\xFF"
                                    "D" +
                                        body},
                                   result));
    QCOMPARE(PlayerTexts(result), players);
    QCOMPARE(result.Count, players.size());
}

void TestHLPlayerRuleQuery::rules_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("rules");
    QTest::newRow("value empty") << Bytes("\x02\x00"
                                          "a\0"
                                          "1\0b\0\0")
                                 << QStringList{"a=1", "b="};
    QTest::newRow("negative count") << Bytes("\xFF\xFF"
                                             "a\0"
                                             "1\0")
                                    << QStringList{};
    QTest::newRow("count above the pairs") << Bytes("\x05\x00"
                                                    "a\0"
                                                    "1\0b\0\0")
                                           << QStringList{"a=1", "b="};
    QTest::newRow("value without its zero byte") << Bytes("\x02\x00"
                                                          "a\0"
                                                          "1\0b\0"
                                                          "2")
                                                 << QStringList{"a=1"};
    QTest::newRow("count cut short") << Bytes("\x02") << QStringList{};
}

void TestHLPlayerRuleQuery::rules()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, rules);
    THLRules result;
    QVERIFY(THLRuleQuery::Decode({"10.0.0.1", 27015, 0, 0,
                                  "\xFF\xFF\xFF\xFF"
                                  "E" +
                                      body},
                                 result));
    QCOMPARE(RuleTexts(result), rules);
    QCOMPARE(result.Count, rules.size());
}

// A count of 32767 in a 20-byte datagram: the list is sized by the bytes.
void TestHLPlayerRuleQuery::rulesCountNeverSizesTheList()
{
    THLRules result;
    QVERIFY(THLRuleQuery::Decode({"10.0.0.1", 27015, 0, 0,
                                  Bytes("\xFF\xFF\xFF\xFF"
                                        "E\xFF\x7F"
                                        "a\0"
                                        "1\0b\0"
                                        "2\0cc\0"
                                        "3")},
                                 result));
    QCOMPARE(RuleTexts(result), (QStringList{"a=1", "b=2"}));
    QVERIFY(result.Rules.capacity() <= 8);
}

void TestHLPlayerRuleQuery::wrongHeaders()
{
    THLPlayers players;
    THLRules rules;
    for (const QByteArray& data :
         {QByteArray(), QByteArray("\xFF\xFF\xFF\xFF"), QByteArray("\xFF\xFF\xFF\xFFm\x00")}) {
        QVERIFY(!THLPlayerQuery::Decode({"10.0.0.1", 1, 0, 0, data}, players));
        QVERIFY(!THLRuleQuery::Decode({"10.0.0.1", 1, 0, 0, data}, rules));
    }
    QVERIFY(!THLPlayerQuery::Decode({"10.0.0.1", 1, 0, 0,
                                     "\xFF\xFF\xFF\xFF"
                                     "E\x00"},
                                    players));
    QVERIFY(!THLRuleQuery::Decode({"10.0.0.1", 1, 0, 0,
                                   "\xFF\xFF\xFF\xFF"
                                   "D\x00"},
                                  rules));
}

void TestHLPlayerRuleQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<THLPlayers>("\xFF\xFF\xFF\xFF"
                                       "D\x02" +
                                           kAnn + kBob,
                                       "\xFF\xFF\xFF\xFF"
                                       "D",
                                       THLPlayerQuery::Decode, [](const THLPlayers& result) {
                                           QCOMPARE(result.Count, result.Players.size());
                                       });
    FeedTruncatedAndRandom<THLRules>(Bytes("\xFF\xFF\xFF\xFF"
                                           "E\x02\x00"
                                           "mp_timelimit\0"
                                           "20\0a\0b\0"),
                                     "\xFF\xFF\xFF\xFF"
                                     "E",
                                     THLRuleQuery::Decode, [](const THLRules& result) {
                                         QCOMPARE(result.Count, result.Rules.size());
                                     });
}

void TestHLPlayerRuleQuery::endToEnd()
{
    TFakeUdpServer server;
    server.SetResponder([](const QByteArray& request) -> QList<QByteArray> {
        if (request.endsWith("players")) {
            return {"\xFF\xFF\xFF\xFF"
                    "D\x01" +
                    kBob};
        }
        return {Bytes("\xFF\xFF\xFF\xFF"
                      "E\x01\x00"
                      "mp_fraglimit\0"
                      "30\0")};
    });
    THLPlayerQuery qHLPlayer;
    const auto players = QueryOnce<THLPlayers>(qHLPlayer, server, 4);
    QVERIFY(players);
    QCOMPARE(PlayerTexts(*players), QStringList{"7 Bob -3 30"});
    QCOMPARE(players->Info.Tag, 4);

    THLRuleQuery qHLRule;
    const auto rules = QueryOnce<THLRules>(qHLRule, server, 5);
    QVERIFY(rules);
    QCOMPARE(RuleTexts(*rules), QStringList{"mp_fraglimit=30"});
    QCOMPARE(rules->Info.Tag, 5);
    QCOMPARE(server.Requests(),
             (QList<QByteArray>{"\xFF\xFF\xFF\xFFplayers", "\xFF\xFF\xFF\xFFrules"}));

    TFakeUdpServer wrong;
    wrong.SetReply("\xFF\xFF\xFF\xFF"
                   "m");
    for (const auto& error : {QueryError(qHLPlayer, wrong), QueryError(qHLRule, wrong)}) {
        QVERIFY(error);
        QCOMPARE(
            *error,
            std::pair(3, QStringLiteral("Received data, but it is not a valid Half-life packet.")));
    }
}

QTEST_GUILESS_MAIN(TestHLPlayerRuleQuery)
#include "tst_hlplayerrulequery.moc"
