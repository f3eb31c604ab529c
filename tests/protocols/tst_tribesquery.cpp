#include <QTest>

#include "decodertest.h"
#include "protocols/tribesquery.h"

namespace {

QByteArray P(const QByteArray& text)
{
    return char(text.size()) + text;
}

const QByteArray kIdentity = "c**b" + P("Tribes");

// The settings up to the team count: a dedicated server without password,
// Players players of 32, cpu bytes 0x90 0x01.
QByteArray Settings(char players)
{
    return kIdentity + P("1.11") + P("Box") + QByteArray("\x01\x02", 2) + players +
           QByteArray("\x20\x90\x01", 3) + P("base") + P("CTF") + P("Raindance") + P("desc");
}

QByteArray Player(char ping, char team, const QByteArray& name)
{
    return QByteArray(1, ping) + '\x01' + team + P(name) + P("%n\t%t\t%p\t%l");
}

QByteArray Rows(const THeaderArray& rows)
{
    QByteArrayList texts;
    for (const THeader& row : rows) {
        texts << row.join(',');
    }
    return texts.join('|');
}

} // namespace

class TestTribesQuery : public QObject
{
    Q_OBJECT

private slots:
    void splits();
    void decode_data();
    void decode();
    void truncatedAndRandomReplies();
    void endToEnd();
};

void TestTribesQuery::splits()
{
    // Runs of tabs make one boundary, the rest is trimmed after each tab, the
    // first column keeps its blanks.
    QCOMPARE(TTribesQuery::RowSplit(" a \t\t b \t").join('|'), " a |b");
    QCOMPARE(TTribesQuery::RowSplit(" x ").join('|'), " x ");
    QVERIFY(TTribesQuery::RowSplit("").isEmpty());
    // Headings drop a prefix character, or the first letter when there is none.
    QCOMPARE(TTribesQuery::HeadingSplit("Name\t!Score\t#Ping").join('|'), "Name|Score|Ping");
    QCOMPARE(TTribesQuery::HeadingSplit("Name\tScore").join('|'), "Name|core");
    QCOMPARE(TTribesQuery::HeadingSplit("Team Name").join('|'), "Team Name");
}

// The tables have as many rows as announced: a row cut short keeps what
// arrived, rows past the end are empty.
void TestTribesQuery::decode_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("summary");
    // Teams 255 and 2 (one past the teams) are observers; a name is inserted
    // as it is, its own placeholders not expanded.
    QTest::newRow("full") << Settings(4) + '\x02' + P("Team\t!Score") + P("Name\t!Ping") +
                                 P("Blood Eagle") + P("%t\t\t 10 ") + P("Sword") + P("%t\t7") +
                                 Player(25, 0, "Ann") + Player(30, 1, "%n%t%p") +
                                 Player(10, '\xFF', "Spy") + Player(1, 2, "Late")
                          << QByteArray(
                                 "1.11 Box 10 400 base/CTF/Raindance/desc|2 Team,Score "
                                 "Blood Eagle,10|Sword,7|4/32 Name,Ping Ann,Blood Eagle,100,1|"
                                 "%n%t%p,Sword,120,1|Spy,Observer,40,1|Late,Observer,4,1");
    QTest::newRow("identity and game name only") << kIdentity << QByteArray("  00 0 ///|0  |0/0  ");
    QTest::newRow("player count above the entries, last one cut short")
        << Settings(3) + '\x01' + P("") + P("") + P("Red") + P("%t") + Player(1, 0, "Ann") +
               Player(2, 0, "Bob").chopped(1)
        << QByteArray(
               "1.11 Box 10 400 base/CTF/Raindance/desc|1  Red|3/32  Ann,Red,4,1|Bob,Red,8,%|");
    QTest::newRow("team count above the entries, line cut short")
        << Settings(1) + '\x03' + P("") + P("") + P("Red") + P("%t") + P("Blue") + "\x05%t\t3"
        << QByteArray("1.11 Box 10 400 base/CTF/Raindance/desc|3  Red|Blue,3||1/32  ");
    QTest::newRow("game name in lower case") << "c**b" + P("tribes") << QByteArray("-");
    QTest::newRow("game name cut short") << QByteArray("c**b\x06Trib") << QByteArray("-");
    QTest::newRow("identity") << "c**a" + P("Tribes") << QByteArray("-");
}

void TestTribesQuery::decode()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, summary);
    TTribesServer s;
    QCOMPARE(TTribesQuery::Decode({"10.0.0.1", 1, 0, 0, data}, s)
                 ? Format("%s %s %d%d %d %s/%s/%s/%s|%d %s %s|%d/%d %s %s", s.Version.data(),
                          s.HostName.data(), s.Dedicated, s.Password, s.CPU, s.GameType.data(),
                          s.MapType.data(), s.Map.data(), s.Description.data(), s.Teams.Count,
                          s.Teams.Header.join(',').data(), Rows(s.Teams.Rows).data(),
                          s.Players.Count, s.Players.Max, s.Players.Header.join(',').data(),
                          Rows(s.Players.Rows).data())
                 : "-",
             summary);
}

void TestTribesQuery::truncatedAndRandomReplies()
{
    const QByteArray full = Settings(2) + '\x02' + P("T\t!S") + P("N\t!P") + P("Red") + P("%t\t1") +
                            P("Blue") + P("%t\t2") + Player(1, 0, "A") + Player(2, 1, "B");
    FeedTruncatedAndRandom<TTribesServer>(full, kIdentity, TTribesQuery::Decode,
                                          [](const TTribesServer& s) {
                                              QCOMPARE(s.Teams.Rows.size(), s.Teams.Count);
                                              QCOMPARE(s.Players.Rows.size(), s.Players.Count);
                                          });
}

void TestTribesQuery::endToEnd()
{
    std::optional<TTribesServer> result;
    EndToEnd<TTribesQuery>(
        "b**", Settings(1) + '\x01' + P("T") + P("N\t!T") + P("Red") + P("") + Player(5, 0, "Ann"),
        "c**b" + P("Starsiege"), 1, "Tribes", result);
    QVERIFY(result);
    // Team 0's line has no columns, so its players show as observers.
    QCOMPARE(result->HostName + ' ' + Rows(result->Players.Rows), "Box Ann,Observer,20,1");
}

QTEST_GUILESS_MAIN(TestTribesQuery)
#include "tst_tribesquery.moc"
