#include <QTest>

#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "protocols/quaketext.h"
#include "testutil.h"
#include "wire/consolewire.h"
#include "wire/gamewire.h"
#include "wire/masterwire.h"

// Random records of the shape a reply can carry (no separator of the wire
// format inside a field, strings that fit their length byte), so that
// Decode(Encode(record)) must give the record back. A fault on either side
// shows as a difference.
namespace {

class TRandomRecords
{
public:
    explicit TRandomRecords(quint32 seed) : Random_(seed) {}

    int Int(int low, int high) { return low + int(Random_.bounded(high - low + 1)); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }

    // Bytes from 1 to 255 (32 to 126 when Printable) except the Forbidden ones.
    QByteArray Text(int maxLength, QByteArrayView forbidden, int minLength = 0,
                    bool printable = false)
    {
        QByteArray text;
        const int length = Int(minLength, maxLength);
        while (text.size() < length) {
            const char c = char(printable ? Int(32, 126) : Int(1, 255));
            if (!forbidden.contains(c)) {
                text.append(c);
            }
        }
        return text;
    }

    QByteArray Printable(int maxLength, QByteArrayView forbidden = {}, int minLength = 0)
    {
        return Text(maxLength, forbidden, minLength, true);
    }

    TRuleList Rules(int count, QByteArrayView forbidden)
    {
        TRuleList rules;
        for (int i = 0; i < count; ++i) {
            rules.append({Text(12, forbidden), Text(24, forbidden)});
        }
        return rules;
    }

    // The rules a Quake record takes its fields from, mixed in at random
    // places, sometimes missing.
    TRuleList QuakeRules(const QList<QByteArray>& names, QByteArrayView forbidden)
    {
        TRuleList rules = Rules(Int(0, 12), forbidden);
        for (const QByteArray& name : names) {
            if (Chance(85)) {
                const QByteArray value =
                    Chance(70) ? QByteArray::number(Int(0, 64)) : Text(20, forbidden);
                rules.insert(Int(0, int(rules.size())), {name, value});
            }
        }
        return rules;
    }

    TQ3AServer Q3()
    {
        TQ3AServer s;
        s.Rules = QuakeRules({"sv_maxclients", "sv_hostname", "mapname", "gamename", "version"},
                             QByteArrayView("\\\n^", 3));
        // Names hold no colour code of their own: the wire form gets them.
        for (int i = Int(0, 20); i > 0; --i) {
            s.Players.append({Int(-999, 9999), Int(0, 999), Text(20, QByteArrayView("\"\n^", 3))});
        }
        Derive(s, "sv_maxclients", "sv_hostname");
        s.Name = RemoveColorCodes(s.Name);
        return s;
    }

    TQ2Server Q2()
    {
        TQ2Server s;
        s.Rules = QuakeRules({"maxclients", "hostname", "mapname", "gamename", "version"},
                             QByteArrayView("\\\n", 2));
        static const QByteArray nameBytes =
            " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        for (int i = Int(0, 20); i > 0; --i) {
            QByteArray name;
            for (int n = Int(0, 15); n > 0; --n) {
                name.append(nameBytes[Int(0, int(nameBytes.size()) - 1)]);
            }
            s.Players.append({Int(-999, 9999), Int(0, 999), name});
        }
        Derive(s, "maxclients", "hostname");
        return s;
    }

    TQWServer QW()
    {
        TQWServer s;
        s.Rules = QuakeRules({"maxclients", "hostname", "map", "*gamedir", "*version", "*progs"},
                             QByteArrayView("\\\n", 2));
        for (int i = Int(0, 20); i > 0; --i) {
            TQWServer::TPlayer p;
            p.UserID = Int(0, 9999);
            p.Frags = Int(-99, 999);
            p.Time = Int(0, 600);
            p.Ping = Int(0, 999);
            p.Name = Printable(16, "\"");
            p.Skin = Printable(10, "\"");
            p.TopColor = Int(0, 13);
            p.BottomColor = Int(0, 13);
            s.Players.append(p);
        }
        s.RuleCount = std::int32_t(s.Rules.size());
        s.PlayerCount = std::int32_t(s.Players.size());
        s.MaxPlayers = ToIntDef(FindRule(s.Rules, "maxclients"));
        s.Name = FindRule(s.Rules, "hostname");
        s.Map = FindRule(s.Rules, "map");
        s.GameDir = FindRule(s.Rules, "*gamedir");
        s.Version = FindRule(s.Rules, "*version");
        s.Progs = ToIntDef(FindRule(s.Rules, "*progs"));
        return s;
    }

    THLInfo HLInfo()
    {
        const QByteArrayView zero("\0", 1);
        THLInfo s;
        s.Name = Text(40, zero);
        s.Map = Text(20, zero);
        s.GameDir = Text(10, zero);
        s.Description = Text(30, zero);
        s.OS = std::uint8_t(Int(0, 2));
        s.NumPlayers = std::uint8_t(Int(0, 255));
        s.MaxPlayers = std::uint8_t(Int(0, 255));
        s.Protocol = std::uint8_t(Int(0, 255));
        s.Listen = std::uint8_t(Int(0, 1));
        s.Password = std::uint8_t(Int(0, 255));
        if (Chance(50)) {
            s.Mod.IsMod = std::uint8_t(Int(1, 255));
            s.Mod.InfoURL = Text(30, zero);
            s.Mod.DownloadURL = Text(30, zero);
            s.Mod.ModSize = std::int32_t(Random_.generate());
            s.Mod.ModVersion = std::int32_t(Random_.generate());
            s.Mod.ServerOnly = std::uint8_t(Int(0, 255));
            s.Mod.CustomDLL = std::uint8_t(Int(0, 255));
        }
        return s;
    }

    THLPlayers HLPlayers()
    {
        THLPlayers s;
        for (int i = Int(0, 32); i > 0; --i) {
            s.Players.append({std::uint8_t(Int(0, 255)), Text(20, QByteArrayView("\0", 1)),
                              std::int32_t(Random_.generate()), float(Random_.bounded(100000.0))});
        }
        s.Count = std::uint8_t(s.Players.size());
        return s;
    }

    THLRules HLRules()
    {
        THLRules s;
        s.Rules = Rules(Int(0, 60), QByteArrayView("\0", 1));
        s.Count = std::int16_t(s.Rules.size());
        return s;
    }

    // A column after the first of a Tribes row: no tab, nothing a row split
    // trims at its start or end, no placeholder.
    QByteArray TribesColumn()
    {
        QByteArray column = Printable(12, "%", 1);
        column[0] = char(Int(33, 126));
        column[column.size() - 1] = char(Int(33, 126));
        return column.replace('%', '#');
    }

    THeader TribesRow(int columns)
    {
        // A row of one column needs text in it: an empty line has no columns.
        THeader row;
        if (columns > 0) {
            row.append(Text(16, "\t%", columns == 1 ? 1 : 0));
        }
        for (int i = 1; i < columns; ++i) {
            row.append(TribesColumn());
        }
        return row;
    }

    TTribesServer Tribes(QList<TTribesPlayerWire>& wire)
    {
        TTribesServer s;
        const QByteArrayView none;
        s.Version = Text(10, none);
        s.HostName = Text(40, none);
        s.Dedicated = Chance(50);
        s.Password = Chance(50);
        s.CPU = Int(0, 65535);
        s.GameType = Text(10, none);
        s.MapType = Text(10, none);
        s.Map = Text(20, none);
        s.Description = Text(200, none);
        // A heading after the first keeps its blanks at the start (the prefix
        // shields them) but loses them at the end of the line.
        const int teamColumns = Int(0, 3);
        s.Teams.Header = TribesRow(teamColumns);
        for (int i = Int(0, 4); i > 0; --i) {
            s.Teams.Rows.append(TribesRow(Int(0, 3)));
        }
        const int playerColumns = Int(0, 5);
        s.Players.Header = TribesRow(playerColumns);
        s.Players.Max = Int(0, 255);
        wire.clear();
        for (int i = Int(0, 20); i > 0; --i) {
            TTribesPlayerWire facts{std::uint8_t(Int(0, 255)), std::uint8_t(Int(0, 255)),
                                    std::uint8_t(Chance(20) ? 255 : Int(0, 5))};
            THeader row = TribesRow(Int(0, 5));
            // Columns that the template writes as placeholders.
            if (row.size() > 2) {
                row[1] = QByteArray::number(facts.PingBy4 * 4);
                row[2] = QByteArray::number(facts.Loss);
            }
            s.Players.Rows.append(row);
            wire.append(facts);
        }
        s.Teams.Count = std::int32_t(s.Teams.Rows.size());
        s.Players.Count = std::int32_t(s.Players.Rows.size());
        return s;
    }

    TT2PingReply T2Ping()
    {
        TT2PingReply s;
        s.Version = Text(255, {});
        s.MinNetProtocol = Random_.generate();
        s.BuildVersion = Random_.generate();
        s.HostName = Text(255, {});
        return s;
    }

    TT2Server T2Info()
    {
        TT2Server s;
        s.GameType = Text(20, {});
        s.MapType = Text(20, {});
        s.Map = Text(20, {});
        s.Dedicated = Chance(50);
        s.Password = Chance(50);
        s.Tournament = Chance(50);
        s.NoAliases = Chance(50);
        s.MaxPlayers = std::uint8_t(Int(0, 255));
        s.BotCount = std::uint8_t(Int(0, 255));
        s.CPU = Int(0, 65535);
        s.Description = Text(255, {});
        for (int i = Int(0, 4); i > 0; --i) {
            s.Teams.append({Text(16, "\t\n"), Int(-100000, 100000)});
        }
        s.TeamCount = std::uint8_t(s.Teams.size());
        for (int i = Int(0, 30); i > 0; --i) {
            s.Players.append({Printable(16, "\t"), Text(16, "\t\n"), Int(-1000, 100000)});
        }
        s.PlayerCount = std::uint8_t(s.Players.isEmpty() ? 0 : Int(1, 255));
        return s;
    }

    QList<TMasterServer> Servers(int count)
    {
        QList<TMasterServer> servers;
        for (int i = 0; i < count; ++i) {
            TMasterServer server{QStringLiteral("%1.%2.%3.%4")
                                     .arg(Int(0, 255))
                                     .arg(Int(0, 255))
                                     .arg(Int(0, 255))
                                     .arg(Int(0, 255)),
                                 Int(0, 65535)};
            if (server.IP == u"69.79.84.0" && server.Port == 0) {
                server.Port = 1; // the end-of-list entry of Quake 3 masters
            }
            servers.append(server);
        }
        return servers;
    }

    QRandomGenerator& Random() { return Random_; }

private:
    template <typename TServer>
    void Derive(TServer& s, QByteArrayView maxPlayers, QByteArrayView hostName)
    {
        s.RuleCount = std::int32_t(s.Rules.size());
        s.PlayerCount = std::int32_t(s.Players.size());
        s.MaxPlayers = ToIntDef(FindRule(s.Rules, maxPlayers));
        s.Name = FindRule(s.Rules, hostName);
        s.Map = FindRule(s.Rules, "mapname");
        s.GameName = FindRule(s.Rules, "gamename");
        s.Version = FindRule(s.Rules, "version");
    }

    QRandomGenerator Random_;
};

template <typename TRecord, typename TDecode>
void CheckRoundTrip(TRecord expected, const QByteArray& wire, TDecode decode, int round)
{
    expected.Info = {"127.0.0.1", 27960, 12, round, wire};
    TRecord decoded;
    QVERIFY2(decode(expected.Info, decoded), qPrintable(QStringLiteral("round %1").arg(round)));
    QVERIFY2(
        decoded == expected,
        qPrintable(
            QStringLiteral("round %1: %2").arg(round).arg(QString::fromLatin1(wire.toHex(' ')))));
}

// What the decoders of a master protocol read from its datagrams, in order.
QList<TMasterServer> DecodeMasterList(const QString& protocol, const QList<QByteArray>& datagrams,
                                      QByteArray* motd)
{
    QList<TMasterServer> servers;
    for (qsizetype i = 0; i < datagrams.size(); ++i) {
        const QByteArray& d = datagrams[i];
        if (protocol == u"hl") {
            // Only the first datagram carries the prefix.
            const QByteArray prefix = THLMaster::ReplyPrefix();
            if (i == 0 && !d.startsWith(prefix)) {
                return {};
            }
            servers += THLMaster::Decode(QByteArrayView(d).sliced(i == 0 ? prefix.size() : 0));
            continue;
        }
        const QByteArray prefix = protocol == u"q3"       ? TQ3Master::ReplyPrefix()
                                  : protocol == u"tribes" ? TTribesMaster::ReplyPrefix()
                                                          : TT2Master::ReplyPrefix();
        if (!d.startsWith(prefix)) {
            return {};
        }
        const QByteArrayView rest = QByteArrayView(d).sliced(prefix.size());
        if (protocol == u"q3") {
            servers += TQ3Master::Decode(rest);
        } else if (protocol == u"t2") {
            servers += TT2Master::Decode(rest);
        } else {
            const TTribesMasterPacket packet = TTribesMaster::Decode(rest);
            if (packet.HasMOTD) {
                *motd += packet.MasterName + '|' + packet.MessageOfTheDay;
            }
            servers += packet.Servers;
        }
    }
    return servers;
}

} // namespace

class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void gameRoundTrip_data();
    void gameRoundTrip();
    void masterRoundTrip_data();
    void masterRoundTrip();
    void exactBytes_data();
    void exactBytes();
    void console();
};

void TestWire::gameRoundTrip_data()
{
    QTest::addColumn<QString>("protocol");
    for (const char* protocol :
         {"q3", "q2", "qw", "hlinfo", "hlplayers", "hlrules", "tribes", "t2ping", "t2info"}) {
        QTest::newRow(protocol) << QString::fromLatin1(protocol);
    }
}

void TestWire::gameRoundTrip()
{
    QFETCH(QString, protocol);
    TRandomRecords random(20260 + quint32(qHash(protocol)));
    for (int round = 0; round < 300; ++round) {
        if (protocol == u"q3") {
            // The wire form carries colour codes, which the decoder removes.
            TQ3AServer record = random.Q3();
            TQ3AServer sent = record;
            for (auto& player : sent.Players) {
                player.Name = WithColourCodes(player.Name, random.Random());
            }
            CheckRoundTrip(record, EncodeQ3AStatus(sent), TQ3AQuery::Decode, round);
        } else if (protocol == u"q2") {
            const TQ2Server record = random.Q2();
            CheckRoundTrip(record, EncodeQ2Status(record), TQ2Query::Decode, round);
        } else if (protocol == u"qw") {
            // Written in the QuakeWorld character set, read back plain.
            TQWServer record = random.QW();
            TQWServer sent = record;
            for (auto& player : sent.Players) {
                player.Name = QuakeWorldName(player.Name, 0.6, random.Random());
            }
            CheckRoundTrip(record, EncodeQWStatus(sent), TQWQuery::Decode, round);
        } else if (protocol == u"hlinfo") {
            const THLInfo record = random.HLInfo();
            CheckRoundTrip(record, EncodeHLInfo(record, "10.0.0.1:27015"), THLInfoQuery::Decode,
                           round);
        } else if (protocol == u"hlplayers") {
            const THLPlayers record = random.HLPlayers();
            CheckRoundTrip(record, EncodeHLPlayers(record), THLPlayerQuery::Decode, round);
        } else if (protocol == u"hlrules") {
            const THLRules record = random.HLRules();
            CheckRoundTrip(record, EncodeHLRules(record), THLRuleQuery::Decode, round);
        } else if (protocol == u"tribes") {
            QList<TTribesPlayerWire> wire;
            const TTribesServer record = random.Tribes(wire);
            CheckRoundTrip(record, EncodeTribesStatus(record, wire), TTribesQuery::Decode, round);
        } else if (protocol == u"t2ping") {
            const TT2PingReply record = random.T2Ping();
            CheckRoundTrip(record, EncodeT2Ping(record), TT2PingQuery::Decode, round);
        } else {
            const TT2Server record = random.T2Info();
            CheckRoundTrip(record, EncodeT2Info(record), TT2Query::Decode, round);
        }
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void TestWire::masterRoundTrip_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("count");
    for (const char* protocol : {"hl", "q3", "tribes", "t2"}) {
        for (int count : {0, 1, 190, 231, 232, 1000, 10000}) {
            QTest::addRow("%s %d", protocol, count) << QString::fromLatin1(protocol) << count;
        }
    }
}

void TestWire::masterRoundTrip()
{
    QFETCH(QString, protocol);
    QFETCH(int, count);
    TRandomRecords random(quint32(count) * 7 + quint32(protocol.size()));
    const QList<TMasterServer> servers = random.Servers(count);
    const QList<QByteArray> datagrams =
        protocol == u"hl"       ? EncodeHLMasterList(servers)
        : protocol == u"q3"     ? EncodeQ3MasterList(servers)
        : protocol == u"tribes" ? EncodeTribesMasterList(servers, "Master", "Hello there")
                                : EncodeT2MasterList(servers);
    QVERIFY(!datagrams.isEmpty());
    for (const QByteArray& datagram : datagrams) {
        QVERIFY2(datagram.size() <= MasterDatagramSize,
                 qPrintable(QString::number(datagram.size())));
    }
    // Full datagrams: no more of them than the entries need.
    const qsizetype entry = protocol == u"q3" || protocol == u"tribes" ? 7 : 6;
    QVERIFY(datagrams.size() <= 1 + count * entry / (MasterDatagramSize - 100));
    QByteArray motd;
    QCOMPARE(DecodeMasterList(protocol, datagrams, &motd), servers);
    QCOMPARE(motd, protocol == u"tribes" ? QByteArray("Master|Hello there") : QByteArray());
}

void TestWire::exactBytes_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("expected");

    TQ3AServer q3;
    q3.Rules = {{"sv_hostname", "^1Red"}, {"mapname", "q3dm17"}};
    q3.Players = {{12, 45, "Ann"}, {-1, 999, "B b"}};
    QTest::newRow("quake 3 status")
        << EncodeQ3AStatus(q3)
        << Bytes("\xFF\xFF\xFF\xFFstatusResponse\n\\sv_hostname\\^1Red\\mapname\\q3dm17\n"
                 "12 45 \"Ann\"\n-1 999 \"B b\"\n");

    TQWServer qw;
    qw.Rules = {{"map", "dm2"}};
    qw.Players = {{5, 12, 30, 45, "\xC1\xE2", "base", 4, 11}};
    QTest::newRow("quakeworld status")
        << EncodeQWStatus(qw)
        << Bytes("\xFF\xFF\xFF\xFFn\\map\\dm2\n5 12 30 45 \"\xC1\xE2\" \"base\" 4 11\n");

    THLPlayers hl;
    hl.Players = {{1, "Al", 7, 90.0f}};
    QTest::newRow("half-life players") << EncodeHLPlayers(hl)
                                       << Bytes("\xFF\xFF\xFF\xFF"
                                                "D\x01\x01"
                                                "Al\x00\x07\x00\x00\x00\x00\x00\xB4\x42");

    THLInfo info;
    info.Name = "N";
    info.Map = "M";
    info.GameDir = "cstrike";
    info.Description = "CS";
    info.NumPlayers = 3;
    info.MaxPlayers = 16;
    info.Protocol = 47;
    info.OS = 1;
    info.Mod = {1, "u", "d", 0x01020304, 1, 0, 1};
    QTest::newRow("half-life details with a modification")
        << EncodeHLInfo(info, "1.2.3.4:27015")
        << Bytes("\xFF\xFF\xFF\xFFm1.2.3.4:27015\0N\0M\0cstrike\0CS\0\x03\x10\x2F"
                 "dl\x00\x01u\0d\0\0\x01\x00\x00\x00\x04\x03\x02\x01\x00\x01");

    TTribesServer tribes;
    tribes.Version = "1.11";
    tribes.HostName = "T";
    tribes.Dedicated = true;
    tribes.CPU = 400;
    tribes.Teams.Header = {"Team", "Score"};
    tribes.Teams.Rows = {{"Red", "5"}};
    tribes.Players.Header = {"Name", "Team", "Ping"};
    tribes.Players.Rows = {{"Al", "Red", "100"}};
    QTest::newRow("tribes status with templates")
        << EncodeTribesStatus(tribes, {{25, 0, 0}})
        << Bytes("c**b\x06Tribes\x04"
                 "1.11\x01T\x01\x00\x01\x00\x90\x01\x00\x00\x00\x00\x01"
                 "\x0BTeam\t_Score\x10Name\t_Team\t_Ping"
                 "\x03Red\x04%t\t5"
                 "\x19\x00\x00\x02"
                 "Al\x08%n\t%t\t%p");

    TT2Server t2;
    t2.GameType = "G";
    t2.Dedicated = true;
    t2.NoAliases = true;
    t2.PlayerCount = 1;
    t2.MaxPlayers = 32;
    t2.CPU = 0x0190;
    t2.Teams = {{"Storm", 3}};
    t2.Players = {{"Al", "Storm", 9}};
    QTest::newRow("tribes 2 info")
        << EncodeT2Info(t2)
        << Bytes("\x14\x02\x00\x00\x00\x00\x01G\x00\x00\x81\x01\x20\x00\x90\x01\x00\x00\x00"
                 "1\nStorm\t3\n1\nAl\tStorm\t9\n");

    QTest::newRow("half-life master") << EncodeHLMasterList({{"192.168.0.1", 27015}}).value(0)
                                      << Bytes("\xFF\xFF\xFF\xFF\x64\x0D\xC0\xA8\x00\x01\x69\x87");
    QTest::newRow("quake 3 master")
        << EncodeQ3MasterList({{"10.0.0.5", 27960}}).value(0)
        << Bytes("\xFF\xFF\xFF\xFFgetserversResponse\\\x0A\x00\x00\x05\x6D\x38\\EOT\0\0\0");
    QTest::newRow("tribes master")
        << EncodeTribesMasterList({{"127.0.0.1", 28001}}, "M", "").value(0)
        << Bytes("\x10\x06\x01\x01\x00\x00\x00\x00\x01M\x00\x00\x01\x06\x7F\x00\x00\x01\x61\x6D");
    QTest::newRow("tribes 2 master")
        << EncodeT2MasterList({{"10.0.0.1", 28000}}).value(0)
        << Bytes("\x08\x00\x00\x00\x00\x00\x00\x01\x01\x00\x0A\x00\x00\x01\x60\x6D");
    QTest::newRow("half-life challenge") << EncodeHLChallengeReply("12345")
                                         << Bytes("\xFF\xFF\xFF\xFF"
                                                  "challenge rcon 12345\n\0");
    QTest::newRow("quake 3 console output")
        << EncodeQ3ConsoleOutput("map: q3dm1\n") << Bytes("\xFF\xFF\xFF\xFFprint\nmap: q3dm1\n");
    QTest::newRow("half-life console end")
        << EncodeHLConsoleOutput("") << Bytes("\xFF\xFF\xFF\xFFl\0\0");
}

void TestWire::exactBytes()
{
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, expected);
    QCOMPARE(encoded.toHex(' '), expected.toHex(' '));
}

void TestWire::console()
{
    // The datagrams of the browser's remote console, read as a server reads them.
    TRconCommand command;
    QVERIFY(IsHLChallengeRequest(Bytes("\xFF\xFF\xFF\xFF"
                                       "challenge rcon\n")));
    QVERIFY(!IsHLChallengeRequest(Bytes("\xFF\xFF\xFF\xFF"
                                        "challenge rconx\n")));
    QVERIFY(ParseHLRcon(Bytes("\xFF\xFF\xFF\xFFrcon 4711 \"pass word\" map de_dust2"), command));
    QCOMPARE(command.Challenge, QByteArray("4711"));
    QCOMPARE(command.Password, QByteArray("pass word"));
    QCOMPARE(command.Command, QByteArray("map de_dust2"));
    QVERIFY(ParseQ3Rcon(Bytes("\xFF\xFF\xFF\xFFrcon \"\" status\n"), command));
    QCOMPARE(command.Password, QByteArray());
    QCOMPARE(command.Command, QByteArray("status"));
    QVERIFY(ParseQ3Rcon(Bytes("\xFF\xFF\xFF\xFFrcon secret say hi"), command));
    QCOMPARE(command.Password, QByteArray("secret"));
    QCOMPARE(command.Command, QByteArray("say hi"));
    QVERIFY(!ParseQ3Rcon(Bytes("\xFF\xFF\xFF\xFFrcon \"unclosed"), command));
    QVERIFY(!ParseHLRcon(Bytes("\xFF\xFF\xFF\xFFgetstatus"), command));
}

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
