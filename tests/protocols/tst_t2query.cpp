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

// Everything before the text: Flags, Players players of 32, 2 bots, cpu 400,
// and the two unused bytes.
QByteArray Settings(char flags, char players)
{
    const char counts[] = {flags, players, 32, 2, '\x90', '\x01', '\x7F', '\x7F'};
    return kInfoHeader + P("CTF") + P("Capture") + P("Katabatic") + QByteArray(counts, 6) +
           P("desc") + QByteArray(counts + 6, 2);
}

QByteArray Summary(const TT2Server& s)
{
    QByteArray text =
        Format("%s/%s/%s %d%d%d%d %d/%d %d %d %s teams %d", s.GameType.data(), s.MapType.data(),
               s.Map.data(), s.Dedicated, s.Password, s.Tournament, s.NoAliases, s.PlayerCount,
               s.MaxPlayers, s.BotCount, s.CPU, s.Description.data(), s.TeamCount);
    for (const auto& team : s.Teams) {
        text += Format("|%s:%d", team.Name.data(), team.Score);
    }
    for (const auto& p : s.Players) {
        text += Format("|%s@%s:%d", p.Name.data(), p.Team.data(), p.Score);
    }
    return text;
}

} // namespace

class TestT2Query : public QObject
{
    Q_OBJECT

private slots:
    void ping();
    void info_data();
    void info();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestT2Query::ping()
{
    const auto text = [](const QByteArray& data) -> QByteArray {
        TT2PingReply r;
        return TT2PingQuery::Decode({"10.0.0.1", 1, 0, 0, data}, r)
                   ? Format("%s %u %u %s", r.Version.data(), r.MinNetProtocol, r.BuildVersion,
                            r.HostName.data())
                   : "-";
    };
    const QByteArray version = kPingHeader + P("VER3") + QByteArray("\x18\0\0\0", 4);
    QCOMPARE(text(version + "\xFF\xFF\xFF\xFF" + P("Box")), "VER3 24 4294967295 Box");
    // A number cut short is 0, and its bytes are not taken for the name.
    QCOMPARE(text(version + "\x02Ro"), "VER3 24 0 ");
    QCOMPARE(text(kInfoHeader + P("VER3")), "-");
}

void TestT2Query::info_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    const QByteArray head = "CTF/Capture/Katabatic ";
    // Names lose bytes outside 32 to 126, teams keep them; fields a line
    // lacks are empty or 0, never the line again.
    QTest::newRow("full reply")
        << Settings('\xC3', 3) + "2\nStorm\t10\nInferno\t-3\n3\n\x10\x0EZot\x11\tSt\x01\t5\n" +
               "Ann\x7F\tInferno\t 7\x01\nBob\n"
        << head +
               "1111 3/32 2 400 desc teams 2|Storm:10|Inferno:-3|Zot@St\x01:5|Ann@Inferno:7|Bob@:0";
    QTest::newRow("unused flag bits, no players") << Settings('\x3C', 0) + "0\n-\nAnn\tA\t3\n"
                                                  << head + "0000 0/32 2 400 desc teams 0";
    QTest::newRow("team count not a number") << Settings(1, 0) + "two\nStorm\t1\nInferno\t2\n"
                                             << head + "1000 0/32 2 400 desc teams 1|Storm:1";
    // The count is one byte: 258 announces two teams.
    QTest::newRow("team count above a byte")
        << Settings(1, 1) + "258\nStorm\t1\nInferno\t2\n-\nAnn\tStorm\t3"
        << head + "1000 1/32 2 400 desc teams 2|Storm:1|Inferno:2|Ann@Storm:3";
    QTest::newRow("team count above the lines")
        << Settings(1, 0) + "4\nStorm\t1\nInferno"
        << head + "1000 0/32 2 400 desc teams 4|Storm:1|Inferno:0|:0|:0";
    QTest::newRow("empty line is a player, trailing line feed adds none")
        << Settings(1, 1) + "0\n-\nAnn\tA\t3\n\n"
        << head + "1000 1/32 2 400 desc teams 0|Ann@A:3|@:0";
    QTest::newRow("ends after the flags") << kInfoHeader + P("a") + P("b") + P("c") + "\x02"
                                          << QByteArray("a/b/c 0100 0/0 0 0  teams 1|:0");
    QTest::newRow("ping header") << kPingHeader + P("a") << QByteArray("-");
}

void TestT2Query::info()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    TT2Server server;
    QCOMPARE(TT2Query::Decode({"10.0.0.1", 1, 0, 0, data}, server) ? Summary(server) : "-",
             summary);
}

void TestT2Query::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<TT2PingReply>(kPingHeader + P("VER3") + QByteArray(8, '\x01') + P("Box"),
                                         kPingHeader, TT2PingQuery::Decode, [](const auto&) {});
    FeedTruncatedAndRandom<TT2Server>(
        Settings(1, 2) + "2\nA\t1\nB\t2\n2\nAnn\tA\t3\nBob\tB\t4\n", kInfoHeader, TT2Query::Decode,
        [](const TT2Server& s) { QCOMPARE(s.TeamCount, s.Teams.size()); });
}

void TestT2Query::endToEnd()
{
    std::optional<TT2PingReply> ping;
    std::optional<TT2Server> info;
    EndToEnd<TT2PingQuery>(QByteArray("\x0E\x02\0\0\0\0", 6),
                           kPingHeader + P("V") + QByteArray(8, 0) + P("Loop"), kInfoHeader, 7,
                           "Tribes 2", ping);
    EndToEnd<TT2Query>(QByteArray("\x12\x02\0\0\0\0", 6),
                       Settings(1, 1) + "1\nStorm\t4\n-\nAnn\tStorm\t2\n", kPingHeader, 7,
                       "Tribes 2", info);
    QVERIFY(ping && info);
    QCOMPARE(ping->HostName, "Loop");
    QCOMPARE(Summary(*info),
             "CTF/Capture/Katabatic 1000 1/32 2 400 desc teams 1|Storm:4|Ann@Storm:2");
}

QTEST_GUILESS_MAIN(TestT2Query)
#include "tst_t2query.moc"
