#include "seeds.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QRect>
#include <QTemporaryDir>

#include "core/genericfilter.h"
#include "core/masterlist.h"
#include "core/serverlistfile.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "simworld.h"
#include "wire/consolewire.h"
#include "wire/masterwire.h"

namespace {

constexpr int kServers = 6;

QList<TSimGameState> Servers(TGameType game)
{
    QRandomGenerator random(1400 + game);
    QList<TSimGameState> servers;
    for (int i = 0; i < kServers; ++i) {
        servers << MakeSimServer(game, i, random);
    }
    return servers;
}

template <typename TEncode> QList<QByteArray> Replies(TGameType game, TEncode encode)
{
    QList<QByteArray> replies;
    for (const TSimGameState& state : Servers(game)) {
        replies << encode(state);
    }
    // A reply cut short, as a lost fragment leaves it.
    replies << replies.first().left(replies.first().size() / 2);
    return replies;
}

QList<TMasterServer> Listed(int count)
{
    QRandomGenerator random(27950);
    QList<TMasterServer> servers;
    for (int i = 0; i < count; ++i) {
        const quint32 address = random.generate();
        servers << TMasterServer{QStringLiteral("%1.%2.%3.%4")
                                     .arg(address >> 24)
                                     .arg(address >> 16 & 0xFF)
                                     .arg(address >> 8 & 0xFF)
                                     .arg(address & 0xFF),
                                 int(random.bounded(1, 65536))};
    }
    return servers;
}

// The accepted bytes of each datagram: what follows the prefix the master
// component checks.
QList<QByteArray> Accepted(const QList<QByteArray>& datagrams, const QByteArray& prefix)
{
    QList<QByteArray> accepted;
    for (const QByteArray& datagram : datagrams) {
        accepted << (datagram.startsWith(prefix) ? datagram.sliced(prefix.size()) : datagram);
    }
    return accepted;
}

QList<QByteArray> ListFiles()
{
    QList<TServerListLine> lines;
    for (TGameType game : {gtQuake3, gtHalfLife, gtTribes2, gtQuakeWorld}) {
        int index = 0;
        for (const TSimGameState& state : Servers(game)) {
            lines << TServerListLine{game,
                                     "10.0.0." + QByteArray::number(++index) + ":27960",
                                     state.PlainName(),
                                     state.MapName(),
                                     QByteArray::number(state.PlayerCount()) + '/' +
                                         QByteArray::number(state.MaxPlayers()),
                                     QByteArray::number(index * 17),
                                     "baseq3",
                                     index % 3 == 0};
        }
    }
    const QByteArray file = EncodeServerList(lines);
    QByteArray crOnly = file;
    crOnly.replace("\r\n", "\r");
    return {file, EncodeServerList({}), crOnly};
}

QList<QByteArray> SettingsFiles()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/settings.json");
    TFileSettingsStore store(path);
    TSettingsValues values;
    values.MaxQueries = 40;
    values.StatsUsername = QStringLiteral("Ranger");
    values.ServerNamePatterns = {QStringLiteral("*CTF*"), QStringLiteral("duel?")};
    values.Buddies = {{"Sarge", true}, {"\xD0\x92\xD0\xBB\xD0\xB0\xD0\xB4", false}};
    values.ListRect = QRect(40, 30, 900, 640);
    values.ListLayout = {{300, 120, 70, 50, 90, 160}, {1, 0, 2, 3, 5, 4}, false, 3};
    WriteMasterList(store, BuiltInMasters());
    SaveSettings(store, values);
    WriteLastNews(store, QDateTime(QDate(2024, 5, 1), QTime(12, 0)));
    SaveProfile(store, QStringLiteral("CTF"), ReadFilters("1,1,*CTF*,0,5,3,,100,8,6,,0,"));
    store.Save();
    const QByteArray document = store.Document();
    // One entry of every kind of damage the reader keeps aside.
    QByteArray damaged = document;
    damaged.replace("\"data\": 40", "\"data\": \"40\"");
    damaged.replace("\"name\": \"Colors\"", "\"name\": \"Co\\\\lors\"");
    damaged.replace("\"kind\": \"flag\"", "\"kind\": \"float\"");
    return {document, damaged};
}

QList<QByteArray> Profiles()
{
    return {WriteFilters(ReadFilters("1,1,*CTF*,0,5,3,,100,8,6,,0,")),
            WriteFilters({{ftMap, foNoMatch, "q3dm?", 0}, {ftPing, foLess, {}, -5}}),
            QByteArray("9,7,,2147483647,3,1,Tribes*,0,")};
}

} // namespace

QList<QByteArray> FuzzSeeds(QByteArrayView reader)
{
    if (reader == "q3a_status") {
        return Replies(gtQuake3, [](const TSimGameState& s) { return EncodeQ3AStatus(s.Q3); });
    }
    if (reader == "q2_status") {
        QList<QByteArray> replies;
        for (TGameType game : {gtQuake2, gtKingpin, gtHeretic2, gtSin, gtSoF}) {
            replies += Replies(game, [](const TSimGameState& s) { return EncodeQ2Status(s.Q2); });
        }
        return replies;
    }
    if (reader == "qw_status") {
        return Replies(gtQuakeWorld, [](const TSimGameState& s) { return EncodeQWStatus(s.QW); });
    }
    if (reader == "hl_details") {
        QList<QByteArray> replies = Replies(gtHalfLife, [](const TSimGameState& s) {
            return EncodeHLInfo(s.HLInfo, "10.0.0.1:27015");
        });
        // And a real server's, in the layout with the empty string.
        QFile real(QStringLiteral(MORVIX_TEST_DATA_DIR "/hl_details_cs16.bin"));
        if (real.open(QIODevice::ReadOnly)) {
            replies << real.readAll();
        }
        return replies;
    }
    if (reader == "hl_players") {
        return Replies(gtHalfLife,
                       [](const TSimGameState& s) { return EncodeHLPlayers(s.HLPlayers); });
    }
    if (reader == "hl_rules") {
        return Replies(gtHalfLife, [](const TSimGameState& s) { return EncodeHLRules(s.HLRules); });
    }
    if (reader == "tribes_status") {
        return Replies(gtTribes, [](const TSimGameState& s) {
            return EncodeTribesStatus(s.Tribes, s.TribesWire);
        });
    }
    if (reader == "t2_ping") {
        return Replies(gtTribes2, [](const TSimGameState& s) { return EncodeT2Ping(s.T2Ping); });
    }
    if (reader == "t2_info") {
        return Replies(gtTribes2, [](const TSimGameState& s) { return EncodeT2Info(s.T2Info); });
    }
    const QList<TMasterServer> listed = Listed(300);
    if (reader == "hl_master") {
        return Accepted(EncodeHLMasterList(listed, 600), THLMaster::ReplyPrefix());
    }
    if (reader == "q3_master") {
        return Accepted(EncodeQ3MasterList(listed, 600), TQ3Master::ReplyPrefix());
    }
    if (reader == "tribes_master") {
        return Accepted(EncodeTribesMasterList(listed, "Tribes Master", "Welcome!", 600),
                        TTribesMaster::ReplyPrefix());
    }
    if (reader == "t2_master") {
        return Accepted(EncodeT2MasterList(listed, 600), TT2Master::ReplyPrefix());
    }
    if (reader == "server_list_file") {
        return ListFiles();
    }
    if (reader == "settings_file") {
        return SettingsFiles();
    }
    if (reader == "filter_profile") {
        return Profiles();
    }
    if (reader == "console_reply") {
        return {EncodeHLChallengeReply("3141592653"),
                EncodeHLConsoleOutput("hostname: Sim\nplayers : 3 active (16 max)\n"),
                EncodeHLConsoleOutput(QByteArray(2, '\0')),
                EncodeHLLogLine("L 12/06/2026 - 20:00:00:", "\"Ann<1><STEAM_0:1><>\" say \"hi\""),
                EncodeQ3ConsoleOutput("map: q3dm17\nnum score ping name\n")};
    }
    return {};
}
