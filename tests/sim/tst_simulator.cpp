#include <QJsonArray>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "simulator.h"
#include "testutil.h"
#include "wire/consolewire.h"

namespace {

// A console client on loopback: sends a datagram to a server and returns
// the first answer.
class TClient
{
public:
    TClient() { Socket_.bind(QHostAddress::LocalHost, 0); }

    QByteArray Ask(std::uint16_t port, const QByteArray& datagram)
    {
        Socket_.writeDatagram(datagram, QHostAddress::LocalHost, port);
        if (!QTest::qWaitFor([&] { return Socket_.hasPendingDatagrams(); }, 5000)) {
            return {};
        }
        return Socket_.receiveDatagram().data();
    }

    std::uint16_t Port() const { return Socket_.localPort(); }
    QUdpSocket& Socket() { return Socket_; }

private:
    QUdpSocket Socket_;
};

TSimConfig OneOf(TGameType game)
{
    TSimConfig config;
    config.Servers = {{game, 1}};
    config.ServerOptions.RconPassword = "pw";
    return config;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void boundDocument();
    void halfLifeConsole();
    void quake3Console();
    void fixedMasterPortInUse();
};

void TestSimulator::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("counts"); // game=servers after a good parse

    QTest::newRow("defaults") << QStringList{} << QString()
                              << "sof=5 sin=5 heretic2=5 tribes=5 t2=5 hl=5 q3=5 qw=5 q2=5 "
                                 "kingpin=5";
    QTest::newRow("games and counts")
        << QStringList{"--games", "q3,Half-Life", "--servers", "2", "--count", "q3=7"} << QString()
        << "hl=2 q3=7";
    QTest::newRow("count adds a game")
        << QStringList{"--games", "qw", "--count", "t2=1"} << QString() << "t2=1 qw=5";
    QTest::newRow("unknown game") << QStringList{"--games", "q3,doom"} << "unknown game 'doom'"
                                  << QString();
    QTest::newRow("missing value")
        << QStringList{"--servers"} << "--servers needs a value" << QString();
    QTest::newRow("bad mix") << QStringList{"--mix", "answer=1,lazy=2"} << "--mix takes"
                             << QString();
    QTest::newRow("mix of zeros") << QStringList{"--mix", "answer=0"} << "at least one weight"
                                  << QString();
    QTest::newRow("loss above 1") << QStringList{"--loss", "1.5"} << "--loss takes" << QString();
    QTest::newRow("master of a game without one")
        << QStringList{"--master-port", "q2=27900"} << "--master-port takes" << QString();
    QTest::newRow("full cycle in words")
        << QStringList{"--full-cycle-ms", "soon"} << "--full-cycle-ms takes" << QString();
    QTest::newRow("full cycle") << QStringList{"--full-cycle-ms", "5000", "--games", "q3"}
                                << QString() << "q3=5";
    QTest::newRow("unknown option")
        << QStringList{"--fast"} << "unknown option '--fast'" << QString();
}

void TestSimulator::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, counts);
    TSimConfig config;
    QString message;
    bool help = false;
    QCOMPARE(ParseSimArguments(arguments, config, message, help), error.isEmpty());
    QVERIFY2(message.contains(error), qPrintable(message));
    if (error.isEmpty()) {
        QStringList found;
        for (auto it = config.Servers.cbegin(); it != config.Servers.cend(); ++it) {
            found << QStringLiteral("%1=%2")
                         .arg(QLatin1String(GameInfo(it.key())->ShortName))
                         .arg(it.value());
        }
        QCOMPARE(found.join(u' '), counts);
    }
}

void TestSimulator::boundDocument()
{
    TSimConfig config;
    config.Servers = {{gtQuake3, 3}, {gtHalfLife, 2}, {gtQuake2, 1}};
    config.Mix = {{TSimBehaviour::Silent, 1}};
    TSimulator simulator(config);
    QString error;
    QVERIFY2(simulator.Start(error), qPrintable(error));
    const QJsonObject document = simulator.BoundDocument();
    const QJsonArray servers = document["servers"].toArray();
    QCOMPARE(servers.size(), 6);
    for (qsizetype i = 0; i < servers.size(); ++i) {
        QCOMPARE(servers[i]["port"].toInt(), simulator.Servers()[i]->Port());
        QCOMPARE(servers[i]["behaviour"].toString(), QStringLiteral("silent"));
        QCOMPARE(servers[i]["host"].toString(), QStringLiteral("127.0.0.1"));
    }
    // Each master lists the servers of its game; Quake 2 has none.
    const QJsonArray masters = document["masters"].toArray();
    QCOMPARE(masters.size(), 4);
    QStringList listed;
    for (const QJsonValue& master : masters) {
        QVERIFY(master["port"].toInt() > 0);
        listed << master["game"].toString() + u'=' + QString::number(master["servers"].toInt());
    }
    QCOMPARE(listed, (QStringList{"hl=2", "q3=3", "tribes=0", "t2=0"}));
}

void TestSimulator::halfLifeConsole()
{
    TSimulator simulator(OneOf(gtHalfLife));
    QString error;
    QVERIFY(simulator.Start(error));
    TSimServer* server = simulator.Servers().first();
    TClient client;
    const QByteArray oob("\xFF\xFF\xFF\xFF");

    const QByteArray challengeReply = client.Ask(server->Port(), oob + "challenge rcon\n");
    QVERIFY(challengeReply.startsWith(oob + "challenge rcon "));
    const QByteArray challenge = challengeReply.mid(19).split('\n').first();
    QVERIFY(!challenge.isEmpty());

    QCOMPARE(client.Ask(server->Port(), oob + "rcon 1 \"pw\" status"),
             EncodeHLConsoleOutput("Bad challenge.\n"));
    QCOMPARE(client.Ask(server->Port(), oob + "rcon " + challenge + " \"nope\" status"),
             EncodeHLConsoleOutput("Bad rcon_password.\n"));

    // The log stream goes to the address the console names.
    TClient log;
    client.Ask(server->Port(), oob + "rcon " + challenge + " \"pw\" logaddress 127.0.0.1 " +
                                   QByteArray::number(log.Port()));
    client.Ask(server->Port(), oob + "rcon " + challenge + " \"pw\" log on");
    QTRY_VERIFY_WITH_TIMEOUT(log.Socket().hasPendingDatagrams(), 5000);
    QVERIFY(log.Socket().receiveDatagram().data().startsWith(oob + "log L "));

    const QByteArray map = SimMaps(gtHalfLife).last();
    QCOMPARE(client.Ask(server->Port(), oob + "rcon " + challenge + " \"pw\" map " + map),
             EncodeHLConsoleOutput("Changing map to " + map + "\n"));
    QTRY_VERIFY_WITH_TIMEOUT(log.Socket().hasPendingDatagrams(), 5000);

    // The next details reply shows the new map.
    THLInfo info;
    QVERIFY(THLInfoQuery::Decode({{}, 0, 0, 0, client.Ask(server->Port(), oob + "details")}, info));
    QCOMPARE(info.Map, map);
}

void TestSimulator::quake3Console()
{
    TSimulator simulator(OneOf(gtQuake3));
    QString error;
    QVERIFY(simulator.Start(error));
    const std::uint16_t port = simulator.Servers().first()->Port();
    TClient client;
    const QByteArray oob("\xFF\xFF\xFF\xFF");
    QCOMPARE(client.Ask(port, oob + "rcon \"wrong\" map q3dm1"),
             EncodeQ3ConsoleOutput("Bad rconpassword.\n"));
    QCOMPARE(client.Ask(port, oob + "rcon \"pw\" map nowhere"),
             EncodeQ3ConsoleOutput("map change failed: 'nowhere' not found on server.\n"));
    QCOMPARE(client.Ask(port, oob + "rcon \"pw\" sv_hostname Renamed"),
             EncodeQ3ConsoleOutput("\"sv_hostname\" changed to \"Renamed\"\n"));
    TQ3AServer status;
    QVERIFY(TQ3AQuery::Decode({{}, 0, 0, 0, client.Ask(port, oob + "getstatus")}, status));
    QCOMPARE(status.Name, QByteArray("Renamed"));
}

void TestSimulator::fixedMasterPortInUse()
{
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    TSimConfig config = OneOf(gtQuake3);
    config.MasterPorts[TMasterProtocol::Quake3] = taken.localPort();
    TSimulator simulator(config);
    QString error;
    QVERIFY(!simulator.Start(error));
    QVERIFY2(error.contains(QStringLiteral("Quake 3 master")), qPrintable(error));
    QVERIFY2(error.contains(QString::number(taken.localPort())), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
