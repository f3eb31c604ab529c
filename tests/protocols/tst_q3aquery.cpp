#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include "fakeudpserver.h"
#include "protocols/q3aquery.h"
#include "protocols/quaketext.h"

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFFstatusResponse\n\\", 20);

QStringList RuleTexts(const TRuleList& rules)
{
    QStringList texts;
    for (const TRule& rule : rules) {
        texts << QString::fromLatin1(rule.Name + '=' + rule.Value);
    }
    return texts;
}

QStringList PlayerTexts(const QList<TQ3AServer::TPlayer>& players)
{
    QStringList texts;
    for (const auto& player : players) {
        texts << QStringLiteral("%1|%2|%3")
                     .arg(player.Frags)
                     .arg(player.Ping)
                     .arg(QString::fromLatin1(player.Name));
    }
    return texts;
}

} // namespace

class TestQ3AQuery : public QObject
{
    Q_OBJECT

private slots:
    void request();
    void decode_data();
    void decode();
    void wrongHeader_data();
    void wrongHeader();
    void truncatedAndRandomReplies();
    void colourCodesAgreeWithRepeatedDeletion();
    void endToEnd();
    void errorEndToEnd();
};

void TestQ3AQuery::request()
{
    QCOMPARE(TQ3AQuery::Request(), QByteArray("\xFF\xFF\xFF\xFFgetstatus"));
    QCOMPARE(TQ3AQuery::Request().size(), 13);
}

void TestQ3AQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QStringList>("players");
    QTest::addColumn<int>("maxPlayers");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("map");

    QTest::newRow("name and map only")
        << kHeader + "sv_hostname\\^1Red^7 Base\\mapname\\q3dm17\n"
        << QStringList{"sv_hostname=^1Red^7 Base", "mapname=q3dm17"} << QStringList{} << 0
        << QByteArray("Red Base") << QByteArray("q3dm17");

    QTest::newRow("full reply")
        << kHeader + "sv_maxclients\\16\\gamename\\baseq3\\version\\Q3 1.32\\mapname\\q3tourney2\\"
                     "sv_hostname\\Duel\n12 45 \"^1Fragger\"\n0 999 \"Mr. ^aNobody\"\n"
        << QStringList{"sv_maxclients=16", "gamename=baseq3", "version=Q3 1.32",
                       "mapname=q3tourney2", "sv_hostname=Duel"}
        << QStringList{"12|45|Fragger", "0|999|Mr. ^aNobody"} << 16 << QByteArray("Duel")
        << QByteArray("q3tourney2");

    QTest::newRow("same key twice, first wins")
        << kHeader + "mapname\\first\\mapname\\second\n"
        << QStringList{"mapname=first", "mapname=second"} << QStringList{} << 0 << QByteArray()
        << QByteArray("first");

    QTest::newRow("maxclients not a number")
        << kHeader + "sv_maxclients\\lots\n"
        << QStringList{"sv_maxclients=lots"} << QStringList{} << 0 << QByteArray() << QByteArray();

    QTest::newRow("trailing key dropped, empty value kept")
        << kHeader + "a\\\\b\n"
        << QStringList{"a="} << QStringList{} << 0 << QByteArray() << QByteArray();

    // The two bytes after the header are skipped whatever they are.
    QTest::newRow("any two skipped bytes")
        << QByteArray("\xFF\xFF\xFF\xFFstatusResponseXYmapname\\dm1\n")
        << QStringList{"mapname=dm1"} << QStringList{} << 0 << QByteArray() << QByteArray("dm1");

    QTest::newRow("opening quote only keeps the line")
        << kHeader + "mapname\\m\n3 50 \"Half quoted\n"
        << QStringList{"mapname=m"} << QStringList{"3|50|\"Half quoted"} << 0 << QByteArray()
        << QByteArray("m");

    QTest::newRow("last line without line feed is dropped")
        << kHeader + "mapname\\m\n1 2 \"a\"\n3 4 \"b\"" << QStringList{"mapname=m"}
        << QStringList{"1|2|a"} << 0 << QByteArray() << QByteArray("m");

    QTest::newRow("no line feed: rules of the whole rest, no players")
        << kHeader + "mapname\\m\\sv_hostname\\x" << QStringList{"mapname=m", "sv_hostname=x"}
        << QStringList{} << 0 << QByteArray("x") << QByteArray("m");

    QTest::newRow("header only") << QByteArray("\xFF\xFF\xFF\xFFstatusResponse") << QStringList{}
                                 << QStringList{} << 0 << QByteArray() << QByteArray();

    QTest::newRow("colour codes removed digit by digit")
        << kHeader + "sv_hostname\\^^12x^a^9\n"
        << QStringList{"sv_hostname=^^12x^a^9"} << QStringList{} << 0 << QByteArray("x^a")
        << QByteArray();

    QTest::newRow("player fields not numbers")
        << kHeader + "\nfrag lag \"p\"\n"
        << QStringList{} << QStringList{"0|0|p"} << 0 << QByteArray() << QByteArray();
}

void TestQ3AQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, rules);
    QFETCH(QStringList, players);
    QFETCH(int, maxPlayers);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, map);

    TQ3AServer server;
    QVERIFY(TQ3AQuery::Decode({"10.0.0.1", 27960, 33, 4, data}, server));
    QCOMPARE(RuleTexts(server.Rules), rules);
    QCOMPARE(server.RuleCount, rules.size());
    QCOMPARE(PlayerTexts(server.Players), players);
    QCOMPARE(server.PlayerCount, players.size());
    QCOMPARE(server.MaxPlayers, maxPlayers);
    QCOMPARE(server.Name, name);
    QCOMPARE(server.Map, map);
    QCOMPARE(server.Info.Data, data);
    QCOMPARE(server.Info.Tag, 4);
}

void TestQ3AQuery::wrongHeader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray("\xFF\xFF\xFF\xFFstatus");
    QTest::newRow("quake 2 print") << QByteArray("\xFF\xFF\xFF\xFFprint\n\\mapname\\q2dm1\n");
    QTest::newRow("case differs") << QByteArray("\xFF\xFF\xFF\xFFStatusResponse\n\\a\\b\n");
}

void TestQ3AQuery::wrongHeader()
{
    QFETCH(QByteArray, data);
    TQ3AServer server;
    QVERIFY(!TQ3AQuery::Decode({"10.0.0.1", 27960, 0, 0, data}, server));
}

void TestQ3AQuery::truncatedAndRandomReplies()
{
    // Every prefix of a full reply, and random tails after a valid header,
    // decode without reading past the end (the sanitizer build checks that)
    // and keep their counts equal to their lists.
    const QByteArray full = kHeader + "sv_maxclients\\8\\sv_hostname\\^3Box\\mapname\\q3dm6\n"
                                      "5 30 \"^2One\"\n7 60 \"Two\"\n";
    QRandomGenerator random(4242);
    QList<QByteArray> inputs;
    for (qsizetype n = 0; n <= full.size(); ++n) {
        inputs << full.left(n);
    }
    for (int i = 0; i < 2000; ++i) {
        QByteArray tail(int(random.bounded(64)), Qt::Uninitialized);
        for (char& c : tail) {
            c = char(random.bounded(256));
        }
        inputs << kHeader.left(18) + tail;
    }
    for (const QByteArray& data : inputs) {
        TQ3AServer server;
        if (TQ3AQuery::Decode({"10.0.0.1", 1, 0, 0, data}, server)) {
            QCOMPARE(server.RuleCount, server.Rules.size());
            QCOMPARE(server.PlayerCount, server.Players.size());
        }
    }
}

void TestQ3AQuery::colourCodesAgreeWithRepeatedDeletion()
{
    // The removal as the protocol describes it: for each digit in turn,
    // delete the first "^d" and search again from the start.
    const auto repeated = [](QByteArray text) {
        for (char digit = '0'; digit <= '9'; ++digit) {
            const char code[] = {'^', digit};
            for (qsizetype at = text.indexOf(QByteArrayView(code, 2)); at >= 0;
                 at = text.indexOf(QByteArrayView(code, 2))) {
                text.remove(at, 2);
            }
        }
        return text;
    };
    QRandomGenerator random(99);
    const QByteArray alphabet = "^^^0159a";
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        for (int i = int(random.bounded(12)); i > 0; --i) {
            text.append(alphabet[random.bounded(int(alphabet.size()))]);
        }
        QCOMPARE(RemoveColorCodes(text), repeated(text));
    }
}

void TestQ3AQuery::endToEnd()
{
    TFakeUdpServer server;
    server.SetReply(kHeader + "sv_hostname\\^1Loop\\mapname\\q3dm1\\sv_maxclients\\12\n"
                              "3 20 \"Ann\"\n");
    TQ3AQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy completed(&query, &TQ3AQuery::OnComplete);
    query.Query(77);
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 5000);
    QCOMPARE(server.Requests().value(0), TQ3AQuery::Request());

    const auto result = completed.first().at(0).value<TQ3AServer>();
    QCOMPARE(result.Name, QByteArray("Loop"));
    QCOMPARE(result.Map, QByteArray("q3dm1"));
    QCOMPARE(result.MaxPlayers, 12);
    QCOMPARE(result.PlayerCount, 1);
    QCOMPARE(result.Players.first().Name, QByteArray("Ann"));
    QCOMPARE(result.Info.Tag, 77);
    QCOMPARE(result.Info.Port, int(server.Port()));
}

void TestQ3AQuery::errorEndToEnd()
{
    TFakeUdpServer server;
    server.SetReply("\xFF\xFF\xFF\xFFprint\nnot quake 3");
    TQ3AQuery query;
    query.SetHostname(server.Address());
    query.SetPort(server.Port());
    QSignalSpy errors(&query, &TBasicQuery::OnError);
    QSignalSpy completed(&query, &TQ3AQuery::OnComplete);
    query.Query(1);
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(errors.first().at(0).toInt(), 4);
    QCOMPARE(errors.first().at(1).toString(),
             QStringLiteral("Received data, but it is not a valid Quake 3 Arena packet."));
    QCOMPARE(completed.count(), 0);
}

QTEST_GUILESS_MAIN(TestQ3AQuery)
#include "tst_q3aquery.moc"
