#include <QTest>

#include "decodertest.h"
#include "protocols/hlinfoquery.h"
#include "testutil.h"

namespace {

const QByteArray kStrings = Bytes("\xFF\xFF\xFF\xFFm1.2.3.4:27015\0Box\0crossfire\0valve\0HL\0");

QByteArray Summary(const THLInfo& i)
{
    const TModInfo& m = i.Mod;
    return Format("%s|%s|%s|%s|os %d %d/%d p%d l%d pw%d mod%d %s %s v%d %d %d%d", i.Name.data(),
                  i.Map.data(), i.GameDir.data(), i.Description.data(), i.OS, i.NumPlayers,
                  i.MaxPlayers, i.Protocol, i.Listen, i.Password, m.IsMod, m.InfoURL.data(),
                  m.DownloadURL.data(), m.ModVersion, m.ModSize, m.ServerOnly, m.CustomDLL);
}

} // namespace

class TestHLInfoQuery : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestHLInfoQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    const QByteArray box = "Box|crossfire|valve|HL|os ";
    // Protocol 46 is the byte ".", 47 is "/".
    QTest::newRow("listen server on Linux, password")
        << kStrings + Bytes("\x03\x10.ll\x01\x00") << box + "1 3/16 p46 l1 pw1 mod0   v0 0 00";
    QTest::newRow("upper-case W is another system")
        << kStrings + Bytes("\x00\x08.dW\x00\x00") << box + "2 0/8 p46 l0 pw0 mod0   v0 0 00";
    QTest::newRow("modification without the zero byte")
        << kStrings + Bytes("\x01\x08.dw\x00\x01info\0dl\0\x02\0\0\0\xE8\x03\0\0\x01\x00")
        << box + "0 1/8 p46 l0 pw0 mod1 info dl v2 1000 10";
    // A version whose low byte is 0, after the zero byte servers send.
    QTest::newRow("modification with the zero byte")
        << kStrings + Bytes("\x01\x08.dw\x00\x01i\0\0\0\x00\x01\0\0\x05\0\0\0\x01\x00\x01\x00")
        << box + "0 1/8 p46 l0 pw0 mod1 i  v256 5 10";
    // The same layout with the VAC and bot bytes after the flags, a version
    // whose low byte is 0: the exact length says there is no zero byte.
    QTest::newRow("modification without the zero byte, with VAC and bots")
        << kStrings + Bytes("\x01\x08.dw\x00\x01i\0\0\x00\x01\0\0\x05\0\0\0\x01\x00\x01\x00")
        << box + "0 1/8 p46 l0 pw0 mod1 i  v256 5 10";
    QTest::newRow("modification with the zero byte, without VAC and bots")
        << kStrings + Bytes("\x01\x08.dw\x00\x01i\0\0\0\x00\x01\0\0\x05\0\0\0\x01\x00")
        << box + "0 1/8 p46 l0 pw0 mod1 i  v256 5 10";
    // The byte left of a number cut short is not taken for the next item.
    QTest::newRow("modification cut in its numbers")
        << kStrings + Bytes("\x01\x08.dw\x00\x01i\0d\0\x07\0\0\0\x05")
        << box + "0 1/8 p46 l0 pw0 mod1 i d v7 0 00";
    // Missing bytes read as 0: no listen server, no password, no modification,
    // no known system.
    QTest::newRow("ends before the flag bytes")
        << kStrings + Bytes("\x02\x08.") << box + "2 2/8 p46 l0 pw0 mod0   v0 0 00";
    QTest::newRow("string without its zero byte takes the rest")
        << Bytes("\xFF\xFF\xFF\xFFma\0Box\0cro")
        << QByteArray("Box|cro|||os 2 0/0 p0 l0 pw0 mod0   v0 0 00");
    QTest::newRow("info header") << QByteArray(4, '\xFF') + "C1.2.3.4" << QByteArray("-");
    // A Counter-Strike server's reply, as published (see tests/data/README.md).
    QTest::newRow("real server")
        << TestData("hl_details_cs16.bin")
        << QByteArray(
               "2^HAB Clan Server::www.2hab-progamers.co.nr::|cs_office|cstrike|Counter-Strike|"
               "os 1 1/11 p47 l0 pw0 mod1 www.counter-strike.net  v1 184000000 01");
}

void TestHLInfoQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    THLInfo i;
    QCOMPARE(THLInfoQuery::Decode({"10.0.0.1", 27015, 0, 0, data}, i) ? Summary(i) : "-", summary);
}

void TestHLInfoQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<THLInfo>(TestData("hl_details_cs16.bin"), kStrings.left(5),
                                    THLInfoQuery::Decode,
                                    [](const THLInfo& i) { QVERIFY(i.OS <= 2); });
}

void TestHLInfoQuery::endToEnd()
{
    std::optional<THLInfo> result;
    EndToEnd<THLInfoQuery>(QByteArray(4, '\xFF') + "details", kStrings + Bytes("\x05\x0C/dl\0\0"),
                           QByteArray(4, '\xFF') + "D\x01", 2, "Half-life", result);
    QVERIFY(result);
    QCOMPARE(Summary(*result), "Box|crossfire|valve|HL|os 1 5/12 p47 l0 pw0 mod0   v0 0 00");
}

QTEST_GUILESS_MAIN(TestHLInfoQuery)
#include "tst_hlinfoquery.moc"
