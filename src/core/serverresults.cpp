#include "core/serverresults.h"

#include "model/networktext.h"
#include "model/replybuffer.h"

#include <cmath>

QByteArray CleanServerName(QByteArrayView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && quint8(text[from]) <= ' ') {
        ++from;
    }
    while (to > from && quint8(text[to - 1]) <= ' ') {
        --to;
    }
    // Tabs are among the bytes below 32, so keeping 32 to 126 removes them too.
    return KeepPrintable(text.sliced(from, to - from));
}

int SplitHostPort(QString& text, int defaultPort)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return defaultPort;
    }
    bool isNumber = false;
    const int port = text.sliced(colon + 1).trimmed().toInt(&isNumber);
    text.truncate(colon);
    return isNumber ? port : defaultPort;
}

int GameImageIndex(const TGenericServer& server, bool buddyPresent)
{
    const TGameInfo* game = GameInfo(server.GameType);
    if (!game) {
        return -1;
    }
    return game->IconIndex + (buddyPresent ? 10 : 0);
}

QString AddressText(const TGenericServer& server)
{
    return server.Info.Host + QLatin1Char(':') + QString::number(server.Info.Port);
}

TRowTexts ReplyRowTexts(const TGenericServer& server, bool allowFormat)
{
    return {
        TextOfBytes(allowFormat ? CleanServerName(server.Name) : server.Name),
        TextOfBytes(server.Map),
        QString::number(server.NumPlayers) + QLatin1Char('/') + QString::number(server.MaxPlayers),
        QString::number(server.Info.Ping),
        GameTypeName(server.GameType) + QStringLiteral(" / ") + TextOfBytes(server.GameName),
    };
}

TRowTexts TimeoutRowTexts()
{
    const QString gone = QStringLiteral("---");
    return {QStringLiteral("QUERY TIME OUT"), gone, gone, gone, gone};
}

QString ServerInfoText(const TGenericServer& server, const QString& mapCell,
                       const QString& gameCell)
{
    // Built by concatenation: a server name may itself hold "%1".
    const QString wide = QStringLiteral("      ");
    return TextOfBytes(server.Name) + wide + mapCell + wide + QString::number(server.NumPlayers) +
           QLatin1Char('/') + QString::number(server.MaxPlayers) + QStringLiteral("   ") +
           QString::number(server.Info.Ping) + wide + gameCell + wide + AddressText(server);
}

void ApplyFinalTimeout(TGenericServer& server, const TBasicData& reply)
{
    server.NoReply = true;
    server.Info = reply;
    server.Status = qsTimeout;
    server.Name = "QUERY TIME OUT";
}

namespace {

// A table of the server's own headings: every row gets exactly as many cells
// as there are headings, dropping the rest or filling with empty cells.
TServerTable HeadedTable(const QList<QByteArray>& header, const QList<QList<QByteArray>>& rows)
{
    TServerTable table;
    table.reserve(rows.size() + 1);
    table.append(header);
    for (const QList<QByteArray>& row : rows) {
        QList<QByteArray> cells = row.mid(0, header.size());
        cells.resize(header.size());
        table.append(cells);
    }
    return table;
}

QByteArray Number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

void ApplyQuakeWorldReply(TGenericServer& server, const TQWServer& reply)
{
    ApplyQuakeIdentity(server, reply, reply.GameDir);
    server.PlayerTable.clear();
    server.PlayerTable.append({"Name", "Frags", "Ping", "Time", "Skin", "Color (Top/Bottom)"});
    for (qsizetype i = 0; i < reply.PlayerCount && i < reply.Players.size(); ++i) {
        const TQWServer::TPlayer& player = reply.Players[i];
        server.PlayerTable.append({player.Name, Number(player.Frags), Number(player.Ping),
                                   Number(player.Time), player.Skin,
                                   Number(player.TopColor) + '/' + Number(player.BottomColor)});
    }
}

void ApplyTribesReply(TGenericServer& server, const TTribesServer& reply)
{
    server.Info = reply.Info;
    server.Name = reply.HostName;
    server.Version = "v" + reply.Version + " on a " +
                     (reply.Dedicated ? QByteArray("dedicated") : QByteArray("listen")) + " server";
    server.Map = reply.Map + " (" + reply.MapType + ")";
    server.MaxPlayers = reply.Players.Max;
    server.NumPlayers = reply.Players.Count;
    server.GameName = reply.GameType;
    server.PlayerTable = HeadedTable(reply.Players.Header, reply.Players.Rows);
    if (reply.Teams.Count > 1) {
        server.TeamTable = HeadedTable(reply.Teams.Header, reply.Teams.Rows);
    }
    server.ClearRules();
    server.AddRule("dedicated", Number(reply.Dedicated ? 1 : 0));
    server.AddRule("hostname", reply.HostName);
    server.AddRule("version", reply.Version);
    server.AddRule("map", reply.Map);
    server.AddRule("player_count", Number(reply.Players.Count));
    server.AddRule("player_max", Number(reply.Players.Max));
    server.AddRule("password", Number(reply.Password ? 1 : 0));
    server.AddRule("cpu", Number(reply.CPU));
    server.AddRule("game_type", reply.GameType);
    server.AddRule("description", reply.Description);
    server.AddRule("map_type", reply.MapType);
}

void ApplyT2PingReply(TGenericServer& server, const TT2PingReply& reply)
{
    server.ClearRules();
    server.Info = reply.Info;
    server.Name = reply.HostName;
    server.AddRule("hostname", reply.HostName);
    server.AddRule("version", reply.Version);
    server.AddRule("minimum_net_protocol", Number(reply.MinNetProtocol));
    server.AddRule("build_version", Number(reply.BuildVersion));
    server.Version = reply.Version;
}

void ApplyT2InfoReply(TGenericServer& server, const TT2Server& reply)
{
    server.GameName = reply.GameType;
    server.Map = reply.Map + " (" + reply.MapType + ")";
    server.NumPlayers = reply.PlayerCount;
    server.MaxPlayers = reply.MaxPlayers;

    server.PlayerTable.clear();
    server.PlayerTable.append({"Name", "Team", "Score"});
    for (const TT2Server::TPlayer& player : reply.Players) {
        server.PlayerTable.append({player.Name, player.Team, Number(player.Score)});
    }
    server.TeamTable.clear();
    server.TeamTable.append(QList<QByteArray>{"Team name", "Score"});
    for (qsizetype i = 0; i < reply.TeamCount && i < reply.Teams.size(); ++i) {
        server.TeamTable.append({reply.Teams[i].Name, Number(reply.Teams[i].Score)});
    }

    server.AddRule("dedicated", Number(reply.Dedicated ? 1 : 0));
    server.AddRule("tournament_mode", Number(reply.Tournament ? 1 : 0));
    server.AddRule("password", Number(reply.Password ? 1 : 0));
    server.AddRule("no_aliases", Number(reply.NoAliases ? 1 : 0));
    server.AddRule("bot_count", Number(reply.BotCount));
    server.AddRule("cpu", Number(reply.CPU));
    server.AddRule("description", reply.Description);
    server.AddRule("map", reply.Map);
    server.AddRule("player_count", Number(reply.PlayerCount));
    server.AddRule("player_max", Number(reply.MaxPlayers));
    server.AddRule("game_type", reply.GameType);
    server.AddRule("map_type", reply.MapType);
}

void ApplyHLInfoReply(TGenericServer& server, const THLInfo& reply)
{
    server.Info = reply.Info;
    server.Name = reply.Name;
    server.Map = reply.Map;
    server.Version = Number(reply.Protocol);
    server.MaxPlayers = reply.MaxPlayers;
    server.NumPlayers = reply.NumPlayers;
    server.GameName = reply.GameDir;
}

void ApplyHLPlayersReply(TGenericServer& server, const THLPlayers& reply)
{
    server.PlayerTable.clear();
    server.PlayerTable.append({"Name", "Score", "Time (mins)"});
    for (qsizetype i = 0; i < reply.Count && i < reply.Players.size(); ++i) {
        const THLPlayers::TPlayer& player = reply.Players[i];
        // nearbyint rounds halves to the even number in the default mode.
        // A time that is no number of seconds (the float may hold anything)
        // shows as 0 instead of overflowing the conversion.
        const double minutes = std::nearbyint(double(player.Time) / 60.0);
        const bool usable = std::isfinite(minutes) && std::fabs(minutes) < 1e15;
        server.PlayerTable.append(
            {player.Name, Number(player.Score), Number(usable ? qint64(minutes) : 0)});
    }
}

void ApplyHLRulesReply(TGenericServer& server, const THLRules& reply)
{
    server.ClearRules();
    for (qsizetype i = 0; i < reply.Count && i < reply.Rules.size(); ++i) {
        server.AddRule(reply.Rules[i].Name, reply.Rules[i].Value);
    }
    server.NoReply = false;
}
