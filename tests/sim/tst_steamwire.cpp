#include <QRandomGenerator>
#include <QTest>

#include "masters/hlsteammaster.h"
#include "protocols/hlsteaminfoquery.h"
#include "protocols/hlsteamrulequery.h"
#include "testutil.h"
#include "wire/gamewire.h"
#include "wire/masterwire.h"

// The Steam forms' encoders against their decoders: random records of the
// shape an answer can carry must read back equal, and split answers must
// join back to the answer.
namespace {

class TRandom
{
public:
    explicit TRandom(quint32 seed) : Random_(seed) {}

    int Int(int low, int high) { return low + int(Random_.bounded(high - low + 1)); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    std::uint64_t U64() { return Random_.generate64(); }

    QByteArray Text(int maxLength)
    {
        QByteArray text(Int(0, maxLength), Qt::Uninitialized);
        for (char& c : text) {
            c = char(Int(1, 255));
        }
        return text;
    }

    void Info(THLInfo& info, THLSteamInfo& steam)
    {
        info = THLInfo{};
        steam = THLSteamInfo{};
        info.Protocol = std::uint8_t(Int(0, 255));
        info.Name = Text(40);
        info.Map = Text(20);
        info.GameDir = Text(10);
        info.Description = Text(30);
        steam.AppID = Chance(20) ? THLSteamInfo::TheShip : std::uint16_t(Int(0, 65535));
        info.NumPlayers = std::uint8_t(Int(0, 255));
        info.MaxPlayers = std::uint8_t(Int(0, 255));
        steam.Bots = std::uint8_t(Int(0, 255));
        static const char types[] = {'d', 'l', 'p'};
        steam.ServerType = std::uint8_t(types[Int(0, 2)]);
        info.Listen = steam.ServerType == 'l' ? 1 : 0;
        static const char systems[] = {'w', 'l', 'm', 'o'};
        steam.Environment = std::uint8_t(systems[Int(0, 3)]);
        info.OS = steam.Environment == 'w' ? 0 : steam.Environment == 'l' ? 1 : 2;
        info.Password = std::uint8_t(Int(0, 1));
        steam.VAC = std::uint8_t(Int(0, 1));
        if (steam.AppID == THLSteamInfo::TheShip) {
            steam.ShipMode = std::uint8_t(Int(0, 5));
            steam.ShipWitnesses = std::uint8_t(Int(0, 255));
            steam.ShipDuration = std::uint8_t(Int(0, 255));
        }
        steam.Version = Text(16);
        steam.ExtraData =
            std::uint8_t(Int(0, 255)) &
            (THLSteamInfo::HasGamePort | THLSteamInfo::HasSteamID | THLSteamInfo::HasSourceTV |
             THLSteamInfo::HasKeywords | THLSteamInfo::HasGameID);
        if (steam.ExtraData & THLSteamInfo::HasGamePort) {
            steam.GamePort = std::uint16_t(Int(0, 65535));
        }
        if (steam.ExtraData & THLSteamInfo::HasSteamID) {
            steam.SteamID = U64();
        }
        if (steam.ExtraData & THLSteamInfo::HasSourceTV) {
            steam.SourceTVPort = std::uint16_t(Int(0, 65535));
            steam.SourceTVName = Text(20);
        }
        if (steam.ExtraData & THLSteamInfo::HasKeywords) {
            steam.Keywords = Text(60);
        }
        if (steam.ExtraData & THLSteamInfo::HasGameID) {
            steam.GameID = U64();
        }
    }

    QList<TMasterServer> Servers(int count)
    {
        QList<TMasterServer> servers;
        while (servers.size() < count) {
            const TMasterServer server{QStringLiteral("%1.%2.%3.%4")
                                           .arg(Int(0, 255))
                                           .arg(Int(0, 255))
                                           .arg(Int(0, 255))
                                           .arg(Int(0, 255)),
                                       Int(0, 65535)};
            if (!THLSteamMaster::IsEndOfList(server)) {
                servers.append(server);
            }
        }
        return servers;
    }

private:
    QRandomGenerator Random_;
};

} // namespace

class TestSteamWire : public QObject
{
    Q_OBJECT

private slots:
    void infoRoundTrip();
    void splitRoundTrip_data();
    void splitRoundTrip();
    void masterPages();
};

void TestSteamWire::infoRoundTrip()
{
    TRandom random(2020);
    for (int round = 0; round < 500; ++round) {
        THLInfo info;
        THLSteamInfo steam;
        random.Info(info, steam);
        const QByteArray wire = EncodeHLSteamInfo(info, steam);
        info.Info = {"127.0.0.1", 27015, 5, round, wire};
        THLInfo decoded;
        THLSteamInfo decodedSteam;
        QVERIFY(THLSteamInfoQuery::Decode(info.Info, decoded, &decodedSteam));
        QVERIFY2(decoded == info && decodedSteam == steam,
                 qPrintable(QStringLiteral("round %1: %2")
                                .arg(round)
                                .arg(QString::fromLatin1(wire.toHex(' ')))));
    }
}

void TestSteamWire::splitRoundTrip_data()
{
    QTest::addColumn<int>("maxDatagram");
    QTest::newRow("servers' size") << int(HLDatagramSize);
    QTest::newRow("small datagrams") << 100;
}

// Rules and players answers of every length, split and joined in a random
// order, read back as the records they were made from; an answer too long
// for fifteen parts is cut there.
void TestSteamWire::splitRoundTrip()
{
    QFETCH(int, maxDatagram);
    TRandom random{quint32(maxDatagram)};
    for (int round = 0; round < 300; ++round) {
        THLRules rules;
        for (int i = random.Int(0, 120); i > 0; --i) {
            rules.Rules.append({random.Text(20), random.Text(20)});
        }
        const QByteArray answer = EncodeHLRules(rules);
        const auto id = std::uint32_t(random.U64());
        QList<QByteArray> parts = EncodeHLSplit(answer, id, maxDatagram);
        const qsizetype room = maxDatagram - THLSplitPart::HeaderSize;
        QCOMPARE(parts.size(), answer.size() <= maxDatagram
                                   ? 1
                                   : qMin<qsizetype>(15, (answer.size() + room - 1) / room));
        if (parts.size() == 1) {
            QCOMPARE(parts.first(), answer);
            continue;
        }
        for (qsizetype i = parts.size() - 1; i > 0; --i) {
            parts.swapItemsAt(i, random.Int(0, int(i)));
        }
        THLSplitReply joined;
        THLSplitReply::TResult result = THLSplitReply::TResult::Incomplete;
        for (const QByteArray& part : parts) {
            QVERIFY(part.size() <= maxDatagram);
            THLSplitPart read;
            QVERIFY(THLSplitPart::Read(part, read));
            QCOMPARE(read.Id, id);
            result = joined.Add(read);
        }
        QCOMPARE(result, THLSplitReply::TResult::Complete);
        QCOMPARE(joined.Whole(), answer.left(15 * room));
        if (answer.size() <= 15 * room) {
            rules.Count = std::int16_t(rules.Rules.size());
            rules.Info = {"127.0.0.1", 27015, 0, round, answer};
            THLRules decoded;
            QVERIFY(THLSteamRuleQuery::Decode(rules.Info, decoded));
            QCOMPARE(decoded, rules);
        }
    }
}

// The documented page, and a client paging through a long list: every
// server once, in order, each page within a datagram, the end entry on the
// last page only.
void TestSteamWire::masterPages()
{
    const QList<TMasterServer> documented = {
        {"192.168.0.1", 27015}, {"10.0.0.5", 27960}, {"81.169.230.12", 27016}};
    QCOMPARE(EncodeHLSteamMasterPage(documented, true), TestData("hl_steam_master_last_page.bin"));

    TRandom random(31);
    const QList<TMasterServer> listed = random.Servers(1000);
    QList<TMasterServer> read;
    QByteArray last = THLSteamMaster::FirstAddress();
    for (bool end = false; !end;) {
        const QByteArray page = EncodeHLSteamMasterAnswer(listed, last);
        QVERIFY(page.size() <= MasterDatagramSize);
        QVERIFY(page.startsWith(THLSteamMaster::ReplyPrefix()));
        QList<TMasterServer> entries = THLSteamMaster::Decode(QByteArrayView(page).sliced(6));
        QVERIFY(!entries.isEmpty() && read.size() < listed.size());
        end = THLSteamMaster::IsEndOfList(entries.last());
        if (end) {
            entries.removeLast();
        }
        read += entries;
        last = THLSteamMaster::AddressText(read.last());
    }
    QCOMPARE(read, listed);
    QCOMPARE(EncodeHLSteamMasterList(listed).size(), (1000 + 230) / 231);
}

QTEST_GUILESS_MAIN(TestSteamWire)
#include "tst_steamwire.moc"
