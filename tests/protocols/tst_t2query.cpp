#include <QTest>

#include "decodertest.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"

namespace {

QByteArray P(const QByteArray& text)
{
    return char(text.size()) + text;
}

const QByteArray kPingHeader("\x10\x02\x00\x00\x00\x00", 6);
const QByteArray kInfoHeader("\x14\x02\x00\x00\x00\x00", 6);

// Everything before the text: flags, PlayerCount players of 32, 2 bots,
// cpu 400, and the two unused bytes.
QByteArray Settings(char flags, char players)
{
    const char counts[] = {flags, players, 32, 2, '\x90', '\x01'};
    return kInfoHeader + P("CTF") + P("Capture the Flag") + P("Katabatic") + QByteArray(counts, 6) +
           P("desc") + QByteArray(2, '\x7F');
}

QString Summary(const TT2Server& s)
{
    QStringList parts{QString::fromLatin1(s.GameType + '/' + s.MapType + '/' + s.Map),
                      QStringLiteral("%1%2%3%4")
                          .arg(s.Dedicated)
                          .arg(s.Password)
                          .arg(s.Tournament)
                          .arg(s.NoAliases),
                      QStringLiteral("%1/%2 bots %3 cpu %4")
                          .arg(s.PlayerCount)
                          .arg(s.MaxPlayers)
                          .arg(s.BotCount)
                          .arg(s.CPU),
                      QString::fromLatin1(s.Description),
                      QStringLiteral("teams %1").arg(s.TeamCount)};
    for (const auto& team : s.Teams) {
        parts << QString::fromLatin1(team.Name) + ':' + QString::number(team.Score);
    }
    for (const auto& player : s.Players) {
        parts << QString::fromLatin1(player.Name + '@' + player.Team) + ':' +
                     QString::number(player.Score);
    }
    return parts.join('|');
}

} // namespace

class TestT2Query : public QObject
{
    Q_OBJECT

private slots:
    void ping_data();
    void ping();
    void info_data();
    void info();
    void wrongHeaders();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestT2Query::ping_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("summary");
    QTest::newRow("full") << kPingHeader + P("VER3") +
                                 QByteArray("\x18\x00\x00\x00\xFF\xFF\xFF\xFF", 8) + P("Box")
                          << "VER3|24|4294967295|Box";
    // A number cut short is 0, and its bytes are not taken for the name.
    QTest::newRow("build number cut short")
        << kPingHeader + P("VER3") + QByteArray("\x18\x00\x00\x00\x02Bo", 7) << "VER3|24|0|";
    QTest::newRow("version cut short") << kPingHeader + "\x09"
                                                        "VER"
                                       << "VER|0|0|";
}

void TestT2Query::ping()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, summary);
    TT2PingReply reply;
    QVERIFY(TT2PingQuery::Decode({"10.0.0.1", 28000, 0, 0, data}, reply));
    QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                 .arg(QString::fromLatin1(reply.Version))
                 .arg(reply.MinNetProtocol)
                 .arg(reply.BuildVersion)
                 .arg(QString::fromLatin1(reply.HostName)),
             summary);
}

void TestT2Query::info_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("summary");
    const QString head = "CTF/Capture the Flag/Katabatic|";
    const QString counts = "|3/32 bots 2 cpu 400|desc|";
    QTest::newRow("full reply")
        << Settings('\xC3', 3) + "2\nStorm\t10\nInferno\t-3\n3\n"
                                 "\x10\x0E"
                                 "Bot\x11\tStorm\t5\nAnn\x7F\tInferno\t 7\x01\n\tStorm\t\n"
        << head + "1111" + counts +
               "teams 2|Storm:10|Inferno:-3|Bot@Storm:5|Ann@Inferno:7|@Storm:0";
    QTest::newRow("unused flag bits") << Settings('\x3C', 3) + "0\n"
                                      << head + "0000" + counts + "teams 0";
    QTest::newRow("team count not a number") << Settings(1, 3) + "two\nStorm\t1\nInferno\t2\n"
                                             << head + "1000" + counts + "teams 1|Storm:1";
    QTest::newRow("team count above the lines")
        << Settings(1, 3) + "4\nStorm\t1\nInferno"
        << head + "1000" + counts + "teams 2|Storm:1|Inferno:0";
    QTest::newRow("player count 0 ignores the lines")
        << Settings(1, 0) + "1\nA\t1\n-\nAnn\tA\t3\n"
        << head + "1000|0/32 bots 2 cpu 400|desc|teams 1|A:1";
    // Lines, not the count, make the players; a field that is missing is
    // empty or 0, never the line again.
    QTest::newRow("last line without line feed, empty line, line without tabs")
        << Settings(1, 1) + "0\n-\nAnn\tA\t3\n\nBob"
        << head + "1000|1/32 bots 2 cpu 400|desc|teams 0|Ann@A:3|@:0|Bob@:0";
    QTest::newRow("trailing line feed adds no player")
        << Settings(1, 1) + "0\n-\nAnn\tA\t3\n"
        << head + "1000|1/32 bots 2 cpu 400|desc|teams 0|Ann@A:3";
    QTest::newRow("ends in the unused bytes")
        << Settings(1, 1).chopped(1) << head + "1000|1/32 bots 2 cpu 400|desc|teams 0";
    QTest::newRow("ends after the flags") << kInfoHeader + P("a") + P("b") + P("c") + "\x02"
                                          << "a/b/c|0100|0/0 bots 0 cpu 0||teams 0";
}

void TestT2Query::info()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, summary);
    TT2Server server;
    QVERIFY(TT2Query::Decode({"10.0.0.1", 28000, 0, 0, data}, server));
    QCOMPARE(Summary(server), summary);
}

void TestT2Query::wrongHeaders()
{
    TT2PingReply ping;
    TT2Server server;
    for (const QByteArray& data :
         {QByteArray(), kPingHeader.left(5), QByteArray("\x10\x02\x00\x00\x00\x01", 6)}) {
        QVERIFY(!TT2PingQuery::Decode({"10.0.0.1", 1, 0, 0, data}, ping));
        QVERIFY(!TT2Query::Decode({"10.0.0.1", 1, 0, 0, data}, server));
    }
    QVERIFY(!TT2PingQuery::Decode({"10.0.0.1", 1, 0, 0, kInfoHeader}, ping));
    QVERIFY(TT2PingQuery::Decode({"10.0.0.1", 1, 0, 0, kPingHeader}, ping));
}

void TestT2Query::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<TT2PingReply>(kPingHeader + P("VER3") + QByteArray(8, '\x01') + P("Box"),
                                         kPingHeader, TT2PingQuery::Decode,
                                         [](const TT2PingReply&) {});
    FeedTruncatedAndRandom<TT2Server>(
        Settings(1, 2) + "2\nA\t1\nB\t2\n2\nAnn\tA\t3\nBob\tB\t4\n", kInfoHeader, TT2Query::Decode,
        [](const TT2Server& server) { QCOMPARE(server.TeamCount, server.Teams.size()); });
}

// The ping reply names the server; the info query then goes to the same
// address and port, as the main window chains them.
void TestT2Query::endToEnd()
{
    TFakeUdpServer server;
    server.SetResponder([](const QByteArray& request) -> QList<QByteArray> {
        if (request.startsWith('\x0E')) {
            return {kPingHeader + P("VER3") + QByteArray(8, '\x00') + P("T2 Loop")};
        }
        return {Settings(1, 1) + "1\nStorm\t4\n-\nAnn\tStorm\t2\n"};
    });
    TT2PingQuery qT2Ping;
    const auto ping = QueryOnce<TT2PingReply>(qT2Ping, server, 3);
    QVERIFY(ping);
    QCOMPARE(ping->HostName, QByteArray("T2 Loop"));
    QCOMPARE(ping->Info.Tag, 3);

    TT2Query qT2;
    const auto info = QueryOnce<TT2Server>(qT2, server, ping->Info.Tag);
    QVERIFY(info);
    QCOMPARE(Summary(*info).section('|', 4), "teams 1|Storm:4|Ann@Storm:2");
    QCOMPARE(info->Info.Tag, 3);
    QCOMPARE(server.Requests(), (QList<QByteArray>{QByteArray("\x0E\x02\x00\x00\x00\x00", 6),
                                                   QByteArray("\x12\x02\x00\x00\x00\x00", 6)}));

    TFakeUdpServer wrong;
    wrong.SetReply(QByteArray("\x13\x02\x00\x00\x00\x00", 6));
    for (const auto& error : {QueryError(qT2Ping, wrong), QueryError(qT2, wrong)}) {
        QVERIFY(error);
        QCOMPARE(
            *error,
            std::pair(7, QStringLiteral("Received data, but it is not a valid Tribes 2 packet.")));
    }
}

QTEST_GUILESS_MAIN(TestT2Query)
#include "tst_t2query.moc"
