#include "simworld.h"

#include <QDateTime>

#include "protocols/quaketext.h"

namespace {

using TWords = QList<QByteArray>;

const TWords kServerPrefixes = {"[EU]",   "[US]", "=DM=", "{LAN}",    "Clan", "The",
                                "-=FF=-", "*NL*", "[DE]", "OldSkool", "24/7", "::"};
const TWords kServerWords = {"Frag Palace", "Rocket Arena", "Railgun Heaven", "Noob Friendly",
                             "Deathmatch",  "CTF Central",  "Insta Gib",      "Duel Arena",
                             "Public",      "Oldschool",    "Team Play",      "Only Maps",
                             "Best Ping",   "No Rules",     "Clan Wars",      "Night Owls"};
const TWords kPlayerNames = {"Fragger", "Sarge",  "Doom",   "Klesk", "Ranger", "Visor",
                             "Xaero",   "Anarki", "Hunter", "Razor", "Mynx",   "Bones",
                             "Grunt",   "Orbb",   "Slash",  "Wrack", "Major",  "Keel",
                             "Lucy",    "Biker",  "Phobos", "Uriel", "Sorlag", "Hossman",
                             "Gib",     "Camper", "n00b",   "Zero",  "Shadow", "Ghost"};
const TWords kClanTags = {"[LoS]", "=EX=", "{BoB}", "|ASH|", "-x-", "(KoF)", "[FU]", ""};

QByteArray Pick(const TWords& words, QRandomGenerator& random)
{
    return words[random.bounded(int(words.size()))];
}

int Between(QRandomGenerator& random, int low, int high)
{
    return low + int(random.bounded(high - low + 1));
}

QByteArray ServerName(int index, QRandomGenerator& random)
{
    return Pick(kServerPrefixes, random) + ' ' + Pick(kServerWords, random) + ' ' +
           QByteArray::number(index + 1);
}

QList<QByteArray> PlayerNames(int count, QRandomGenerator& random)
{
    QList<QByteArray> names;
    for (int i = 0; i < count; ++i) {
        QByteArray name = Pick(kClanTags, random) + Pick(kPlayerNames, random);
        if (random.bounded(3) == 0) {
            name += QByteArray::number(Between(random, 1, 99));
        }
        names.append(name);
    }
    return names;
}

// Players of a Quake game: most servers are partly full, some empty.
int PlayerCount(int maxPlayers, QRandomGenerator& random)
{
    return random.bounded(5) == 0 ? 0 : Between(random, 1, maxPlayers * 3 / 4);
}

const char* const kQ3Maps[] = {"q3dm1",      "q3dm6",      "q3dm7",  "q3dm13", "q3dm17",
                               "q3tourney2", "q3tourney4", "q3ctf1", "q3ctf4", "pro-q3dm6"};
const char* const kQ2Maps[] = {"q2dm1", "q2dm2", "q2dm3", "q2dm8", "base1", "fact3", "city3"};
const char* const kKingpinMaps[] = {"kpdm1", "kpdm2", "kpdm3", "kpdm4", "kpdm5", "team_rc"};
const char* const kHeretic2Maps[] = {"ssdocks", "sstown", "ogle1", "dmcloud", "dmhive"};
const char* const kSinMaps[] = {"dm_sintro", "dm_hog", "dm_mall", "dm_abyss"};
const char* const kSoFMaps[] = {"dm/jpnctf", "dm/irq", "dm/sub", "dm/iraq_town", "dm/rail"};
const char* const kQWMaps[] = {"dm2", "dm3", "dm4", "dm6", "e1m2", "aerowalk", "ztndm3"};
const char* const kHLMaps[] = {"de_dust2", "de_inferno", "cs_assault", "cs_italy",
                               "de_nuke",  "crossfire",  "boot_camp",  "2fort"};
const char* const kTribesMaps[] = {"Raindance", "Broadside", "Sentinel", "Scarabrae", "Avalon"};
const char* const kT2Maps[] = {"Katabatic", "Minotaur", "Tombstone", "Rasp", "Sirocco"};

template <std::size_t N> QList<QByteArray> Maps(const char* const (&maps)[N])
{
    QList<QByteArray> list;
    for (const char* map : maps) {
        list.append(map);
    }
    return list;
}

void MakeQ3(TSimGameState& state, int index, QRandomGenerator& random)
{
    TQ3AServer& s = state.Q3;
    const QByteArray plain = ServerName(index, random);
    const QByteArray map = Pick(SimMaps(gtQuake3), random);
    const int maxPlayers = Between(random, 8, 24);
    const TWords mods = {"baseq3", "osp", "cpma", "baseq3", "baseq3"};
    s.Rules = {{"sv_hostname", WithColourCodes(plain, random)},
               {"mapname", map},
               {"sv_maxclients", QByteArray::number(maxPlayers)},
               {"gamename", Pick(mods, random)},
               {"version", "Q3 1.32c linux-i386 May  8 2006"},
               {"protocol", "68"},
               {"g_gametype", QByteArray::number(Between(random, 0, 4))},
               {"fraglimit", QByteArray::number(Between(random, 2, 6) * 10)},
               {"timelimit", QByteArray::number(Between(random, 1, 4) * 5)},
               {"capturelimit", "8"},
               {"sv_privateClients", "0"},
               {"sv_floodProtect", "1"},
               {"dmflags", "0"},
               {"g_needpass", "0"}};
    for (const QByteArray& name : PlayerNames(PlayerCount(maxPlayers, random), random)) {
        s.Players.append(
            {Between(random, -3, 60), Between(random, 5, 250), WithColourCodes(name, random)});
    }
}

void MakeQ2(TSimGameState& state, int index, QRandomGenerator& random)
{
    TQ2Server& s = state.Q2;
    const int maxPlayers = Between(random, 8, 32);
    const TWords versions = {"3.20 x86 Nov 21 1998 Linux", "R1Q2 b7880 i386 Linux",
                             "1.32 Win32 RELEASE", "2.00 Linux"};
    s.Rules = {{"hostname", ServerName(index, random)},
               {"mapname", Pick(SimMaps(state.Game), random)},
               {"maxclients", QByteArray::number(maxPlayers)},
               {"gamename", state.Game == gtQuake2 ? "baseq2" : "main"},
               {"version", Pick(versions, random)},
               {"deathmatch", "1"},
               {"fraglimit", QByteArray::number(Between(random, 1, 5) * 10)},
               {"timelimit", QByteArray::number(Between(random, 1, 4) * 5)},
               {"dmflags", QByteArray::number(Between(random, 0, 2048))},
               {"cheats", "0"}};
    for (const QByteArray& name : PlayerNames(PlayerCount(maxPlayers, random), random)) {
        s.Players.append({Between(random, 0, 50), Between(random, 20, 300), name});
    }
}

void MakeQW(TSimGameState& state, int index, QRandomGenerator& random)
{
    TQWServer& s = state.QW;
    const int maxPlayers = Between(random, 8, 26);
    s.Rules = {{"hostname", ServerName(index, random)},
               {"map", Pick(SimMaps(gtQuakeWorld), random)},
               {"maxclients", QByteArray::number(maxPlayers)},
               {"*gamedir", random.bounded(2) ? "qw" : "ktpro"},
               {"*version", "MVDSV 0.32"},
               {"*progs", QByteArray::number(Between(random, 20000, 40000))},
               {"fraglimit", "50"},
               {"timelimit", "20"},
               {"teamplay", QByteArray::number(Between(random, 0, 2))},
               {"deathmatch", "3"}};
    const TWords skins = {"base", "bpfemale", "tf_sold", "cyber", "tekk"};
    int userId = Between(random, 1, 40);
    for (const QByteArray& name : PlayerNames(PlayerCount(maxPlayers, random), random)) {
        TQWServer::TPlayer player;
        player.UserID = userId++;
        player.Frags = Between(random, -2, 80);
        player.Time = Between(random, 0, 120);
        player.Ping = Between(random, 12, 200);
        player.Name = QuakeWorldName(name, 0.5, random);
        player.Skin = Pick(skins, random);
        player.TopColor = Between(random, 0, 13);
        player.BottomColor = Between(random, 0, 13);
        s.Players.append(player);
    }
}

void MakeHL(TSimGameState& state, int index, QRandomGenerator& random)
{
    struct TMod
    {
        const char* Dir;
        const char* Description;
        std::uint16_t AppID;
    };
    static const TMod mods[] = {{"cstrike", "Counter-Strike", 10},
                                {"valve", "Half-Life", 70},
                                {"tfc", "Team Fortress Classic", 20},
                                {"dod", "Day of Defeat", 30}};
    const TMod& mod = mods[random.bounded(int(std::size(mods)))];
    THLInfo& info = state.HLInfo;
    info.Name = ServerName(index, random);
    info.Map = Pick(SimMaps(gtHalfLife), random);
    info.GameDir = mod.Dir;
    info.Description = mod.Description;
    info.MaxPlayers = std::uint8_t(Between(random, 10, 32));
    info.Protocol = 47;
    info.Listen = random.bounded(10) == 0 ? 1 : 0;
    info.OS = std::uint8_t(random.bounded(2));
    info.Password = random.bounded(8) == 0 ? 1 : 0;
    if (QByteArray(mod.Dir) != "valve") {
        info.Mod.IsMod = 1;
        info.Mod.InfoURL = "http://www." + QByteArray(mod.Dir) + ".example/";
        info.Mod.DownloadURL = "http://www." + QByteArray(mod.Dir) + ".example/download";
        info.Mod.ModVersion = 1;
        info.Mod.ModSize = Between(random, 10, 200) * 1024 * 1024;
        info.Mod.ServerOnly = 0;
        info.Mod.CustomDLL = 1;
    }
    std::uint8_t slot = 1;
    for (const QByteArray& name : PlayerNames(PlayerCount(info.MaxPlayers, random), random)) {
        state.HLPlayers.Players.append(
            {slot++, name, Between(random, -2, 60), float(Between(random, 10, 7200)) + 0.25f});
    }
    state.HLPlayers.Count = std::uint8_t(state.HLPlayers.Players.size());
    info.NumPlayers = state.HLPlayers.Count;
    state.HLRules.Rules = {{"mp_friendlyfire", QByteArray::number(Between(random, 0, 1))},
                           {"mp_timelimit", QByteArray::number(Between(random, 2, 6) * 5)},
                           {"mp_fraglimit", "0"},
                           {"mp_roundtime", "3"},
                           {"mp_c4timer", "35"},
                           {"sv_gravity", "800"},
                           {"sv_maxspeed", "320"},
                           {"sv_password", info.Password ? "1" : "0"},
                           {"sv_contact", "admin@example.org"},
                           {"allow_spectators", "1"},
                           {"coop", "0"},
                           {"deathmatch", "1"}};
    state.HLRules.Count = std::int16_t(state.HLRules.Rules.size());

    // Taken from what was drawn already, so that the records of every other
    // server stay as they were before servers had a Steam form. The game
    // port is the server's own and is set when its socket is bound.
    THLSteamInfo& steam = state.HLSteam;
    steam.AppID = mod.AppID;
    steam.Bots = std::uint8_t(index % 3 == 0 ? 0 : index % 3);
    steam.VAC = info.Password ? 0 : 1;
    steam.Version = "1.1.2.7/Stdio";
    steam.ExtraData = THLSteamInfo::HasGamePort | THLSteamInfo::HasSteamID |
                      THLSteamInfo::HasKeywords | THLSteamInfo::HasGameID;
    steam.SteamID = 90071992547409920ull + std::uint64_t(index);
    steam.Keywords = info.GameDir + (steam.VAC ? ",secure" : "");
    steam.GameID = mod.AppID;
}

void MakeTribes(TSimGameState& state, int index, QRandomGenerator& random)
{
    TTribesServer& s = state.Tribes;
    s.Version = "1.11";
    s.HostName = ServerName(index, random);
    s.Dedicated = random.bounded(6) != 0;
    s.Password = random.bounded(8) == 0;
    s.CPU = Between(random, 300, 1400);
    s.GameType = random.bounded(3) ? "base" : "Renegades";
    s.MapType = random.bounded(3) ? "CTF" : "Capture and Hold";
    s.Map = Pick(SimMaps(gtTribes), random);
    s.Description = "Welcome to " + s.HostName + ". Play fair, have fun!";
    s.Players.Max = Between(random, 16, 32);
    s.Teams.Header = {"Team", "Score"};
    s.Teams.Rows = {{"Blood Eagle", QByteArray::number(Between(random, 0, 8))},
                    {"Diamond Sword", QByteArray::number(Between(random, 0, 8))}};
    s.Players.Header = {"Name", "Team", "Score", "Ping", "PL"};
    for (const QByteArray& name : PlayerNames(PlayerCount(s.Players.Max, random), random)) {
        TTribesPlayerWire wire;
        wire.PingBy4 = std::uint8_t(Between(random, 5, 60));
        wire.Loss = std::uint8_t(Between(random, 0, 3));
        wire.Team = random.bounded(8) == 0 ? 255 : std::uint8_t(random.bounded(2));
        const QByteArray team = wire.Team < 2 ? s.Teams.Rows[wire.Team].first() : "Observer";
        s.Players.Rows.append({name, team, QByteArray::number(Between(random, 0, 40)),
                               QByteArray::number(wire.PingBy4 * 4),
                               QByteArray::number(wire.Loss)});
        state.TribesWire.append(wire);
    }
    s.Teams.Count = std::int32_t(s.Teams.Rows.size());
    s.Players.Count = std::int32_t(s.Players.Rows.size());
}

void MakeT2(TSimGameState& state, int index, QRandomGenerator& random)
{
    TT2PingReply& ping = state.T2Ping;
    ping.Version = "25034";
    ping.MinNetProtocol = 12;
    ping.BuildVersion = 25034;
    ping.HostName = ServerName(index, random);

    TT2Server& s = state.T2Info;
    s.GameType = random.bounded(3) ? "Classic" : "Base";
    s.MapType = random.bounded(3) ? "Capture the Flag" : "Siege";
    s.Map = Pick(SimMaps(gtTribes2), random);
    s.MaxPlayers = std::uint8_t(Between(random, 16, 64));
    s.Dedicated = true;
    s.Password = random.bounded(8) == 0;
    s.Tournament = random.bounded(10) == 0;
    s.NoAliases = random.bounded(4) == 0;
    s.BotCount = std::uint8_t(random.bounded(3));
    s.CPU = Between(random, 500, 3000);
    s.Description = "Tribes 2 server " + QByteArray::number(index + 1) + " - all welcome";
    s.Teams = {{"Storm", Between(random, 0, 3000)}, {"Inferno", Between(random, 0, 3000)}};
    s.TeamCount = std::uint8_t(s.Teams.size());
    for (const QByteArray& name : PlayerNames(PlayerCount(s.MaxPlayers, random), random)) {
        s.Players.append({name, s.Teams[random.bounded(2)].Name, Between(random, 0, 300)});
    }
    s.PlayerCount = std::uint8_t(s.Players.size());
}

void SetRule(TRuleList& rules, const QByteArray& name, const QByteArray& value)
{
    for (TRule& rule : rules) {
        if (rule.Name == name) {
            rule.Value = value;
            return;
        }
    }
    rules.append({name, value});
}

} // namespace

QList<QByteArray> SimMaps(TGameType game)
{
    switch (game) {
    case gtQuake3:
        return Maps(kQ3Maps);
    case gtQuake2:
        return Maps(kQ2Maps);
    case gtKingpin:
        return Maps(kKingpinMaps);
    case gtHeretic2:
        return Maps(kHeretic2Maps);
    case gtSin:
        return Maps(kSinMaps);
    case gtSoF:
        return Maps(kSoFMaps);
    case gtQuakeWorld:
        return Maps(kQWMaps);
    case gtHalfLife:
        return Maps(kHLMaps);
    case gtTribes:
        return Maps(kTribesMaps);
    case gtTribes2:
        return Maps(kT2Maps);
    default:
        return {};
    }
}

TSimGameState MakeSimServer(TGameType game, int index, QRandomGenerator& random)
{
    TSimGameState state;
    state.Game = game;
    switch (GameInfo(game)->Protocol) {
    case TQueryProtocol::Quake3:
        MakeQ3(state, index, random);
        break;
    case TQueryProtocol::Quake2:
        MakeQ2(state, index, random);
        break;
    case TQueryProtocol::QuakeWorld:
        MakeQW(state, index, random);
        break;
    case TQueryProtocol::HalfLife:
        MakeHL(state, index, random);
        break;
    case TQueryProtocol::Tribes:
        MakeTribes(state, index, random);
        break;
    case TQueryProtocol::Tribes2:
        MakeT2(state, index, random);
        break;
    }
    return state;
}

QByteArray TSimGameState::PlainName() const
{
    switch (GameInfo(Game)->Protocol) {
    case TQueryProtocol::Quake3:
        return RemoveColorCodes(FindRule(Q3.Rules, "sv_hostname"));
    case TQueryProtocol::Quake2:
        return FindRule(Q2.Rules, "hostname");
    case TQueryProtocol::QuakeWorld:
        return FindRule(QW.Rules, "hostname");
    case TQueryProtocol::HalfLife:
        return HLInfo.Name;
    case TQueryProtocol::Tribes:
        return Tribes.HostName;
    case TQueryProtocol::Tribes2:
        return T2Ping.HostName;
    }
    return {};
}

QByteArray TSimGameState::MapName() const
{
    switch (GameInfo(Game)->Protocol) {
    case TQueryProtocol::Quake3:
        return FindRule(Q3.Rules, "mapname");
    case TQueryProtocol::Quake2:
        return FindRule(Q2.Rules, "mapname");
    case TQueryProtocol::QuakeWorld:
        return FindRule(QW.Rules, "map");
    case TQueryProtocol::HalfLife:
        return HLInfo.Map;
    case TQueryProtocol::Tribes:
        return Tribes.Map;
    case TQueryProtocol::Tribes2:
        return T2Info.Map;
    }
    return {};
}

int TSimGameState::PlayerCount() const
{
    switch (GameInfo(Game)->Protocol) {
    case TQueryProtocol::Quake3:
        return int(Q3.Players.size());
    case TQueryProtocol::Quake2:
        return int(Q2.Players.size());
    case TQueryProtocol::QuakeWorld:
        return int(QW.Players.size());
    case TQueryProtocol::HalfLife:
        return HLInfo.NumPlayers;
    case TQueryProtocol::Tribes:
        return int(Tribes.Players.Rows.size());
    case TQueryProtocol::Tribes2:
        return T2Info.PlayerCount;
    }
    return 0;
}

int TSimGameState::MaxPlayers() const
{
    switch (GameInfo(Game)->Protocol) {
    case TQueryProtocol::Quake3:
        return ToIntDef(FindRule(Q3.Rules, "sv_maxclients"));
    case TQueryProtocol::Quake2:
        return ToIntDef(FindRule(Q2.Rules, "maxclients"));
    case TQueryProtocol::QuakeWorld:
        return ToIntDef(FindRule(QW.Rules, "maxclients"));
    case TQueryProtocol::HalfLife:
        return HLInfo.MaxPlayers;
    case TQueryProtocol::Tribes:
        return Tribes.Players.Max;
    case TQueryProtocol::Tribes2:
        return T2Info.MaxPlayers;
    }
    return 0;
}

TRuleList* TSimGameState::QuakeRules()
{
    switch (GameInfo(Game)->Protocol) {
    case TQueryProtocol::Quake3:
        return &Q3.Rules;
    case TQueryProtocol::Quake2:
        return &Q2.Rules;
    case TQueryProtocol::QuakeWorld:
        return &QW.Rules;
    default:
        return nullptr;
    }
}

void TSimGameState::SetMap(const QByteArray& map)
{
    if (TRuleList* rules = QuakeRules()) {
        SetRule(*rules, Game == gtQuakeWorld ? "map" : "mapname", map);
    }
    HLInfo.Map = map;
    Tribes.Map = map;
    T2Info.Map = map;
}

void TSimGameState::SetHostName(const QByteArray& name)
{
    if (TRuleList* rules = QuakeRules()) {
        SetRule(*rules, Game == gtQuake3 ? "sv_hostname" : "hostname", name);
    }
    HLInfo.Name = name;
    Tribes.HostName = name;
    T2Ping.HostName = name;
}

void TSimGameState::SetMaxPlayers(int max)
{
    if (TRuleList* rules = QuakeRules()) {
        SetRule(*rules, Game == gtQuake3 ? "sv_maxclients" : "maxclients", QByteArray::number(max));
    }
    Q3.MaxPlayers = Q2.MaxPlayers = QW.MaxPlayers = max;
    HLInfo.MaxPlayers = std::uint8_t(max);
    Tribes.Players.Max = max;
    T2Info.MaxPlayers = std::uint8_t(max);
}

void TSimGameState::DropPlayer()
{
    const auto dropLast = [](auto& list) {
        if (!list.isEmpty()) {
            list.removeLast();
        }
    };
    dropLast(Q3.Players);
    Q3.PlayerCount = std::int32_t(Q3.Players.size());
    dropLast(Q2.Players);
    Q2.PlayerCount = std::int32_t(Q2.Players.size());
    dropLast(QW.Players);
    QW.PlayerCount = std::int32_t(QW.Players.size());
    dropLast(HLPlayers.Players);
    HLPlayers.Count = std::uint8_t(HLPlayers.Players.size());
    HLInfo.NumPlayers = HLInfo.NumPlayers > 0 ? HLInfo.NumPlayers - 1 : 0;
    dropLast(Tribes.Players.Rows);
    dropLast(TribesWire);
    Tribes.Players.Count = std::int32_t(Tribes.Players.Rows.size());
    dropLast(T2Info.Players);
    T2Info.PlayerCount = std::uint8_t(T2Info.Players.size());
}

void TSimGameState::TakePlayersFrom(const TSimGameState& other)
{
    Q3.Players = other.Q3.Players;
    Q3.PlayerCount = other.Q3.PlayerCount;
    Q2.Players = other.Q2.Players;
    Q2.PlayerCount = other.Q2.PlayerCount;
    QW.Players = other.QW.Players;
    QW.PlayerCount = other.QW.PlayerCount;
    HLPlayers = other.HLPlayers;
    HLInfo.NumPlayers = other.HLInfo.NumPlayers;
    Tribes.Players = other.Tribes.Players;
    TribesWire = other.TribesWire;
    T2Info.Players = other.T2Info.Players;
    T2Info.PlayerCount = other.T2Info.PlayerCount;
}

int TSimGameState::Quake3Protocol() const
{
    return ToIntDef(FindRule(Q3.Rules, "protocol"));
}

void TSimGameState::SetQuake3Protocol(int protocol)
{
    SetRule(Q3.Rules, "protocol", QByteArray::number(protocol));
}
