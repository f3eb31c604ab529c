#include <QTest>

#include "decodertest.h"
#include "protocols/q2query.h"

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFFprint\n\\", 11);

QByteArray Summary(const TQ2Server& s)
{
    QByteArray text =
        Format("%d|%s|%s|%d rules", s.MaxPlayers, s.Name.data(), s.Map.data(), s.RuleCount);
    for (const auto& p : s.Players) {
        text += Format("|%d/%d/%s", p.Frags, p.Ping, p.Name.data());
    }
    return s.PlayerCount == s.Players.size() ? text : "counts";
}

} // namespace

class TestQ2Query : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void truncatedAndRandomReplies();
    void sameReplyForKingpinAndQuake2();
};

void TestQ2Query::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    // Names keep only letters, digits and blanks; the host name is unchanged.
    QTest::newRow("full") << kHeader + "maxclients\\8\\hostname\\^1Box\\mapname\\q2dm1\n"
                                       "4 50 \"[CLAN]Mr. Bob-2\"\n0 9 \"!?.\"\n1 2 nobody\n"
                          << QByteArray("8|^1Box|q2dm1|3 rules|4/50/CLANMr Bob2|0/9/|1/2/");
    QTest::newRow("no line feed") << kHeader + "hostname\\x\\maxclients\\many"
                                  << QByteArray("0|x||2 rules");
    QTest::newRow("quake 3") << QByteArray("\xFF\xFF\xFF\xFFstatusResponse\n\\a\\b\n")
                             << QByteArray("-");
    QTest::newRow("cut in the header") << kHeader.left(8) << QByteArray("-");
}

void TestQ2Query::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    TQ2Server s;
    QCOMPARE(TQ2Query::Decode({"10.0.0.1", 27910, 0, 0, data}, s) ? Summary(s) : "-", summary);
}

void TestQ2Query::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<TQ2Server>(kHeader + "hostname\\Box\n5 30 \"One\"\n7 60 \"Two\"\n",
                                      kHeader.left(9), TQ2Query::Decode,
                                      [](const TQ2Server& s) { QVERIFY(Summary(s) != "counts"); });
}

// One class serves the five games: the instances for Kingpin and for Quake 2
// given the same reply deliver the same record.
void TestQ2Query::sameReplyForKingpinAndQuake2()
{
    const QByteArray status("\xFF\xFF\xFF\xFFstatus");
    const QByteArray reply = kHeader + "hostname\\Loop\\mapname\\kpdm1\n3 20 \"Ann\"\n";
    const QByteArray quakeWorld = "\xFF\xFF\xFF\xFFn\\a\\b\n";
    std::optional<TQ2Server> kingpin, quake2;
    EndToEnd<TQ2Query>(status, reply, quakeWorld, 5, "Quake 2", kingpin);
    EndToEnd<TQ2Query>(status, reply, quakeWorld, 5, "Quake 2", quake2);
    QVERIFY(kingpin && quake2);
    QCOMPARE(Summary(*kingpin), "0|Loop|kpdm1|2 rules|3/20/Ann");
    QCOMPARE(Summary(*quake2), Summary(*kingpin));
}

QTEST_GUILESS_MAIN(TestQ2Query)
#include "tst_q2query.moc"
