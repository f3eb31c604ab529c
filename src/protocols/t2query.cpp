#include "protocols/t2query.h"

#include "model/replybuffer.h"

namespace {

// A player line: name, tab, team, tab, score. The name and the score lose
// every byte outside 32 to 126; a field the line lacks is empty or 0.
TT2Server::TPlayer ParsePlayer(QByteArrayView line)
{
    TReplyCursor cursor(line);
    TT2Server::TPlayer player;
    player.Name = KeepPrintable(cursor.TakeToken('\t'));
    player.Team = cursor.TakeToken('\t');
    player.Score = ToIntDef(KeepPrintable(cursor.Rest()));
    return player;
}

} // namespace

bool TT2Query::Decode(const TBasicData& reply, TT2Server& server)
{
    static const QByteArray header("\x14\x02\x00\x00\x00\x00", 6);
    TReplyCursor cursor(reply.Data);
    if (cursor.LeftOf(header.size()) != header) {
        return false;
    }
    server = TT2Server{};
    cursor.CutLeft(header.size());

    // Missing bytes read as 0; a string cut short takes the rest.
    server.GameType = cursor.TakePString();
    server.MapType = cursor.TakePString();
    server.Map = cursor.TakePString();
    const std::uint8_t flags = cursor.ReadU8();
    server.Dedicated = BitSet(flags, 0);
    server.Password = BitSet(flags, 1);
    server.Tournament = BitSet(flags, 6);
    server.NoAliases = BitSet(flags, 7);
    server.PlayerCount = cursor.ReadU8();
    server.MaxPlayers = cursor.ReadU8();
    server.BotCount = cursor.ReadU8();
    const int cpuLow = cursor.ReadU8();
    server.CPU = cpuLow + 256 * cursor.ReadU8();
    server.Description = cursor.TakePString();
    cursor.CutLeft(qMin<qsizetype>(2, cursor.Remaining())); // not used

    // The rest is text: the team count, the team lines, one line that is not
    // used, then the player lines. A line or field that runs to the end of
    // the text is read once. TeamCount is the first line's number (one team
    // when it is no number) and Teams has that many entries: a team whose
    // line the text no longer holds has an empty name and score 0. The
    // count is one byte, so the list stays small whatever the line says.
    server.TeamCount = std::uint8_t(ToIntDef(cursor.TakeTokenView('\n'), 1));
    server.Teams.reserve(server.TeamCount);
    while (server.Teams.size() < server.TeamCount) {
        TReplyCursor line(cursor.TakeTokenView('\n'));
        TT2Server::TTeam team;
        team.Name = line.TakeToken('\t');
        team.Score = ToIntDef(line.Rest());
        server.Teams.append(std::move(team));
    }

    // The players follow the lines, not the count; a count of 0 means none.
    if (server.PlayerCount > 0) {
        cursor.TakeToken('\n');
        while (!cursor.AtEnd()) {
            server.Players.append(ParsePlayer(cursor.TakeToken('\n')));
        }
    }
    server.Info = reply;
    return true;
}

void TT2Query::ProcessReply(const TBasicData& reply)
{
    TT2Server server;
    if (!Decode(reply, server)) {
        DoError(ErrorCode, ErrorMessage);
        return;
    }
    emit OnComplete(server);
}
