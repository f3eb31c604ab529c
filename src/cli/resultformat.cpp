#include "cli/resultformat.h"

#include <QString>

#include <cmath>

#include "cli/jsonwriter.h"
#include "model/networktext.h"

namespace {

// Text for a terminal, in UTF-8: control characters as "?", so that a
// server's name cannot move the cursor or end the line.
QByteArray ShownText(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 32 || (c.unicode() >= 127 && c.unicode() < 160)) {
            c = u'?';
        }
    }
    return text.toUtf8();
}

// A server's bytes as the browser shows them (TextOfBytes), for a terminal.
QByteArray Shown(QByteArrayView bytes)
{
    return ShownText(TextOfBytes(bytes));
}

QByteArray Padded(const QByteArray& text, int width)
{
    return text.size() >= width ? text : text + QByteArray(width - text.size(), ' ');
}

QByteArray RightAligned(const QByteArray& text, int width)
{
    return text.size() >= width ? text : QByteArray(width - text.size(), ' ') + text;
}

QByteArray Num(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray Pair(const QByteArray& name, const QByteArray& value)
{
    return "    " + Shown(name) + '=' + Shown(value) + '\n';
}

QByteArray Cells(const QList<QByteArray>& cells)
{
    QByteArray line = "   ";
    for (const QByteArray& cell : cells) {
        line += ' ' + Padded(Shown(cell), 12);
    }
    return line.trimmed().prepend("    ") + '\n';
}

// Half-Life's connected time as hours, minutes and seconds.
QByteArray Duration(float seconds)
{
    const auto total = qint64(std::isfinite(seconds) && seconds > 0 ? seconds : 0);
    return QString::asprintf("%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60)
        .toLatin1();
}

void WriteRules(TJsonWriter& json, const TRuleList& rules)
{
    json.Key("rules").BeginArray();
    for (const TRule& rule : rules) {
        json.BeginObject();
        json.Key("name").Bytes(rule.Name);
        json.Key("value").Bytes(rule.Value);
        json.EndObject();
    }
    json.EndArray();
}

// Keys for a Tribes table's columns: the server's headings in lower case,
// other characters as "_" ("Name" gives "name", "Ping" "ping"); a heading
// with nothing to use, or one seen before, gives "column_N".
QList<QByteArray> ColumnKeys(const THeader& header, qsizetype columns)
{
    QList<QByteArray> keys;
    for (qsizetype i = 0; i < columns; ++i) {
        QByteArray key;
        for (const char c : header.value(i).trimmed()) {
            const bool word =
                (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            key += word ? char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) : '_';
        }
        if (key.isEmpty() || keys.contains(key)) {
            key = "column_" + QByteArray::number(i + 1);
        }
        keys << key;
    }
    return keys;
}

// A Tribes table: one object per row, keyed by the column's heading.
void WriteTable(TJsonWriter& json, const char* key, const THeader& header, const THeaderArray& rows)
{
    json.Key(key).BeginArray();
    for (const THeader& row : rows) {
        const QList<QByteArray> keys = ColumnKeys(header, row.size());
        json.BeginObject();
        for (qsizetype i = 0; i < row.size(); ++i) {
            json.Key(keys[i].constData()).Bytes(row[i]);
        }
        json.EndObject();
    }
    json.EndArray();
}

template <typename TServer> void WriteQuakeFields(TJsonWriter& json, const TServer& s)
{
    json.Key("RuleCount").Number(s.RuleCount);
    json.Key("PlayerCount").Number(s.PlayerCount);
    json.Key("MaxPlayers").Number(s.MaxPlayers);
    json.Key("Map").Bytes(s.Map);
    json.Key("Name").Bytes(s.Name);
}

void WriteQuakePlayers(TJsonWriter& json, const QList<TQ3AServer::TPlayer>& players)
{
    json.Key("players").BeginArray();
    for (const TQ3AServer::TPlayer& p : players) {
        json.BeginObject();
        json.Key("name").Bytes(p.Name);
        json.Key("frags").Number(p.Frags);
        json.Key("ping").Number(p.Ping);
        json.EndObject();
    }
    json.EndArray();
}

void WriteRecords(TJsonWriter& json, const TServerResult& r)
{
    if (r.Q3) {
        WriteQuakePlayers(json, r.Q3->Players);
        json.Key("records").BeginObject();
        json.Key("TQ3AServer").BeginObject();
        WriteQuakeFields(json, *r.Q3);
        json.Key("GameName").Bytes(r.Q3->GameName);
        json.Key("Version").Bytes(r.Q3->Version);
        json.EndObject();
        json.EndObject();
    } else if (r.Q2) {
        WriteQuakePlayers(json, r.Q2->Players);
        json.Key("records").BeginObject();
        json.Key("TQ2Server").BeginObject();
        WriteQuakeFields(json, *r.Q2);
        json.Key("GameName").Bytes(r.Q2->GameName);
        json.Key("Version").Bytes(r.Q2->Version);
        json.EndObject();
        json.EndObject();
    } else if (r.QW) {
        json.Key("players").BeginArray();
        for (const TQWServer::TPlayer& p : r.QW->Players) {
            json.BeginObject();
            json.Key("name").Bytes(p.Name);
            json.Key("frags").Number(p.Frags);
            json.Key("ping").Number(p.Ping);
            json.Key("time").Number(p.Time);
            json.Key("user_id").Number(p.UserID);
            json.Key("skin").Bytes(p.Skin);
            json.Key("top_color").Number(p.TopColor);
            json.Key("bottom_color").Number(p.BottomColor);
            json.EndObject();
        }
        json.EndArray();
        json.Key("records").BeginObject();
        json.Key("TQWServer").BeginObject();
        WriteQuakeFields(json, *r.QW);
        json.Key("GameDir").Bytes(r.QW->GameDir);
        json.Key("Version").Bytes(r.QW->Version);
        json.Key("Progs").Number(r.QW->Progs);
        json.EndObject();
        json.EndObject();
    } else if (r.HLInfo) {
        json.Key("players").BeginArray();
        for (const THLPlayers::TPlayer& p :
             r.HLPlayers ? r.HLPlayers->Players : QList<THLPlayers::TPlayer>{}) {
            json.BeginObject();
            json.Key("name").Bytes(p.Name);
            json.Key("score").Number(p.Score);
            json.Key("time").Real(p.Time);
            json.Key("index").Number(p.Index);
            json.EndObject();
        }
        json.EndArray();
        const THLInfo& i = *r.HLInfo;
        json.Key("records").BeginObject();
        json.Key("THLInfo").BeginObject();
        json.Key("Name").Bytes(i.Name);
        json.Key("Map").Bytes(i.Map);
        json.Key("GameDir").Bytes(i.GameDir);
        json.Key("Description").Bytes(i.Description);
        json.Key("OS").Number(i.OS);
        json.Key("NumPlayers").Number(i.NumPlayers);
        json.Key("MaxPlayers").Number(i.MaxPlayers);
        json.Key("Protocol").Number(i.Protocol);
        json.Key("Listen").Number(i.Listen);
        json.Key("Password").Number(i.Password);
        json.Key("Mod").BeginObject();
        json.Key("IsMod").Number(i.Mod.IsMod);
        json.Key("InfoURL").Bytes(i.Mod.InfoURL);
        json.Key("DownloadURL").Bytes(i.Mod.DownloadURL);
        json.Key("ModSize").Number(i.Mod.ModSize);
        json.Key("ModVersion").Number(i.Mod.ModVersion);
        json.Key("ServerOnly").Number(i.Mod.ServerOnly);
        json.Key("CustomDLL").Number(i.Mod.CustomDLL);
        json.EndObject();
        json.EndObject();
        if (r.HLPlayers) {
            json.Key("THLPlayers").BeginObject();
            json.Key("Count").Number(r.HLPlayers->Count);
            json.EndObject();
        }
        if (r.HLRules) {
            json.Key("THLRules").BeginObject();
            json.Key("Count").Number(r.HLRules->Count);
            json.EndObject();
        }
        json.EndObject();
    } else if (r.Tribes) {
        const TTribesServer& t = *r.Tribes;
        WriteTable(json, "players", t.Players.Header, t.Players.Rows);
        WriteTable(json, "teams", t.Teams.Header, t.Teams.Rows);
        json.Key("records").BeginObject();
        json.Key("TTribesServer").BeginObject();
        json.Key("Version").Bytes(t.Version);
        json.Key("HostName").Bytes(t.HostName);
        json.Key("Dedicated").Bool(t.Dedicated);
        json.Key("Password").Bool(t.Password);
        json.Key("CPU").Number(t.CPU);
        json.Key("GameType").Bytes(t.GameType);
        json.Key("MapType").Bytes(t.MapType);
        json.Key("Map").Bytes(t.Map);
        json.Key("Description").Bytes(t.Description);
        json.Key("Teams").BeginObject();
        json.Key("Header").StringList(t.Teams.Header);
        json.Key("Count").Number(t.Teams.Count);
        json.EndObject();
        json.Key("Players").BeginObject();
        json.Key("Header").StringList(t.Players.Header);
        json.Key("Count").Number(t.Players.Count);
        json.Key("Max").Number(t.Players.Max);
        json.EndObject();
        json.EndObject();
        json.EndObject();
    } else if (r.T2Ping) {
        const std::optional<TT2Server>& t = r.T2Info;
        json.Key("players").BeginArray();
        for (const TT2Server::TPlayer& p : t ? t->Players : QList<TT2Server::TPlayer>{}) {
            json.BeginObject();
            json.Key("name").Bytes(p.Name);
            json.Key("team").Bytes(p.Team);
            json.Key("score").Number(p.Score);
            json.EndObject();
        }
        json.EndArray();
        json.Key("teams").BeginArray();
        for (const TT2Server::TTeam& team : t ? t->Teams : QList<TT2Server::TTeam>{}) {
            json.BeginObject();
            json.Key("name").Bytes(team.Name);
            json.Key("score").Number(team.Score);
            json.EndObject();
        }
        json.EndArray();
        json.Key("records").BeginObject();
        json.Key("TT2PingReply").BeginObject();
        json.Key("Version").Bytes(r.T2Ping->Version);
        json.Key("MinNetProtocol").Number(r.T2Ping->MinNetProtocol);
        json.Key("BuildVersion").Number(r.T2Ping->BuildVersion);
        json.Key("HostName").Bytes(r.T2Ping->HostName);
        json.EndObject();
        if (t) {
            json.Key("TT2Server").BeginObject();
            json.Key("GameType").Bytes(t->GameType);
            json.Key("MapType").Bytes(t->MapType);
            json.Key("Map").Bytes(t->Map);
            json.Key("TeamCount").Number(t->TeamCount);
            json.Key("PlayerCount").Number(t->PlayerCount);
            json.Key("MaxPlayers").Number(t->MaxPlayers);
            json.Key("Dedicated").Bool(t->Dedicated);
            json.Key("Password").Bool(t->Password);
            json.Key("Tournament").Bool(t->Tournament);
            json.Key("NoAliases").Bool(t->NoAliases);
            json.Key("BotCount").Number(t->BotCount);
            json.Key("CPU").Number(t->CPU);
            json.Key("Description").Bytes(t->Description);
            json.EndObject();
        }
        json.EndObject();
    }
}

// The rules a record holds, or for Tribes and Tribes 2 the settings the
// browser lists as rules.
TRuleList RulesOf(const TServerResult& r)
{
    if (r.Q3) {
        return r.Q3->Rules;
    }
    if (r.Q2) {
        return r.Q2->Rules;
    }
    if (r.QW) {
        return r.QW->Rules;
    }
    if (r.HLRules) {
        return r.HLRules->Rules;
    }
    if (r.Tribes) {
        const TTribesServer& t = *r.Tribes;
        return {{"dedicated", Num(t.Dedicated)},
                {"hostname", t.HostName},
                {"version", t.Version},
                {"map", t.Map},
                {"player_count", Num(t.Players.Count)},
                {"player_max", Num(t.Players.Max)},
                {"password", Num(t.Password)},
                {"cpu", Num(t.CPU)},
                {"game_type", t.GameType},
                {"description", t.Description},
                {"map_type", t.MapType}};
    }
    TRuleList rules;
    if (r.T2Ping) {
        rules = {{"hostname", r.T2Ping->HostName},
                 {"version", r.T2Ping->Version},
                 {"minimum_net_protocol", Num(r.T2Ping->MinNetProtocol)},
                 {"build_version", Num(r.T2Ping->BuildVersion)}};
    }
    if (r.T2Info) {
        const TT2Server& t = *r.T2Info;
        rules += TRuleList{{"dedicated", Num(t.Dedicated)},
                           {"tournament_mode", Num(t.Tournament)},
                           {"password", Num(t.Password)},
                           {"no_aliases", Num(t.NoAliases)},
                           {"bot_count", Num(t.BotCount)},
                           {"cpu", Num(t.CPU)},
                           {"description", t.Description},
                           {"map", t.Map},
                           {"player_count", Num(t.PlayerCount)},
                           {"player_max", Num(t.MaxPlayers)},
                           {"game_type", t.GameType},
                           {"map_type", t.MapType}};
    }
    return rules;
}

QByteArray PlayerLines(const TServerResult& r)
{
    QByteArray out;
    const auto quake = [&](const QList<TQ3AServer::TPlayer>& players) {
        for (const auto& p : players) {
            out += "    " + RightAligned(Num(p.Frags), 5) + " frags " +
                   RightAligned(Num(p.Ping), 4) + " ms  " + Shown(p.Name) + '\n';
        }
    };
    if (r.Q3) {
        quake(r.Q3->Players);
    } else if (r.Q2) {
        quake(r.Q2->Players);
    } else if (r.QW) {
        for (const TQWServer::TPlayer& p : r.QW->Players) {
            out += "    " + RightAligned(Num(p.Frags), 5) + " frags " +
                   RightAligned(Num(p.Ping), 4) + " ms " + RightAligned(Num(p.Time), 4) + " min  " +
                   Shown(p.Name) + "  (skin " + Shown(p.Skin) + ", colours " + Num(p.TopColor) +
                   '/' + Num(p.BottomColor) + ")\n";
        }
    } else if (r.HLPlayers) {
        for (const THLPlayers::TPlayer& p : r.HLPlayers->Players) {
            out += "    " + RightAligned(Num(p.Score), 5) + " score " +
                   RightAligned(Duration(p.Time), 9) + "  " + Shown(p.Name) + '\n';
        }
    } else if (r.Tribes) {
        if (!r.Tribes->Teams.Rows.isEmpty()) {
            out += Cells(r.Tribes->Teams.Header);
            for (const THeader& row : r.Tribes->Teams.Rows) {
                out += Cells(row);
            }
        }
        out += Cells(r.Tribes->Players.Header);
        for (const THeader& row : r.Tribes->Players.Rows) {
            out += Cells(row);
        }
    } else if (r.T2Info) {
        for (const TT2Server::TTeam& team : r.T2Info->Teams) {
            out += "    team " + Shown(team.Name) + "  score " + Num(team.Score) + '\n';
        }
        for (const TT2Server::TPlayer& p : r.T2Info->Players) {
            out += "    " + RightAligned(Num(p.Score), 5) + " score  " + Shown(p.Name) + "  (" +
                   Shown(p.Team) + ")\n";
        }
    }
    return out;
}

} // namespace

const char* StatusName(TResultStatus status)
{
    switch (status) {
    case TResultStatus::Pending:
        return "pending";
    case TResultStatus::Answered:
        return "ok";
    case TResultStatus::Partial:
        return "partial";
    case TResultStatus::Timeout:
        return "timeout";
    case TResultStatus::Error:
        return "error";
    }
    return "pending";
}

TServerSummary Summarize(const TServerResult& r)
{
    TServerSummary s;
    const auto quake = [&](const auto& server) {
        s.Name = server.Name;
        s.Map = server.Map;
        s.NumPlayers = server.PlayerCount;
        s.MaxPlayers = server.MaxPlayers;
        s.Version = server.Version;
    };
    if (r.Q3) {
        quake(*r.Q3);
        s.GameName = r.Q3->GameName;
    } else if (r.Q2) {
        quake(*r.Q2);
        s.GameName = r.Q2->GameName;
    } else if (r.QW) {
        quake(*r.QW);
        s.GameName = r.QW->GameDir;
    } else if (r.HLInfo) {
        s.Name = r.HLInfo->Name;
        s.Map = r.HLInfo->Map;
        s.NumPlayers = r.HLInfo->NumPlayers;
        s.MaxPlayers = r.HLInfo->MaxPlayers;
        s.GameName = r.HLInfo->GameDir;
        s.Version = Num(r.HLInfo->Protocol);
    } else if (r.Tribes) {
        s.Name = r.Tribes->HostName;
        s.Map = r.Tribes->Map + " (" + r.Tribes->MapType + ')';
        s.NumPlayers = r.Tribes->Players.Count;
        s.MaxPlayers = r.Tribes->Players.Max;
        s.GameName = r.Tribes->GameType;
        s.Version = "v" + r.Tribes->Version + " on a " +
                    (r.Tribes->Dedicated ? "dedicated" : "listen") + " server";
    } else if (r.T2Ping) {
        s.Name = r.T2Ping->HostName;
        s.Version = r.T2Ping->Version;
        if (r.T2Info) {
            s.Map = r.T2Info->Map + " (" + r.T2Info->MapType + ')';
            s.NumPlayers = r.T2Info->PlayerCount;
            s.MaxPlayers = r.T2Info->MaxPlayers;
            s.GameName = r.T2Info->GameType;
        }
    }
    return s;
}

QByteArray FormatText(const TServerResult& result, bool players, bool rules)
{
    const QByteArray address = Padded(result.Target.Address().toUtf8(), 21);
    const QByteArray game = result.Target.Game->DisplayName;
    if (result.Status == TResultStatus::Timeout || result.Status == TResultStatus::Error) {
        const QByteArray what =
            result.Status == TResultStatus::Timeout
                ? QByteArray("no answer after ") + Num(result.RetryCount + 1) + " queries"
                : ShownText(result.Error);
        return address + "  " + Padded(StatusName(result.Status), 7) + "  " + what + "  (" + game +
               ")\n";
    }
    const TServerSummary s = Summarize(result);
    QByteArray line = address + RightAligned(Num(result.Ping), 5) + " ms  " +
                      RightAligned(Num(s.NumPlayers) + '/' + Num(s.MaxPlayers), 7) + "  " +
                      Padded(Shown(s.Map), 16) + "  " + Shown(s.Name) + "  (" + game;
    if (!s.GameName.isEmpty()) {
        line += " / " + Shown(s.GameName);
    }
    line += ")";
    if (result.Status == TResultStatus::Partial) {
        line += "  [partial: " +
                (result.Error.isEmpty() ? QByteArray("a follow-up query had no answer")
                                        : ShownText(result.Error)) +
                "]";
    }
    line += '\n';
    if (players) {
        line += PlayerLines(result);
    }
    if (rules) {
        for (const TRule& rule : RulesOf(result)) {
            line += Pair(rule.Name, rule.Value);
        }
    }
    return line;
}

QByteArray FormatJson(const TServerResult& result)
{
    TJsonWriter json;
    json.BeginObject();
    json.Key("address").Bytes(result.Target.Address().toUtf8());
    json.Key("host").Bytes(result.Target.Host.toUtf8());
    json.Key("port").Number(result.Target.Port);
    json.Key("game").Text(result.Target.Game->ShortName);
    json.Key("game_name").Text(result.Target.Game->DisplayName);
    json.Key("status").Text(StatusName(result.Status));
    json.Key("ping").Number(result.Ping);
    json.Key("retries").Number(result.RetryCount);
    if (!result.Error.isEmpty()) {
        json.Key("error").Bytes(result.Error.toUtf8());
    }
    if (result.Status == TResultStatus::Answered || result.Status == TResultStatus::Partial) {
        const TServerSummary s = Summarize(result);
        json.Key("name").Bytes(s.Name);
        json.Key("map").Bytes(s.Map);
        json.Key("num_players").Number(s.NumPlayers);
        json.Key("max_players").Number(s.MaxPlayers);
        json.Key("game_dir").Bytes(s.GameName);
        json.Key("version").Bytes(s.Version);
        WriteRules(json, RulesOf(result));
        WriteRecords(json, result);
    }
    json.EndObject();
    return json.Result() + '\n';
}
