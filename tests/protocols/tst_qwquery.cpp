#include <QTest>

#include "decodertest.h"
#include "protocols/qwquery.h"

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFFn\\", 6);

QStringList PlayerTexts(const QList<TQWServer::TPlayer>& players)
{
    QStringList texts;
    for (const auto& p : players) {
        texts << QStringLiteral("%1 %2 %3 %4 [%5] [%6] %7 %8")
                     .arg(p.UserID)
                     .arg(p.Frags)
                     .arg(p.Time)
                     .arg(p.Ping)
                     .arg(QString::fromLatin1(p.Name), QString::fromLatin1(p.Skin))
                     .arg(p.TopColor)
                     .arg(p.BottomColor);
    }
    return texts;
}

} // namespace

class TestQWQuery : public QObject
{
    Q_OBJECT

private slots:
    void translateName_data();
    void translateName();
    void decode_data();
    void decode();
    void rules();
    void wrongHeader();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestQWQuery::translateName_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("digits, edges included") << QByteArray("\x11\x12\x16\x1B\x1C")
                                            << QByteArray("\x11"
                                                          "049\x1C");
    QTest::newRow("brackets") << QByteArray("\x90\xDB\x91\xDD\xDC") << QByteArray("[[]]\xDC");
    QTest::newRow("high letters") << QByteArray("\xC0\xC1\xDA\xE0\xE1\xFA\xFB")
                                  << QByteArray("\xC0"
                                                "AZ\xE0"
                                                "az\xFB");
    QTest::newRow("plain text unchanged") << QByteArray("Ab 1") << QByteArray("Ab 1");
}

void TestQWQuery::translateName()
{
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, name);
    QCOMPARE(TQWQuery::TranslateName(raw), name);
}

void TestQWQuery::decode_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QStringList>("players");
    QTest::newRow("full line, high-set name")
        << QByteArray("5 12 30 45 \"\xC1\xE2\" \"base\" 4 11\n")
        << QStringList{"5 12 30 45 [Ab] [base] 4 11"};
    // A missing field is 0 or empty; no field is read twice.
    QTest::newRow("numbers only") << QByteArray("7 3\n") << QStringList{"7 3 0 0 [] [] 0 0"};
    QTest::newRow("name without closing quote")
        << QByteArray("1 2 3 4 \"Bob\n") << QStringList{"1 2 3 4 [Bob] [] 0 0"};
    QTest::newRow("no colours") << QByteArray("1 2 3 4 \"a b\" \"x\"\n")
                                << QStringList{"1 2 3 4 [a b] [x] 0 0"};
    QTest::newRow("skin is not translated")
        << QByteArray("1 0 0 0 \"\x12\" \"\x12\" 0 0\n") << QStringList{"1 0 0 0 [0] [\x12] 0 0"};
    QTest::newRow("text after the last line feed ignored")
        << QByteArray("1 1 1 1 \"a\" \"b\" 1 1\n2 2 2") << QStringList{"1 1 1 1 [a] [b] 1 1"};
}

void TestQWQuery::decode()
{
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, players);
    TQWServer server;
    QVERIFY(TQWQuery::Decode({"10.0.0.1", 27500, 9, 2, kHeader + "map\\e1m1\n" + lines}, server));
    QCOMPARE(PlayerTexts(server.Players), players);
    QCOMPARE(server.PlayerCount, players.size());
    QCOMPARE(server.Map, QByteArray("e1m1"));
}

void TestQWQuery::rules()
{
    TQWServer server;
    QVERIFY(TQWQuery::Decode({"10.0.0.1", 27500, 9, 2,
                              kHeader + "maxclients\\16\\hostname\\^Box\\map\\dm6\\*gamedir\\qw\\"
                                        "*version\\2.40\\*progs\\666\\*progs\\x\n"},
                             server));
    QCOMPARE(server.RuleCount, 7);
    QCOMPARE(server.MaxPlayers, 16);
    QCOMPARE(server.Name, QByteArray("^Box"));
    QCOMPARE(server.GameDir, QByteArray("qw"));
    QCOMPARE(server.Version, QByteArray("2.40"));
    QCOMPARE(server.Progs, 666);

    QVERIFY(TQWQuery::Decode({"10.0.0.1", 1, 0, 0, kHeader + "*progs\\0x29a\n"}, server));
    QCOMPARE(server.Progs, 0);
}

void TestQWQuery::wrongHeader()
{
    TQWServer server;
    for (const QByteArray& data : {QByteArray(), QByteArray("\xFF\xFF\xFF\xFF"),
                                   QByteArray("\xFF\xFF\xFF\xFFprint\n\\a\\b\n")}) {
        QVERIFY(!TQWQuery::Decode({"10.0.0.1", 1, 0, 0, data}, server));
    }
}

void TestQWQuery::truncatedAndRandomReplies()
{
    const QByteArray full = kHeader +
                            "hostname\\Box\\maxclients\\8\n"
                            "5 12 30 45 \"\xC1\xE2\" \"base\" 4 11\n1 2 3 4 \"b\" \"c\" 0 1\n";
    FeedTruncatedAndRandom<TQWServer>(full, kHeader.left(5), TQWQuery::Decode,
                                      [](const TQWServer& server) {
                                          QCOMPARE(server.RuleCount, server.Rules.size());
                                          QCOMPARE(server.PlayerCount, server.Players.size());
                                      });
}

void TestQWQuery::endToEnd()
{
    TFakeUdpServer server;
    server.SetReply(kHeader + "hostname\\QW Loop\\map\\dm4\n2 5 10 40 \"\xD1\" \"base\" 1 2\n");
    TQWQuery query;
    const auto result = QueryOnce<TQWServer>(query, server, 31);
    QVERIFY(result);
    QCOMPARE(server.Requests().value(0), QByteArray("\xFF\xFF\xFF\xFFstatus"));
    QCOMPARE(result->Name, QByteArray("QW Loop"));
    QCOMPARE(PlayerTexts(result->Players), QStringList{"2 5 10 40 [Q] [base] 1 2"});
    QCOMPARE(result->Info.Tag, 31);

    server.SetReply("\xFF\xFF\xFF\xFFprint\n\\a\\b\n");
    const auto error = QueryError(query, server);
    QVERIFY(error);
    QCOMPARE(*error, std::pair(6, QStringLiteral(
                                      "Received data, but it is not a valid QuakeWorld packet.")));
}

QTEST_GUILESS_MAIN(TestQWQuery)
#include "tst_qwquery.moc"
