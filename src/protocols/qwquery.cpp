#include "protocols/qwquery.h"

#include "model/replybuffer.h"
#include "protocols/quaketext.h"

namespace {

// One player line: user id, frags, time and ping, each ended by a blank, the
// name and the skin in double quotes, then the top and bottom colours. A
// field the line does not hold is 0 or empty; a field is never read twice.
TQWServer::TPlayer ParsePlayer(QByteArrayView line)
{
    TReplyCursor cursor(line);
    TQWServer::TPlayer player;
    player.UserID = ToIntDef(cursor.TakeTokenView(' '));
    player.Frags = ToIntDef(cursor.TakeTokenView(' '));
    player.Time = ToIntDef(cursor.TakeTokenView(' '));
    player.Ping = ToIntDef(cursor.TakeTokenView(' '));
    if (!cursor.SkipPast('"')) {
        return player;
    }
    player.Name = TQWQuery::TranslateName(cursor.TakeTokenView('"'));
    if (!cursor.SkipPast('"')) {
        return player;
    }
    player.Skin = cursor.TakeToken('"');
    cursor.CutLeft(1); // the blank after the skin
    player.TopColor = ToIntDef(cursor.TakeTokenView(' '));
    player.BottomColor = ToIntDef(cursor.Rest());
    return player;
}

} // namespace

QByteArray TQWQuery::TranslateName(QByteArrayView raw)
{
    QByteArray name(raw.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const auto c = std::uint8_t(raw[i]);
        if (c >= 18 && c <= 27) {
            name[i] = char(c - 18 + '0');
        } else if (c == 144 || c == 219) {
            name[i] = '[';
        } else if (c == 145 || c == 221) {
            name[i] = ']';
        } else if ((c >= 193 && c <= 218) || (c >= 225 && c <= 250)) {
            name[i] = char(c - 128);
        } else {
            name[i] = char(c);
        }
    }
    return name;
}

bool TQWQuery::Decode(const TBasicData& reply, TQWServer& server)
{
    static const QByteArray header("\xFF\xFF\xFF\xFFn", 5);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    server = TQWServer{};
    cursor.CutLeft(header.size());
    cursor.CutLeft(1); // a backslash, not checked

    const TQuakeStatusText status = SplitQuakeStatus(cursor.Rest());
    server.Info = reply;
    server.Rules = status.Rules;
    server.RuleCount = std::int32_t(server.Rules.size());
    server.MaxPlayers = ToIntDef(FindRule(server.Rules, "maxclients"));
    server.Name = FindRule(server.Rules, "hostname");
    server.Map = FindRule(server.Rules, "map");
    server.GameDir = FindRule(server.Rules, "*gamedir");
    server.Version = FindRule(server.Rules, "*version");
    server.Progs = ToIntDef(FindRule(server.Rules, "*progs"));

    server.Players.reserve(status.PlayerLines.size());
    for (const QByteArrayView line : status.PlayerLines) {
        server.Players.append(ParsePlayer(line));
    }
    server.PlayerCount = std::int32_t(server.Players.size());
    return true;
}

void TQWQuery::ProcessReply(const TBasicData& reply)
{
    TQWServer server;
    if (!Decode(reply, server)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(server);
}
