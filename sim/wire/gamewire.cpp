#include "wire/gamewire.h"

#include <bit>
#include <cstring>

namespace {

template <typename T> void AppendLE(QByteArray& out, T value)
{
    static_assert(std::is_arithmetic_v<T>);
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(std::begin(raw), std::end(raw));
    }
    out.append(reinterpret_cast<const char*>(raw), sizeof(T));
}

void AppendU8(QByteArray& out, int value)
{
    out.append(char(std::uint8_t(value)));
}

// A length byte and the text; a text longer than 255 bytes is cut there.
void AppendPString(QByteArray& out, QByteArrayView text)
{
    const qsizetype length = qMin<qsizetype>(text.size(), 255);
    AppendU8(out, int(length));
    out.append(text.first(length));
}

void AppendCString(QByteArray& out, QByteArrayView text)
{
    out.append(text);
    out.append('\0');
}

void AppendInfoString(QByteArray& out, const TRuleList& rules)
{
    bool first = true;
    for (const TRule& rule : rules) {
        if (!first) {
            out.append('\\');
        }
        first = false;
        out.append(rule.Name).append('\\').append(rule.Value);
    }
}

// Header, the line feed and backslash the decoders skip, the info string
// and one line per player of Frags, Ping and the quoted name.
template <typename TServer>
QByteArray EncodeQuakeStatus(QByteArrayView header, const TServer& server)
{
    QByteArray out;
    out.reserve(256 + 32 * server.Players.size());
    out.append(header).append("\n\\");
    AppendInfoString(out, server.Rules);
    out.append('\n');
    for (const auto& player : server.Players) {
        out.append(QByteArray::number(player.Frags))
            .append(' ')
            .append(QByteArray::number(player.Ping))
            .append(" \"")
            .append(player.Name)
            .append("\"\n");
    }
    return out;
}

// A row's columns joined by tabs, Placeholder standing for the first one.
QByteArray JoinTemplate(const THeader& row, QByteArrayView placeholder, const auto& columnTemplate)
{
    QByteArray line;
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (i == 0) {
            line.append(placeholder);
        } else {
            line.append('\t').append(columnTemplate(row[i]));
        }
    }
    return row.isEmpty() ? QByteArray(placeholder.toByteArray()) : line;
}

QByteArray HeadingLine(const THeader& header)
{
    // Servers put one character before every heading after the first; the
    // decoder drops it without looking at it.
    QByteArray line;
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (i > 0) {
            line.append("\t_");
        }
        line.append(header[i]);
    }
    return line;
}

} // namespace

QByteArray EncodeQ3AStatus(const TQ3AServer& server)
{
    return EncodeQuakeStatus("\xFF\xFF\xFF\xFFstatusResponse", server);
}

QByteArray EncodeQ3AInfo(const TQ3AServer& server)
{
    const auto rule = [&](QByteArrayView name) {
        for (const TRule& r : server.Rules) {
            if (r.Name == name) {
                return r.Value;
            }
        }
        return QByteArray();
    };
    const TRuleList info = {{"protocol", rule("protocol")},
                            {"hostname", rule("sv_hostname")},
                            {"mapname", rule("mapname")},
                            {"clients", QByteArray::number(server.Players.size())},
                            {"sv_maxclients", rule("sv_maxclients")},
                            {"gametype", rule("g_gametype")},
                            {"game", rule("gamename")}};
    QByteArray out("\xFF\xFF\xFF\xFFinfoResponse\n\\");
    AppendInfoString(out, info);
    return out;
}

QByteArray EncodeQ2Status(const TQ2Server& server)
{
    return EncodeQuakeStatus("\xFF\xFF\xFF\xFFprint", server);
}

QByteArray EncodeQWStatus(const TQWServer& server)
{
    QByteArray out;
    out.reserve(256 + 48 * server.Players.size());
    out.append("\xFF\xFF\xFF\xFFn\\");
    AppendInfoString(out, server.Rules);
    out.append('\n');
    for (const TQWServer::TPlayer& player : server.Players) {
        out.append(QByteArray::number(player.UserID) + ' ' + QByteArray::number(player.Frags) +
                   ' ' + QByteArray::number(player.Time) + ' ' + QByteArray::number(player.Ping) +
                   " \"");
        out.append(player.Name).append("\" \"").append(player.Skin).append("\" ");
        out.append(QByteArray::number(player.TopColor) + ' ' +
                   QByteArray::number(player.BottomColor) + '\n');
    }
    return out;
}

QByteArray EncodeHLInfo(const THLInfo& info, QByteArrayView address)
{
    QByteArray out("\xFF\xFF\xFF\xFFm");
    AppendCString(out, address);
    AppendCString(out, info.Name);
    AppendCString(out, info.Map);
    AppendCString(out, info.GameDir);
    AppendCString(out, info.Description);
    AppendU8(out, info.NumPlayers);
    AppendU8(out, info.MaxPlayers);
    AppendU8(out, info.Protocol);
    AppendU8(out, info.Listen == 1 ? 'l' : 'd');
    AppendU8(out, info.OS == 0 ? 'w' : info.OS == 1 ? 'l' : 'm');
    AppendU8(out, info.Password);
    AppendU8(out, info.Mod.IsMod);
    if (info.Mod.IsMod != 0) {
        AppendCString(out, info.Mod.InfoURL);
        AppendCString(out, info.Mod.DownloadURL);
        out.append('\0');
        AppendLE(out, info.Mod.ModVersion);
        AppendLE(out, info.Mod.ModSize);
        AppendU8(out, info.Mod.ServerOnly);
        AppendU8(out, info.Mod.CustomDLL);
    }
    return out;
}

QByteArray EncodeHLPlayers(const THLPlayers& players)
{
    QByteArray out("\xFF\xFF\xFF\xFF"
                   "D");
    const qsizetype count = qMin<qsizetype>(players.Players.size(), 255);
    AppendU8(out, int(count));
    for (qsizetype i = 0; i < count; ++i) {
        const THLPlayers::TPlayer& player = players.Players[i];
        AppendU8(out, player.Index);
        AppendCString(out, player.Name);
        AppendLE(out, player.Score);
        AppendLE(out, player.Time);
    }
    return out;
}

QByteArray EncodeHLRules(const THLRules& rules)
{
    QByteArray out("\xFF\xFF\xFF\xFF"
                   "E");
    const qsizetype count = qMin<qsizetype>(rules.Rules.size(), 32767);
    AppendLE(out, std::int16_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        AppendCString(out, rules.Rules[i].Name);
        AppendCString(out, rules.Rules[i].Value);
    }
    return out;
}

QByteArray EncodeHLSteamInfo(const THLInfo& info, const THLSteamInfo& steam)
{
    QByteArray out("\xFF\xFF\xFF\xFFI");
    AppendU8(out, info.Protocol);
    AppendCString(out, info.Name);
    AppendCString(out, info.Map);
    AppendCString(out, info.GameDir);
    AppendCString(out, info.Description);
    AppendLE(out, steam.AppID);
    AppendU8(out, info.NumPlayers);
    AppendU8(out, info.MaxPlayers);
    AppendU8(out, steam.Bots);
    AppendU8(out, steam.ServerType != 0 ? steam.ServerType : info.Listen == 1 ? 'l' : 'd');
    AppendU8(out, steam.Environment != 0 ? steam.Environment
                  : info.OS == 0         ? 'w'
                  : info.OS == 1         ? 'l'
                                         : 'm');
    AppendU8(out, info.Password);
    AppendU8(out, steam.VAC);
    if (steam.AppID == THLSteamInfo::TheShip) {
        AppendU8(out, steam.ShipMode);
        AppendU8(out, steam.ShipWitnesses);
        AppendU8(out, steam.ShipDuration);
    }
    AppendCString(out, steam.Version);
    if (steam.ExtraData == 0) {
        return out; // servers without extra data leave the flags out
    }
    AppendU8(out, steam.ExtraData);
    if (steam.ExtraData & THLSteamInfo::HasGamePort) {
        AppendLE(out, steam.GamePort);
    }
    if (steam.ExtraData & THLSteamInfo::HasSteamID) {
        AppendLE(out, steam.SteamID);
    }
    if (steam.ExtraData & THLSteamInfo::HasSourceTV) {
        AppendLE(out, steam.SourceTVPort);
        AppendCString(out, steam.SourceTVName);
    }
    if (steam.ExtraData & THLSteamInfo::HasKeywords) {
        AppendCString(out, steam.Keywords);
    }
    if (steam.ExtraData & THLSteamInfo::HasGameID) {
        AppendLE(out, steam.GameID);
    }
    return out;
}

QByteArray EncodeHLChallenge(QByteArrayView challenge)
{
    return "\xFF\xFF\xFF\xFF"
           "A" +
           challenge.first(qMin<qsizetype>(4, challenge.size())).toByteArray();
}

QList<QByteArray> EncodeHLSplit(const QByteArray& answer, std::uint32_t id, qsizetype maxDatagram)
{
    if (answer.size() <= maxDatagram) {
        return {answer};
    }
    const qsizetype room = qMax<qsizetype>(1, maxDatagram - THLSplitPart::HeaderSize);
    const int total = int(qMin<qsizetype>(15, (answer.size() + room - 1) / room));
    QList<QByteArray> parts;
    for (int number = 0; number < total; ++number) {
        QByteArray part("\xFE\xFF\xFF\xFF");
        AppendLE(part, id);
        AppendU8(part, number << 4 | total);
        part.append(answer.mid(number * room, room));
        parts.append(part);
    }
    return parts;
}

QByteArray EncodeTribesStatus(const TTribesServer& server, const QList<TTribesPlayerWire>& wire)
{
    const THeaderArray& teams = server.Teams.Rows;
    const THeaderArray& players = server.Players.Rows;
    QByteArray out("c**b");
    AppendPString(out, "Tribes");
    AppendPString(out, server.Version);
    AppendPString(out, server.HostName);
    AppendU8(out, server.Dedicated ? 1 : 0);
    AppendU8(out, server.Password ? 1 : 0);
    AppendU8(out, int(players.size()));
    AppendU8(out, server.Players.Max);
    AppendU8(out, server.CPU & 0xFF);
    AppendU8(out, server.CPU >> 8 & 0xFF);
    AppendPString(out, server.GameType);
    AppendPString(out, server.MapType);
    AppendPString(out, server.Map);
    AppendPString(out, server.Description);
    AppendU8(out, int(teams.size()));
    AppendPString(out, HeadingLine(server.Teams.Header));
    AppendPString(out, HeadingLine(server.Players.Header));

    for (const THeader& row : teams) {
        AppendPString(out, row.value(0));
        AppendPString(out, JoinTemplate(row, "%t", [](const QByteArray& c) { return c; }));
    }
    for (qsizetype j = 0; j < players.size(); ++j) {
        const THeader& row = players[j];
        const TTribesPlayerWire facts = wire.value(j);
        const QByteArray teamName = facts.Team < teams.size() && !teams[facts.Team].isEmpty()
                                        ? teams[facts.Team].first()
                                        : QByteArray("Observer");
        const QByteArray ping = QByteArray::number(facts.PingBy4 * 4);
        const QByteArray loss = QByteArray::number(facts.Loss);
        AppendU8(out, facts.PingBy4);
        AppendU8(out, facts.Loss);
        AppendU8(out, facts.Team);
        AppendPString(out, row.value(0));
        AppendPString(out, JoinTemplate(row, "%n", [&](const QByteArray& column) {
                          return column == teamName ? QByteArray("%t")
                                 : column == ping   ? QByteArray("%p")
                                 : column == loss   ? QByteArray("%l")
                                                    : column;
                      }));
    }
    return out;
}

QByteArray EncodeT2Ping(const TT2PingReply& ping)
{
    QByteArray out("\x10\x02\x00\x00\x00\x00", 6);
    AppendPString(out, ping.Version);
    AppendLE(out, ping.MinNetProtocol);
    AppendLE(out, ping.BuildVersion);
    AppendPString(out, ping.HostName);
    return out;
}

QByteArray EncodeT2Info(const TT2Server& server)
{
    QByteArray out("\x14\x02\x00\x00\x00\x00", 6);
    AppendPString(out, server.GameType);
    AppendPString(out, server.MapType);
    AppendPString(out, server.Map);
    AppendU8(out, (server.Dedicated ? 0x01 : 0) | (server.Password ? 0x02 : 0) |
                      (server.Tournament ? 0x40 : 0) | (server.NoAliases ? 0x80 : 0));
    AppendU8(out, server.PlayerCount);
    AppendU8(out, server.MaxPlayers);
    AppendU8(out, server.BotCount);
    AppendLE(out, std::uint16_t(server.CPU));
    AppendPString(out, server.Description);
    out.append("\0\0", 2);

    out.append(QByteArray::number(server.Teams.size()) + '\n');
    for (const TT2Server::TTeam& team : server.Teams) {
        out.append(team.Name + '\t' + QByteArray::number(team.Score) + '\n');
    }
    if (server.PlayerCount > 0) {
        out.append(QByteArray::number(server.Players.size()) + '\n');
        for (const TT2Server::TPlayer& player : server.Players) {
            out.append(player.Name + '\t' + player.Team + '\t' + QByteArray::number(player.Score) +
                       '\n');
        }
    }
    return out;
}

QByteArray WithColourCodes(QByteArrayView name, QRandomGenerator& random)
{
    QByteArray coloured;
    coloured.reserve(name.size() * 2 + 2);
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == 0 || i == name.size() || random.bounded(4) == 0) {
            coloured.append('^').append(char('0' + random.bounded(10)));
        }
        if (i < name.size()) {
            coloured.append(name[i]);
        }
    }
    return coloured;
}

QByteArray QuakeWorldName(QByteArrayView name, double share, QRandomGenerator& random)
{
    QByteArray out = name.toByteArray();
    for (char& c : out) {
        if (random.generateDouble() >= share) {
            continue;
        }
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            c = char(std::uint8_t(c) + 128);
        } else if (c >= '0' && c <= '9') {
            c = char(c - '0' + 18);
        } else if (c == '[') {
            c = char(random.bounded(2) ? 144 : 219);
        } else if (c == ']') {
            c = char(random.bounded(2) ? 145 : 221);
        }
    }
    return out;
}
