#include <QTest>

#include <memory>
#include <vector>

#include "core/addfind.h"
#include "model/genericserver.h"
#include "tempappfolder.h"

Q_DECLARE_METATYPE(TManualAddress)

class TestAddFind : public QObject
{
    Q_OBJECT

private slots:
    void gameTypeList();
    void manualAddress_data();
    void manualAddress();
    void findRows_data();
    void findRows();
};

void TestAddFind::gameTypeList()
{
    // Captions, games and standard ports as the add window lists them.
    const std::vector<std::tuple<QString, TGameType, int>> expected = {
        {"Quake World", gtQuakeWorld, 27500},
        {"Quake 2", gtQuake2, 27910},
        {"Quake 3 (Arena, Team Arena..)", gtQuake3, 27950},
        {"Half-life (Counter-strike and other mods)", gtHalfLife, 27015},
        {"Starsiege: Tribes", gtTribes, 28001},
        {"KingPin", gtKingpin, 31510},
        {"Sin", gtSin, 22450},
        {"Heretic 2", gtHeretic2, 28910},
        {"Soldier of Fortune (SoF)", gtSoF, 28910},
        {"Tribes 2", gtTribes2, 28000},
    };
    const auto games = AddGameTypes();
    QCOMPARE(games.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(QString::fromLatin1(games[i].Caption), std::get<0>(expected[i]));
        QCOMPARE(games[i].Game, std::get<1>(expected[i]));
        QCOMPARE(StandardPort(int(i)), std::get<2>(expected[i]));
    }
    QCOMPARE(StandardPort(-1), 0);
    QCOMPARE(StandardPort(10), 0);
}

void TestAddFind::manualAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("portBox");
    QTest::addColumn<TManualAddress>("address");
    QTest::addColumn<bool>("valid");
    QTest::newRow("port in the text")
        << "10.0.0.5:27961" << 27910 << TManualAddress{"10.0.0.5", 27961} << true;
    QTest::newRow("empty port") << "10.0.0.5:" << 27910 << TManualAddress{"10.0.0.5", 27910}
                                << true;
    QTest::newRow("port not a number")
        << "10.0.0.5:abc" << 27910 << TManualAddress{"10.0.0.5", 27910} << true;
    QTest::newRow("port zero") << "10.0.0.5:0" << 27910 << TManualAddress{"10.0.0.5", 27910}
                               << true;
    QTest::newRow("port too large")
        << "10.0.0.5:70000" << 27910 << TManualAddress{"10.0.0.5", 70000} << false;
    QTest::newRow("negative port") << "host:-5" << 27910 << TManualAddress{"host", -5} << false;
    QTest::newRow("no colon") << "server.example.org" << 27500
                              << TManualAddress{"server.example.org", 27500} << true;
    QTest::newRow("last colon counts") << "a:b:1234" << 1 << TManualAddress{"a:b", 1234} << true;
    QTest::newRow("blanks stay") << " host :28000" << 1 << TManualAddress{" host ", 28000} << true;
}

void TestAddFind::manualAddress()
{
    QFETCH(QString, text);
    QFETCH(int, portBox);
    QFETCH(TManualAddress, address);
    QFETCH(bool, valid);
    const TManualAddress read = ReadManualAddress(text, portBox);
    QCOMPARE(read.Host, address.Host);
    QCOMPARE(read.Port, address.Port);
    QCOMPARE(IsValidPort(read.Port), valid);
}

void TestAddFind::findRows_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("found");
    // Rows: "Alpha One", none, "beta", "ALPHA two", "Caf\xE9 \xC9t\xE9"
    QTest::newRow("first from the top") << "alpha" << 0 << 0;
    QTest::newRow("next below") << "alpha" << 1 << 3;
    QTest::newRow("no more") << "alpha" << 4 << -1;
    QTest::newRow("past the last row") << "alpha" << 9 << -1;
    QTest::newRow("upper-case keyword") << "BETA" << 0 << 2;
    QTest::newRow("inside a word") << "pha t" << 0 << 3;
    QTest::newRow("empty keyword never matches") << "" << 0 << -1;
    QTest::newRow("latin-1 letter as written") << QString::fromUtf8("\xC3\x89t") << 0 << 4;
    // Only a to z are folded: e acute and E acute differ.
    QTest::newRow("no folding beyond ASCII") << QString::fromUtf8("\xC3\xA9t") << 0 << -1;
    QTest::newRow("letters beyond Latin-1") << QString::fromUtf8("\xE2\x82\xAC") << 0 << -1;
}

void TestAddFind::findRows()
{
    QFETCH(QString, keyword);
    QFETCH(int, start);
    QFETCH(int, found);
    TTempAppFolder folder;
    std::vector<std::unique_ptr<TGenericServer>> rows;
    for (const char* name : {"Alpha One", "", "beta", "ALPHA two", "Caf\xE9 \xC9t\xE9"}) {
        rows.push_back(*name ? TGenericServer::Create() : nullptr);
        if (rows.back()) {
            rows.back()->Name = name;
        }
    }
    const int row = FindServerRow(start, int(rows.size()), keyword,
                                  [&](int at) { return rows[std::size_t(at)].get(); });
    QCOMPARE(row, found);
}

QTEST_GUILESS_MAIN(TestAddFind)
#include "tst_addfind.moc"
