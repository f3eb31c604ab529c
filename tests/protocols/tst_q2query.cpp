#include <QTest>

#include "decodertest.h"
#include "protocols/q2query.h"

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFFprint\n\\", 11);

QString Summary(const TQ2Server& server)
{
    QStringList parts{QString::number(server.MaxPlayers), QString::fromLatin1(server.Name),
                      QString::fromLatin1(server.Map), QString::fromLatin1(server.GameName),
                      QString::fromLatin1(server.Version)};
    for (const TRule& rule : server.Rules) {
        parts << QString::fromLatin1(rule.Name + '=' + rule.Value);
    }
    for (const auto& player : server.Players) {
        parts << QStringLiteral("%1/%2/%3")
                     .arg(player.Frags)
                     .arg(player.Ping)
                     .arg(QString::fromLatin1(player.Name));
    }
    return parts.join('|');
}

} // namespace

class TestQ2Query : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void wrongHeader_data();
    void wrongHeader();
    void truncatedAndRandomReplies();
    void sameReplyForKingpinAndQuake2();
    void errorEndToEnd();
};

void TestQ2Query::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("summary");

    QTest::newRow("full reply")
        << kHeader + "maxclients\\8\\hostname\\^1Red Box\\mapname\\q2dm1\\gamename\\baseq2\\"
                     "version\\3.20\n4 50 \"[CLAN]Mr. Bob-2\"\n0 999 \"!?.\"\n"
        << "8|^1Red Box|q2dm1|baseq2|3.20|maxclients=8|hostname=^1Red Box|mapname=q2dm1|"
           "gamename=baseq2|version=3.20|4/50/CLANMr Bob2|0/999/";
    QTest::newRow("line without quotes keeps frags and ping")
        << kHeader + "mapname\\m\n12 34 nobody\n"
        << "0||m|||mapname=m|12/34/";
    QTest::newRow("opening quote only") << kHeader + "\n1 2 \"Half\n"
                                        << "0|||||1/2/";
    QTest::newRow("no line feed: rules of the whole rest")
        << kHeader + "hostname\\x\\maxclients\\many"
        << "0|x||||hostname=x|maxclients=many";
    QTest::newRow("last line without line feed dropped") << kHeader + "\n1 2 \"a\"\n3 4 \"b\""
                                                         << "0|||||1/2/a";
    QTest::newRow("header only") << kHeader.left(9) << "0||||";
}

void TestQ2Query::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, summary);
    TQ2Server server;
    QVERIFY(TQ2Query::Decode({"10.0.0.1", 27910, 20, 3, data}, server));
    QCOMPARE(Summary(server), summary);
    QCOMPARE(server.RuleCount, server.Rules.size());
    QCOMPARE(server.PlayerCount, server.Players.size());
    QCOMPARE(server.Info.Data, data);
}

void TestQ2Query::wrongHeader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut in the header") << QByteArray("\xFF\xFF\xFF\xFFprin");
    QTest::newRow("quake 3") << QByteArray("\xFF\xFF\xFF\xFFstatusResponse\n\\a\\b\n");
    QTest::newRow("quakeworld") << QByteArray("\xFF\xFF\xFF\xFFn\\a\\b\n");
}

void TestQ2Query::wrongHeader()
{
    QFETCH(QByteArray, data);
    TQ2Server server;
    QVERIFY(!TQ2Query::Decode({"10.0.0.1", 27910, 0, 0, data}, server));
}

void TestQ2Query::truncatedAndRandomReplies()
{
    const QByteArray full = kHeader + "maxclients\\8\\hostname\\Box\n5 30 \"One\"\n7 60 \"Two\"\n";
    FeedTruncatedAndRandom<TQ2Server>(full, kHeader.left(9), TQ2Query::Decode,
                                      [](const TQ2Server& server) {
                                          QCOMPARE(server.RuleCount, server.Rules.size());
                                          QCOMPARE(server.PlayerCount, server.Players.size());
                                      });
}

// One class serves the five games: a Kingpin instance and a Quake 2 instance
// given the same reply deliver the same record.
void TestQ2Query::sameReplyForKingpinAndQuake2()
{
    TFakeUdpServer server;
    server.SetReply(kHeader + "hostname\\Loop\\mapname\\kpdm1\\maxclients\\16\n3 20 \"Ann\"\n");
    TQ2Query qKingpin;
    TQ2Query qQuake2;
    const auto kingpin = QueryOnce<TQ2Server>(qKingpin, server, 7);
    const auto quake2 = QueryOnce<TQ2Server>(qQuake2, server, 7);
    QVERIFY(kingpin && quake2);
    QCOMPARE(server.Requests(), QList<QByteArray>(2, QByteArray("\xFF\xFF\xFF\xFFstatus")));
    QCOMPARE(Summary(*kingpin),
             "16|Loop|kpdm1|||hostname=Loop|mapname=kpdm1|maxclients=16|3/20/Ann");
    QCOMPARE(Summary(*quake2), Summary(*kingpin));
    QCOMPARE(kingpin->Info.Tag, 7);
    QCOMPARE(kingpin->Info.Port, int(server.Port()));
    QCOMPARE(quake2->Info.Data, kingpin->Info.Data);
}

void TestQ2Query::errorEndToEnd()
{
    TFakeUdpServer server;
    server.SetReply("\xFF\xFF\xFF\xFFstatusResponse\n\\a\\b\n");
    TQ2Query query;
    const auto error = QueryError(query, server);
    QVERIFY(error);
    QCOMPARE(error->first, 5);
    QCOMPARE(error->second, QStringLiteral("Received data, but it is not a valid Quake 2 packet."));
}

QTEST_GUILESS_MAIN(TestQ2Query)
#include "tst_q2query.moc"
