#include <QTest>

#include "decodertest.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "testutil.h"

namespace {

// Slot 1 "Ann", score 12, 89.5 s; slot 7 "Bob", score -3, 30 s.
const QByteArray kAnn = '\x01' + Bytes("Ann\0\x0C\0\0\0\0\0\xB3\x42");
const QByteArray kBob = '\x07' + Bytes("Bob\0\xFD\xFF\xFF\xFF\0\0\xF0\x41");
const QByteArray kD = QByteArray(4, '\xFF') + 'D';
const QByteArray kE = QByteArray(4, '\xFF') + 'E';

// Both decoders' view of Data: count and players, then count and rules; "-"
// for a decoder that refuses it.
QByteArray Summary(const QByteArray& data)
{
    THLPlayers p;
    THLRules r;
    QByteArray text =
        THLPlayerQuery::Decode({"10.0.0.1", 1, 0, 0, data}, p) ? QByteArray::number(p.Count) : "-";
    for (const auto& player : p.Players) {
        text += Format(",%d %s %d %g", player.Index, player.Name.data(), player.Score, player.Time);
    }
    text += THLRuleQuery::Decode({"10.0.0.1", 1, 0, 0, data}, r) ? " " + QByteArray::number(r.Count)
                                                                 : " -";
    for (const THLRule& rule : r.Rules) {
        text += ',' + rule.Name + '=' + rule.Value;
    }
    return text;
}

} // namespace

class TestHLPlayerRuleQuery : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void rulesCountNeverSizesTheList();
    void truncatedAndRandomReplies();
    void endToEnd();
};

// Count is the number announced; the list holds what the datagram carries up
// to it, an entry cut off at the end keeping what arrived.
void TestHLPlayerRuleQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    QTest::newRow("two players") << kD + '\x02' + kAnn + kBob
                                 << QByteArray("2,1 Ann 12 89.5,7 Bob -3 30 -");
    QTest::newRow("player count 0") << kD + '\0' + kAnn << QByteArray("0 -");
    QTest::newRow("count above the players, last one cut short")
        << kD + '\x05' + kAnn + kBob.chopped(1) << QByteArray("5,1 Ann 12 89.5,7 Bob -3 0 -");
    QTest::newRow("name without its zero byte takes the rest")
        << kD + '\x02' + kAnn + '\x02' + "Carl" << QByteArray("2,1 Ann 12 89.5,2 Carl 0 0 -");
    QTest::newRow("only the slot of the last player")
        << kD + '\x03' + kBob + '\x09' << QByteArray("3,7 Bob -3 30,9  0 0 -");
    QTest::newRow("count below the players")
        << kD + '\x01' + kAnn + kBob << QByteArray("1,1 Ann 12 89.5 -");
    QTest::newRow("empty value") << kE + Bytes("\x02\0mp\0x\0sv\0\0") << QByteArray("- 2,mp=x,sv=");
    QTest::newRow("negative rule count") << kE + Bytes("\xFF\xFFmp\0x\0") << QByteArray("- -1");
    QTest::newRow("count above the pairs, value without its zero byte")
        << kE + Bytes("\x05\0mp\0x\0sv\0y") << QByteArray("- 5,mp=x,sv=y");
    QTest::newRow("name without its zero byte")
        << kE + Bytes("\x05\0mp\0x\0s") << QByteArray("- 5,mp=x,s=");
    QTest::newRow("rule count cut short") << kE + '\x02' << QByteArray("- 0");
    QTest::newRow("details header") << QByteArray(4, '\xFF') + "m" + '\0' << QByteArray("- -");
}

void TestHLPlayerRuleQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    QCOMPARE(Summary(data), summary);
}

// A count of 32767 in a 19-byte datagram: the list is sized by the bytes,
// Count keeps the announced number.
void TestHLPlayerRuleQuery::rulesCountNeverSizesTheList()
{
    THLRules rules;
    QVERIFY(THLRuleQuery::Decode({"10.0.0.1", 1, 0, 0, kE + Bytes("\xFF\x7Fmp\0x\0sv\0y\0tt\0z")},
                                 rules));
    QCOMPARE(rules.Count, 32767);
    QCOMPARE(rules.Rules.size(), 3);
    QVERIFY(rules.Rules.capacity() <= 12);
}

void TestHLPlayerRuleQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<THLPlayers>(kD + '\x02' + kAnn + kBob, kD, THLPlayerQuery::Decode,
                                       [](const auto& s) { QVERIFY(s.Players.size() <= s.Count); });
    FeedTruncatedAndRandom<THLRules>(
        kE + Bytes("\x02\0mp_timelimit\0x\0sv\0y\0"), kE, THLRuleQuery::Decode,
        [](const auto& s) { QVERIFY(s.Rules.size() <= qMax<int>(0, s.Count)); });
}

void TestHLPlayerRuleQuery::endToEnd()
{
    std::optional<THLPlayers> players;
    std::optional<THLRules> rules;
    EndToEnd<THLPlayerQuery>(QByteArray(4, '\xFF') + "players", kD + '\x01' + kBob,
                             kE + Bytes("\0\0"), 3, "Half-life", players);
    EndToEnd<THLRuleQuery>(QByteArray(4, '\xFF') + "rules", kE + Bytes("\x01\0mp_fraglimit\0x\0"),
                           kD + '\0', 3, "Half-life", rules);
    QVERIFY(players && rules);
    QCOMPARE(players->Players.value(0).Name + rules->Rules.value(0).Value, "Bobx");
}

QTEST_GUILESS_MAIN(TestHLPlayerRuleQuery)
#include "tst_hlplayerrulequery.moc"
