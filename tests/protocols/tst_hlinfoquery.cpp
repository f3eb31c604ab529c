#include <QTest>

#include "decodertest.h"
#include "protocols/hlinfoquery.h"
#include "testutil.h"

namespace {

const QByteArray kStrings = Bytes("\xFF\xFF\xFF\xFFm"
                                  "1.2.3.4:27015\0Box\0crossfire\0valve\0Half-Life\0");

// Every field after Info, in record order.
QString Summary(const THLInfo& info)
{
    const TModInfo& mod = info.Mod;
    return QStringLiteral("%1|%2|%3|%4|os %5|%6/%7|p%8|listen %9|pass %10|")
               .arg(QString::fromLatin1(info.Name), QString::fromLatin1(info.Map),
                    QString::fromLatin1(info.GameDir), QString::fromLatin1(info.Description))
               .arg(info.OS)
               .arg(info.NumPlayers)
               .arg(info.MaxPlayers)
               .arg(info.Protocol)
               .arg(info.Listen)
               .arg(info.Password) +
           QStringLiteral("mod %1|%2|%3|v%4|%5 bytes|%6|%7")
               .arg(mod.IsMod)
               .arg(QString::fromLatin1(mod.InfoURL), QString::fromLatin1(mod.DownloadURL))
               .arg(mod.ModVersion)
               .arg(mod.ModSize)
               .arg(mod.ServerOnly)
               .arg(mod.CustomDLL);
}

} // namespace

class TestHLInfoQuery : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void realServerReply();
    void wrongHeader();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestHLInfoQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("summary");

    const QString base = "Box|crossfire|valve|Half-Life|";
    QTest::newRow("no modification, listen server on Linux, password")
        << kStrings + Bytes("\x03\x10\x2E"
                            "ll\x01\x00")
        << base + "os 1|3/16|p46|listen 1|pass 1|mod 0|||v0|0 bytes|0|0";
    QTest::newRow("dedicated Windows server")
        << kStrings + Bytes("\x00\x08\x2E"
                            "dw\x00\x00")
        << base + "os 0|0/8|p46|listen 0|pass 0|mod 0|||v0|0 bytes|0|0";
    QTest::newRow("upper-case W is another system")
        << kStrings + Bytes("\x00\x08\x2E"
                            "DW\x00\x00")
        << base + "os 2|0/8|p46|listen 0|pass 0|mod 0|||v0|0 bytes|0|0";
    QTest::newRow("modification without the zero byte")
        << kStrings + Bytes("\x01\x08\x2E"
                            "dw\x00\x01"
                            "info\0dl\0\x02\x00\x00\x00\xE8\x03\x00\x00\x01\x00")
        << base + "os 0|1/8|p46|listen 0|pass 0|mod 1|info|dl|v2|1000 bytes|1|0";
    QTest::newRow("modification with the zero byte and trailing bytes")
        << kStrings + Bytes("\x01\x08\x2F"
                            "dl\x00\x01"
                            "info\0\0\0\x00\x01\x00\x00\x00\x00\x00\x00\x01\x01\x00")
        << base + "os 1|1/8|p47|listen 0|pass 0|mod 1|info||v256|0 bytes|1|1";
    // A reply that ends early: missing bytes read as 0, which is no listen
    // server, an unknown system, no password and no modification.
    QTest::newRow("ends before the flag bytes")
        << kStrings + Bytes("\x02\x08\x2E")
        << base + "os 2|2/8|p46|listen 0|pass 0|mod 0|||v0|0 bytes|0|0";
    QTest::newRow("ends inside the map name")
        << Bytes("\xFF\xFF\xFF\xFFm"
                 "addr\0Box\0cross")
        << "Box|cross|||os 2|0/0|p0|listen 0|pass 0|mod 0|||v0|0 bytes|0|0";
    // The byte left of a number cut short is not taken for the next item.
    QTest::newRow("modification cut in its numbers")
        << kStrings + Bytes("\x01\x08\x2E"
                            "dw\x00\x01"
                            "i\0d\0\x07\x00\x00\x00\x05")
        << base + "os 0|1/8|p46|listen 0|pass 0|mod 1|i|d|v7|0 bytes|0|0";
}

void TestHLInfoQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, summary);
    THLInfo info;
    QVERIFY(THLInfoQuery::Decode({"10.0.0.1", 27015, 40, 5, data}, info));
    QCOMPARE(Summary(info), summary);
    QCOMPARE(info.Info.Data, data);
}

// A Counter-Strike server's reply, as published with its hex dump (see
// tests/data/README.md).
void TestHLInfoQuery::realServerReply()
{
    THLInfo info;
    QVERIFY(THLInfoQuery::Decode({"194.140.242.2", 27025, 0, 0, TestData("hl_details_cs16.bin")},
                                 info));
    QCOMPARE(Summary(info), "2^HAB Clan Server::www.2hab-progamers.co.nr::|cs_office|cstrike|"
                            "Counter-Strike|os 1|1/11|p47|listen 0|pass 0|"
                            "mod 1|www.counter-strike.net||v1|184000000 bytes|0|1");
}

void TestHLInfoQuery::wrongHeader()
{
    THLInfo info;
    for (const QByteArray& data : {QByteArray(), QByteArray("\xFF\xFF\xFF\xFF"),
                                   QByteArray("\xFF\xFF\xFF\xFF"
                                              "C1.2.3.4:27015")}) {
        QVERIFY(!THLInfoQuery::Decode({"10.0.0.1", 1, 0, 0, data}, info));
    }
}

void TestHLInfoQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<THLInfo>(TestData("hl_details_cs16.bin"), kStrings.left(5),
                                    THLInfoQuery::Decode, [](const THLInfo& info) {
                                        QVERIFY(info.OS <= 2);
                                        QVERIFY(info.Listen <= 1);
                                    });
}

void TestHLInfoQuery::endToEnd()
{
    TFakeUdpServer server;
    server.SetReply(kStrings + Bytes("\x05\x0C\x2F"
                                     "dl\x00\x00"));
    THLInfoQuery query;
    const auto result = QueryOnce<THLInfo>(query, server, 12);
    QVERIFY(result);
    QCOMPARE(server.Requests().value(0), QByteArray("\xFF\xFF\xFF\xFF"
                                                    "details"));
    QCOMPARE(Summary(*result), "Box|crossfire|valve|Half-Life|os 1|5/12|p47|listen 0|pass 0|"
                               "mod 0|||v0|0 bytes|0|0");
    QCOMPARE(result->Info.Tag, 12);

    server.SetReply("\xFF\xFF\xFF\xFF"
                    "D\x00");
    const auto error = QueryError(query, server);
    QVERIFY(error);
    QCOMPARE(*error, std::pair(2, QStringLiteral(
                                      "Received data, but it is not a valid Half-life packet.")));
}

QTEST_GUILESS_MAIN(TestHLInfoQuery)
#include "tst_hlinfoquery.moc"
