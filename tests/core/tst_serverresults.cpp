#include <QTest>

#include "core/serverresults.h"
#include "tempappfolder.h"

class TestServerResults : public QObject
{
    Q_OBJECT

private slots:
    void cleanServerName_data();
    void cleanServerName();
    void splitHostPort_data();
    void splitHostPort();
    void halfLifeMinutes_data();
    void halfLifeMinutes();
    void tribesTables();

private:
    TTempAppFolder Folder_;
};

void TestServerResults::cleanServerName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("clean");
    QTest::newRow("plain") << QByteArray("Plain Name") << QByteArray("Plain Name");
    QTest::newRow("blanks and controls around")
        << QByteArray(" \x01\t Name \r\n") << QByteArray("Name");
    QTest::newRow("tabs inside") << QByteArray("A\tB\t\tC") << QByteArray("ABC");
    QTest::newRow("colour bytes") << QByteArray("\x02Red\x7F\x80"
                                                "Base\xFF")
                                  << QByteArray("RedBase");
    // Trimming comes first: a blank before a high byte at the end stays.
    QTest::newRow("high byte at the end") << QByteArray("Name \xE9") << QByteArray("Name ");
    QTest::newRow("nothing printable") << QByteArray("\x01\x02\xFF") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestServerResults::cleanServerName()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, clean);
    QCOMPARE(CleanServerName(name), clean);
}

void TestServerResults::splitHostPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("defaultPort");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("host and port") << "10.0.0.1:27960" << 1 << "10.0.0.1" << 27960;
    QTest::newRow("no colon") << "server.example.org" << 27015 << "server.example.org" << 27015;
    QTest::newRow("port not a number") << "host:abc" << 28001 << "host" << 28001;
    QTest::newRow("empty port") << "host:" << 5 << "host" << 5;
    QTest::newRow("last colon counts") << "a:b:1234" << 0 << "a:b" << 1234;
    QTest::newRow("only a colon") << ":" << 7 << "" << 7;
}

void TestServerResults::splitHostPort()
{
    QFETCH(QString, text);
    QFETCH(int, defaultPort);
    QFETCH(QString, host);
    QFETCH(int, port);
    QCOMPARE(SplitHostPort(text, defaultPort), port);
    QCOMPARE(text, host);
}

void TestServerResults::halfLifeMinutes_data()
{
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QByteArray>("minutes");
    QTest::newRow("89 s") << 89.0f << QByteArray("1");
    QTest::newRow("90 s, half to even") << 90.0f << QByteArray("2");
    QTest::newRow("150 s, half to even") << 150.0f << QByteArray("2");
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << QByteArray("0");
    QTest::newRow("beyond any count") << 3e38f << QByteArray("0");
}

void TestServerResults::halfLifeMinutes()
{
    QFETCH(float, seconds);
    QFETCH(QByteArray, minutes);
    auto server = TGenericServer::Create(Folder_.Path());
    THLPlayers reply;
    reply.Count = 1;
    reply.Players = {{0, "Ace", 3, seconds}};
    ApplyHLPlayersReply(*server, reply);
    QCOMPARE(server->PlayerTable,
             (TServerTable{{"Name", "Score", "Time (mins)"}, {"Ace", "3", minutes}}));
}

void TestServerResults::tribesTables()
{
    auto server = TGenericServer::Create(Folder_.Path());
    server->TeamTable = {{"kept"}};
    TTribesServer reply;
    reply.Players.Header = {"Name", "Ping"};
    reply.Players.Rows = {{"Ace", "100", "extra"}, {"Solo"}};
    reply.Teams.Count = 1;
    reply.Teams.Header = {"Team"};
    reply.Teams.Rows = {{"Blue"}};
    ApplyTribesReply(*server, reply);
    // Rows get exactly as many cells as there are headings.
    QCOMPARE(server->PlayerTable, (TServerTable{{"Name", "Ping"}, {"Ace", "100"}, {"Solo", ""}}));
    // One team leaves the team table as it was; two replace it.
    QCOMPARE(server->TeamTable, TServerTable{{"kept"}});
    reply.Teams.Count = 2;
    reply.Teams.Rows = {{"Blue", "5"}, {"Red"}};
    ApplyTribesReply(*server, reply);
    QCOMPARE(server->TeamTable, (TServerTable{{"Team"}, {"Blue"}, {"Red"}}));
    QCOMPARE(server->Rules.size(), 11);
}

QTEST_GUILESS_MAIN(TestServerResults)
#include "tst_serverresults.moc"
