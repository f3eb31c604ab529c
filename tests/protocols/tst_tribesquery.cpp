#include <QTest>

#include "decodertest.h"
#include "protocols/tribesquery.h"

namespace {

QByteArray P(const QByteArray& text)
{
    return char(text.size()) + text;
}

const QByteArray kIdentity = "c**b" + P("Tribes");

// Everything up to the team count: version 1.11, a dedicated server without
// password, Players players of 32, cpu 400, and the mission texts.
QByteArray Settings(char players)
{
    return kIdentity + P("1.11") + P("Box") + QByteArray("\x01\x00", 2) + players +
           QByteArray("\x20\x90\x01", 3) + P("base") + P("CTF") + P("Raindance") + P("desc");
}

QByteArray Player(char ping, char loss, char team, const QByteArray& name)
{
    const char bytes[] = {ping, loss, team};
    return QByteArray(bytes, 3) + P(name) + P("%n\t%t\t%p\t%l");
}

// Two teams, and four players: on team 0, on team 1 with a name that holds
// placeholders, on team 255 and on team 2 (one past the teams).
const QByteArray kFull = Settings(4) + '\x02' + P("Team\t!Score") + P("Name\t!Team\t!Ping\t!PL") +
                         P("Blood Eagle") + P("%t\t\t 10 ") + P("Diamond Sword") + P("%t\t7") +
                         Player(25, 1, 0, "Ann") + Player(30, 0, 1, "%n%t%p") +
                         Player(10, 5, '\xFF', "Spy") + Player(1, 0, 2, "Late");

QStringList RowTexts(const THeaderArray& rows)
{
    QStringList texts;
    for (const THeader& row : rows) {
        texts << QString::fromLatin1(row.join('|'));
    }
    return texts;
}

} // namespace

class TestTribesQuery : public QObject
{
    Q_OBJECT

private slots:
    void splits_data();
    void splits();
    void fullReply();
    void shortReplies_data();
    void shortReplies();
    void wrongIdentity();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestTribesQuery::splits_data()
{
    QTest::addColumn<bool>("heading");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("columns");
    QTest::newRow("row, runs of tabs and blanks")
        << false << QByteArray(" a \t\t b \t") << QByteArray(" a |b");
    QTest::newRow("row without tab") << false << QByteArray(" x ") << QByteArray(" x ");
    QTest::newRow("row empty") << false << QByteArray() << QByteArray();
    QTest::newRow("heading, prefixes dropped")
        << true << QByteArray("Name\t!Score\t#Ping") << QByteArray("Name|Score|Ping");
    QTest::newRow("heading without prefix loses a letter")
        << true << QByteArray("Name\tScore") << QByteArray("Name|core");
    QTest::newRow("heading without tab")
        << true << QByteArray("Team Name") << QByteArray("Team Name");
}

void TestTribesQuery::splits()
{
    QFETCH(bool, heading);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, columns);
    const THeader split = heading ? TTribesQuery::HeadingSplit(line) : TTribesQuery::RowSplit(line);
    QCOMPARE(split.join('|'), columns);
    QCOMPARE(split.isEmpty(), line.isEmpty());
}

void TestTribesQuery::fullReply()
{
    TTribesServer server;
    QVERIFY(TTribesQuery::Decode({"10.0.0.1", 28001, 0, 6, kFull}, server));
    QCOMPARE(server.Version, QByteArray("1.11"));
    QCOMPARE(server.HostName, QByteArray("Box"));
    QVERIFY(server.Dedicated);
    QVERIFY(!server.Password);
    QCOMPARE(server.CPU, 400);
    QCOMPARE(server.GameType + server.MapType + server.Map + server.Description,
             QByteArray("baseCTFRaindancedesc"));
    QCOMPARE(server.Teams.Count, 2);
    QCOMPARE(server.Teams.Header, (THeader{"Team", "Score"}));
    QCOMPARE(RowTexts(server.Teams.Rows), (QStringList{"Blood Eagle|10", "Diamond Sword|7"}));
    QCOMPARE(server.Players.Count, 4);
    QCOMPARE(server.Players.Max, 32);
    QCOMPARE(server.Players.Header, (THeader{"Name", "Team", "Ping", "PL"}));
    // A name is inserted as it is: its own placeholders are not expanded.
    QCOMPARE(RowTexts(server.Players.Rows),
             (QStringList{"Ann|Blood Eagle|100|1", "%n%t%p|Diamond Sword|120|0",
                          "Spy|Observer|40|5", "Late|Observer|4|0"}));
    QCOMPARE(server.Info.Tag, 6);
}

// The tables hold the entries the datagram holds whole; counts stay as
// announced.
void TestTribesQuery::shortReplies_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("teamCount");
    QTest::addColumn<QStringList>("teams");
    QTest::addColumn<int>("playerCount");
    QTest::addColumn<QStringList>("players");
    QTest::newRow("identity and game name only")
        << kIdentity << 0 << QStringList{} << 0 << QStringList{};
    QTest::newRow("team count above the teams")
        << Settings(0) + '\x05' + P("T") + P("P") + P("Red") + P("%t\t1") << 5
        << QStringList{"Red|1"} << 0 << QStringList{};
    QTest::newRow("player count above the players")
        << Settings(9) + '\x01' + P("T") + P("P") + P("Red") + P("%t\t1") + Player(1, 0, 0, "Ann")
        << 1 << QStringList{"Red|1"} << 9 << QStringList{"Ann|Red|4|0"};
    QTest::newRow("player line cut short")
        << Settings(2) + '\x01' + P("T") + P("P") + P("Red") + P("%t") + Player(1, 0, 0, "Ann") +
               Player(2, 0, 0, "Bob").chopped(1)
        << 1 << QStringList{"Red"} << 2 << QStringList{"Ann|Red|4|0"};
    QTest::newRow("team name cut short: no player read")
        << Settings(1) + '\x02' + P("T") + P("P") + P("Red") + P("%t") + '\x09' + "Blu" +
               Player(1, 0, 0, "Ann")
        << 2 << QStringList{"Red"} << 1 << QStringList{};
    QTest::newRow("description cut short")
        << kIdentity + P("1.11") + P("Box") + QByteArray("\x01\x00\x03\x10\x00\x00", 6) + P("b") +
               P("c") + P("m") +
               "\x20"
               "de"
        << 0 << QStringList{} << 3 << QStringList{};
}

void TestTribesQuery::shortReplies()
{
    QFETCH(QByteArray, data);
    QFETCH(int, teamCount);
    QFETCH(QStringList, teams);
    QFETCH(int, playerCount);
    QFETCH(QStringList, players);
    TTribesServer server;
    QVERIFY(TTribesQuery::Decode({"10.0.0.1", 28001, 0, 0, data}, server));
    QCOMPARE(server.Teams.Count, teamCount);
    QCOMPARE(RowTexts(server.Teams.Rows), teams);
    QCOMPARE(server.Players.Count, playerCount);
    QCOMPARE(RowTexts(server.Players.Rows), players);
}

void TestTribesQuery::wrongIdentity()
{
    TTribesServer server;
    for (const QByteArray& data :
         {QByteArray(), QByteArray("c**"), "c**a" + P("Tribes"), "c**b" + P("tribes"),
          "c**b" + P("Tribes2"), QByteArray("c**b\x06Trib")}) {
        QVERIFY(!TTribesQuery::Decode({"10.0.0.1", 1, 0, 0, data}, server));
    }
}

void TestTribesQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<TTribesServer>(
        kFull, kIdentity, TTribesQuery::Decode, [](const TTribesServer& server) {
            QVERIFY(server.Teams.Rows.size() <= server.Teams.Count);
            QVERIFY(server.Players.Rows.size() <= server.Players.Count);
        });
}

void TestTribesQuery::endToEnd()
{
    TFakeUdpServer server;
    server.SetReply(kFull);
    TTribesQuery qTribes;
    const auto result = QueryOnce<TTribesServer>(qTribes, server, 9);
    QVERIFY(result);
    QCOMPARE(server.Requests().value(0), QByteArray("b**"));
    QCOMPARE(result->HostName, QByteArray("Box"));
    QCOMPARE(result->Players.Rows.size(), 4);
    QCOMPARE(result->Info.Tag, 9);

    server.SetReply("c**b" + P("Starsiege"));
    const auto error = QueryError(qTribes, server);
    QVERIFY(error);
    QCOMPARE(*error,
             std::pair(1, QStringLiteral("Received data, but it is not a valid Tribes packet.")));
}

QTEST_GUILESS_MAIN(TestTribesQuery)
#include "tst_tribesquery.moc"
