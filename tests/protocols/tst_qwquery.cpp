#include <QTest>

#include "decodertest.h"
#include "protocols/qwquery.h"

namespace {

const QByteArray kHeader("\xFF\xFF\xFF\xFFn\\", 6);

QByteArray Summary(const TQWServer& s)
{
    QByteArray text = Format("%d|%s|%s|%s|%s|%d", s.MaxPlayers, s.Name.data(), s.Map.data(),
                             s.GameDir.data(), s.Version.data(), s.Progs);
    for (const auto& p : s.Players) {
        text += Format("|%d %d %d %d [%s] [%s] %d %d", p.UserID, p.Frags, p.Time, p.Ping,
                       p.Name.data(), p.Skin.data(), p.TopColor, p.BottomColor);
    }
    return s.PlayerCount == s.Players.size() ? text : "counts";
}

} // namespace

class TestQWQuery : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestQWQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    QTest::newRow("rules") << kHeader + "maxclients\\16\\hostname\\^Box\\map\\dm6\\*gamedir\\qw\\"
                                        "*version\\2.40\\*progs\\666\\*progs\\x\n"
                           << QByteArray("16|^Box|dm6|qw|2.40|666");
    QTest::newRow("progs not decimal") << kHeader + "*progs\\0x29a\n" << QByteArray("0|||||0");
    // The high set and the control range translate; the skin stays as sent.
    QTest::newRow("name table")
        << kHeader + "\n5 12 30 45 \"\xC1\xE2\x11\x12\x1B\x1C\x90\xDB\x91\xDD\xDC\xC0\xFB\" "
                     "\"\x12\" 4 11\n"
        << QByteArray("0|||||0|5 12 30 45 [Ab\x11"
                      "09\x1C[[]]\xDC\xC0\xFB] [\x12] 4 11");
    // A missing field is 0 or empty; no field is read twice.
    QTest::newRow("fields missing") << kHeader + "\n7 3\n1 2 3 4 \"Bob\n1 1 1 1 \"a\" \"b\" 2\n"
                                    << QByteArray("0|||||0|7 3 0 0 [] [] 0 0|1 2 3 4 [Bob] [] 0 0|"
                                                  "1 1 1 1 [a] [b] 2 0");
    QTest::newRow("quake 2") << QByteArray("\xFF\xFF\xFF\xFFprint\n\\a\\b\n") << QByteArray("-");
}

void TestQWQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    TQWServer s;
    QCOMPARE(TQWQuery::Decode({"10.0.0.1", 27500, 0, 0, data}, s) ? Summary(s) : "-", summary);
}

void TestQWQuery::truncatedAndRandomReplies()
{
    FeedTruncatedAndRandom<TQWServer>(
        kHeader + "hostname\\Box\n5 12 30 45 \"\xC1\xE2\" \"base\" 4 11\n1 2 3 4 \"b\" \"c\" 0 1\n",
        kHeader.left(5), TQWQuery::Decode,
        [](const TQWServer& s) { QVERIFY(Summary(s) != "counts"); });
}

void TestQWQuery::endToEnd()
{
    std::optional<TQWServer> result;
    EndToEnd<TQWQuery>("\xFF\xFF\xFF\xFFstatus",
                       kHeader + "hostname\\Loop\\map\\dm4\n2 5 10 40 \"\xD1\" \"base\" 1 2\n",
                       "\xFF\xFF\xFF\xFFprint\n\\a\\b\n", 6, "QuakeWorld", result);
    QVERIFY(result);
    QCOMPARE(Summary(*result), "0|Loop|dm4|||0|2 5 10 40 [Q] [base] 1 2");
}

QTEST_GUILESS_MAIN(TestQWQuery)
#include "tst_qwquery.moc"
