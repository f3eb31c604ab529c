#include "readers.h"

#include <algorithm>

#include "core/genericfilter.h"
#include "core/masterlist.h"
#include "core/remoteconsole.h"
#include "core/serverlistfile.h"
#include "core/serverresults.h"
#include "core/settings.h"
#include "core/settingsio.h"
#include "core/settingsstore.h"
#include "masters/hlmaster.h"
#include "masters/q3master.h"
#include "masters/t2master.h"
#include "masters/tribesmaster.h"
#include "model/networktext.h"
#include "model/wildcard.h"
#include "protocols/hlinfoquery.h"
#include "protocols/hlplayerquery.h"
#include "protocols/hlrulequery.h"
#include "protocols/q2query.h"
#include "protocols/q3aquery.h"
#include "protocols/qwquery.h"
#include "protocols/t2pingquery.h"
#include "protocols/t2query.h"
#include "protocols/tribesquery.h"

namespace {

TBasicData Reply(QByteArrayView data)
{
    return {QStringLiteral("10.0.0.1"), 27960, 48, 7, data.toByteArray()};
}

// What the list does with a decoded record: the row's texts, both ways, and
// the buddy check over the player table.
bool Shown(const TGenericServer& server)
{
    static const TBuddyList buddies{{"*a*b?", false}, {"\xD0\x92*", true}, {"", true}};
    HasBuddy(server.PlayerTable, buddies, true);
    for (bool allowFormat : {false, true}) {
        const TRowTexts texts = ReplyRowTexts(server, allowFormat);
        // A shown name goes back to the file as the bytes it came from.
        if (!allowFormat && BytesOfShown(texts.Caption, server.Name) != server.Name) {
            return false;
        }
    }
    return BytesOfText(StoredText(server.Name)) == server.Name;
}

// Decodes Data with Decode, checks the record, and copies it into a list
// row with Apply.
template <typename TRecord, typename TDecode, typename TApply, typename TCheck>
bool GameReply(QByteArrayView data, TDecode decode, TApply apply, TCheck check)
{
    TRecord record;
    if (!decode(Reply(data), record)) {
        return true;
    }
    if (!check(record)) {
        return false;
    }
    auto server = TGenericServer::Create();
    apply(*server, record);
    return Shown(*server);
}

constexpr auto Always = [](const auto&) { return true; };

bool Q3AStatus(QByteArrayView data)
{
    return GameReply<TQ3AServer>(
        data, TQ3AQuery::Decode,
        [](TGenericServer& server, const TQ3AServer& reply) { ApplyQuakeReply(server, reply); },
        Always);
}

bool Q2Status(QByteArrayView data)
{
    return GameReply<TQ2Server>(
        data, TQ2Query::Decode,
        [](TGenericServer& server, const TQ2Server& reply) { ApplyQuakeReply(server, reply); },
        Always);
}

bool QWStatus(QByteArrayView data)
{
    return GameReply<TQWServer>(data, TQWQuery::Decode, ApplyQuakeWorldReply, Always);
}

bool HLDetails(QByteArrayView data)
{
    return GameReply<THLInfo>(data, THLInfoQuery::Decode, ApplyHLInfoReply,
                              [](const THLInfo& info) { return info.OS <= 2 && info.Listen <= 1; });
}

bool HLPlayers(QByteArrayView data)
{
    return GameReply<THLPlayers>(
        data, THLPlayerQuery::Decode, ApplyHLPlayersReply, [&](const THLPlayers& players) {
            // Never more entries than announced, nor than the bytes could hold.
            return players.Players.size() <= players.Count && players.Players.size() <= data.size();
        });
}

bool HLRules(QByteArrayView data)
{
    return GameReply<THLRules>(data, THLRuleQuery::Decode, ApplyHLRulesReply,
                               [&](const THLRules& rules) {
                                   return rules.Rules.size() <= qMax<int>(0, rules.Count) &&
                                          rules.Rules.size() <= data.size();
                               });
}

bool TribesStatus(QByteArrayView data)
{
    return GameReply<TTribesServer>(data, TTribesQuery::Decode, ApplyTribesReply,
                                    [](const TTribesServer& server) {
                                        return server.Teams.Rows.size() == server.Teams.Count &&
                                               server.Players.Rows.size() == server.Players.Count;
                                    });
}

bool T2Ping(QByteArrayView data)
{
    return GameReply<TT2PingReply>(data, TT2PingQuery::Decode, ApplyT2PingReply, Always);
}

bool T2Info(QByteArrayView data)
{
    return GameReply<TT2Server>(
        data, TT2Query::Decode, ApplyT2InfoReply,
        [](const TT2Server& server) { return server.Teams.size() == server.TeamCount; });
}

// No listed server has port 0, and none is made of fewer than six bytes.
bool Listed(const QList<TMasterServer>& servers, QByteArrayView data)
{
    return servers.size() <= data.size() / 6 &&
           std::all_of(servers.begin(), servers.end(), [](const TMasterServer& server) {
               return server.Port > 0 && server.Port <= 65535 && server.IP.count(u'.') == 3;
           });
}

bool HLMasterList(QByteArrayView data)
{
    return Listed(THLMaster::Decode(data), data);
}

bool Q3MasterList(QByteArrayView data)
{
    return Listed(TQ3Master::Decode(data), data);
}

bool TribesMasterList(QByteArrayView data)
{
    const TTribesMasterPacket packet = TTribesMaster::Decode(data);
    return Listed(packet.Servers, data) &&
           packet.MasterName.size() + packet.MessageOfTheDay.size() <= data.size();
}

bool T2MasterList(QByteArrayView data)
{
    return Listed(TT2Master::Decode(data), data);
}

// Every line read becomes a row, and writing the row gives a line that reads
// back the same (a CR inside a field is written as a blank).
bool ServerListFile(QByteArrayView data)
{
    qsizetype unread = 0;
    const QList<TServerListLine> lines = DecodeServerList(data, &unread);
    if (unread > 0 && lines.isEmpty() && IsEmptyServerList(data)) {
        return false; // a line that is no server is something to keep
    }
    for (const TServerListLine& line : lines) {
        auto server = TGenericServer::Create();
        ApplyServerListLine(*server, line);
        ServerListLineTexts(line);
        const std::optional<TServerListLine> again =
            DecodeServerListLine(EncodeServerListLine(line));
        const bool hasCR = line.Address.contains('\r') || line.Caption.contains('\r') ||
                           line.Map.contains('\r') || line.Players.contains('\r') ||
                           line.Ping.contains('\r') || line.GameName.contains('\r');
        if (!again || (!hasCR && !(*again == line))) {
            return false;
        }
    }
    return true;
}

// The store reads any document, keeps what it cannot read for the file, and
// writes a document that reads back to itself. What the program reads from
// it (settings, masters, profiles) never fails.
bool SettingsFile(QByteArrayView data)
{
    TFileSettingsStore store(QStringLiteral("/nonexistent/settings.json"));
    if (!store.Read(data.toByteArray())) {
        return store.SubKeys(QStringLiteral("\\")).isEmpty();
    }
    // What was kept aside is written back and kept aside again; the file
    // written does not change by being read and written once more. (Kept
    // entries are written after the others, so one may now be named as the
    // second of its name rather than for what it holds.)
    const QByteArray document = store.Document();
    TFileSettingsStore again(QStringLiteral("/nonexistent/settings.json"));
    if (!again.Read(document) || again.Document() != document ||
        again.Problems().isEmpty() != store.Problems().isEmpty()) {
        return false;
    }
    TSettings settings;
    LoadSettings(store, settings);
    ReadMasterList(store);
    for (const TFilterProfile& profile : ReadProfiles(store)) {
        WriteFilters(profile.Filters);
    }
    StoredStartInTray(store);
    ReadLastNews(store);
    return true;
}

// A profile's text reads into conditions that write back as a text reading
// into the same conditions, and each gives a verdict on a server.
bool FilterProfile(QByteArrayView data)
{
    const TFilterList filters = ReadFilters(data);
    if (ReadFilters(WriteFilters(filters)) != filters) {
        return false;
    }
    auto server = TGenericServer::Create();
    server->Name = data.first(qMin<qsizetype>(data.size(), 64)).toByteArray();
    server->NoReply = false;
    for (const TGenericFilter& filter : filters) {
        TestFilter(filter, *server);
        FilterDataText(filter);
    }
    return true;
}

// A console reply gives a challenge, lines or nothing, each made of the
// datagram's own bytes; a challenge has no control bytes at its ends.
bool ConsoleReply(QByteArrayView data)
{
    const TConsoleReply reply = ReadConsoleReply(data);
    const QByteArrayView challenge = reply.Challenge;
    if (reply.Kind != TConsoleReply::TKind::Challenge && !challenge.isEmpty()) {
        return false;
    }
    if (!challenge.isEmpty() && (quint8(challenge.front()) <= 32 ||
                                 quint8(challenge.back()) <= 32 || !data.contains(challenge))) {
        return false;
    }
    if (reply.Kind != TConsoleReply::TKind::Lines && !reply.Lines.isEmpty()) {
        return false;
    }
    qsizetype bytes = 0;
    for (const QByteArray& line : reply.Lines) {
        bytes += line.size();
        if (!data.contains(line)) {
            return false;
        }
        TextOfBytes(line);
    }
    return bytes <= data.size();
}

constexpr TFuzzReader kReaders[] = {
    {"q3a_status", Q3AStatus},
    {"q2_status", Q2Status},
    {"qw_status", QWStatus},
    {"hl_details", HLDetails},
    {"hl_players", HLPlayers},
    {"hl_rules", HLRules},
    {"tribes_status", TribesStatus},
    {"t2_ping", T2Ping},
    {"t2_info", T2Info},
    {"hl_master", HLMasterList},
    {"q3_master", Q3MasterList},
    {"tribes_master", TribesMasterList},
    {"t2_master", T2MasterList},
    {"server_list_file", ServerListFile},
    {"settings_file", SettingsFile},
    {"filter_profile", FilterProfile},
    {"console_reply", ConsoleReply},
};

} // namespace

std::span<const TFuzzReader> FuzzReaders()
{
    return kReaders;
}

const TFuzzReader* FuzzReader(QByteArrayView name)
{
    for (const TFuzzReader& reader : kReaders) {
        if (name == reader.Name) {
            return &reader;
        }
    }
    return nullptr;
}
